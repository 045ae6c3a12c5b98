#pragma once
// One open file of a JAM base: positioned reads and writes, its size, and the non-blocking
// open-file-description lock the base takes around writes.
#include <cstdint>
#include <string>
#include <string_view>

namespace pelmar {

class TJamFile {
public:
    TJamFile() = default;
    ~TJamFile() { Close(); }
    TJamFile(const TJamFile&) = delete;
    TJamFile& operator=(const TJamFile&) = delete;

    // Opens an existing file for shared reading and writing; false when it cannot be opened.
    bool Open(const std::string& path);
    // Opens for reading only (a base on read-only storage); locks for writing then fail.
    bool OpenReadOnly(const std::string& path);
    // Creates the file, or empties an existing one, and opens it for reading and writing.
    bool Create(const std::string& path);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

    // Up to `length` bytes at `offset`; fewer at the end of the file. Raises EReadError on an I/O error.
    std::string ReadAt(uint64_t offset, size_t length) const;
    // The same into a caller's buffer; returns the number of bytes read.
    size_t ReadAt(uint64_t offset, char* buffer, size_t length) const;
    // Writes every byte at `offset`; raises EWriteError on failure.
    void WriteAt(uint64_t offset, std::string_view bytes) const;
    // Current size on disk; raises EReadError when it cannot be asked.
    uint64_t Size() const;
    void Truncate(uint64_t size) const;
    // Modification time in seconds since the epoch; -1 when unknown.
    int64_t ModifiedTime() const;

    // Exclusive lock on the byte range, one attempt. Locks belong to this open file, so another open
    // of the same file (a second base object in this process) cannot release them.
    bool TryLock(uint64_t start, uint64_t length) const;
    void Unlock(uint64_t start, uint64_t length) const;

    // The name of an existing file `dir/name` matched case-insensitively (an exact match is
    // preferred); empty when there is none.
    static std::string FindNoCase(const std::string& dir, const std::string& name);

private:
    int fd_ = -1;
};

}  // namespace pelmar
