#pragma once
// What every base format needs from the file system: names matched the way tossers on Linux spell
// them, files created only where none exists, and the exclusive byte-range locks writers take.
#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include <sys/types.h>

namespace pelmar {

// ---- Names ---------------------------------------------------------------------------------------
// `name` ends with `suffix`, ignoring ASCII case (wildcard scans such as *.MSG).
bool EndsWithNoCase(std::string_view name, std::string_view suffix);
// `dir` + `name` with one '/' between them ("" or "." as `dir` gives the name in the current folder).
std::string JoinPath(const std::string& dir, const std::string& name);
// Splits a base path ("dir/stem") into its folder ("." when there is none) and its last part.
void SplitBasePath(const std::string& path, std::string& dir, std::string& stem);
// The existing regular file (or link to one) in `dir` whose name equals `name` ignoring ASCII case;
// an exact spelling wins over others. "" when there is none.
std::string FindFileNoCase(const std::string& dir, const std::string& name);
// Where the file `stem + suffix` of a base lives in `dir`: its existing spelling, or else the name
// a new file gets: the suffix in upper case when an existing sibling (`stem` + one of `siblings`)
// spells its suffix in upper case, otherwise in lower case. The stem is kept as given.
std::string BaseFilePath(const std::string& dir, const std::string& stem, std::string_view suffix,
                         std::initializer_list<std::string_view> siblings);

// ---- Creating --------------------------------------------------------------------------------------
// Creates `path` holding `bytes` only when no file of that name exists (create-new, never
// truncating); false when it exists already. Other failures raise EWriteError and remove the
// file this call created, so a later attempt starts clean.
bool CreateNewFile(const std::string& path, std::string_view bytes = {});
// The size of the file at `path`, or -1 when there is none. Any other failure to look raises
// EWriteError: a file that may exist must not be taken for an absent one.
int64_t ExistingFileSize(const std::string& path);

// ---- Files -----------------------------------------------------------------------------------------
// Positioned reads and writes on a descriptor that retry after signals. ReadFileAt returns the bytes
// read (fewer only at the end of the file), or -1 with errno set; WriteFileAt writes every byte or
// returns false with errno set.
ssize_t ReadFileAt(int fd, void* buffer, size_t length, uint64_t offset);
bool WriteFileAt(int fd, const void* data, size_t length, uint64_t offset);

// Owns one descriptor and closes it on destruction.
class TFileHandle {
public:
    explicit TFileHandle(int fd = -1) : Fd(fd) {}
    ~TFileHandle();
    TFileHandle(TFileHandle&& other) noexcept : Fd(other.Release()) {}
    TFileHandle& operator=(TFileHandle&& other) noexcept;
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;

    int Get() const { return Fd; }
    bool Valid() const { return Fd >= 0; }
    int Release();
    // Closes now and tells whether the close succeeded (a late write error shows up here).
    bool Close();

private:
    int Fd;
};

// One file of a base, opened for shared reading and writing: positioned reads that never go past
// what the file holds, a read-ahead window for walks that read record after record, whole writes,
// and the byte-range locks of the writers. Read failures raise EReadError, write failures
// EWriteError, both naming the file.
class TBaseFile {
public:
    TBaseFile() = default;
    TBaseFile(TBaseFile&&) noexcept = default;
    TBaseFile& operator=(TBaseFile&&) noexcept = default;
    TBaseFile(const TBaseFile&) = delete;
    TBaseFile& operator=(const TBaseFile&) = delete;

    // Opens an existing regular file for reading and writing; one that may only be read is opened
    // read-only (a base on read-only storage: its writes then fail to lock). False when it cannot be
    // opened.
    bool Open(const std::string& path);
    // Opens for reading and writing, creating the file when it does not exist (lists that grow).
    bool OpenOrCreate(const std::string& path);
    void Close();
    bool IsOpen() const { return Handle.Valid(); }
    bool Writable() const { return Handle.Valid() && CanWrite; }
    int Fd() const { return Handle.Get(); }
    const std::string& Name() const { return Path; }

    uint64_t Size() const;
    // Modification time in seconds since the epoch; -1 when unknown.
    int64_t ModifiedTime() const;

    // Up to `length` bytes at `offset`, straight from the file; fewer at its end.
    size_t ReadAt(uint64_t offset, void* buffer, size_t length) const;
    std::string ReadAt(uint64_t offset, size_t length) const;
    // Exactly `length` bytes straight from the file, or EReadError.
    void ReadExact(uint64_t offset, void* buffer, size_t length) const;

    // Reads through the read-ahead window: the first fill after a drop is `first` bytes, later ones
    // `later` while the reads keep landing in the window. The window may be older than the file:
    // drop it whenever another program's changes matter.
    void SetReadAhead(size_t first, size_t later);
    // Up to `length` bytes at `offset` (fewer at the end of the file); the view stays valid until the
    // next read or write through this object.
    std::string_view ReadCached(uint64_t offset, size_t length);
    // Exactly `length` bytes through the window, or EReadError.
    std::string_view ReadCachedExact(uint64_t offset, size_t length);
    size_t ReadCached(uint64_t offset, void* buffer, size_t length);
    void DropCache();

    // Writes every byte at `offset` or raises EWriteError.
    void WriteAt(uint64_t offset, const void* data, size_t length);
    void WriteAt(uint64_t offset, std::string_view bytes) { WriteAt(offset, bytes.data(), bytes.size()); }
    void Truncate(uint64_t size);

    // Exclusive lock on the byte range, one attempt (see TRangeLock for the writers' waiting lock).
    bool TryLock(uint64_t start, uint64_t length) const;
    void Unlock(uint64_t start, uint64_t length) const;

private:
    TFileHandle Handle;
    bool CanWrite = false;
    std::string Path;
    std::vector<char> Window;
    uint64_t WindowStart = 0;
    size_t WindowLength = 0;
    int WindowHits = 0;  // reads the current window served
    size_t FirstFill = 4 * 1024;
    size_t LaterFill = 32 * 1024;
};

// ---- Locks -----------------------------------------------------------------------------------------
// How long a write or delete waits for the lock another program holds before it is refused. Tossers
// hold it for a moment while they toss; about two seconds covers that without a long freeze.
std::chrono::milliseconds WriterLockWait();
// The read mark is set again on the next show, so MarkRead waits only briefly.
std::chrono::milliseconds MarkReadLockWait();
// For tests and tools: change both waits (the read-mark wait is capped at the writers' wait).
void SetLockWaits(std::chrono::milliseconds writers, std::chrono::milliseconds markRead);

// An exclusive open-file-description lock on [start, start + length) of `fd`, taken in the
// constructor (retrying until `wait` has passed) and released by the destructor. Such locks
// conflict with the record locks tossers take, and a second open of the same file in this process
// cannot release them. A shared lock (readers) lets other readers in and keeps writers out; it is
// taken on files opened read-only as well.
class TRangeLock {
public:
    enum class TMode { Exclusive, Shared };
    TRangeLock(int fd, uint64_t start, uint64_t length, std::chrono::milliseconds wait,
               TMode mode = TMode::Exclusive);
    ~TRangeLock();
    TRangeLock(const TRangeLock&) = delete;
    TRangeLock& operator=(const TRangeLock&) = delete;
    bool Held() const { return Locked; }
    explicit operator bool() const { return Locked; }
    // Not held because another holder kept the range for the whole wait (not because the file or
    // the file system refuses locks).
    bool HeldElsewhere() const { return Contended; }

private:
    int Fd;
    uint64_t Start;
    uint64_t Length;
    bool Locked = false;
    bool Contended = false;
};

}  // namespace pelmar
