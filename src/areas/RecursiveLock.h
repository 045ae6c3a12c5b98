#pragma once
// A recursive lock owned by one thread at a time, taken in 50 ms slices.
//
// The user-interface thread and the background scan share area entries through it. A wait never has
// a total limit; TryLock is one slice, so a caller looping on it can give up between slices (the scan
// does so when it is asked to stop).
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace pelmar {

class TRecursiveLock {
public:
    static constexpr std::chrono::milliseconds Slice{50};

    TRecursiveLock() = default;
    TRecursiveLock(const TRecursiveLock&) = delete;
    TRecursiveLock& operator=(const TRecursiveLock&) = delete;

    // Waits until the lock is obtained, slice by slice; then the depth grows by one.
    void Lock();
    // One wait of at most one slice; true (and the depth grows by one) when obtained.
    bool TryLock();
    // Drops one level of depth and releases the lock once. A thread that does not hold the lock
    // changes nothing.
    void Unlock();
    // Releases every level the calling thread holds (used when the guarded object is destroyed).
    void UnlockAll();

    // How many times the holder has taken the lock; 0 when free. Meaningful for the holder.
    int Depth() const { return depth_.load(std::memory_order_relaxed); }
    bool HeldByCurrentThread() const { return owner_.load() == std::this_thread::get_id(); }

private:
    void Acquired();

    std::recursive_timed_mutex mutex_;
    std::atomic<std::thread::id> owner_{};
    std::atomic<int> depth_{0};  // written only by the holder, read by anyone
};

}  // namespace pelmar
