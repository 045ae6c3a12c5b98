#pragma once
// One entry of the message list and node of its reply tree.
//
// Entries own their replies; the invisible roots (thread root, pending root, cache roots) have
// Level -1 and no Parent. Every walk over the tree is iterative: a reply chain can be as deep as the
// area is long, and a recursive walk would overflow the stack.
//
// Memory matters (100,000 entries per area): the date is kept once, as the base's TDateTime. The
// list model formats the date column from `Date`; `SortDate()` gives "yyyy.mm.dd hh:nn:ss"
// for the "Дата" column and `SortKey()` the same order as a number.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "msgbase/MessageBase.h"

namespace pelmar {

class TMessageClass {
public:
    TMessageClass() = default;
    // Frees the whole subtree without recursion.
    ~TMessageClass();
    TMessageClass(const TMessageClass&) = delete;
    TMessageClass& operator=(const TMessageClass&) = delete;

    std::string MsgId;     // MSGID value, empty if none
    std::string Subject;   // CP1251
    std::string FromName;  // CP1251
    std::string ToName;    // CP1251
    std::string ReplyTo;   // REPLY value
    TDateTime Date = 0;    // written date and time, local, as the base gives it
    std::vector<std::unique_ptr<TMessageClass>> Replies;  // base order until sorted
    TMessageClass* Parent = nullptr;                      // null for roots
    int32_t Position = 0;                                 // list position in the open base (`Current`)
    int32_t Level = -1;                                   // -1 roots, 0 top level, parent's + 1 below
    bool Expanded = false;
    bool Deleted = false;
    bool Read = false;

    // "yyyy.mm.dd hh:nn:ss" of Date.
    std::string SortDate() const;
    // Date in whole seconds: orders like SortDate().
    int64_t SortKey() const;

    bool HasReplies() const { return !Replies.empty(); }

    // New entry at the end of Replies: Level = this Level + 1, Parent = this.
    TMessageClass& AddReply();
    // Moves `child` (with its subtree) out of its parent and appends it here, fixing Parent and the
    // Level of every entry below it. Refuses (returns false, changes nothing) when this entry is the
    // child itself or one of its descendants, so the tree never turns into a cycle.
    bool Adopt(TMessageClass& child);
    // Takes `child` out of Replies and hands it over; null when it is not a direct reply.
    std::unique_ptr<TMessageClass> Release(TMessageClass& child);

    // Follows Parent upward; an entry is not its own descendant.
    bool IsDescendantOf(const TMessageClass& ancestor) const;
    // Some reply at any depth has Read false.
    bool HasUnreadBelow() const;
    // Sets Expanded on every entry below this one that has replies (this one included).
    void ExpandAll();
    // Level of every entry below this one recomputed from this one's Level.
    void RelevelSubtree();
    // Number of entries below this one (this one excluded).
    size_t SubtreeSize() const;
    // Calls `visit` with every entry below this one (this one excluded), parents before their
    // replies; returns the first entry for which `visit` returned true, or null when there is none.
    template <class TVisit>
    TMessageClass* FindBelow(TVisit visit) {
        std::vector<TMessageClass*> stack{this};
        while (!stack.empty()) {
            TMessageClass* parent = stack.back();
            stack.pop_back();
            for (const auto& reply : parent->Replies) {
                if (visit(*reply)) return reply.get();
                if (reply->HasReplies()) stack.push_back(reply.get());
            }
        }
        return nullptr;
    }
    // Index of this entry within Parent->Replies, or -1.
    int IndexInParent() const;
};

// Fields of the base's current message (after ReadHeader) into an entry; Position from `Current`.
void FillEntry(TMessageClass& entry, const TMessageBase& base);

}  // namespace pelmar
