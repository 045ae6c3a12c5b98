#include "platform/SerialCounter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <limits>
#include <mutex>
#include <thread>

#include "platform/Paths.h"

namespace pelmar {

namespace {

// Fixed width, so that a torn rewrite cannot leave a larger value behind.
constexpr size_t SerialWidth = 10;

std::mutex ProcessMutex;
uint32_t ProcessLast = 0;

class TFileLock {
public:
    explicit TFileLock(int fd) : fd_(fd) {
        // Holders keep the lock for a read and a write; a holder that is stopped must not hang us.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        for (;;) {
            struct flock lock {};
            lock.l_type = F_WRLCK;
            lock.l_whence = SEEK_SET;
            if (fcntl(fd_, F_OFD_SETLK, &lock) == 0) {
                locked_ = true;
                return;
            }
            if ((errno != EAGAIN && errno != EACCES && errno != EINTR) ||
                std::chrono::steady_clock::now() > deadline) {
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    ~TFileLock() {
        if (!locked_) return;
        struct flock lock {};
        lock.l_type = F_UNLCK;
        lock.l_whence = SEEK_SET;
        fcntl(fd_, F_OFD_SETLK, &lock);
    }
    TFileLock(const TFileLock&) = delete;
    TFileLock& operator=(const TFileLock&) = delete;
    bool Locked() const { return locked_; }

private:
    int fd_;
    bool locked_ = false;
};

// The value stored in the file; 0 for an empty or damaged file.
uint32_t ReadStored(int fd) {
    char text[SerialWidth + 2] = {};
    const ssize_t got = pread(fd, text, SerialWidth, 0);
    if (got <= 0) return 0;
    uint64_t value = 0;
    for (ssize_t i = 0; i < got; ++i) {
        if (text[i] < '0' || text[i] > '9') return i == 0 ? 0 : static_cast<uint32_t>(value);
        value = value * 10 + static_cast<uint64_t>(text[i] - '0');
        if (value > std::numeric_limits<uint32_t>::max()) return 0;
    }
    return static_cast<uint32_t>(value);
}

void Store(int fd, uint32_t value) {
    char text[SerialWidth + 2];
    std::snprintf(text, sizeof text, "%010u\n", static_cast<unsigned>(value));
    if (pwrite(fd, text, SerialWidth + 1, 0) == static_cast<ssize_t>(SerialWidth + 1)) {
        // Drops whatever a damaged file held beyond the value.
        const int ignored = ftruncate(fd, SerialWidth + 1);
        (void)ignored;
    }
}

uint32_t After(uint32_t last, uint32_t now) {
    // At the top of the range the clock is the only sound source left.
    if (last == std::numeric_limits<uint32_t>::max()) return now;
    return now > last ? now : last + 1;
}

class TFd {
public:
    explicit TFd(int fd) : fd_(fd) {}
    ~TFd() {
        if (fd_ >= 0) close(fd_);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return fd_; }

private:
    int fd_;
};

}  // namespace

uint32_t NextSerial(const std::string& file, uint32_t now) {
    const std::lock_guard<std::mutex> guard(ProcessMutex);
    uint32_t serial = After(ProcessLast, now);
    const TFd fd(open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (fd.Get() >= 0) {
        const TFileLock lock(fd.Get());
        const uint32_t stored = ReadStored(fd.Get());
        if (stored >= serial) serial = After(stored, now);
        if (lock.Locked()) Store(fd.Get(), serial);
    }
    ProcessLast = serial;
    return serial;
}

uint32_t NextMsgIdSerial(uint32_t now) {
    // Without a home (EHomeFolderError) no serial is handed out: other processes could repeat it.
    return NextSerial(HomeFolder() + "msgid.serial", now);
}

}  // namespace pelmar
