#pragma once
// The background scan: keeps MsgCount, Read and PersonalUnread of every area with a base current.
//
// One pass walks AreaRegistry() by index, holding the registry only to fetch one entry; it waits for
// the entry's lock in 50 ms attempts (giving up at once when asked to stop), counts the area through
// a private base and releases the entry before the next. After each pass it calls the notification
// (on the scan thread: the receiver turns it into a queued call to the main window) and rests 30
// seconds in 100 ms steps. No lock is held while it rests.
//
// RequestCount wakes it from the rest for a short pass over the entries whose counters belong to
// no base yet (new entries, a changed kind or path; see TAreaInfo::CountedKind), with the same
// notification after it; the full passes keep their 30-second rhythm.
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
    // Passes finished (including one cut short by termination); short passes are not counted.
    int Passes() const { return passes_.load(); }
    // Asks for a short pass as soon as the running pass (if any) is over. Any thread.
    void RequestCount();
    // Before Start only.
    void SetBetweenAreas(TBetweenAreas betweenAreas) { betweenAreas_ = std::move(betweenAreas); }

    // Which entries a pass counts: all of them, or only those whose counters belong to no base yet.
    enum class TPassKind { All, Uncounted };
    // One pass over the areas; false when it was cut short because `stop` asked for it.
    static bool Pass(const std::stop_token& stop, const TBetweenAreas& betweenAreas = {},
                     TPassKind kind = TPassKind::All);
    // Counts one area whose lock the caller holds: all three counters 0 when it has no usable base
    // (its OpenFailure then says why).
    static void CountArea(TAreaInfo& area);
    // The entry's counters belong to no base yet (read under its lock).
    static bool Uncounted(const TAreaInfo& area);

private:
    void Run(std::stop_token stop);
    // Rests the steps left (counting them down); true when a count request ended it early.
    bool Rest(const std::stop_token& stop, int& stepsLeft);

    TNotify notify_;
    TBetweenAreas betweenAreas_;
    std::jthread thread_;
    std::atomic<int> passes_{0};
    std::atomic<bool> countRequested_{false};
};

}  // namespace pelmar
