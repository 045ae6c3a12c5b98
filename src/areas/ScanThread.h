#pragma once
// The background scan: keeps MsgCount, Read and PersonalUnread of every area with a base current.
//
// The scan watches the folders that hold the areas' bases (platform/FolderWatcher.h). When a file of
// a base changes, that area is marked; once no change has come for it for QuietPeriod (or QuietCap
// after the first change, for a writer that never stops), it alone is counted. So one toss of many
// messages into an area is one count of it, and a change in one base of a folder of many bases
// counts that one.
//
// A walk goes over AreaRegistry() by index, holding the registry only to fetch one entry; it waits
// for the entry's lock in 50 ms attempts (giving up at once when asked to stop), counts the area
// through a private base if the walk wants it, and releases the entry before the next. Every walk
// also notes which folder and files belong to each area, and the watched folders follow that list.
//
// Besides the counts on change: a full pass over every area at start and then every
// FullPassInterval, as a safety net; and every FallbackInterval a count of the areas whose folder
// cannot be watched (a network file system, the limit of watches reached, no folder yet). The first
// time watching fails for a reason the user can act on, the report carries a WatchNote.
//
// RequestCount wakes it for a walk that counts the entries whose counters belong to no base yet (new
// entries, a changed kind or path; see TAreaInfo::CountedKind) and picks up added and removed areas.
//
// After each walk that counted something it calls the notification with a TScanReport (on the scan
// thread: the receiver turns it into a queued call to the main window). While nothing happens the
// thread sleeps in poll() until the next timed walk: no lock is held and no timer ticks.
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "areas/LiveMail.h"
#include "platform/FolderWatcher.h"

namespace pelmar {

class TAreaInfo;
class TMessageBase;

class TScanThread {
public:
    using TNotify = std::function<void(const TScanReport& report)>;
    // Called on the scan thread after each entry of a walk, once the entry is released. Tests use it
    // to act at a known point of a walk instead of guessing by the clock.
    using TBetweenAreas = std::function<void(const TAreaInfo& entry)>;
    using TClockPoint = std::chrono::steady_clock::time_point;
    using TClock = std::function<TClockPoint()>;
    // Called on the scan thread after file events were taken in, with the IDs of the areas now
    // waiting for their writes to settle.
    using TEventsSeen = std::function<void(const std::vector<std::string>& waitingAreaIds)>;

    static constexpr std::chrono::milliseconds QuietPeriod{400};
    static constexpr std::chrono::seconds QuietCap{5};
    static constexpr std::chrono::minutes FullPassInterval{15};
    static constexpr std::chrono::seconds FallbackInterval{30};
    // Personal messages remembered per area to tell new ones from those seen before.
    static constexpr size_t PersonalKeysPerArea = 2048;

    // Made but not running; Start runs it.
    explicit TScanThread(TNotify notify);
    // Asks the thread to end and waits for it.
    ~TScanThread();
    TScanThread(const TScanThread&) = delete;
    TScanThread& operator=(const TScanThread&) = delete;

    // Starts the run at the lowest priority the system allows. Once only.
    void Start();
    // Asks the run to end: a rest ends at once, a walk after the area it is counting.
    void Terminate();
    // Waits until the run has ended (nothing when it never started).
    void WaitFor();
    bool Running() const { return thread_.joinable(); }
    // Full passes finished (including one cut short by termination).
    int Passes() const { return passes_.load(); }
    // Counts of single areas after their bases changed, one per area (tests and measurements).
    int Recounts() const { return recounts_.load(); }
    // Times the queue of file events overflowed (tests and measurements).
    int Overflows() const { return overflows_.load(); }
    // Asks for a walk over new and changed entries as soon as the running walk (if any) is over.
    // Any thread.
    void RequestCount();
    // Makes the thread look at its clock again (after a test moved its clock). Any thread.
    void Wake();

