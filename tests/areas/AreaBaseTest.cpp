// Opening an area's base: the shared base every window uses and the private one of the scan.
#include <gtest/gtest.h>

#include <thread>

#include "areas/AreaTestSupport.h"
#include "areas/gizmo.h"
#include "msgbase/BaseFactory.h"
#include "msgbase/MessageBase.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

bool FreeForOtherThreads(TAreaInfo& area) {
    bool got = false;
    std::thread([&] {
        got = area.TryLock();
        if (got) area.Unlock();
    }).join();
    return got;
}

class AreaBaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        area_.Name = "SU.GENERAL";
        area_.Kind = BaseKindMsg;
        area_.Path = test::CopyFixture("smapi/bases/msg/su.general", dir_.Path()).string();
    }
    test::TempDir dir_;
    TAreaInfo area_;
};

TEST_F(AreaBaseTest, SharedOpensShareOneBaseUntilTheLastClose) {
    area_.IsNetmail = true;
    TMessageBase* first = area_.OpenBase(TBaseMode::Shared);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->Active);
    EXPECT_TRUE(first->Netmail);
    TMessageBase* second = area_.OpenBase(TBaseMode::Shared);
    EXPECT_EQ(second, first);
    EXPECT_EQ(area_.OpenCount(), 2);
    area_.CloseBase(first, TBaseMode::Shared);
    EXPECT_EQ(area_.Base(), first);
    EXPECT_EQ(area_.OpenCount(), 1);
    area_.CloseBase(second, TBaseMode::Shared);
    EXPECT_EQ(area_.Base(), nullptr);
    EXPECT_EQ(area_.OpenCount(), 0);
    EXPECT_EQ(area_.LockDepth(), 0);
    EXPECT_TRUE(FreeForOtherThreads(area_));
}

TEST_F(AreaBaseTest, PrivateBaseIsIndependentOfTheSharedOne) {
    TMessageBase* shared = area_.OpenBase(TBaseMode::Shared);
    ASSERT_NE(shared, nullptr);
    shared->Seek(2);
    TMessageBase* own = area_.OpenBase(TBaseMode::Private);
    ASSERT_NE(own, nullptr);
    EXPECT_NE(own, shared);
    EXPECT_EQ(area_.OpenCount(), 1);
    EXPECT_EQ(own->Count(), shared->Count());
    area_.CloseBase(own, TBaseMode::Private);
    EXPECT_EQ(area_.Base(), shared);
    EXPECT_EQ(area_.OpenCount(), 1);
    EXPECT_TRUE(shared->Active);
    EXPECT_EQ(shared->Current, 2);
    area_.CloseBase(shared, TBaseMode::Shared);
}

TEST_F(AreaBaseTest, EntriesWithoutAUsableBaseGiveNoneAndStayUnlocked) {
    TAreaInfo folder;
    TAreaInfo group;
    group.Zilo = ZiloLinkedGroup;
    group.Kind = BaseKindMsg;  // a linked group's Kind names a configuration, never a base
    group.Path = area_.Path;
    TAreaInfo odd;
    odd.Kind = 9;
    TAreaInfo missing;
    missing.Kind = BaseKindJam;
    missing.Path = dir_.File("nothing-here");
    TAreaInfo badHudson;
    badHudson.Kind = BaseKindHudson;
    badHudson.Path = std::string(1, '\xF0') + dir_.Path().string();  // board 240 does not exist
    for (TAreaInfo* entry : {&folder, &group, &odd, &missing, &badHudson}) {
        for (TBaseMode mode : {TBaseMode::Shared, TBaseMode::Private}) {
            EXPECT_EQ(entry->OpenBase(mode), nullptr);
            EXPECT_EQ(entry->OpenCount(), 0);
            EXPECT_EQ(entry->LockDepth(), 0);
            EXPECT_TRUE(FreeForOtherThreads(*entry));
        }
    }
}

TEST_F(AreaBaseTest, EveryKindOpensThroughTheFactory) {
    for (int kind : {BaseKindMsg, BaseKindJam, BaseKindHudson, BaseKindSquish}) {
        TAreaInfo area;
        area.Kind = kind;
        area.Path = test::CreateEmptyBase(kind, dir_.Path(), "kind" + std::to_string(kind));
        test::AppendMessages(kind, area.Path, test::Messages(3, 0, 0, ""));
        TOpenedBase base(area, TBaseMode::Shared);
        ASSERT_TRUE(base) << kind;
        EXPECT_EQ(base->Count(), 3) << kind;
    }
}

TEST_F(AreaBaseTest, ClosingABaseThatIsNotTheSharedOneFreesNothing) {
    TMessageBase* shared = area_.OpenBase(TBaseMode::Shared);
    ASSERT_NE(shared, nullptr);
    auto stranger = CreateMessageBase(BaseKindMsg);
    area_.CloseBase(stranger.get(), TBaseMode::Shared);
    EXPECT_EQ(area_.Base(), shared);
    EXPECT_EQ(area_.OpenCount(), 1);
    area_.CloseBase(shared, TBaseMode::Shared);
}

}  // namespace
}  // namespace pelmar
