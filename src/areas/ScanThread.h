#pragma once
// The background scan: keeps MsgCount, Read and PersonalUnread of every area with a base current.
//
// One pass walks AreaRegistry() by index, holding the registry only to fetch one entry; it waits for
// the entry's lock in 50 ms attempts (giving up at once when asked to stop), counts the area through
// a private base and releases the entry before the next. After each pass it calls the notification
// (on the scan thread: the receiver turns it into a queued call to the main window) and rests 30
// seconds in 100 ms steps. No lock is held while it rests.
#include <atomic>
#include <chrono>
#include <functional>
#include <stop_token>
#include <thread>

namespace pelmar {

class TAreaInfo;

class TScanThread {
public:
    using TNotify = std::function<void()>;
    // Called on the scan thread after each entry of a pass, once the entry is released. Tests use it
    // to act at a known point of a pass instead of guessing by the clock.
    using TBetweenAreas = std::function<void(const TAreaInfo& entry)>;

    static constexpr int RestSteps = 300;
    static constexpr std::chrono::milliseconds RestStep{100};

    // Made but not running; Start runs it.
    explicit TScanThread(TNotify notify);
    // Asks the thread to end and waits for it.
    ~TScanThread();
    TScanThread(const TScanThread&) = delete;
    TScanThread& operator=(const TScanThread&) = delete;

    // Starts the run at the lowest priority the system allows. Once only.
    void Start();
    // Asks the run to end: a rest ends within one step, a pass after the area it is counting.
    void Terminate();
    // Waits until the run has ended (nothing when it never started).
    void WaitFor();
    bool Running() const { return thread_.joinable(); }
    // Passes finished (including one cut short by termination).
    int Passes() const { return passes_.load(); }
    // Before Start only.
    void SetBetweenAreas(TBetweenAreas betweenAreas) { betweenAreas_ = std::move(betweenAreas); }

    // One pass over the areas; false when it was cut short because `stop` asked for it.
    static bool Pass(const std::stop_token& stop, const TBetweenAreas& betweenAreas = {});
    // Counts one area whose lock the caller holds: all three counters 0 when it has no usable base.
    static void CountArea(TAreaInfo& area);

private:
    void Run(std::stop_token stop);
    void Rest(const std::stop_token& stop);

    TNotify notify_;
    TBetweenAreas betweenAreas_;
    std::jthread thread_;
    std::atomic<int> passes_{0};
};

}  // namespace pelmar
