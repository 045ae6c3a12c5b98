#include "reader/MessageTransfer.h"

#include <exception>

#include "areas/gizmo.h"
#include "msgbase/MessageBase.h"

namespace pelmar {

namespace {

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
    // (a read error propagates: the caller reports the item as changed, with the error)
    const TRawTextScope raw(base);
    base.ReadMessage(item.Position);
    return base.MsgId == item.Identity.MsgId && base.Date == item.Identity.Date;
}

}  // namespace

void DecrementToZero(std::atomic<int32_t>& counter) {
    int32_t value = counter.load();
    while (value > 0 && !counter.compare_exchange_weak(value, value - 1)) {
    }
}

std::vector<TItemOutcome> DeleteListed(TAreaInfo& area, TMessageBase& base,
                                       const std::vector<TListedMessage>& items) {
    std::vector<TItemOutcome> results;
    results.reserve(items.size());
    for (const TListedMessage& item : items) {
        if (item.Deleted) {
            results.push_back({TItemResult::Skipped, {}, {}});
            continue;
        }
        try {
            const TAreaLock lock(area);
            if (TItemOutcome listed = RecogniseListed(area, base, item); listed.Result != TItemResult::Done) {
                results.push_back(std::move(listed));
                continue;
            }
            if (!base.DeleteCurrent()) {
                results.push_back(RefusedBy(area, base));
                continue;
            }
        } catch (const std::exception& e) {
            results.push_back(FailedIn(area, e.what()));
            continue;
        }
        DecrementToZero(area.MsgCount);
        results.push_back({});
    }
    return results;
}

TCopyOutcome CopyListed(TMessageBase& source, const std::vector<TListedMessage>& items,
                        TAreaInfo& targetArea) {
    const TOpenedBase target(targetArea, TBaseMode::Shared);
    if (!target) {
        TCopyOutcome outcome;
        outcome.Refused = true;
        outcome.Results.assign(items.size(),
                               {TItemResult::Refused, AreaLabel(targetArea), NotOpenReason(targetArea)});
        return outcome;
    }
    return CopyListed(source, items, targetArea, *target.get());
}

TCopyOutcome CopyListed(TMessageBase& source, const std::vector<TListedMessage>& items, TAreaInfo& targetArea,
                        TMessageBase& target) {
    TCopyOutcome outcome;
    outcome.Results.reserve(items.size());
    for (const TListedMessage& item : items) {
        if (outcome.Refused) {
            // The later messages would only be refused the same way; they stay where they are.
            outcome.Results.push_back(outcome.Results.back());
            continue;
        }
        // A read error means a tosser packed or rewrote the source meanwhile: changed, too.
        TItemOutcome listed = RecognisedBy({}, [&] { return ReadListedAsStored(source, item); });
        if (listed.Result != TItemResult::Done) {
            outcome.Results.push_back(std::move(listed));
            continue;
        }
        bool written = false;
        try {
            const TAreaLock lock(targetArea);
            const TRawTextScope raw(target);
            target.NewMessage();
            target.CopyFrom(source);
            written = target.WriteMessage();
        } catch (const std::exception& e) {
            outcome.Results.push_back(FailedIn(targetArea, e.what()));
            continue;
        }
        if (!written) {
            outcome.Refused = true;
            outcome.Results.push_back(RefusedBy(targetArea, target));
            continue;
        }
        AddBaseWarnings(outcome.Warnings, target.Warnings);
        ++targetArea.MsgCount;
        ++outcome.Copied;
        outcome.Results.push_back({});
    }
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
