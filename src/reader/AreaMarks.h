#pragma once
// What the area tree shows for each area: caption with counters, overlay mark, blue text for
// personal mail and the hint. The marks of the whole tree are computed in one bottom-up pass over
// the area model (Children), so a refresh costs one visit per area.
//
// Counters are the areas' atomics. The single-area update reads them under the area's lock; the
// whole-tree refresh takes each lock only when it is free (the scan holds it while counting a base).
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "msgbase/BaseOpenFailure.h"

namespace pelmar {

class TAreaInfo;

// Overlay marks of the tree pictures.
inline constexpr int OverlayNone = 0;
inline constexpr int OverlayPersonal = 1;     // unread personal mail here or below
inline constexpr int OverlayUnread = 2;       // unread mail in the area itself
inline constexpr int OverlayUnreadBelow = 3;  // unread mail only further down
inline constexpr int OverlayNoBase = 4;       // the area's base does not open (TAreaInfo::OpenFailure)

struct TAreaMark {
    std::string Caption;  // CP1251: "Name(unread/total)", the bare name when the total is 0
    int Overlay = OverlayNone;
    bool HasPersonal = false;  // blue text: PersonalUnread > 0 here or below
    bool HasUnread = false;    // unread (Read >= 1 with MsgCount >= 1) here or below
    int32_t MsgCount = 0;
    int32_t Unread = 0;
    int32_t PersonalUnread = 0;
    TBaseOpenFailure Failure = TBaseOpenFailure::None;
};

class TAreaMarks {
public:
    // Marks of every area below `root` (root itself excluded). Returns the areas whose mark
    // changed since the previous pass (all of them the first time).
    std::vector<TAreaInfo*> RefreshAreaCounters(TAreaInfo& root);
    // One area's caption and marks, then its ancestors' aggregates: an ancestor without a mark gets
    // OverlayUnreadBelow when unread mail lies below it, and loses that mark when none does. Returns
    // the areas whose mark changed (the area first).
    std::vector<TAreaInfo*> UpdateAreaNode(TAreaInfo& area);

    // Null for an area not seen yet.
    const TAreaMark* Find(const TAreaInfo* area) const;
    void Clear() { marks_.clear(); }

    // Caption from the counters: Name + "(" + unread + "/" + total + ")" when total != 0.
    static std::string Caption(const std::string& name, int32_t unread, int32_t total);
    // Status panel text for a node under the mouse: "\x01" title "\x01, cообщений: N,
    // непрочитанных: N, личных: N" (CP1251, the first letter is a Latin c; the title as AreaTitle
    // gives it); "\x01" title "\x01: " and the reason when the base did not open; empty when the
    // area has no messages.
    static std::string HintText(const TAreaInfo& area);

private:
    TAreaMark& MarkOf(const TAreaInfo* area);
    std::unordered_map<const TAreaInfo*, TAreaMark> marks_;
};

}  // namespace pelmar
