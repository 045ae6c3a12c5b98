// Reading an area into reply threads: parents before and after replies, duplicates, cycles, deep
// chains, damaged headers, abort and the restored reading position.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "ReaderTestSupport.h"
#include "areas/gizmo.h"
#include "core/Codepage.h"
#include "reader/ThreadList.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

using test::TListBase;
using test::TListMessage;
using test::TRecorder;

// Every entry of the tree by base position; fails the test when a position shows up twice.
std::map<int, const TMessageClass*> EntriesByPosition(const TMessageClass& root) {
    std::map<int, const TMessageClass*> entries;
    std::vector<const TMessageClass*> stack{&root};
    while (!stack.empty()) {
        const TMessageClass* entry = stack.back();
        stack.pop_back();
        for (const auto& reply : entry->Replies) {
            EXPECT_EQ(reply->Parent, entry);
            EXPECT_TRUE(entries.emplace(reply->Position, reply.get()).second) << "twice: " << reply->Position;
            stack.push_back(reply.get());
        }
    }
    return entries;
}

class ThreadBuildTest : public ::testing::Test {
protected:
    TReadOutcome Read() {
        list.CurrentArea = &area;
        list.Base = &base;
        return list.ReadAreaMessages();
    }
    void SetUp() override {
        Settings.BuildThreads = true;
        Settings.UseCache = true;
        Settings.CacheMax = 10;
        area.Kind = 2;
    }

    test::TSettingsGuard guard;
    TAreaInfo area;
    TListBase base;
    TRecorder recorder;
    TThreadList list{&recorder};
};

struct TThreadCase {
    const char* Name;
    std::vector<std::pair<std::string, std::string>> Messages;  // MSGID, REPLY
    bool Threaded;
    std::vector<int> Parents;  // parent position per message, -1 top level
};

TEST_F(ThreadBuildTest, EveryMessageOnceUnderTheRightParent) {
    const std::string upperA = "id \xC0", lowerA = "id \xE0";  // Cyrillic А / а
    const std::vector<TThreadCase> cases = {
        {"replies after parents", {{"a", ""}, {"b", "a"}, {"c", "b"}, {"d", "a"}}, true, {-1, 0, 1, 0}},
        {"reply before parent", {{"b", "a"}, {"a", ""}}, true, {1, -1}},
        {"chain stored backwards", {{"c", "b"}, {"b", "a"}, {"a", ""}}, true, {1, 2, -1}},
        {"duplicate MSGID", {{"x", ""}, {"r1", "x"}, {"x", ""}, {"r2", "x"}}, true, {-1, 0, -1, 2}},
        {"reply before both duplicates", {{"r0", "x"}, {"x", ""}, {"x", ""}}, true, {2, -1, -1}},
        {"parent not in the area", {{"a", "zzz"}}, true, {-1}},
        {"no MSGID, parent later", {{"", "a"}, {"a", ""}}, true, {-1, -1}},
        {"replies to itself", {{"a", "a"}}, true, {-1}},
        {"two answer each other", {{"a", "b"}, {"b", "a"}}, true, {-1, 0}},
        {"ring of three with a tail", {{"a", "c"}, {"b", "a"}, {"c", "b"}, {"d", "c"}}, true, {-1, 0, 1, 2}},
        {"ring of pending entries", {{"a", "b"}, {"b", "c"}, {"c", "a"}, {"z", ""}}, true, {-1, 2, 0, -1}},
        {"letter case ignored", {{"2:5020/1 ABCD", ""}, {"x", "2:5020/1 abcd"}}, true, {-1, 0}},
        {"Cyrillic letter case ignored", {{upperA, ""}, {"r", lowerA}}, true, {-1, 0}},
        {"threading off", {{"a", ""}, {"b", "a"}, {"c", "b"}, {"d", "x"}}, false, {-1, -1, -1, -1}},
    };
    for (const TThreadCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Settings.BuildThreads = c.Threaded;
        base.Messages.clear();
        for (const auto& [id, reply] : c.Messages) base.Messages.push_back({id, reply, "s"});
        ASSERT_TRUE(Read().Listed);
        ASSERT_TRUE(list.ThreadRoot);
        EXPECT_TRUE(!list.PendingRoot || list.PendingRoot->Replies.empty());
        const auto entries = EntriesByPosition(*list.ThreadRoot);
        ASSERT_EQ(entries.size(), c.Messages.size());
        for (size_t i = 0; i < c.Parents.size(); ++i) {
            const TMessageClass* entry = entries.at(static_cast<int>(i));
            const int parent = c.Parents[i];
            if (parent < 0) {
                EXPECT_EQ(entry->Parent, list.ThreadRoot.get()) << "message " << i;
                EXPECT_EQ(entry->Level, 0) << "message " << i;
            } else {
                EXPECT_EQ(entry->Parent, entries.at(parent)) << "message " << i;
                EXPECT_EQ(entry->Level, entries.at(parent)->Level + 1) << "message " << i;
            }
        }
    }
}

