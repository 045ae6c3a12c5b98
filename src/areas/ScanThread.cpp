#include "areas/ScanThread.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "areas/gizmo.h"
#include "core/Codepage.h"
#include "core/Errors.h"
#include "core/Settings.h"
#include "msgbase/BaseFactory.h"
#include "msgbase/BaseFile.h"
#include "msgbase/MessageBase.h"

namespace pelmar {

namespace {

// The weakest claim on the processor a thread can make without privileges.
void LowestPriority() {
    const auto thread = static_cast<id_t>(::syscall(SYS_gettid));
    ::setpriority(PRIO_PROCESS, thread, 19);  // failure just leaves the priority as it was
}

// The three counters of an open base, and where its personal unread messages are (the last
// `keepPositions` of them).
struct TCounted {
    int32_t Count = 0;
    int32_t Unread = 0;
    int32_t Personal = 0;
    std::vector<int32_t> PersonalPositions;
    bool PositionsCut = false;  // more personal unread messages than were kept
};

// One walk reading only the recipient and the read mark. A message that cannot be read counts as
// read (nobody can read it); a walk that breaks off keeps what was counted so far.
TCounted CountBase(TMessageBase& base, size_t keepPositions) {
    TCounted counted;
    try {
        counted.Count = base.Count();
    } catch (const std::exception&) {
        counted.Count = 0;
    }
    int32_t unread = counted.Count;
    try {
        for (bool more = base.First(); more; more = base.Next()) {
            try {
                base.ReadToAndRead();
            } catch (const EReadError&) {
                --unread;
                continue;
            } catch (const EConvertError&) {
                --unread;
                continue;
            }
            if (base.Read) {
                --unread;
                continue;
            }
            if (base.ToName != Settings.FullName) continue;
            ++counted.Personal;
            if (keepPositions == 0) continue;
            counted.PersonalPositions.push_back(base.Current);
            if (counted.PersonalPositions.size() >= 2 * keepPositions) {
                counted.PersonalPositions.erase(
                    counted.PersonalPositions.begin(),
                    counted.PersonalPositions.end() - static_cast<ptrdiff_t>(keepPositions));
                counted.PositionsCut = true;
            }
        }
    } catch (const std::exception&) {
        // The walk itself broke: what was counted so far is the best there is.
    }
    if (counted.PersonalPositions.size() > keepPositions) {
        counted.PersonalPositions.erase(
            counted.PersonalPositions.begin(),
            counted.PersonalPositions.end() - static_cast<ptrdiff_t>(keepPositions));
        counted.PositionsCut = true;
    }
    counted.Unread = unread < 0 ? 0 : unread;
    return counted;
}

// What identifies a message however the base is renumbered: its MSGID, else sender, subject and
// date together.
uint64_t MessageKey(const TMessageBase& base) {
    uint64_t hash = 14695981039346656037ull;
    auto add = [&hash](std::string_view bytes) {
        for (const char c : bytes) {
            hash ^= static_cast<unsigned char>(c);
            hash *= 1099511628211ull;
        }
    };
    if (!base.MsgId.empty()) {
        add("M");
        add(base.MsgId);
        return hash;
    }
    add("F");
    add(base.FromName);
    add(std::string_view("\0", 1));
    add(base.Subject);
    add(std::string_view("\0", 1));
    add(std::to_string(DateTimeToUnix(base.Date)));
    return hash;
}

// Drops the scan's hold on an entry on every way out.
struct THold {
    TAreaInfo* Entry;
    ~THold() { AreaRegistry().ReleaseHold(Entry); }
};

// Walks the registry by index; `visit` runs under the lock of every ordinary area with a base kind
// that is in a tree. False when cut short by `stop`.
bool WalkRegistry(const std::stop_token& stop, const TScanThread::TBetweenAreas& betweenAreas,
                  const std::function<void(TAreaInfo&)>& visit) {
    for (int i = 0;; ++i) {
        TAreaInfo* entry = AreaRegistry().HoldItem(i);
        if (entry == nullptr) return true;
        THold hold{entry};
        bool locked = false;
        while (!stop.stop_requested() && !TAreaContainer::Abandoned(*entry)) {
            if (entry->TryLock()) {
                locked = true;
                break;
            }
        }
        if (!locked) {
            if (stop.stop_requested()) return false;
            continue;  // the entry is being destroyed; the index now names the next one
        }
        {
            const TAreaLock lock(*entry, TAreaLock::AdoptTag{});
            if (stop.stop_requested()) return false;
            // An entry without a parent is being built (or is a root or an import container): its
            // fields are not ready to be read from this thread.
            const bool area = !TAreaContainer::Abandoned(*entry) && entry->Parent() != nullptr &&
                              entry->Zilo == ZiloOrdinary && entry->Kind > 0;
            if (area) visit(*entry);
        }
        if (betweenAreas) betweenAreas(*entry);
    }
}

std::string WatchNoteText(TWatchResult why) {
    // Short enough for the status line.
    const char* reason = nullptr;
    switch (why) {
        case TWatchResult::RemoteFileSystem:
            reason = "сетевой диск";
            break;
        case TWatchResult::LimitReached:
            reason = "исчерпан предел inotify";
            break;
        case TWatchResult::Unavailable:
            reason = "inotify недоступен";
            break;
        default:
            reason = "папка недоступна для наблюдения";
            break;
    }
    return Utf8ToAnsi(std::string("Изменения баз не отслеживаются (") + reason +
                      "): новые письма видны с задержкой до 30 секунд");
}

// Stores the area's counters from its private base, all three 0 when it has no usable base (its
// OpenFailure then says why); remembers which base they belong to.
TCounted StoreCounters(TAreaInfo& area, const TOpenedBase& base, size_t keepPositions) {
    area.CountedKind = area.Kind;
    area.CountedPath = area.Path;
    if (!base) {
        area.Read = 0;
        area.MsgCount = 0;
        area.PersonalUnread = 0;
        return {};
    }
    const TCounted counted = CountBase(*base.get(), keepPositions);
    area.Read = counted.Unread;
    area.MsgCount = counted.Count;
    area.PersonalUnread = counted.Personal;
    return counted;
}

}  // namespace

TScanThread::TScanThread(TNotify notify) : notify_(std::move(notify)) {
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

TScanThread::~TScanThread() {
    Terminate();
    WaitFor();
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

void TScanThread::Start() {
    if (thread_.joinable()) return;
    thread_ = std::jthread([this](std::stop_token stop) { Run(std::move(stop)); });
}

void TScanThread::Terminate() {
    thread_.request_stop();
}

void TScanThread::WaitFor() {
    if (thread_.joinable()) thread_.join();
}

void TScanThread::RequestCount() {
    countRequested_ = true;
    Wake();
}

void TScanThread::Wake() {
    if (wakeFd_ < 0) return;
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &one, sizeof one);  // full: awake anyway
}

void TScanThread::DrainWake() {
    if (wakeFd_ < 0) return;
    uint64_t value = 0;
    [[maybe_unused]] const ssize_t got = ::read(wakeFd_, &value, sizeof value);
}

std::vector<std::string> TScanThread::WatchedFolders() const {
    const std::lock_guard guard(watchedMutex_);
    return watched_;
}

bool TScanThread::Uncounted(const TAreaInfo& area) {
    return area.CountedKind != area.Kind || area.CountedPath != area.Path;
}

void TScanThread::CountArea(TAreaInfo& area) {
    const TOpenedBase base(area, TBaseMode::Private);
    StoreCounters(area, base, 0);
}

bool TScanThread::Pass(const std::stop_token& stop) {
    return WalkRegistry(stop, {}, [](TAreaInfo& entry) {
        try {
            CountArea(entry);
        } catch (const std::exception&) {
            // Nothing an area holds may end the scan; its counters stay as they were.
        }
    });
}

TScanThread::TBaseFiles TScanThread::BaseFilesOf(int kind, const std::string& path) {
    TBaseFiles files;
    files.Kind = kind;
    if (path.empty()) return files;
    switch (kind) {
        case BaseKindMsg:
            files.Folder = TFolderWatcher::FolderKey(path);
            break;
        case BaseKindJam:
        case BaseKindSquish: {
            std::string dir;
            SplitBasePath(path, dir, files.Stem);
            files.Folder = TFolderWatcher::FolderKey(dir);
            break;
        }
        case BaseKindHudson:
            // The board number, then the folder of the board files.
            files.Folder = TFolderWatcher::FolderKey(path.substr(1));
            break;
        default:
            break;
    }
    return files;
}

bool TScanThread::BelongsToBase(const TBaseFiles& files, const std::string& name) {
    if (name.empty()) return true;
    auto stemAnd = [&](std::initializer_list<std::string_view> extensions) {
        for (std::string_view extension : extensions) {
            if (name.size() != files.Stem.size() + extension.size()) continue;
            // The whole name ignoring case, as the formats find their files.
            if (EndsWithNoCase(name, files.Stem + std::string(extension))) return true;
        }
        return false;
    };
    switch (files.Kind) {
        case BaseKindMsg:
            return true;
        case BaseKindJam:
            return stemAnd({".jhr", ".jdt", ".jdx", ".jlr"});
        case BaseKindSquish:
            return stemAnd({".sqd", ".sqi", ".sql"});
        case BaseKindHudson:
            return EndsWithNoCase(name, ".bbs");
        default:
            return false;
    }
}

TScanThread::TStamp TScanThread::StampOf(const TBaseFiles& files) {
    std::vector<std::string> names;
    switch (files.Kind) {
        case BaseKindJam:
            for (const char* extension : {".jhr", ".jdt", ".jdx"}) names.push_back(files.Stem + extension);
            break;
        case BaseKindSquish:
            for (const char* extension : {".sqd", ".sqi"}) names.push_back(files.Stem + extension);
            break;
        case BaseKindHudson:
            names = {"msginfo.bbs", "msgidx.bbs", "msgtoidx.bbs", "msghdr.bbs", "msgtxt.bbs"};
            break;
        default:
            return {};
    }
    TStamp stamp;
    for (const std::string& name : names) {
        const std::string path = FindFileNoCase(files.Folder, name);
        struct stat info {};
        if (path.empty() || ::stat(path.c_str(), &info) != 0) {
            stamp.insert(stamp.end(), {-1, -1, -1});
            continue;
        }
        stamp.insert(stamp.end(),
                     {static_cast<int64_t>(info.st_size), static_cast<int64_t>(info.st_mtim.tv_sec),
                      static_cast<int64_t>(info.st_mtim.tv_nsec)});
    }
    return stamp;
}

void TScanThread::CountAreaLive(TAreaInfo& area, TScanReport& report) {
    const auto seenAt = personal_.find(area.ID);
    const bool firstCount =
        seenAt == personal_.end() || seenAt->second.Kind != area.Kind || seenAt->second.Path != area.Path;
    const TOpenedBase base(area, TBaseMode::Private);
    const bool tracking = !Settings.FullName.empty();
    const TCounted counted = StoreCounters(area, base, tracking ? PersonalKeysPerArea : 0);
    if (!base) {
        // When the base is back, what it holds is counted as waiting mail, not as news.
        personal_.erase(area.ID);
        return;
    }
    if (!tracking) return;

    // Only the personal unread messages have their headers read.
    static const std::vector<uint64_t> none;
    const std::vector<uint64_t>& before = firstCount ? none : seenAt->second.Keys;
    std::vector<uint64_t> keys;
    std::vector<TNewPersonalMail> fresh;
    int32_t firstKnown = -1;
    for (const int32_t position : counted.PersonalPositions) {
        try {
            base->Seek(position);
            base->ReadHeader();
        } catch (const std::exception&) {
            continue;
        }
        if (base->Read || base->ToName != Settings.FullName) continue;
        if (base->FromName == Settings.FullName) continue;  // the user's own letter to himself
        const uint64_t key = MessageKey(*base.get());
        keys.push_back(key);
        if (firstCount) continue;
        if (std::binary_search(before.begin(), before.end(), key)) {
            if (firstKnown < 0) firstKnown = position;
            continue;
        }
        TNewPersonalMail mail;
        mail.AreaId = area.ID;
        mail.AreaName = area.Name;
        mail.FromName = base->FromName;
        mail.Subject = base->Subject;
        mail.MsgId = base->MsgId;
        mail.Position = position;
        fresh.push_back(std::move(mail));
    }
    // With more personal mail than is remembered, messages from before the remembered ones move in
    // as the user reads the later ones: new mail only comes after them.
    if (counted.PositionsCut)
        std::erase_if(fresh,
                      [firstKnown](const TNewPersonalMail& mail) { return mail.Position < firstKnown; });
    for (TNewPersonalMail& mail : fresh) report.NewPersonal.push_back(std::move(mail));
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    TPersonalSeen& seen = personal_[area.ID];
    seen.Kind = area.Kind;
    seen.Path = area.Path;
    seen.Keys = std::move(keys);
}

bool TScanThread::Walk(const std::stop_token& stop, const TWanted& wanted, TScanReport& report) {
    targets_.clear();
    const bool done = WalkRegistry(stop, betweenAreas_, [&](TAreaInfo& entry) {
        targets_.push_back({entry.ID, BaseFilesOf(entry.Kind, entry.Path)});
        if (!wanted(entry)) return;
        // Before counting: a write during the count leaves the stamp behind the files.
        stamps_[entry.ID] = StampOf(targets_.back().Files);
        try {
            CountAreaLive(entry, report);
        } catch (const std::exception&) {
            // Nothing an area holds may end the scan; its counters stay as they were.
        }
        report.CountedAreaIds.push_back(entry.ID);
    });
    if (!done) return false;
    // Areas that are gone are forgotten.
    std::set<std::string> ids;
    for (const TTarget& target : targets_) ids.insert(target.Id);
    std::erase_if(personal_, [&ids](const auto& item) { return ids.count(item.first) == 0; });
    std::erase_if(waiting_, [&ids](const auto& item) { return ids.count(item.first) == 0; });
    std::erase_if(stamps_, [&ids](const auto& item) { return ids.count(item.first) == 0; });
    FollowTargets(report);
    return true;
}

void TScanThread::FollowTargets(TScanReport& report) {
    if (watcher_ == nullptr) watcher_ = std::make_unique<TFolderWatcher>(watchSystem_);
    folderTargets_.clear();
    unwatched_.clear();
    for (size_t i = 0; i < targets_.size(); ++i) {
        if (!targets_[i].Files.Folder.empty()) folderTargets_[targets_[i].Files.Folder].push_back(i);
    }
    for (const std::string& folder : watcher_->Folders()) {
        if (folderTargets_.count(folder) == 0) watcher_->Unwatch(folder);
    }
    for (const auto& [folder, indexes] : folderTargets_) {
        const TWatchResult result = watcher_->Watch(folder);
        if (result == TWatchResult::Watched) continue;
        for (const size_t i : indexes) unwatched_.insert(targets_[i].Id);
        // A base that does not exist yet is no news; anything else the user can act on is told once.
        if (result == TWatchResult::Missing || noted_.count(result) != 0) continue;
        noted_.insert(result);
        if (!report.WatchNote.empty()) report.WatchNote += "; ";
        report.WatchNote += WatchNoteText(result);
    }
    const std::lock_guard guard(watchedMutex_);
    watched_ = watcher_->Folders();
}

void TScanThread::TakeEvents() {
    if (watcher_ == nullptr) return;
    std::set<std::string> changed;
    bool overflow = false;
    watcher_->ReadEvents([&](const TFolderEvent& event) {
        if (event.Kind == TFolderEvent::TKind::Overflow) {
            overflow = true;
            return;
        }
        const auto found = folderTargets_.find(event.Folder);
        if (found == folderTargets_.end()) return;
        for (const size_t i : found->second) {
            if (event.Kind == TFolderEvent::TKind::FolderGone || BelongsToBase(targets_[i].Files, event.Name))
                changed.insert(targets_[i].Id);
        }
    });
    if (overflow) {
        // Events were lost: a watched base whose files differ from those it was counted from has
        // changed (and every base whose files cannot be compared may have).
        ++overflows_;
        for (const auto& [folder, indexes] : folderTargets_) {
            for (const size_t i : indexes) {
                const auto stamp = stamps_.find(targets_[i].Id);
                if (stamp == stamps_.end() || stamp->second.empty() ||
                    stamp->second != StampOf(targets_[i].Files))
                    changed.insert(targets_[i].Id);
            }
        }
    }
    if (changed.empty()) return;
    const TClockPoint now = Now();
    for (const std::string& id : changed) {
        const auto [item, added] = waiting_.try_emplace(id, TWaiting{now, now});
        if (!added) item->second.Last = now;
    }
    if (eventsSeen_) {
        std::vector<std::string> ids;
        for (const auto& [id, times] : waiting_) ids.push_back(id);
        eventsSeen_(ids);
    }
}

void TScanThread::Report(TScanReport& report) {
    if (!notify_) return;
    try {
        notify_(report);
    } catch (...) {
    }
}

void TScanThread::Run(std::stop_token stop) {
    LowestPriority();
    const std::stop_callback wakeOnStop(stop, [this] { Wake(); });
    TClockPoint nextFull = Now();
    TClockPoint nextFallback = TClockPoint::max();
    const auto all = [](const TAreaInfo&) { return true; };
    while (!stop.stop_requested()) {
        TClockPoint now = Now();
        TScanReport report;
        if (now >= nextFull) {
            // The full pass serves every request and every change noticed before it.
            countRequested_ = false;
            waiting_.clear();
            report.FullPass = true;
            Walk(stop, all, report);
            ++passes_;
            now = Now();
            nextFull = now + FullPassInterval;
            nextFallback = now + FallbackInterval;
            Report(report);  // also after a pass cut short: the counters it did set are shown
            continue;
        }
        std::set<std::string> due;
        for (const auto& [id, times] : waiting_) {
            if (now >= times.Last + QuietPeriod || now >= times.First + QuietCap) due.insert(id);
        }
        if (!due.empty()) {
            for (const std::string& id : due) waiting_.erase(id);
            Walk(
                stop, [&due](const TAreaInfo& entry) { return due.count(entry.ID) != 0; }, report);
            recounts_ += static_cast<int>(report.CountedAreaIds.size());
            if (!report.CountedAreaIds.empty() || !report.WatchNote.empty()) Report(report);
            continue;
        }
        // A request that comes during a walk is served by another walk right after it: the walk may
        // have gone past the entry already.
        if (countRequested_.exchange(false)) {
            Walk(
                stop, [](const TAreaInfo& entry) { return Uncounted(entry); }, report);
            Report(report);
            continue;
        }
        if (!unwatched_.empty() && now >= nextFallback) {
            const std::set<std::string> polled = unwatched_;
            Walk(
                stop, [&polled](const TAreaInfo& entry) { return polled.count(entry.ID) != 0; }, report);
            nextFallback = Now() + FallbackInterval;
            if (!report.CountedAreaIds.empty() || !report.WatchNote.empty()) Report(report);
            continue;
        }

        // Rest until the next timed walk, a file event, a request or the end.
        TClockPoint deadline = nextFull;
        if (!unwatched_.empty()) deadline = std::min(deadline, nextFallback);
        for (const auto& [id, times] : waiting_)
            deadline = std::min({deadline, times.Last + QuietPeriod, times.First + QuietCap});
        using std::chrono::milliseconds;
        const auto left = std::chrono::ceil<milliseconds>(deadline - now).count();
        // Without a wake-up descriptor a request waits for the next second at most.
        const int64_t longest = wakeFd_ >= 0 ? 3600 * 1000 : 1000;
        const int timeout = static_cast<int>(std::clamp<int64_t>(left, 0, longest));
        pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {watcher_ != nullptr ? watcher_->Fd() : -1, POLLIN, 0}};
        if (::poll(fds, 2, timeout) < 0 && errno != EINTR) {
            // Nothing sensible is left to wait on; rest as a whole rather than spin.
            std::this_thread::sleep_for(milliseconds(std::min<int64_t>(timeout, 1000)));
        }
        if (stop.stop_requested()) break;
        if ((fds[0].revents & POLLIN) != 0) DrainWake();
        if ((fds[1].revents & POLLIN) != 0) TakeEvents();
    }
}

}  // namespace pelmar
