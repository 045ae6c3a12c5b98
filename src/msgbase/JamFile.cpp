#include "msgbase/JamFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/Errors.h"

namespace pelmar {

namespace {


bool SetLock(int fd, short type, uint64_t start, uint64_t length) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = static_cast<off_t>(start);
    lock.l_len = static_cast<off_t>(length);
    lock.l_pid = 0;  // required by open-file-description locks
    return fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

}  // namespace

bool TJamFile::Open(const std::string& path) {
    Close();
    fd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    return fd_ >= 0;
}

bool TJamFile::OpenReadOnly(const std::string& path) {
    Close();
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    return fd_ >= 0;
}

bool TJamFile::Create(const std::string& path) {
    Close();
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    return fd_ >= 0;
}

void TJamFile::Close() {
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
}

size_t TJamFile::ReadAt(uint64_t offset, char* buffer, size_t length) const {
    size_t done = 0;
    while (done < length) {
        const ssize_t got = ::pread(fd_, buffer + done, length - done, static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR) continue;
            throw EReadError("JAM: read error");
        }
        if (got == 0) break;
        done += static_cast<size_t>(got);
    }
    return done;
}

std::string TJamFile::ReadAt(uint64_t offset, size_t length) const {
    std::string out(length, '\0');
    out.resize(ReadAt(offset, out.data(), length));
    return out;
}

void TJamFile::WriteAt(uint64_t offset, std::string_view bytes) const {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put =
            ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
        if (put < 0) {
            if (errno == EINTR) continue;
            throw EWriteError(ErrnoText("JAM: write error"));
        }
        done += static_cast<size_t>(put);
    }
}

uint64_t TJamFile::Size() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) throw EReadError(ErrnoText("JAM: cannot get the file size"));
    return static_cast<uint64_t>(st.st_size);
}

void TJamFile::Truncate(uint64_t size) const {
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) throw EWriteError(ErrnoText("JAM: cannot truncate"));
}

int64_t TJamFile::ModifiedTime() const {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return -1;
    return st.st_mtim.tv_sec;
}

bool TJamFile::TryLock(uint64_t start, uint64_t length) const {
    return SetLock(fd_, F_WRLCK, start, length);
}

void TJamFile::Unlock(uint64_t start, uint64_t length) const {
    SetLock(fd_, F_UNLCK, start, length);
}

std::string TJamFile::FindNoCase(const std::string& dir, const std::string& name) {
    const std::string exact = dir + "/" + name;
    struct stat st {};
    if (::stat(exact.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return exact;
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return {};
    std::string found;
    while (const dirent* entry = ::readdir(d)) {
        if (::strcasecmp(entry->d_name, name.c_str()) != 0) continue;
        found = dir + "/" + entry->d_name;
        break;
    }
    ::closedir(d);
    return found;
}

}  // namespace pelmar
