// The six navigation commands on a thread tree, from the first, a middle and the last row, with
// threads collapsed and expanded; and the selection menu.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "areas/gizmo.h"
#include "reader/Navigation.h"
#include "reader/ReaderTestSupport.h"

namespace pelmar {
namespace {

using Nav = TNavigationCommand;

// a: b (c), d;  e;  f: g.  Read: a, b, e, f; unread: c, d, g.
class NavigationTest : public ::testing::Test {
protected:
    void SetUp() override {
        Settings.BuildThreads = true;
        area.Kind = 2;
        base.Messages = {{"a", "", "s", "X", "All", 45000, true},  {"b", "a", "s", "X", "All", 45000, true},
                         {"c", "b", "s", "X", "Me", 45000, false}, {"d", "a", "s", "X", "All", 45000, false},
                         {"e", "", "s", "X", "Me", 45000, true},   {"f", "", "s", "X", "All", 45000, true},
                         {"g", "f", "s", "X", "All", 45000, false}};
        list.CurrentArea = &area;
        list.Base = &base;
        ASSERT_TRUE(list.ReadAreaMessages().Listed);
    }
    std::string Rows() const {
        std::string ids;
        for (const TMessageClass* entry : list.Rows) ids += entry->MsgId;
        return ids;
    }
    TMessageClass& Entry(const std::string& id) { return *list.MsgIdIndex.Find(id); }
    void ExpandAll() {
        for (const char* id : {"a", "b", "f"}) Entry(id).Expanded = true;
        list.RebuildRows();
    }
    // The target's id, "-" for no row, "=" for nothing done.
    std::string Go(const std::string& from, Nav command) {
        const std::optional<int> row = NavigateFrom(list, command, list.RowOf(&Entry(from)));
        if (!row) return "=";
        if (*row < 0) return "-";
        return list.Rows[static_cast<size_t>(*row)]->MsgId;
    }

