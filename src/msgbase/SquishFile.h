#pragma once
// One file of a Squish base opened for shared reading and writing: bounded positioned reads through a
// read-ahead buffer (a walk over a base reads its frames in order, mostly), whole writes, and the
// exclusive lock writers take on byte 0.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelmar {

class TSquishFile {
public:
    TSquishFile() = default;
    ~TSquishFile();
    TSquishFile(const TSquishFile&) = delete;
    TSquishFile& operator=(const TSquishFile&) = delete;

    // Opens an existing file for reading and writing; a file that may only be read is opened read-only
    // (writes to it then fail to lock). False when the file cannot be opened.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    bool Writable() const { return fd_ >= 0 && writable_; }
    const std::string& Name() const { return path_; }

    // Current size on disk; raises EReadError when it cannot be taken.
    uint64_t Size() const;

    // Exactly `length` bytes at `offset`, or EReadError. The view stays valid until the next read or
    // write through this object.
    std::string_view Read(uint64_t offset, size_t length);
    // Exactly `length` bytes straight from the file into `buffer` (never from the read-ahead buffer).
    void ReadInto(uint64_t offset, void* buffer, size_t length);
    // Forgets buffered bytes so the next read sees what other programs wrote since.
    void DropBuffer() { bufferLength_ = 0; }

    // Writes all bytes or raises EWriteError.
    void Write(uint64_t offset, const void* data, size_t length);
    void Truncate(uint64_t size);

    // Non-blocking exclusive open-file-description lock on byte 0; false when another holder has it.
    bool TryLockFirstByte();
    void UnlockFirstByte();

private:
    int fd_ = -1;
    bool writable_ = false;
    std::string path_;
    std::vector<char> buffer_;
    uint64_t bufferStart_ = 0;
    size_t bufferLength_ = 0;
    // Reads larger than the buffer go here, so no view needs the buffer to grow.
    std::vector<char> large_;
};

}  // namespace pelmar
