#include "reader/AreaMarks.h"

#include <cstdio>

#include "areas/AreaTitles.h"
#include "areas/gizmo.h"
#include "core/Codepage.h"

namespace pelmar {

namespace {

struct TCounters {
    int32_t MsgCount = 0;
    int32_t Unread = 0;
    int32_t Personal = 0;
};

// The three counters of one pass: the scan writes them under the area's lock. The scan also holds
// that lock while it counts a whole base, so a refresh of the tree does not wait for it: it reads
// the atomics as they are and the next pass brings a matching set. A linked group's Read holds its
// import options, not a count.
TCounters ReadCounters(TAreaInfo& area, bool wait) {
    TCounters counters;
    if (area.Zilo == ZiloLinkedGroup) return counters;
    const TAreaLock lock = wait ? TAreaLock(area) : TAreaLock(area, TAreaLock::TryTag{});
    counters.MsgCount = area.MsgCount.load();
    counters.Unread = area.Read.load();
    counters.Personal = area.PersonalUnread.load();
    return counters;
}

bool OwnUnread(const TAreaMark& mark) {
    return mark.Unread >= 1 && mark.MsgCount >= 1;
}

int OverlayOf(const TAreaMark& mark) {
    if (mark.Failure != TBaseOpenFailure::None) return OverlayNoBase;
    if (mark.HasPersonal) return OverlayPersonal;
    if (mark.Unread >= 1) return OverlayUnread;
    return mark.HasUnread ? OverlayUnreadBelow : OverlayNone;
}

bool SameMark(const TAreaMark& a, const TAreaMark& b) {
    return a.Overlay == b.Overlay && a.HasPersonal == b.HasPersonal && a.HasUnread == b.HasUnread &&
           a.MsgCount == b.MsgCount && a.Unread == b.Unread && a.PersonalUnread == b.PersonalUnread &&
           a.Failure == b.Failure && a.Caption == b.Caption;
}

TAreaMark OwnMark(TAreaInfo& area, bool wait) {
    const TCounters counters = ReadCounters(area, wait);
    TAreaMark mark;
    mark.MsgCount = counters.MsgCount;
    mark.Unread = counters.Unread;
    mark.PersonalUnread = counters.Personal;
    mark.Caption = TAreaMarks::Caption(area.Name, counters.Unread, counters.MsgCount);
    mark.HasPersonal = counters.Personal > 0;
    mark.HasUnread = OwnUnread(mark);
    if (area.Zilo == ZiloOrdinary) mark.Failure = area.OpenFailure.load();
    return mark;
}

}  // namespace

std::string TAreaMarks::Caption(const std::string& name, int32_t unread, int32_t total) {
    if (total == 0) return name;
    return name + "(" + std::to_string(unread) + "/" + std::to_string(total) + ")";
}

std::string TAreaMarks::HintText(const TAreaInfo& area) {
    if (area.Zilo == ZiloLinkedGroup) return {};
    const std::string failure = AreaOpenFailureText(area);
    if (!failure.empty()) return "\x01" + AreaTitle(area) + "\x01: " + failure;
    const int32_t total = area.MsgCount.load();
    if (total <= 0) return {};
    static const std::string messages = Utf8ToAnsi(", cообщений: ");  // Latin c, as always shown
    static const std::string unread = Utf8ToAnsi(", непрочитанных: ");
    static const std::string personal = Utf8ToAnsi(", личных: ");
    return "\x01" + AreaTitle(area) + "\x01" + messages + std::to_string(total) + unread +
           std::to_string(area.Read.load()) + personal + std::to_string(area.PersonalUnread.load());
}

const TAreaMark* TAreaMarks::Find(const TAreaInfo* area) const {
    const auto it = marks_.find(area);
    return it == marks_.end() ? nullptr : &it->second;
}

std::vector<TAreaInfo*> TAreaMarks::RefreshAreaCounters(TAreaInfo& root) {
    std::unordered_map<const TAreaInfo*, TAreaMark> fresh;
    fresh.reserve(marks_.size());
    std::vector<TAreaInfo*> changed;
    // Post-order without recursion: an area's mark is finished after all of its children's, whose
    // flags it takes over instead of walking their subtrees again.
    struct TFrame {
        TAreaInfo* Area;
        int Next;
        TAreaMark Mark;
    };
    std::vector<TFrame> stack;
    stack.push_back({&root, 0, {}});
    while (!stack.empty()) {
        TFrame& frame = stack.back();
        if (frame.Next < frame.Area->ChildCount()) {
            TAreaInfo* child = frame.Area->Child(frame.Next++);
            stack.push_back({child, 0, OwnMark(*child, false)});
            continue;
        }
        TFrame done = std::move(frame);
        stack.pop_back();
        if (stack.empty()) break;  // the root itself has no node
        done.Mark.Overlay = OverlayOf(done.Mark);
        TAreaMark& parent = stack.back().Mark;
        parent.HasPersonal |= done.Mark.HasPersonal;
        parent.HasUnread |= done.Mark.HasUnread;
        const auto old = marks_.find(done.Area);
        if (old == marks_.end() || !SameMark(old->second, done.Mark)) changed.push_back(done.Area);
        fresh.emplace(done.Area, std::move(done.Mark));
    }
    marks_.swap(fresh);
    return changed;
}

std::vector<TAreaInfo*> TAreaMarks::UpdateAreaNode(TAreaInfo& area) {
    std::vector<TAreaInfo*> changed;
    if (area.Parent() == nullptr) return changed;  // the root has no node
    auto childFlags = [&](TAreaInfo& of, TAreaMark& mark) {
        for (int i = 0; i < of.ChildCount(); ++i) {
            TAreaInfo* child = of.Child(i);
            const TAreaMark* known = Find(child);
            if (known != nullptr) {
                mark.HasPersonal |= known->HasPersonal;
                mark.HasUnread |= known->HasUnread;
            } else {
                mark.HasPersonal |= child->HasPersonal();
                mark.HasUnread |= child->HasUnread();
            }
        }
    };

    TAreaMark mark = OwnMark(area, true);
    childFlags(area, mark);
    mark.Overlay = OverlayOf(mark);
    TAreaMark& stored = marks_[&area];
    if (!SameMark(stored, mark)) {
        stored = std::move(mark);
        changed.push_back(&area);
    }

    for (TAreaInfo* up = area.Parent(); up != nullptr && up->Parent() != nullptr; up = up->Parent()) {
        TAreaMark& ancestor = marks_.try_emplace(up, OwnMark(*up, false)).first->second;
        TAreaMark next = ancestor;
        next.HasPersonal = next.PersonalUnread > 0;
        next.HasUnread = OwnUnread(next);
        childFlags(*up, next);
        // Marks 1 and 2 of an ancestor describe its own mail; only the "further down" mark follows.
        if (next.Overlay == OverlayNone && next.HasUnread) next.Overlay = OverlayUnreadBelow;
        if (next.Overlay == OverlayUnreadBelow && !next.HasUnread) next.Overlay = OverlayNone;
        if (!SameMark(ancestor, next)) {
            ancestor = std::move(next);
            changed.push_back(up);
        }
    }
    return changed;
}

}  // namespace pelmar
