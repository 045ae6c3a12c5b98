// The area cache: keyed by area ID and threading mode, validated by stamp and count, bounded,
// never handing out a tree twice.
#include <gtest/gtest.h>

#include "ReaderTestSupport.h"
#include "areas/gizmo.h"
#include "reader/AreaCache.h"
#include "reader/ThreadList.h"

namespace pelmar {
namespace {

std::unique_ptr<TCacheItem> Item(const std::string& id, bool threaded = true, double stamp = 1,
                                 int count = 1) {
    auto item = std::make_unique<TCacheItem>();
    item->AreaId = id;
    item->Threaded = threaded;
    item->BaseStamp = stamp;
    item->BaseCount = count;
    item->Root = std::make_unique<TMessageClass>();
    item->MsgIds.Store("m", &item->Root->AddReply());
    return item;
}

std::vector<std::string> Ids(const TAreaCache& cache) {
    std::vector<std::string> ids;
    for (size_t i = 0; i < cache.Size(); ++i) ids.push_back(cache.Item(i).AreaId);
    return ids;
}

TAreaCache AnyAreaExists() {
    TAreaCache cache;
    cache.SetAreaExists([](const std::string&) { return true; });
    return cache;
}

TEST(AreaCacheTest, EvictsOldestAndReplacesTheSameAreaAndMode) {
    TAreaCache cache = AnyAreaExists();
    cache.StoreInCache(Item("A"), 2);
    cache.StoreInCache(Item("B"), 2);
    cache.StoreInCache(Item("C"), 2);
    EXPECT_EQ(Ids(cache), (std::vector<std::string>{"B", "C"}));
    cache.StoreInCache(Item("B"), 2);
    EXPECT_EQ(Ids(cache), (std::vector<std::string>{"C", "B"}));
    cache.StoreInCache(Item("C", false), 3);  // the other mode is another item
    EXPECT_EQ(cache.Size(), 3u);
}

TEST(AreaCacheTest, LimitBelowOneKeepsOneItem) {
    for (const int limit : {0, -7, 1}) {
        SCOPED_TRACE(limit);
        TAreaCache cache = AnyAreaExists();
        cache.StoreInCache(Item("A"), limit);
        cache.StoreInCache(Item("B"), limit);
        EXPECT_EQ(Ids(cache), (std::vector<std::string>{"B"}));
    }
}

TEST(AreaCacheTest, MatchesOnlyTheSameAreaModeStampAndCount) {
    struct TProbe {
        const char* Name;
        std::string Id;
        bool Threaded;
        double Stamp;
        int Count;
        bool Hit;
    };
    const std::vector<TProbe> probes = {
        {"same", "A", true, 5, 9, true},
        {"other area", "B", true, 5, 9, false},
        {"other mode", "A", false, 5, 9, false},
        {"stamp changed", "A", true, 6, 9, false},
        {"count changed", "A", true, 5, 10, false},
    };
    for (const TProbe& probe : probes) {
        SCOPED_TRACE(probe.Name);
        TAreaCache cache = AnyAreaExists();
        cache.StoreInCache(Item("A", true, 5, 9), 10);
        EXPECT_EQ(cache.Lookup(probe.Id, probe.Threaded, probe.Stamp, probe.Count) != nullptr, probe.Hit);
    }
}

TEST(AreaCacheTest, HandedBackItemNeverMatchesAgain) {
    TAreaCache cache = AnyAreaExists();
    cache.StoreInCache(Item("A"), 10);
    TCacheItem* hit = cache.Lookup("A", true, 1, 1);
    ASSERT_NE(hit, nullptr);
    std::unique_ptr<TMessageClass> root;
    TMsgIdIndex index;
    cache.HandBack(*hit, root, index);
    ASSERT_TRUE(root);
    EXPECT_EQ(index.Find("M"), root->Replies.front().get());
    EXPECT_EQ(cache.Lookup("A", true, 1, 1), nullptr);
    EXPECT_EQ(cache.Size(), 1u);  // stays until the area is left again
}

TEST(AreaCacheTest, ItemsOfRemovedAreasAreDropped) {
    TAreaCache cache;  // asks the area registry
    TAreaInfo kept;
    std::string goneId;
    {
        TAreaInfo gone;
        goneId = gone.ID;
        cache.StoreInCache(Item(gone.ID), 10);
        cache.StoreInCache(Item(kept.ID), 10);
    }
    // A new area may reuse the freed memory; it has its own ID and finds nothing.
    TAreaInfo fresh;
    EXPECT_EQ(cache.Lookup(fresh.ID, true, 1, 1), nullptr);
    cache.DropRemovedAreas();
    EXPECT_EQ(Ids(cache), (std::vector<std::string>{kept.ID}));
}

// The cache as the list uses it when areas are left and entered again.
class ListCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        Settings.BuildThreads = true;
        Settings.UseCache = true;
        Settings.CacheMax = 10;
        area.Kind = 2;
        for (int i = 0; i < 20; ++i)
            base.Messages.push_back({"m" + std::to_string(i), i % 3 ? "m" + std::to_string(i - 1) : "", "s"});
    }
    TReadOutcome Enter() {
        list.CurrentArea = &area;
        list.Base = &base;
        return list.ReadAreaMessages();
    }
    test::TSettingsGuard guard;
    TAreaInfo area;
    test::TListBase base;
    TThreadList list;
};

