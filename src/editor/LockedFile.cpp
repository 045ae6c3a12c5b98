#include "editor/LockedFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "core/Codepage.h"
#include "platform/AtomicFile.h"

namespace pelmar {

namespace {

std::atomic<int> waitMs{5000};
std::mutex hookMutex;
std::function<void()> busyHook;

std::string Reason(const std::string& what, const std::string& path, int error) {
    return Utf8ToAnsi(what) + " " + path + " (" + std::strerror(error) + ")";
}

bool Busy(int error) {
    return error == EAGAIN || error == EACCES || error == EWOULDBLOCK || error == EINTR;
}

// One try at both locks; on failure errno says why and neither is held.
bool TryLock(int fd) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_pid = 0;  // open-file-description lock: a second one in this process waits too
    if (::fcntl(fd, F_OFD_SETLK, &lock) != 0) return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    const int error = errno;
    lock.l_type = F_UNLCK;
    ::fcntl(fd, F_OFD_SETLK, &lock);
    errno = error;
    return false;
}

// The file at `path` is still the one open as `fd` (not removed or replaced meanwhile).
bool StillThere(int fd, const std::string& path) {
    struct stat open {
    }, named{};
    if (::fstat(fd, &open) != 0 || ::stat(path.c_str(), &named) != 0) return false;
    return open.st_dev == named.st_dev && open.st_ino == named.st_ino && open.st_nlink > 0;
}

}  // namespace

TLockedFile::TLockedFile(const std::string& path) : path_(path) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs.load());
    for (;;) {
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd_ < 0) {
            error_ = Reason("не удаётся открыть", path, errno);
            return;
        }
        if (TryLock(fd_)) {
            if (StillThere(fd_, path)) return;
            Close();  // locked what is gone: take the file now at the path
            continue;
        }
        const int error = errno;
        Close();
        if (!Busy(error)) {
            error_ = Reason("не удаётся заблокировать", path, error);
            return;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            error_ = Utf8ToAnsi("файл занят другой программой: ") + path;
            return;
        }
        {
            const std::lock_guard<std::mutex> guard(hookMutex);
            if (busyHook) busyHook();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

TLockedFile::~TLockedFile() {
    Close();
}

void TLockedFile::Close() {
    // Closing the descriptor drops both locks.
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool TLockedFile::ReadAll(std::string& bytes) {
    bytes.clear();
    char buffer[8192];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(fd_, buffer, sizeof buffer, at);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error_ = Reason("не удаётся прочитать", path_, errno);
            return false;
        }
        if (n == 0) return true;
        bytes.append(buffer, static_cast<size_t>(n));
        at += n;
    }
}

bool TLockedFile::Append(const std::string& bytes) {
    if (WriteAll(fd_, bytes)) return true;
    error_ = Reason("не удаётся записать", path_, errno);
    return false;
}

void TLockedFile::SetWaitForTesting(int milliseconds) {
    waitMs = milliseconds;
}

void TLockedFile::SetBusyHookForTesting(std::function<void()> hook) {
    const std::lock_guard<std::mutex> guard(hookMutex);
    busyHook = std::move(hook);
}

}  // namespace pelmar
