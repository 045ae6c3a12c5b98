#pragma once
// What every base format needs from the file system: names matched the way tossers on Linux spell
// them, files created only where none exists, and the exclusive byte-range locks writers take.
#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace pelmar {

// ---- Names ---------------------------------------------------------------------------------------
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
// cannot release them.
class TRangeLock {
public:
    TRangeLock(int fd, uint64_t start, uint64_t length, std::chrono::milliseconds wait);
    ~TRangeLock();
    TRangeLock(const TRangeLock&) = delete;
    TRangeLock& operator=(const TRangeLock&) = delete;
    bool Held() const { return Locked; }
    explicit operator bool() const { return Locked; }

private:
    int Fd;
    uint64_t Start;
    uint64_t Length;
    bool Locked = false;
};

}  // namespace pelmar
