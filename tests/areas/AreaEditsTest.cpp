// Edits of the area manager window on the tree itself: names, Hudson boards, moves and deletes.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "areas/AreaEdits.h"
#include "areas/gizmo.h"

namespace pelmar {
namespace {

TAreaInfo* AddFolder(TAreaInfo& parent, const std::string& name) {
    TAreaFields fields;
    fields.Name = name;
    return parent.AddChild(fields);
}

TEST(AreaEdits, BaseNameCutsOnlyTheFinalExtension) {
    const struct {
        const char* path;
        const char* base;
    } rows[] = {
        {"/var/spool/ftn/su.general.jhr", "/var/spool/ftn/su.general"},
        {"C:\\JAM\\R50.JHR", "C:\\JAM\\R50"},
        {"/bases/netmail.sqd", "/bases/netmail"},
        {"/bases.d/netmail", "/bases.d/netmail"},  // a dot in a folder is no extension
        {"/bases/.hidden", "/bases/.hidden"},
        {"plain", "plain"},
    };
    for (const auto& row : rows) EXPECT_EQ(BaseNameOfFile(row.path), row.base) << row.path;
}

TEST(AreaEdits, HudsonBoardsOutsideOneToTwoHundredAreRefused) {
    const struct {
        const char* text;
        int board;  // 0: refused
    } rows[] = {{"1", 1},   {"12", 12}, {" 200 ", 200}, {"0", 0},     {"201", 0},
                {"300", 0}, {"-1", 0},  {"abc", 0},     {"12abc", 0}, {"", 0}};
    for (const auto& row : rows) {
        const auto board = ParseHudsonBoard(row.text);
        if (row.board == 0)
            EXPECT_FALSE(board.has_value()) << row.text;
        else
            EXPECT_EQ(board.value_or(-1), row.board) << row.text;
    }
}

TEST(AreaEdits, HudsonPathKeepsBoardAndDirectory) {
    const std::string path = HudsonAreaPath(12, "C:\\HUDSON\\");
    ASSERT_EQ(path.size(), 11u);
    EXPECT_EQ(path[0], '\x0C');
    const auto back = SplitHudsonPath(path);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->Board, 12);
    EXPECT_EQ(back->Directory, "C:\\HUDSON\\");
    EXPECT_FALSE(SplitHudsonPath(std::string(1, '\0') + "/dir").has_value());
    EXPECT_FALSE(SplitHudsonPath("").has_value());
}

TEST(AreaEdits, NewNamesAreUniqueAndRenamesCompareIgnoringCase) {
    TAreaInfo root;
    for (int i = 0; i < 3; ++i) AddFolder(root, UniqueChildName(root, "Squish"));
    ASSERT_EQ(root.ChildCount(), 3);
    EXPECT_EQ(root.Child(0)->Name, "Squish");
    EXPECT_EQ(root.Child(1)->Name, "Squish1");
    EXPECT_EQ(root.Child(2)->Name, "Squish11");
    EXPECT_EQ(UniqueChildName(root, "SQUISH"), "SQUISH111");  // "SQUISH1" is taken as "Squish1"

    EXPECT_FALSE(RenameEntry(*root.Child(2), "squish1"));
    EXPECT_EQ(root.Child(2)->Name, "Squish11");
    EXPECT_FALSE(RenameEntry(*root.Child(2), ""));
    EXPECT_TRUE(RenameEntry(*root.Child(2), "SQUISH11"));  // its own name in another case
    EXPECT_TRUE(RenameEntry(*root.Child(2), "Other"));
    EXPECT_EQ(root.Child(2)->Name, "Other");
}

TEST(AreaEdits, MovesEveryAllowedEntryAndNeverIntoItsOwnSubtree) {
    TAreaInfo root;
    TAreaInfo* a = AddFolder(root, "a");
    TAreaInfo* a1 = AddFolder(*a, "a1");
    TAreaInfo* x = AddFolder(root, "x");
    TAreaInfo* y = AddFolder(root, "y");
    TAreaInfo* target = AddFolder(root, "target");
    AddFolder(*target, "x");  // a namesake already there

    EXPECT_TRUE(MoveEntries({a}, *a1).empty());  // into its own descendant
    EXPECT_TRUE(MoveEntries({a}, *a).empty());
    EXPECT_EQ(a->Parent(), &root);

    TAreaFields group;
    group.Name = "group";
    group.Zilo = ZiloLinkedGroup;
    TAreaInfo* linked = root.AddChild(group);
    EXPECT_TRUE(MoveEntries({x}, *linked).empty());  // its content is re-read from a file

    int told = 0;
    const auto moved = MoveEntries({a, x, y}, *target, [&](TAreaInfo&) { ++told; });
    EXPECT_EQ(moved.size(), 3u);
    EXPECT_EQ(told, 3);
    ASSERT_EQ(target->ChildCount(), 4);
    EXPECT_EQ(target->Child(1), a);
    EXPECT_EQ(target->Child(2), x);
    EXPECT_EQ(x->Name, "x1");  // two siblings must not share a key
    EXPECT_EQ(target->Child(3), y);
    EXPECT_EQ(a1->Parent(), a);
    EXPECT_EQ(root.ChildCount(), 2);
}

TEST(AreaEdits, DeletingASubtreeTellsAboutEveryEntryBeforeFreeingIt) {
    TAreaInfo root;
    TAreaInfo* folder = AddFolder(root, "folder");
    TAreaInfo* inner = AddFolder(*folder, "inner");
    TAreaInfo* deep = AddFolder(*inner, "deep");
    TAreaInfo* keep = AddFolder(root, "keep");
    std::vector<std::string> ids = {folder->ID, inner->ID, deep->ID};

    std::vector<std::string> told;
    SetAreaGoneHook([&](TAreaInfo& entry) {
        // Still whole while it is told: an editor may read its name and path.
        told.push_back(entry.ID + ":" + entry.Name);
    });
    EXPECT_TRUE(DeleteEntry(*folder));
    SetAreaGoneHook({});

    ASSERT_EQ(told.size(), 3u);
    EXPECT_EQ(told[0], ids[2] + ":deep");
    EXPECT_EQ(told[2], ids[0] + ":folder");
    for (const std::string& id : ids) EXPECT_EQ(AreaRegistry().FindAreaById(id), nullptr);
    ASSERT_EQ(root.ChildCount(), 1);
    EXPECT_EQ(root.Child(0), keep);
    EXPECT_FALSE(DeleteEntry(root));
}

}  // namespace
}  // namespace pelmar
