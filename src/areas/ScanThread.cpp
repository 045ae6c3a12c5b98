#include "areas/ScanThread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>

#include "areas/gizmo.h"
#include "core/Errors.h"
#include "core/Settings.h"
#include "msgbase/MessageBase.h"

namespace pelmar {

namespace {

// The weakest claim on the processor a thread can make without privileges.
void LowestPriority() {
    const auto thread = static_cast<id_t>(::syscall(SYS_gettid));
    ::setpriority(PRIO_PROCESS, thread, 19);  // failure just leaves the priority as it was
}

// The fallback when CountUnread stopped at a damaged message: the same count, passing over messages
// that cannot be read (they count as read, since nobody can read them).
int32_t CountUnreadSkippingDamage(TMessageBase& base) {
    int32_t unread = base.Count();
    base.PersonalUnread = 0;
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
            if (!base.Read && base.ToName == Settings.FullName) ++base.PersonalUnread;
            if (base.Read) --unread;
        }
    } catch (const std::exception&) {
        // The walk itself broke: what was counted so far is the best there is.
    }
    return unread < 0 ? 0 : unread;
}

// Drops the scan's hold on an entry on every way out.
struct THold {
    TAreaInfo* Entry;
    ~THold() { AreaRegistry().ReleaseHold(Entry); }
};

}  // namespace

TScanThread::TScanThread(TNotify notify) : notify_(std::move(notify)) {}

TScanThread::~TScanThread() {
    Terminate();
    WaitFor();
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
}

bool TScanThread::Uncounted(const TAreaInfo& area) {
    return area.CountedKind != area.Kind || area.CountedPath != area.Path;
}

void TScanThread::CountArea(TAreaInfo& area) {
    area.CountedKind = area.Kind;
    area.CountedPath = area.Path;
    TMessageBase* base = area.OpenBase(TBaseMode::Private);
    if (base == nullptr) {
        area.Read = 0;
        area.MsgCount = 0;
        area.PersonalUnread = 0;
        return;
    }
    int32_t unread = 0;
    int32_t count = 0;
    try {
        unread = base->CountUnread();
        count = base->Count();
    } catch (const std::exception&) {
        unread = CountUnreadSkippingDamage(*base);
        try {
            count = base->Count();
        } catch (const std::exception&) {
            count = 0;
        }
    }
    area.Read = unread;
    area.MsgCount = count;
    area.PersonalUnread = base->PersonalUnread;
    area.CloseBase(base, TBaseMode::Private);
}

bool TScanThread::Pass(const std::stop_token& stop, const TBetweenAreas& betweenAreas, TPassKind kind) {
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
            const bool countable = !TAreaContainer::Abandoned(*entry) && entry->Parent() != nullptr &&
                                   entry->Zilo == ZiloOrdinary && entry->Kind > 0 &&
                                   (kind == TPassKind::All || Uncounted(*entry));
            if (countable) {
                try {
                    CountArea(*entry);
                } catch (const std::exception&) {
                    // Nothing an area holds may end the scan; its counters stay as they were.
                }
            }
        }
        if (betweenAreas) betweenAreas(*entry);
    }
}

bool TScanThread::Rest(const std::stop_token& stop, int& stepsLeft) {
    std::mutex mutex;
    std::condition_variable_any wake;
    std::unique_lock guard(mutex);
    for (; stepsLeft > 0 && !stop.stop_requested(); --stepsLeft) {
        if (countRequested_.load()) return true;
        wake.wait_for(guard, stop, RestStep, [] { return false; });
    }
    return false;
}

void TScanThread::Run(std::stop_token stop) {
    LowestPriority();
    TPassKind kind = TPassKind::All;
    int stepsLeft = 0;
    while (!stop.stop_requested()) {
        // A request that comes during a pass is served by a short pass right after it: the pass may
        // have gone past the entry already.
        countRequested_ = false;
        Pass(stop, betweenAreas_, kind);
        if (kind == TPassKind::All) {
            ++passes_;
            stepsLeft = RestSteps;
        }
        if (notify_) {
            try {
                notify_();
            } catch (...) {
            }
        }
        kind = Rest(stop, stepsLeft) ? TPassKind::Uncounted : TPassKind::All;
    }
}

}  // namespace pelmar
