// Captions, overlay marks, blue text and hints of the area tree.
#include <gtest/gtest.h>

#include "areas/gizmo.h"
#include "core/Codepage.h"
#include "reader/AreaMarks.h"

namespace pelmar {
namespace {

TAreaInfo& Add(TAreaInfo& parent, const std::string& name, int kind) {
    auto child = std::make_unique<TAreaInfo>();
    child->Name = name;
    child->Kind = kind;
    return *parent.AddChild(std::move(child));
}

void SetCounters(TAreaInfo& area, int total, int unread, int personal) {
    area.MsgCount = total;
    area.Read = unread;
    area.PersonalUnread = personal;
}

// root - Group - Sub - Leaf; root - Echo
class AreaMarksTest : public ::testing::Test {
protected:
    TAreaInfo root;
    TAreaInfo& group = Add(root, "Group", 0);
    TAreaInfo& sub = Add(group, "Sub", 0);
    TAreaInfo& leaf = Add(sub, "Leaf", 2);
    TAreaInfo& echo = Add(root, "Echo", 2);
    TAreaMarks marks;

    int Overlay(const TAreaInfo& area) const { return marks.Find(&area)->Overlay; }
};

TEST_F(AreaMarksTest, CaptionsShowUnreadAndTotal) {
    struct TCase {
        int Total, Unread;
        const char* Caption;
    };
    for (const TCase& c : std::vector<TCase>{{0, 0, "Echo"}, {5, 2, "Echo(2/5)"}, {3, 0, "Echo(0/3)"}}) {
        SetCounters(echo, c.Total, c.Unread, 0);
        marks.RefreshAreaCounters(root);
        EXPECT_EQ(marks.Find(&echo)->Caption, c.Caption);
    }
}

TEST_F(AreaMarksTest, OverlaysOfAreasAndGroups) {
    struct TCase {
        const char* Name;
        int Total, Unread, Personal;
        int Leaf, Sub, Group;
        bool Blue;
    };
    const std::vector<TCase> cases = {
        {"nothing unread", 4, 0, 0, OverlayNone, OverlayNone, OverlayNone, false},
        {"unread two levels down", 4, 2, 0, OverlayUnread, OverlayUnreadBelow, OverlayUnreadBelow, false},
        {"personal two levels down", 4, 2, 1, OverlayPersonal, OverlayPersonal, OverlayPersonal, true},
        {"unread count without messages", 0, 2, 0, OverlayUnread, OverlayNone, OverlayNone, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        SetCounters(leaf, c.Total, c.Unread, c.Personal);
        marks.RefreshAreaCounters(root);
        EXPECT_EQ(Overlay(leaf), c.Leaf);
        EXPECT_EQ(Overlay(sub), c.Sub);
        EXPECT_EQ(Overlay(group), c.Group);
        EXPECT_EQ(marks.Find(&group)->HasPersonal, c.Blue);
        EXPECT_EQ(Overlay(echo), OverlayNone);
    }
}

TEST_F(AreaMarksTest, SingleAreaUpdateAddsAndRemovesTheMarkFurtherUp) {
    SetCounters(leaf, 4, 0, 0);
    marks.RefreshAreaCounters(root);
    SetCounters(leaf, 5, 1, 0);
    auto changed = marks.UpdateAreaNode(leaf);
    EXPECT_EQ(changed, (std::vector<TAreaInfo*>{&leaf, &sub, &group}));
    EXPECT_EQ(Overlay(group), OverlayUnreadBelow);
    EXPECT_EQ(marks.Find(&leaf)->Caption, "Leaf(1/5)");

    SetCounters(leaf, 5, 0, 0);  // read
    marks.UpdateAreaNode(leaf);
    EXPECT_EQ(Overlay(leaf), OverlayNone);
    EXPECT_EQ(Overlay(sub), OverlayNone);
    EXPECT_EQ(Overlay(group), OverlayNone);

    // Updating a group keeps the mark for unread mail below it.
    SetCounters(leaf, 5, 2, 0);
    marks.RefreshAreaCounters(root);
    marks.UpdateAreaNode(sub);
    EXPECT_EQ(Overlay(sub), OverlayUnreadBelow);

    // A group's own unread mark stays while the area below is updated.
    SetCounters(group, 3, 3, 0);
    marks.RefreshAreaCounters(root);
    marks.UpdateAreaNode(leaf);
    EXPECT_EQ(Overlay(group), OverlayUnread);
}

TEST_F(AreaMarksTest, RefreshReportsOnlyChanges) {
    EXPECT_EQ(marks.RefreshAreaCounters(root).size(), 4u);
    EXPECT_TRUE(marks.RefreshAreaCounters(root).empty());
    SetCounters(echo, 1, 1, 0);
    EXPECT_EQ(marks.RefreshAreaCounters(root), (std::vector<TAreaInfo*>{&echo}));
}

TEST_F(AreaMarksTest, HintNamesTheCounters) {
    echo.Description = "Local echo";
    EXPECT_EQ(TAreaMarks::HintText(echo), "");
    SetCounters(echo, 5, 2, 1);
    EXPECT_EQ(TAreaMarks::HintText(echo),
              Utf8ToAnsi("\x01Local echo\x01, cообщений: 5, непрочитанных: 2, личных: 1"));
    EXPECT_EQ(TAreaMarks::HintText(echo).find(", c"), 12u) << "the first letter is a Latin c";
}

}  // namespace
}  // namespace pelmar