TEST_F(ThreadBuildTest, HundredThousandDeepChainsInBothOrders) {
    constexpr int depth = 100000;
    for (const bool backwards : {false, true}) {
        SCOPED_TRACE(backwards ? "children first" : "parents first");
        base.Messages.clear();
        for (int i = 0; i < depth; ++i) {
            const int k = backwards ? depth - 1 - i : i;
            base.Messages.push_back({"m" + std::to_string(k), k == 0 ? "" : "m" + std::to_string(k - 1), "s",
                                     "f", "t", 45000.0 + k});
        }
        base.Messages.back().Read = true;
        ASSERT_TRUE(Read().Listed);
        ASSERT_EQ(list.ThreadRoot->Replies.size(), 1u);
        TMessageClass& top = *list.ThreadRoot->Replies.front();
        EXPECT_EQ(top.SubtreeSize(), static_cast<size_t>(depth - 1));
        EXPECT_TRUE(top.HasUnreadBelow());
        top.ExpandAll();
        list.SortColumn = SectionDate;
        list.SortReplies(*list.ThreadRoot);
        list.RebuildRows();
        ASSERT_EQ(list.Rows.size(), static_cast<size_t>(depth));
        EXPECT_EQ(list.Rows.back()->Level, depth - 1);
        EXPECT_EQ(list.Rows.back()->MsgId, "m" + std::to_string(depth - 1));
        list.CollapseThread(top, 0);
        EXPECT_EQ(list.Rows.size(), 1u);
        list.SortColumn = SortNone;
        list.ClearList();  // frees the chain without recursing
        EXPECT_FALSE(list.ThreadRoot);
    }
}

TEST_F(ThreadBuildTest, DamagedHeadersInTheMiddleOfARealJamBaseAreSkipped) {
    test::TempDir dir;
    for (const char* ext : {".jhr", ".jdt", ".jdx", ".jlr"})
        test::CopyFixture(std::string("crashmail/bases/rutest") + ext, dir.Path());
    // Break the signatures of the fourth header (the parent that arrives late) and the fifth.
    const std::string jdx = test::ReadFile(dir.Path() / "rutest.jdx");
    std::string jhr = test::ReadFile(dir.Path() / "rutest.jhr");
    for (const size_t position : {3u, 4u}) {
        uint32_t offset = 0;
        for (int i = 3; i >= 0; --i)
            offset = offset << 8 | static_cast<uint8_t>(jdx.at(position * 8 + 4 + i));
        ASSERT_EQ(jhr.compare(offset, 4, std::string("JAM\0", 4)), 0);
        jhr.replace(offset, 4, "XXXX");
    }
    test::WriteFile(dir.Path() / "rutest.jhr", jhr);

    area.Path = (dir.Path() / "rutest").string();
    const TReadOutcome outcome = list.OpenArea(&area, nullptr);
    ASSERT_TRUE(outcome.Listed);
    EXPECT_EQ(outcome.Errors, 2);
    ASSERT_EQ(recorder.Errors.size(), 1u) << "one report per read";
    EXPECT_EQ(recorder.ErrorCounts[0], 2);
    EXPECT_EQ(
        recorder.Errors[0].rfind(Utf8ToAnsi("Ошибка при чтении базы:\r\nJAM: the header of message 3"), 0),
        0u);
    const auto entries = EntriesByPosition(*list.ThreadRoot);
    EXPECT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries.count(3) + entries.count(4), 0u);
    EXPECT_EQ(entries.at(2)->Level, 0) << "its parent is a damaged one";
    EXPECT_EQ(entries.at(1)->Parent, entries.at(0));
    EXPECT_EQ(entries.at(6)->Parent, entries.at(5)) << "messages after the damage are listed and threaded";

    // Not cached: the next visit reads the base again.
    list.LeaveArea(nullptr);
    EXPECT_EQ(list.Cache.Size(), 0u);
    EXPECT_EQ(area.OpenCount(), 0);
    EXPECT_FALSE(list.OpenArea(&area, nullptr).FromCache);
    list.LeaveArea(nullptr);
}

TEST_F(ThreadBuildTest, AbortLeavesNothingBehind) {
    for (int i = 0; i < 200; ++i) base.Messages.push_back({"m" + std::to_string(i), "", "s"});
    recorder.AbortAfterPolls = 1;
    const TReadOutcome outcome = Read();
    EXPECT_TRUE(outcome.Aborted);
    EXPECT_FALSE(outcome.Listed);
    EXPECT_FALSE(list.ThreadRoot);
    EXPECT_TRUE(list.MsgIdIndex.Empty());
    EXPECT_TRUE(list.Rows.empty());
    EXPECT_EQ(recorder.Panel2.back(), Utf8ToAnsi("Прервано..."));
    EXPECT_EQ(recorder.Panel1.back(), list.IdleText);
    EXPECT_EQ(recorder.Waits, 0);

    // Notifications after the abort find no tree and do nothing.
    list.MessageAdded(area, 0);
    EXPECT_FALSE(list.MessageChanged(area, 0, "m0"));
    EXPECT_TRUE(list.Rows.empty());
    list.LeaveArea(nullptr);
    EXPECT_EQ(list.Cache.Size(), 0u);
}

