#include "reader/MessageTransfer.h"

#include <mutex>

#include "areas/gizmo.h"
#include "core/Settings.h"
#include "msgbase/MessageBase.h"

namespace pelmar {

namespace {

// The area lock for a scope; the base's own file lock is taken inside the write or delete.
class TAreaLockGuard {
public:
    explicit TAreaLockGuard(TAreaInfo& area) : area_(area) { area_.Lock(); }
    ~TAreaLockGuard() { area_.Unlock(); }
    TAreaLockGuard(const TAreaLockGuard&) = delete;
    TAreaLockGuard& operator=(const TAreaLockGuard&) = delete;

private:
    TAreaInfo& area_;
};

// Reads and writes of a base without any code-page conversion for a scope (see RawText).
class TRawTextScope {
public:
    explicit TRawTextScope(TMessageBase& base) : base_(base), saved_(base.RawText) { base_.RawText = true; }
    ~TRawTextScope() { base_.RawText = saved_; }
    TRawTextScope(const TRawTextScope&) = delete;
    TRawTextScope& operator=(const TRawTextScope&) = delete;

private:
    TMessageBase& base_;
    bool saved_;
};

// Reads the listed message at its position as stored, for a copy that must carry its bytes
// unchanged. The identity is checked on the usual read (names compare in CP1251); the stored read
// that follows must still show the same MSGID and date, or the message changed in between.
bool ReadListedAsStored(TMessageBase& base, const TListedMessage& item) {
    if (!RereadMessage(base, item.Position, item.Identity)) return false;
    const TRawTextScope raw(base);
    base.ReadMessage(item.Position);
    return base.MsgId == item.Identity.MsgId && base.Date == item.Identity.Date;
}

// The header at the position is still the listed message's.
bool StillListed(TMessageBase& base, const TListedMessage& item) {
    // Count() may shrink with deletions while positions stay (JAM keeps deleted entries listed).
    base.Seek(item.Position);
    if (!base.IsValid()) return false;
    base.ReadHeader();
    return IsSameMessage(item.Identity, base);
}

}  // namespace

void DecrementToZero(std::atomic<int32_t>& counter) {
    int32_t value = counter.load();
    while (value > 0 && !counter.compare_exchange_weak(value, value - 1)) {
    }
}

void CountMarkedRead(TAreaInfo& area, const std::string& entryToName) {
    if (entryToName == Settings.FullName) DecrementToZero(area.PersonalUnread);
    DecrementToZero(area.Read);
}

std::vector<TItemResult> DeleteListed(TAreaInfo& area, TMessageBase& base,
                                      const std::vector<TListedMessage>& items) {
    std::vector<TItemResult> results;
    results.reserve(items.size());
    for (const TListedMessage& item : items) {
        if (item.Deleted) {
            results.push_back(TItemResult::Skipped);
            continue;
        }
        TAreaLockGuard lock(area);
        if (!StillListed(base, item)) {
            results.push_back(TItemResult::Changed);
            continue;
        }
        if (!base.DeleteCurrent()) {
            results.push_back(TItemResult::Refused);
            continue;
        }
        DecrementToZero(area.MsgCount);
        results.push_back(TItemResult::Done);
    }
    return results;
}

TCopyOutcome CopyListed(TMessageBase& source, const std::vector<TListedMessage>& items, TAreaInfo& targetArea,
                        TMessageBase& target) {
    TCopyOutcome outcome;
    outcome.Results.reserve(items.size());
    try {
        for (const TListedMessage& item : items) {
            if (outcome.Refused) break;
            if (!ReadListedAsStored(source, item)) {
                outcome.Results.push_back(TItemResult::Changed);
                continue;
            }
            bool written = false;
            {
                TAreaLockGuard lock(targetArea);
                const TRawTextScope raw(target);
                target.NewMessage();
                target.CopyFrom(source);
                written = target.WriteMessage();
            }
            if (!written) {
                outcome.Refused = true;
                outcome.Results.push_back(TItemResult::Refused);
                continue;
            }
            AddBaseWarnings(outcome.Warnings, target.Warnings);
            ++targetArea.MsgCount;
            ++outcome.Copied;
            outcome.Results.push_back(TItemResult::Done);
        }
    } catch (...) {
        // The messages stored before the failure keep their warnings.
        ShowBaseWarnings(outcome.Warnings);
        throw;
    }
    ShowBaseWarnings(outcome.Warnings);
    return outcome;
}

std::vector<TListedMessage> CopiedItems(const std::vector<TListedMessage>& items,
                                        const TCopyOutcome& outcome) {
    std::vector<TListedMessage> copied;
    for (size_t i = 0; i < items.size() && i < outcome.Results.size(); ++i) {
        if (outcome.Results[i] == TItemResult::Done) copied.push_back(items[i]);
    }
    return copied;
}

}  // namespace pelmar
