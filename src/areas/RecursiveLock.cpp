#include "areas/RecursiveLock.h"

namespace pelmar {

void TRecursiveLock::Acquired() {
    owner_.store(std::this_thread::get_id());
    depth_.fetch_add(1, std::memory_order_relaxed);
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
    if (!HeldByCurrentThread() || Depth() <= 0) return;
    if (depth_.fetch_sub(1, std::memory_order_relaxed) == 1) owner_.store(std::thread::id{});
    mutex_.unlock();
}

void TRecursiveLock::UnlockAll() {
    while (HeldByCurrentThread() && Depth() > 0) Unlock();
}

}  // namespace pelmar