TEST_F(ListCacheTest, UnchangedAreaComesBackFromTheCache) {
    ASSERT_FALSE(Enter().FromCache);
    const TMessageClass* tree = list.ThreadRoot.get();
    list.LeaveArea(list.Rows[2]);
    EXPECT_EQ(area.LastMSGID, "m6");
    base.HeaderReads = 0;
    const TReadOutcome outcome = Enter();
    EXPECT_TRUE(outcome.FromCache);
    EXPECT_EQ(list.ThreadRoot.get(), tree);
    EXPECT_EQ(base.HeaderReads, 0);
    EXPECT_EQ(list.MsgIdIndex.Size(), 20u);
    ASSERT_GE(outcome.SelectRow, 0);
    EXPECT_EQ(list.Rows[static_cast<size_t>(outcome.SelectRow)]->MsgId, "m6");
}

TEST_F(ListCacheTest, HudsonBaseIsWalkedOnACacheHit) {
    area.Kind = 3;
    Enter();
    list.LeaveArea(nullptr);
    base.HeaderReads = 0;
    base.Walks = 0;
    EXPECT_TRUE(Enter().FromCache);
    EXPECT_EQ(base.Walks, 1) << "it learns its message positions while walked";
    EXPECT_EQ(base.HeaderReads, 0);
}

TEST_F(ListCacheTest, ChangedBaseModeOrSettingReadsAgain) {
    struct TCase {
        const char* Name;
        void (*Change)(test::TListBase&);
    };
    const std::vector<TCase> cases = {
        {"count changed", [](test::TListBase& b) { ++b.Counter; }},
        {"stamp changed", [](test::TListBase& b) { b.Stamp += 1; }},
        {"threading toggled", [](test::TListBase&) { Settings.BuildThreads = !Settings.BuildThreads; }},
        {"cache off", [](test::TListBase&) { Settings.UseCache = false; }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Settings.BuildThreads = true;
        Settings.UseCache = true;
        list.Cache.Clear();
        Enter();
        list.LeaveArea(nullptr);
        c.Change(base);
        EXPECT_FALSE(Enter().FromCache);
        list.LeaveArea(nullptr);
    }
}

}  // namespace
}  // namespace pelmar

namespace pelmar {
namespace {

TEST(MsgIdIndexTest, SlotsSurviveGrowthAndIgnoreLetterCase) {
    TMsgIdIndex index;
    std::vector<TMessageClass> entries(3000);
    for (size_t i = 0; i < entries.size(); ++i) index.Add("2:5020/1 abc" + std::to_string(i));
    index.Add("2:5020/1 ABC7");  // the same slot
    EXPECT_EQ(index.Size(), entries.size());
    for (size_t i = 0; i < entries.size(); i += 2)
        index.Store("2:5020/1 ABC" + std::to_string(i), &entries[i]);
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::string id = "2:5020/1 aBc" + std::to_string(i);
        ASSERT_TRUE(index.Contains(id));
        ASSERT_EQ(index.Find(id), i % 2 == 0 ? &entries[i] : nullptr);
    }
    EXPECT_FALSE(index.Contains("2:5020/1 abc"));
    EXPECT_FALSE(index.Contains(""));
    index.Forget(&entries[4]);
    EXPECT_EQ(index.Find("2:5020/1 abc4"), nullptr);
    EXPECT_TRUE(index.Contains("2:5020/1 abc4"));
    TMsgIdIndex moved = std::move(index);
    EXPECT_EQ(moved.Find("2:5020/1 abc6"), &entries[6]);
    EXPECT_FALSE(index.Contains("2:5020/1 abc6"));  // NOLINT: moved-from is empty, not broken
    moved.Clear();
    EXPECT_FALSE(moved.Contains("2:5020/1 abc6"));
    moved.Store("x", &entries[0]);
    EXPECT_EQ(moved.Find("X"), &entries[0]);
}

}  // namespace
}  // namespace pelmar
