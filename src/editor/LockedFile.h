#pragma once
// A small text file shared with other programs (a tosser's lists, a log), opened and locked for one
// change. The lock is taken on the file itself, both as a record lock and as a flock, so that a
// program using either kind waits for us and we wait for it. The wait is bounded: a program that
// keeps the lock forever makes the change fail with a reason, never hang.
#include <functional>
#include <string>

namespace pelmar {

class TLockedFile {
public:
    // Opens `path` for reading and appending (created with 0644 when missing) and locks it. When the
    // file was removed or replaced while we waited (a tosser deletes its list once it has read it),
    // the file now at `path` is opened and locked instead.
    explicit TLockedFile(const std::string& path);
    ~TLockedFile();
    TLockedFile(const TLockedFile&) = delete;
    TLockedFile& operator=(const TLockedFile&) = delete;

    // Locked and ready; otherwise Error() says why (CP1251).
    explicit operator bool() const { return fd_ >= 0; }
    const std::string& Error() const { return error_; }

    // The whole file as it is now; false with Error() set when it cannot be read.
    bool ReadAll(std::string& bytes);
    // Adds `bytes` at the end; false with Error() set when the write failed.
    bool Append(const std::string& bytes);

    // Tests: the longest wait for another program's lock, and a call made every time it was found
    // taken.
    static void SetWaitForTesting(int milliseconds);
    static void SetBusyHookForTesting(std::function<void()> hook);

private:
    void Close();
    std::string path_;
    std::string error_;
    int fd_ = -1;
};

}  // namespace pelmar
