#include "areas/RecursiveLock.h"

namespace pelmar {

namespace {

// One slice against the system clock: that wait is pthread_mutex_timedlock, which ThreadSanitizer
// understands (the steady-clock variant is invisible to it and drowns real reports in false ones).
// A clock change can only stretch or shorten one slice; no wait has a total limit anyway.
bool WaitOneSlice(std::recursive_timed_mutex& mutex) {
    return mutex.try_lock_until(std::chrono::system_clock::now() + TRecursiveLock::Slice);
}

}  // namespace

void TRecursiveLock::Acquired() {
    owner_.store(std::this_thread::get_id());
    depth_.fetch_add(1, std::memory_order_relaxed);
}

void TRecursiveLock::Lock() {
    while (!WaitOneSlice(mutex_)) {
    }
    Acquired();
}

bool TRecursiveLock::TryLock() {
    if (!WaitOneSlice(mutex_)) return false;
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
