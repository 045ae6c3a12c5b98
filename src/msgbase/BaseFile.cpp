#include "msgbase/BaseFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <thread>

#include "core/Errors.h"

namespace pelmar {

namespace {

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c;
}

bool SameNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

bool IsRegular(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool HasUpper(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

std::atomic<int64_t> writerWaitMs{2000};
std::atomic<int64_t> markReadWaitMs{100};

bool SetLock(int fd, short type, uint64_t start, uint64_t length) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = static_cast<off_t>(start);
    lock.l_len = static_cast<off_t>(length);
    lock.l_pid = 0;  // required by open-file-description locks
    return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

}  // namespace

std::string JoinPath(const std::string& dir, const std::string& name) {
    if (dir.empty() || dir == ".") return name;
    std::string path;
    path.reserve(dir.size() + 1 + name.size());
    path.append(dir);
    if (dir.back() != '/') path.push_back('/');
    path.append(name);
    return path;
}

void SplitBasePath(const std::string& path, std::string& dir, std::string& stem) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        dir.assign(1, '.');
        stem = path;
        return;
    }
    dir = path.substr(0, slash == 0 ? 1 : slash);
    stem = path.substr(slash + 1);
}

std::string FindFileNoCase(const std::string& dir, const std::string& name) {
    const std::string exact = JoinPath(dir, name);
    if (IsRegular(exact)) return exact;
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return {};
    std::string found;
    while (const dirent* entry = ::readdir(d)) {
        if (!SameNoCase(entry->d_name, name)) continue;
        const std::string candidate = JoinPath(dir, entry->d_name);
        if (!IsRegular(candidate)) continue;
        found = candidate;
        break;
    }
    ::closedir(d);
    return found;
}

std::string BaseFilePath(const std::string& dir, const std::string& stem, std::string_view suffix,
                         std::initializer_list<std::string_view> siblings) {
    std::string wanted = stem;
    wanted.append(suffix);
    if (std::string found = FindFileNoCase(dir, wanted); !found.empty()) return found;
    bool upper = false;
    for (std::string_view sibling : siblings) {
        std::string siblingName = stem;
        siblingName.append(sibling);
        const std::string found = FindFileNoCase(dir, siblingName);
        if (!found.empty() && HasUpper(std::string_view(found).substr(found.size() - sibling.size())))
            upper = true;
    }
    std::string name = wanted;
    for (size_t i = stem.size(); i < name.size(); ++i)
        name[i] = upper ? AsciiUpper(name[i]) : AsciiLower(name[i]);
    return JoinPath(dir, name);
}

bool CreateNewFile(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == EEXIST) return false;
        throw EWriteError(ErrnoText("cannot create " + path));
    }
    size_t done = 0;
    int error = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error != 0) {
        ::unlink(path.c_str());  // ours alone: nobody can have used a file that is not complete
        errno = error;
        throw EWriteError(ErrnoText("cannot write " + path));
    }
    return true;
}

std::chrono::milliseconds WriterLockWait() {
    return std::chrono::milliseconds(writerWaitMs.load());
}

std::chrono::milliseconds MarkReadLockWait() {
    return std::chrono::milliseconds(markReadWaitMs.load());
}

void SetLockWaits(std::chrono::milliseconds writers, std::chrono::milliseconds markRead) {
    writerWaitMs = std::max<int64_t>(writers.count(), 0);
    markReadWaitMs = std::clamp<int64_t>(markRead.count(), 0, writerWaitMs.load());
}

TRangeLock::TRangeLock(int fd, uint64_t start, uint64_t length, std::chrono::milliseconds wait)
    : Fd(fd), Start(start), Length(length) {
    if (fd < 0) return;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    auto pause = std::chrono::milliseconds(5);
    for (;;) {
        if (SetLock(fd, F_WRLCK, start, length)) {
            Locked = true;
            return;
        }
        // Only a lock another holder has is worth waiting for (a read-only file never locks).
        if (errno != EAGAIN && errno != EACCES && errno != EINTR) return;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
}

TRangeLock::~TRangeLock() {
    if (Locked) SetLock(Fd, F_UNLCK, Start, Length);
}

}  // namespace pelmar