    test::TSettingsGuard guard;
    TAreaInfo area;
    test::TListBase base;
    TThreadList list;
};

struct TCase {
    bool Expanded;
    const char* From;
    Nav Command;
    const char* Target;
    const char* RowsAfter;
};

class NavigationCases : public NavigationTest, public ::testing::WithParamInterface<TCase> {};

TEST_P(NavigationCases, MovesAndExpands) {
    const TCase& c = GetParam();
    if (c.Expanded) ExpandAll();
    EXPECT_EQ(Go(c.From, c.Command), c.Target);
    EXPECT_EQ(Rows(), c.RowsAfter);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Tree, NavigationCases, ::testing::Values(
    // Collapsed: rows a e f.
    TCase{false, "a", Nav::PrevInThread, "=", "aef"},
    TCase{false, "e", Nav::PrevInThread, "d", "abcdef"},    // a above is opened completely
    TCase{false, "a", Nav::NextInThread, "b", "abdef"},     // a itself opens one level
    TCase{false, "e", Nav::NextInThread, "f", "aefg"},      // the next one opens
    TCase{false, "f", Nav::NextInThread, "g", "aefg"},
    TCase{false, "e", Nav::Prev, "a", "aef"},
    TCase{false, "a", Nav::Prev, "a", "aef"},
    TCase{false, "e", Nav::Next, "f", "aef"},
    TCase{false, "f", Nav::Next, "f", "aef"},
    TCase{false, "a", Nav::PrevUnread, "=", "aef"},
    TCase{false, "f", Nav::PrevUnread, "d", "abcdef"},     // a's subtree from its bottom up
    TCase{false, "e", Nav::PrevUnread, "d", "abcdef"},
    TCase{false, "a", Nav::NextUnread, "c", "abcdef"},      // b read: opened a level, its reply c
    TCase{false, "e", Nav::NextUnread, "g", "aefg"},
    // Expanded: rows a b c d e f g.
    TCase{true, "a", Nav::PrevInThread, "=", "abcdefg"},
    TCase{true, "d", Nav::PrevInThread, "c", "abcdefg"},
    TCase{true, "g", Nav::NextInThread, "=", "abcdefg"},    // the last row stays
    TCase{true, "c", Nav::Prev, "b", "abcdefg"},
    TCase{true, "d", Nav::Prev, "b", "abcdefg"},
    TCase{true, "b", Nav::Next, "d", "abcdefg"},
    TCase{true, "c", Nav::Next, "d", "abcdefg"},
    TCase{true, "d", Nav::Next, "e", "abcdefg"},
    TCase{true, "g", Nav::Next, "g", "abcdefg"},
    TCase{true, "b", Nav::PrevUnread, "-", "abcdefg"},      // nothing unread above: no row stays
    TCase{true, "g", Nav::PrevUnread, "d", "abcdefg"},
    TCase{true, "d", Nav::NextUnread, "g", "abcdefg"},
    TCase{true, "g", Nav::NextUnread, "g", "abcdefg"}));    // the last row keeps it
// clang-format on

struct TKeyCase {
    bool Expanded;
    const char* From;
    TThreadKey Key;
    const char* Target;
    const char* RowsAfter;
};

class ThreadKeyCases : public NavigationTest, public ::testing::WithParamInterface<TKeyCase> {};

TEST_P(ThreadKeyCases, OpenCloseAndMoveAsATreeViewDoes) {
    const TKeyCase& c = GetParam();
    if (c.Expanded) ExpandAll();
    const std::optional<int> row = ThreadKeyFrom(list, c.Key, list.RowOf(&Entry(c.From)));
    EXPECT_EQ(row ? list.Rows[static_cast<size_t>(*row)]->MsgId : std::string("="), c.Target);
    EXPECT_EQ(Rows(), c.RowsAfter);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Tree, ThreadKeyCases, ::testing::Values(
    TKeyCase{false, "a", TThreadKey::Expand, "a", "abdef"},              // one level, b stays closed
    TKeyCase{false, "e", TThreadKey::Expand, "=", "aef"},                // nothing to open
    TKeyCase{true, "a", TThreadKey::Expand, "=", "abcdefg"},
    TKeyCase{false, "f", TThreadKey::ExpandOrDescend, "f", "aefg"},
    TKeyCase{true, "a", TThreadKey::ExpandOrDescend, "b", "abcdefg"},    // open: to the first reply
    TKeyCase{true, "c", TThreadKey::ExpandOrDescend, "=", "abcdefg"},
    TKeyCase{true, "a", TThreadKey::CollapseOrAscend, "a", "aefg"},
    TKeyCase{true, "c", TThreadKey::CollapseOrAscend, "b", "abcdefg"},   // a reply: to its parent
    TKeyCase{false, "e", TThreadKey::CollapseOrAscend, "=", "aef"},
    TKeyCase{true, "b", TThreadKey::Collapse, "b", "abdefg"},
    TKeyCase{true, "d", TThreadKey::Collapse, "a", "aefg"},              // the thread it is in
    TKeyCase{true, "g", TThreadKey::Collapse, "f", "abcdef"},
    TKeyCase{false, "e", TThreadKey::Collapse, "=", "aef"}));
// clang-format on

TEST_F(NavigationTest, NextUnreadEntryWalksHiddenRepliesInListOrder) {
    const auto next = [&](const char* from) {
        const TMessageClass* entry = NextUnreadEntry(list, from == nullptr ? nullptr : &Entry(from));
        return entry == nullptr ? std::string("-") : entry->MsgId;
    };
    // Every thread closed: the walk still finds c below the read b.
    EXPECT_EQ(next(nullptr), "c");
    EXPECT_EQ(next("a"), "c");
    EXPECT_EQ(next("c"), "d");
    EXPECT_EQ(next("d"), "g");
    EXPECT_EQ(next("e"), "g");
    EXPECT_EQ(next("g"), "-");
    EXPECT_EQ(Rows(), "aef");  // nothing was opened on the way
    Entry("d").Deleted = true;
    EXPECT_EQ(next("c"), "g");
    // An entry that is not in the listed tree: nothing.
    TMessageClass stray;
    EXPECT_EQ(NextUnreadEntry(list, &stray), nullptr);
}

TEST_F(NavigationTest, SelectionMenu) {
    ExpandAll();
    const auto pick = [&](TSelectionCommand command, std::vector<bool> now) {
        std::string ids;
        const std::vector<bool> rows = SelectRows(list, command, now, "Me");
        for (size_t i = 0; i < rows.size(); ++i) {
            if (rows[i]) ids += list.Rows[i]->MsgId;
        }
        return ids;
    };
    const std::vector<bool> some = {true, false, true, false, false, false, false};
    EXPECT_EQ(pick(TSelectionCommand::All, some), "abcdefg");
    EXPECT_EQ(pick(TSelectionCommand::None, some), "");
    EXPECT_EQ(pick(TSelectionCommand::Invert, some), "bdefg");
    EXPECT_EQ(pick(TSelectionCommand::Read, some), "abef");
    EXPECT_EQ(pick(TSelectionCommand::Personal, some), "ce");
    Entry("c").Deleted = true;
    EXPECT_EQ(pick(TSelectionCommand::Personal, some), "e");
}

}  // namespace
}  // namespace pelmar
