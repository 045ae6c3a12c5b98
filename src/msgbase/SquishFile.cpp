#include "msgbase/SquishFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "core/Errors.h"

namespace pelmar {

namespace {

// Large enough that a walk costs few system calls, small enough to stay in the cache.
constexpr size_t ReadAhead = 256 * 1024;
// The first read after the buffer was dropped is usually a single message (a seek): read less.
constexpr size_t FirstFill = 8 * 1024;

// Reads up to `length` bytes; returns how many were there (short only at the end of the file).
size_t ReadAt(int fd, uint64_t offset, char* buffer, size_t length, const std::string& name) {
    size_t done = 0;
    while (done < length) {
        const ssize_t n = ::pread(fd, buffer + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            throw EReadError("Squish: cannot read " + name + ": " + std::strerror(errno));
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

[[noreturn]] void ThrowShort(const std::string& name, uint64_t offset) {
    throw EReadError("Squish: " + name + " ends before offset " + std::to_string(offset));
}

bool SetFirstByteLock(int fd, short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 1;
    return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

}  // namespace

TSquishFile::~TSquishFile() {
    Close();
}

bool TSquishFile::Open(const std::string& path) {
    Close();
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0 && (errno == EACCES || errno == EROFS)) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    path_ = path;
    writable_ = (::fcntl(fd, F_GETFL) & O_ACCMODE) == O_RDWR;
    bufferLength_ = 0;
    return true;
}

void TSquishFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    bufferLength_ = 0;
    std::vector<char>().swap(buffer_);
    std::vector<char>().swap(large_);
}

uint64_t TSquishFile::Size() const {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) throw EReadError("Squish: cannot stat " + path_);
    return static_cast<uint64_t>(st.st_size);
}

std::string_view TSquishFile::Read(uint64_t offset, size_t length) {
    if (fd_ < 0) throw EReadError("Squish: " + path_ + " is not open");
    if (offset >= bufferStart_ && offset - bufferStart_ <= bufferLength_ &&
        length <= bufferLength_ - (offset - bufferStart_))
        return {buffer_.data() + (offset - bufferStart_), length};
    if (length > ReadAhead) {
        // Sized by a length field: make sure the bytes exist before allocating for them.
        if (offset > Size() || length > Size() - offset) ThrowShort(path_, offset);
        large_.resize(length);
        if (ReadAt(fd_, offset, large_.data(), length, path_) != length) ThrowShort(path_, offset);
        return {large_.data(), length};
    }
    if (buffer_.empty()) buffer_.resize(ReadAhead);
    const size_t fill = bufferLength_ == 0 ? std::max(FirstFill, length) : ReadAhead;
    bufferLength_ = 0;
    const size_t got = ReadAt(fd_, offset, buffer_.data(), fill, path_);
    bufferStart_ = offset;
    bufferLength_ = got;
    if (got < length) ThrowShort(path_, offset);
    return {buffer_.data(), length};
}

void TSquishFile::ReadInto(uint64_t offset, void* buffer, size_t length) {
    if (fd_ < 0) throw EReadError("Squish: " + path_ + " is not open");
    if (ReadAt(fd_, offset, static_cast<char*>(buffer), length, path_) != length) ThrowShort(path_, offset);
}

void TSquishFile::Write(uint64_t offset, const void* data, size_t length) {
    DropBuffer();
    const char* p = static_cast<const char*>(data);
    size_t done = 0;
    while (done < length) {
        const ssize_t n = ::pwrite(fd_, p + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            throw EWriteError(ErrnoText("Squish: cannot write " + path_));
        }
        done += static_cast<size_t>(n);
    }
}

void TSquishFile::Truncate(uint64_t size) {
    DropBuffer();
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0)
        throw EWriteError(ErrnoText("Squish: cannot truncate " + path_));
}

bool TSquishFile::TryLockFirstByte() {
    return fd_ >= 0 && SetFirstByteLock(fd_, F_WRLCK);
}

void TSquishFile::UnlockFirstByte() {
    if (fd_ >= 0) SetFirstByteLock(fd_, F_UNLCK);
}

}  // namespace pelmar