    // Before Start only.
    void SetBetweenAreas(TBetweenAreas betweenAreas) { betweenAreas_ = std::move(betweenAreas); }
    void SetEventsSeen(TEventsSeen eventsSeen) { eventsSeen_ = std::move(eventsSeen); }
    void SetClockForTesting(TClock clock) { clock_ = std::move(clock); }
    void SetWatchSystemForTesting(TWatchSystem system) { watchSystem_ = std::move(system); }

    // The folders watched now (any thread).
    std::vector<std::string> WatchedFolders() const;

    // One pass counting every area, without watching or personal-mail news; false when it was cut
    // short because `stop` asked for it.
    static bool Pass(const std::stop_token& stop);
    // Counts one area whose lock the caller holds: all three counters 0 when it has no usable base
    // (its OpenFailure then says why).
    static void CountArea(TAreaInfo& area);
    // The entry's counters belong to no base yet (read under its lock).
    static bool Uncounted(const TAreaInfo& area);

    // Where an area's base lives as the watcher sees it.
    struct TBaseFiles {
        std::string Folder;  // FolderWatcher::FolderKey form; empty when the kind has no files
        int Kind = 0;
        std::string Stem;  // JAM and Squish: the base's name without extension
    };
    static TBaseFiles BaseFilesOf(int kind, const std::string& path);
    // The file `name` in the base's folder belongs to the base (an empty name: the folder itself).
    static bool BelongsToBase(const TBaseFiles& files, const std::string& name);

    // Sizes and modification times of a base's files; empty when the kind's files cannot be listed
    // (*.MSG: a message rewritten in place changes no size of the folder).
    using TStamp = std::vector<int64_t>;
    static TStamp StampOf(const TBaseFiles& files);

    // The personal mail an area held at its previous count (scan thread only).
    struct TPersonalSeen {
        int Kind = -1;
        std::string Path;
        std::vector<uint64_t> Keys;  // sorted
    };

private:
    struct TTarget {
        std::string Id;
        TBaseFiles Files;
    };
    struct TWaiting {
        TClockPoint First, Last;
    };
    using TWanted = std::function<bool(const TAreaInfo& entry)>;

    void Run(std::stop_token stop);
    // One walk over the registry counting the entries `wanted` picks; false when cut short.
    bool Walk(const std::stop_token& stop, const TWanted& wanted, TScanReport& report);
    // CountArea plus the personal mail that is new since the area's previous count.
    void CountAreaLive(TAreaInfo& area, TScanReport& report);
    // Watches the folders of the targets of the last walk and gives up the others.
    void FollowTargets(TScanReport& report);
    void TakeEvents();
    void Report(TScanReport& report);
    TClockPoint Now() const { return clock_ ? clock_() : std::chrono::steady_clock::now(); }
    void DrainWake();

    TNotify notify_;
    TBetweenAreas betweenAreas_;
    TEventsSeen eventsSeen_;
    TClock clock_;
    TWatchSystem watchSystem_ = TWatchSystem::Real();
    std::jthread thread_;
    std::atomic<int> passes_{0};
    std::atomic<int> recounts_{0};
    std::atomic<int> overflows_{0};
    std::atomic<bool> countRequested_{false};
    int wakeFd_ = -1;

    // Scan thread only.
    std::unique_ptr<TFolderWatcher> watcher_;
    std::vector<TTarget> targets_;
    std::map<std::string, std::vector<size_t>> folderTargets_;  // folder -> indexes into targets_
    std::set<std::string> unwatched_;                           // area IDs counted by the fallback
    std::map<std::string, TWaiting> waiting_;
    std::map<std::string, TPersonalSeen> personal_;
    std::map<std::string, TStamp> stamps_;  // taken before each count, for a queue that overflowed
    std::set<TWatchResult> noted_;

    mutable std::mutex watchedMutex_;
    std::vector<std::string> watched_;
};

}  // namespace pelmar
