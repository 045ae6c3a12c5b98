// Row icons, the expander, header clicks, revealing, notifications of new and changed messages.
#include <gtest/gtest.h>

#include "ReaderTestSupport.h"
#include "areas/gizmo.h"
#include "reader/ThreadList.h"

namespace pelmar {
namespace {

using test::TListBase;

TEST(RowIconTest, StatusIconAndPersonalRule) {
    struct TCase {
        const char* Name;
        bool Deleted, Read, Expanded, UnreadReply;
        std::string To;
        int Icon;
        bool Personal;
    };
    const std::string me = "Ivan Petrov";
    const std::vector<TCase> cases = {
        {"unread", false, false, false, false, "All", IconUnread, false},
        {"read", false, true, false, false, "All", IconRead, false},
        {"read, collapsed, unread below", false, true, false, true, "All", IconUnreadBelow, false},
        {"read, expanded, unread below", false, true, true, true, "All", IconRead, false},
        {"deleted unread", true, false, false, false, "All", IconRead, false},
        {"personal unread", false, false, false, false, me, IconPersonal, true},
        {"personal read, collapsed, unread below", false, true, false, true, me, IconPersonalUnreadBelow,
         true},
        {"personal read, expanded", false, true, true, true, me, IconPersonal, true},
        {"deleted, to me", true, true, false, false, me, IconRead, false},
        {"name differs in case", false, false, false, false, "ivan petrov", IconUnread, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TMessageClass root;
        TMessageClass& entry = root.AddReply();
        entry.Deleted = c.Deleted;
        entry.Read = c.Read;
        entry.Expanded = c.Expanded;
        entry.ToName = c.To;
        TMessageClass& reply = entry.AddReply();
        reply.Read = !c.UnreadReply;
        EXPECT_EQ(TThreadList::StatusIcon(entry, me), c.Icon);
        EXPECT_EQ(TThreadList::IsPersonal(entry, me), c.Personal);
    }
}

class ListBehaviourTest : public ::testing::Test {
protected:
    void SetUp() override {
        Settings.BuildThreads = true;
        Settings.UseCache = true;
        area.Kind = 2;
        // a: b (c), d; e; F
        base.Messages = {{"a", "", "b-subject", "Zed"},
                         {"b", "a", "x"},
                         {"c", "b", "x"},
                         {"d", "a", "y"},
                         {"e", "", "A-subject", "alf"},
                         {"f", "", "C-subject", "Mid"}};
        list.CurrentArea = &area;
        list.Base = &base;
        ASSERT_TRUE(list.ReadAreaMessages().Listed);
    }
    std::vector<std::string> RowIds() const {
        std::vector<std::string> ids;
        for (const TMessageClass* entry : list.Rows) ids.push_back(entry->MsgId);
        return ids;
    }
    TMessageClass& Entry(const std::string& id) { return *list.MsgIdIndex.Find(id); }

    test::TSettingsGuard guard;
    TAreaInfo area;
    TListBase base;
    TThreadList list;
};

TEST_F(ListBehaviourTest, ClickOnTheExpanderTogglesOnlyEntriesWithReplies) {
    EXPECT_EQ(RowIds(), (std::vector<std::string>{"a", "e", "f"}));
    EXPECT_FALSE(list.ClickRow(1, 8)) << "no replies: nothing changes";
    EXPECT_FALSE(list.ClickRow(0, 20)) << "outside the expander";
    EXPECT_TRUE(list.ClickRow(0, 8));
    EXPECT_EQ(RowIds(), (std::vector<std::string>{"a", "b", "d", "e", "f"}));
    EXPECT_TRUE(list.ClickRow(1, 24));
    EXPECT_EQ(RowIds(), (std::vector<std::string>{"a", "b", "c", "d", "e", "f"}));
    EXPECT_TRUE(list.ClickRow(0, 8));
    EXPECT_EQ(RowIds(), (std::vector<std::string>{"a", "e", "f"}));
    EXPECT_EQ(list.ExpandThread(Entry("a"), 0), 3) << "b stays expanded underneath";
    EXPECT_EQ(list.ExpandThread(Entry("a"), 0), 0) << "shown already: no second copy";
    EXPECT_EQ(list.Rows.size(), 6u);
}

TEST_F(ListBehaviourTest, RevealUnderAnExpandedTopAndACollapsedMiddleAddsEachRowOnce) {
    list.ExpandThread(Entry("a"), 0);
    ASSERT_EQ(RowIds(), (std::vector<std::string>{"a", "b", "d", "e", "f"}));
    const int row = list.Reveal(Entry("c"));
    EXPECT_EQ(RowIds(), (std::vector<std::string>{"a", "b", "c", "d", "e", "f"}));
    EXPECT_EQ(row, 2);
    TMessageClass stranger;
    EXPECT_EQ(list.Reveal(stranger), -1);
}

TEST_F(ListBehaviourTest, HeaderClicksSortSiblingsAndKeepTheSelection) {
    list.ExpandThread(Entry("a"), 0);
    EXPECT_EQ(list.HeaderClicked(SectionSubject, &Entry("d")), 3);
    EXPECT_EQ(RowIds(), (std::vector<std::string>{"e", "a", "b", "d", "f"}));
    EXPECT_TRUE(list.SortAscending);
    list.HeaderClicked(SectionSubject, nullptr);
    EXPECT_FALSE(list.SortAscending);
    EXPECT_EQ(RowIds(), (std::vector<std::string>{"f", "a", "d", "b", "e"}));
    list.HeaderClicked(SectionFrom, nullptr);
    EXPECT_EQ(list.SortColumn, SectionFrom);
    EXPECT_TRUE(list.SortAscending);
    EXPECT_EQ(RowIds().front(), "e") << "alf before Mid and Zed, ignoring case";
    EXPECT_EQ(list.HeaderClicked(0, nullptr), -1);
    EXPECT_EQ(list.SortColumn, SectionFrom) << "the icon section does not sort";
}

TEST_F(ListBehaviourTest, AddedMessagesAppearAtTheEndOrUnderTheirParent) {
    list.SortColumn = SectionSubject;
    list.ExpandThread(Entry("a"), 0);
    base.Messages.push_back({"g", "", "0-first-by-subject"});
    list.MessageAdded(area, 6);
    EXPECT_EQ(RowIds().back(), "g") << "appended unsorted";

    base.Messages.push_back({"h", "a", "reply"});
    list.MessageAdded(area, 7);
    EXPECT_TRUE(Entry("a").Expanded) << "an expanded thread stays expanded";
    EXPECT_EQ(Entry("h").Parent, &Entry("a"));
    EXPECT_EQ(RowIds(), (std::vector<std::string>{"a", "b", "d", "h", "e", "f", "g"}))
        << "the reply's row follows its parent's shown replies";

    list.MessageAdded(area, 7);  // told twice
    EXPECT_EQ(Entry("a").Replies.size(), 3u);

    base.Messages.push_back({"i", "b", "reply in a collapsed thread"});
    list.MessageAdded(area, 8);
    EXPECT_EQ(Entry("i").Parent, &Entry("b"));
    EXPECT_EQ(list.Rows.size(), 7u) << "shown when b is expanded";

    TAreaInfo other;
    list.MessageAdded(other, 6);
    EXPECT_EQ(list.Rows.size(), 7u);
}

TEST_F(ListBehaviourTest, ChangedMessageIsRereadOnlyWhenItIsStillThere) {
    list.CurrentEntry = &Entry("e");
    base.Messages[4].Subject = "edited";
    EXPECT_TRUE(list.MessageChanged(area, 4, "E")) << "the shown message: show it again";
    EXPECT_EQ(Entry("e").Subject, "edited");

    base.Messages[3].Subject = "edited too";
    EXPECT_FALSE(list.MessageChanged(area, 3, "d")) << "not the shown one";
    EXPECT_EQ(Entry("d").Subject, "edited too");

    // A tosser renumbered the base: position 5 now holds another message.
    EXPECT_FALSE(list.MessageChanged(area, 5, "b"));
    EXPECT_EQ(Entry("b").Subject, "x");
    EXPECT_FALSE(list.MessageChanged(area, 0, "unknown"));

    // The MSGID was removed from the stored message: its key no longer leads to the entry.
    TMessageClass& f = Entry("f");
    base.Messages[5].MsgId.clear();
    EXPECT_FALSE(list.MessageChanged(area, 5, "f"));
    EXPECT_TRUE(f.MsgId.empty());
    EXPECT_EQ(list.MsgIdIndex.Find("f"), nullptr);

    // Edited in place, a message without a MSGID is found by its position among those without one.
    list.CurrentEntry = &f;
    base.Messages[5].Subject = "edited without a key";
    EXPECT_TRUE(list.MessageChanged(area, 5, ""));
    EXPECT_EQ(f.Subject, "edited without a key");
    EXPECT_FALSE(list.MessageChanged(area, 4, "")) << "e has a MSGID: not taken for a keyless one";
}

TEST(SortDateTest, KeyOrdersLikeTheDateText) {
    struct TCase {
        TDateTime Date;
        const char* Text;
    };
    const std::vector<TCase> cases = {
        {45000.5, "2023.03.15 12:00:00"},      {45000.0, "2023.03.15 00:00:00"},
        {45000.999999, "2023.03.16 00:00:00"}, {0, "1899.12.30 00:00:00"},
        {-1.25, "1899.12.29 06:00:00"},        {-1.5, "1899.12.29 12:00:00"},
        {1e300, "1899.12.30 00:00:00"},
    };
    std::vector<TMessageClass> entries(cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        entries[i].Date = cases[i].Date;
        EXPECT_EQ(entries[i].SortDate(), cases[i].Text) << cases[i].Date;
    }
    for (const TMessageClass& a : entries)
        for (const TMessageClass& b : entries)
            EXPECT_EQ(a.SortKey() < b.SortKey(), a.SortDate() < b.SortDate()) << a.Date << " " << b.Date;
}

}  // namespace
}  // namespace pelmar
