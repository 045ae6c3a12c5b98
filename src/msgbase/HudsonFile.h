#pragma once
// One open file of a Hudson base: positioned reads and writes that never go past what the file
// holds, and non-blocking exclusive byte-range locks that a tosser's record locks conflict with.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pelmar {

class THudsonFile {
public:
    THudsonFile() = default;
    ~THudsonFile() { Close(); }
    THudsonFile(const THudsonFile&) = delete;
    THudsonFile& operator=(const THudsonFile&) = delete;
    THudsonFile(THudsonFile&& other) noexcept;
    THudsonFile& operator=(THudsonFile&& other) noexcept;

    // Opens an existing file for shared reading and writing; false when that is not possible.
    bool OpenReadWrite(const std::string& path);
    // Opens for reading and writing, creating the file when it does not exist.
    bool OpenOrCreate(const std::string& path);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    const std::string& Name() const { return path_; }

    // Current size in bytes; raises EReadError when the file cannot be examined.
    int64_t Size() const;
    // Reads up to `count` bytes at `offset`; returns how many there were (fewer at the end of the file).
    // Raises EReadError when reading fails.
    size_t ReadAt(int64_t offset, void* buffer, size_t count) const;
    // Writes all `count` bytes at `offset` or raises EWriteError.
    void WriteAt(int64_t offset, const void* buffer, size_t count);
    // ReadAt through a window of the file read ahead, for walks that read record after record.
    // The window may be older than the file: drop it whenever another program's changes matter.
    size_t ReadCached(int64_t offset, void* buffer, size_t count);
    void DropCache() {
        cacheLength_ = 0;
        cacheHits_ = 0;
    }

    // Exclusive lock on [offset, offset + length), one attempt. Held by this open file description,
    // so another open of the same file (even in this process) is refused while it is held.
    bool TryLock(int64_t offset, int64_t length);
    void Unlock(int64_t offset, int64_t length);

private:
    static constexpr size_t CacheWindow = 32 * 1024;
    static constexpr size_t SmallWindow = 4 * 1024;

    int fd_ = -1;
    std::string path_;
    std::vector<char> cache_;
    int64_t cacheOffset_ = 0;
    size_t cacheLength_ = 0;
    int cacheHits_ = 0;  // reads served by the current window
};

// The existing entry of `dir` whose name equals `name` ignoring ASCII case ("" when there is none).
// An exact match wins over other spellings. `dir` ends with '/'.
std::string FindFileNoCase(const std::string& dir, const std::string& name);

// Holds a lock taken with TryLock until it goes out of scope.
class THudsonLock {
public:
    THudsonLock(THudsonFile& file, int64_t offset, int64_t length)
        : file_(file), offset_(offset), length_(length), held_(file.TryLock(offset, length)) {}
    ~THudsonLock() {
        if (held_) file_.Unlock(offset_, length_);
    }
    THudsonLock(const THudsonLock&) = delete;
    THudsonLock& operator=(const THudsonLock&) = delete;
    bool Held() const { return held_; }

private:
    THudsonFile& file_;
    int64_t offset_;
    int64_t length_;
    bool held_;
};

}  // namespace pelmar
