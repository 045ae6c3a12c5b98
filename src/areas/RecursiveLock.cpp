#include "areas/RecursiveLock.h"

namespace pelmar {

void TRecursiveLock::Acquired() {
    owner_.store(std::this_thread::get_id());
    ++depth_;
}

void TRecursiveLock::Lock() {
    while (!mutex_.try_lock_for(Slice)) {
    }
    Acquired();
}

bool TRecursiveLock::TryLock() {
    if (!mutex_.try_lock_for(Slice)) return false;
    Acquired();
    return true;
}

void TRecursiveLock::Unlock() {
    // Releasing a mutex the thread does not hold is undefined; treat it as the no-op it should be.
    if (!HeldByCurrentThread() || depth_ <= 0) return;
    if (--depth_ == 0) owner_.store(std::thread::id{});
    mutex_.unlock();
}

void TRecursiveLock::UnlockAll() {
    while (HeldByCurrentThread() && depth_ > 0) Unlock();
}

}  // namespace pelmar