TEST_F(ThreadBuildTest, AreaWithoutBaseListsNothingAndIgnoresNotifications) {
    test::TempDir dir;
    area.Path = (dir.Path() / "missing").string();
    const TReadOutcome outcome = list.OpenArea(&area, nullptr);
    EXPECT_FALSE(outcome.Listed);
    EXPECT_EQ(list.CurrentArea, &area);
    EXPECT_EQ(list.Base, nullptr);
    list.MessageAdded(area, 0);
    EXPECT_FALSE(list.MessageChanged(area, 0, "x"));
    EXPECT_TRUE(list.Rows.empty());
    EXPECT_FALSE(list.ThreadRoot);
}

TEST_F(ThreadBuildTest, ProgressEveryFiftyMessagesOfBothPasses) {
    for (int i = 0; i < 120; ++i) base.Messages.push_back({"m" + std::to_string(i), "", "s"});
    Read();
    EXPECT_EQ(recorder.Percents, (std::vector<int>{0, 21, 42, 71, 92}));
}

TEST_F(ThreadBuildTest, ImpossibleMessageCountIsHarmless) {
    base.Messages = {{"a", "", "s"}, {"b", "a", "s"}};
    base.ClaimedCount = 2147483647;
    ASSERT_TRUE(Read().Listed);
    EXPECT_EQ(EntriesByPosition(*list.ThreadRoot).size(), 2u);
    EXPECT_GT(list.ProgressMax, 0);
}

TEST_F(ThreadBuildTest, StatusTextsOfAnEmptyArea) {
    ASSERT_TRUE(Read().Listed);
    EXPECT_TRUE(list.Rows.empty());
    ASSERT_GE(recorder.Panel2.size(), 2u);
    EXPECT_EQ(recorder.Panel2[recorder.Panel2.size() - 2], Utf8ToAnsi("Чтение завершено"));
    EXPECT_EQ(recorder.Panel2.back(), "Ok");
    EXPECT_EQ(recorder.Panel1.front(), Utf8ToAnsi("Чтение сообщений (0)..."));
    EXPECT_EQ(recorder.Panel1.back(), list.IdleText);
}

TEST_F(ThreadBuildTest, LastReadMessageIsRevealedAndSelected) {
    base.Messages = {{"a", "", "s"}, {"b", "a", "s"}, {"c", "b", "s"}, {"d", "", "s"}, {"e", "a", "s"}};
    for (const bool threaded : {true, false}) {
        SCOPED_TRACE(threaded ? "threaded" : "flat");
        Settings.BuildThreads = threaded;
        area.LastMSGID = "C";
        const TReadOutcome outcome = Read();
        ASSERT_GE(outcome.SelectRow, 0);
        EXPECT_EQ(list.Rows[static_cast<size_t>(outcome.SelectRow)]->MsgId, "c");
        const std::set<TMessageClass*> unique(list.Rows.begin(), list.Rows.end());
        EXPECT_EQ(unique.size(), list.Rows.size());
        EXPECT_EQ(list.Rows.size(), 5u);
        if (threaded) {
            EXPECT_TRUE(list.Rows[0]->Expanded && list.Rows[1]->Expanded);
        }
    }
}

}  // namespace
}  // namespace pelmar

namespace pelmar {
namespace {

// The same messages written by another program into Squish, JAM and *.MSG thread alike.
TEST(ThreadFormatsTest, TheThreeFormatsGiveTheSameThreads) {
    test::TSettingsGuard guard;
    Settings.BuildThreads = true;
    test::TempDir dir;
    test::CopyFixture("smapi/bases", dir.Path());
    auto threads = [&](int kind, const std::string& path) {
        TAreaInfo area;
        area.Kind = kind;
        area.Path = (dir.Path() / "bases" / path).string();
        TThreadList list;
        EXPECT_TRUE(list.OpenArea(&area, nullptr).Listed) << path;
        std::vector<std::pair<int, std::string>> rows;
        if (!list.ThreadRoot) return rows;
        list.ThreadRoot->ExpandAll();
        list.RebuildRows();
        for (const TMessageClass* entry : list.Rows) rows.emplace_back(entry->Level, entry->Subject);
        list.LeaveArea(nullptr);
        return rows;
    };
    for (const std::string area : {"su.general", "r50.local", "ru.test"}) {
        SCOPED_TRACE(area);
        const auto squish = threads(4, "squish/" + area);
        ASSERT_FALSE(squish.empty());
        EXPECT_EQ(threads(2, "jam/" + area), squish);
        // smapi's *.MSG ru.test still holds the message deleted from the other two.
        if (area != "ru.test") {
            EXPECT_EQ(threads(1, "msg/" + area), squish);
        }
    }
    const auto deep = threads(4, "squish/ru.test");
    int depth = 0;
    for (const auto& row : deep) depth = std::max(depth, row.first);
    EXPECT_GE(depth, 2) << "reply chains several levels deep";
}

}  // namespace
}  // namespace pelmar
