#include "msgbase/HudsonFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "core/Errors.h"

namespace pelmar {

namespace {

[[noreturn]] void ThrowReadError(const std::string& path) {
    throw EReadError(ErrnoText(path));
}

bool SetLock(int fd, short type, int64_t offset, int64_t length) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = offset;
    lock.l_len = length;
    lock.l_pid = 0;  // required for open-file-description locks
    return fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

}  // namespace

THudsonFile::THudsonFile(THudsonFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

THudsonFile& THudsonFile::operator=(THudsonFile&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
        other.DropCache();
    }
    return *this;
}

bool THudsonFile::OpenReadWrite(const std::string& path) {
    Close();
    fd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd_ < 0) return false;
    struct stat st {};
    if (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        Close();
        return false;
    }
    path_ = path;
    return true;
}

bool THudsonFile::OpenOrCreate(const std::string& path) {
    Close();
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) return false;
    path_ = path;
    return true;
}

void THudsonFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    path_.clear();
    DropCache();
}

int64_t THudsonFile::Size() const {
    struct stat st {};
    if (fstat(fd_, &st) != 0) ThrowReadError(path_);
    return st.st_size;
}

size_t THudsonFile::ReadAt(int64_t offset, void* buffer, size_t count) const {
    auto* out = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(fd_, out + done, count - done, offset + static_cast<int64_t>(done));
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowReadError(path_);
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

size_t THudsonFile::ReadCached(int64_t offset, void* buffer, size_t count) {
    if (count > CacheWindow / 2) return ReadAt(offset, buffer, count);
    const bool inWindow = cacheLength_ > 0 && offset >= cacheOffset_ &&
                          static_cast<uint64_t>(offset - cacheOffset_) + count <= cacheLength_;
    if (inWindow) {
        ++cacheHits_;
    } else {
        // Read far ahead only while the reads keep landing in the window (a walk over a board that
        // fills much of the base); a board scattered thinly over the base gets page-sized reads.
        const size_t window = cacheHits_ >= 2 ? CacheWindow : SmallWindow;
        cache_.resize(CacheWindow);
        cacheLength_ = 0;
        cacheHits_ = 0;
        cacheLength_ = ReadAt(offset, cache_.data(), std::max(window, count));
        cacheOffset_ = offset;
    }
    const size_t start = static_cast<size_t>(offset - cacheOffset_);
    const size_t available = std::min(count, cacheLength_ - std::min(start, cacheLength_));
    std::memcpy(buffer, cache_.data() + start, available);
    return available;
}

void THudsonFile::WriteAt(int64_t offset, const void* buffer, size_t count) {
    DropCache();
    const auto* in = static_cast<const char*>(buffer);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pwrite(fd_, in + done, count - done, offset + static_cast<int64_t>(done));
        if (n < 0) {
            if (errno == EINTR) continue;
            throw EWriteError(ErrnoText(path_));
        }
        done += static_cast<size_t>(n);
    }
}

bool THudsonFile::TryLock(int64_t offset, int64_t length) {
    return SetLock(fd_, F_WRLCK, offset, length);
}

void THudsonFile::Unlock(int64_t offset, int64_t length) {
    SetLock(fd_, F_UNLCK, offset, length);
}

std::string FindFileNoCase(const std::string& dir, const std::string& name) {
    DIR* d = opendir(dir.c_str());
    if (!d) return {};
    std::string found;
    while (const dirent* entry = readdir(d)) {
        if (name == entry->d_name) {
            found = entry->d_name;
            break;
        }
        if (found.empty() && strcasecmp(name.c_str(), entry->d_name) == 0) found = entry->d_name;
    }
    closedir(d);
    return found.empty() ? std::string() : dir + found;
}

}  // namespace pelmar
