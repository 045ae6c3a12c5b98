#pragma once
// Shortens how long writers and MarkRead wait for a held lock, for the life of the object, so
// tests of refused writes do not wait the full time.
#include <chrono>

#include "msgbase/BaseFile.h"

namespace pelmar::test {

class TShortLockWaits {
public:
    explicit TShortLockWaits(std::chrono::milliseconds writers = std::chrono::milliseconds(100),
                             std::chrono::milliseconds markRead = std::chrono::milliseconds(50))
        : SavedWriters(WriterLockWait()), SavedMarkRead(MarkReadLockWait()) {
        SetLockWaits(writers, markRead);
    }
    ~TShortLockWaits() { SetLockWaits(SavedWriters, SavedMarkRead); }
    TShortLockWaits(const TShortLockWaits&) = delete;
    TShortLockWaits& operator=(const TShortLockWaits&) = delete;

private:
    std::chrono::milliseconds SavedWriters;
    std::chrono::milliseconds SavedMarkRead;
};

}  // namespace pelmar::test
