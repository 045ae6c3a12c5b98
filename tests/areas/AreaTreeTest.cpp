// The area tree itself: lists, the shown tree around linked groups, order, walks and identifiers.
#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "areas/gizmo.h"
#include "core/Codepage.h"

namespace pelmar {
namespace {

std::unique_ptr<TAreaInfo> Entry(const std::string& name, int kind = AreaKindFolder,
                                 uint8_t zilo = ZiloOrdinary, bool netmail = false) {
    auto entry = std::make_unique<TAreaInfo>();
    entry->Name = name;
    entry->Kind = kind;
    entry->Zilo = zilo;
    entry->IsNetmail = netmail;
    return entry;
}

std::vector<std::string> ShownNames(const TAreaInfo& entry) {
    std::vector<std::string> names;
    for (int i = 0; i < entry.ShownCount(); ++i) names.push_back(entry.Shown(i)->Name);
    return names;
}

bool Registered(const TAreaInfo* entry) {
    AreaRegistry().Lock();
    bool found = false;
    for (int i = 0; i < AreaRegistry().Count(); ++i) found = found || AreaRegistry().Item(i) == entry;
    AreaRegistry().Unlock();
    return found;
}

TEST(AreaTree, EntriesLiveInTheRegistryWithTheirWholeSubtree) {
    const int before = [] {
        AreaRegistry().Lock();
        const int n = AreaRegistry().Count();
        AreaRegistry().Unlock();
        return n;
    }();
    auto root = Entry("");
    TAreaInfo* folder = root->AddChild(Entry("Fido"));
    TAreaInfo* area = folder->AddChild(Entry("R50.SYSOP", 2));
    EXPECT_TRUE(Registered(area));
    EXPECT_EQ(AreaRegistry().FindAreaById(area->ID), area);

    std::unique_ptr<TAreaInfo> detached = folder->Detach();
    EXPECT_EQ(root->ChildCount(), 0);
    EXPECT_EQ(root->ShownCount(), 0);
    EXPECT_EQ(folder->Parent(), nullptr);
    detached.reset();
    EXPECT_FALSE(Registered(area));
    root.reset();
    AreaRegistry().Lock();
    EXPECT_EQ(AreaRegistry().Count(), before);
    AreaRegistry().Unlock();
}

TEST(AreaTree, IdsAreUniqueAndShaped) {
    const std::regex shape("[0-9A-F]{24}TAreaInfo");
    TAreaInfo a, b;
    EXPECT_TRUE(std::regex_match(a.ID, shape)) << a.ID;
    EXPECT_NE(a.ID, b.ID);
    // Counter first: later entries of one thread never repeat an earlier prefix.
    EXPECT_NE(a.ID.substr(0, 8), b.ID.substr(0, 8));
}

TEST(AreaTree, OutOfRangeAccessIsAnAssertionNamingTheModel) {
    TAreaInfo root;
    root.AddChild(Entry("A"));
    EXPECT_EQ(root.Child(0)->Name, "A");
    for (int bad : {-1, 1}) {
        try {
            root.Child(bad);
            ADD_FAILURE() << "Child(" << bad << ") returned";
        } catch (const EAssertionFailed& error) {
            EXPECT_NE(std::string(error.what()).find("gizmo"), std::string::npos);
        }
        EXPECT_THROW(root.Shown(bad), EAssertionFailed);
    }
    AreaRegistry().Lock();
    EXPECT_THROW(AreaRegistry().Item(AreaRegistry().Count()), EAssertionFailed);
    AreaRegistry().Unlock();
}

TEST(AreaTree, LinkedGroupEntriesAreShownUnderTheGroupsParent) {
    TAreaInfo root;
    TAreaInfo* folder = root.AddChild(Entry("Fido"));
    TAreaInfo* group = folder->AddChild(Entry("Link", 1, ZiloLinkedGroup));
    TAreaInfo* area = group->AddChild(Entry("SU.GENERAL", 4));
    EXPECT_EQ(area->Parent(), group);
    EXPECT_EQ(area->ShownParent(), folder);
    EXPECT_EQ(ShownNames(*folder), (std::vector<std::string>{"Link", "SU.GENERAL"}));
    EXPECT_EQ(group->ShownCount(), 0);

    // Taking the group out must not leave its areas behind in the folder's shown list.
    std::unique_ptr<TAreaInfo> detached = group->Detach();
    EXPECT_EQ(ShownNames(*folder), std::vector<std::string>{});
    EXPECT_EQ(area->ShownParent(), group);
    EXPECT_EQ(ShownNames(*group), std::vector<std::string>{"SU.GENERAL"});

    // ... and putting it somewhere else shows them there.
    TAreaInfo* other = root.AddChild(Entry("Other"));
    other->AddChild(std::move(detached));
    EXPECT_EQ(area->ShownParent(), other);
    EXPECT_EQ(ShownNames(*other), (std::vector<std::string>{"Link", "SU.GENERAL"}));

    std::unique_ptr<TAreaInfo> gone = group->RemoveChild(area);
    EXPECT_EQ(gone.get(), area);
    EXPECT_EQ(ShownNames(*other), std::vector<std::string>{"Link"});
    EXPECT_EQ(group->RemoveChild(area), nullptr);
}

TEST(AreaTree, SortShownOrdersGroupsFoldersNetmailThenNames) {
    TAreaInfo root;
    root.AddChild(Entry("A", 2));
    root.AddChild(Entry("Z", 1, ZiloOrdinary, true));
    TAreaInfo* folder = root.AddChild(Entry(Utf8ToAnsi("Б")));
    TAreaInfo* group = root.AddChild(Entry("Link", 3, ZiloLinkedGroup));
    group->AddChild(Entry("b", 2));
    folder->AddChild(Entry("c", 2));
    folder->AddChild(Entry("B", 2));
    folder->AddChild(Entry("a", 2));
    root.SortShown();
    EXPECT_EQ(ShownNames(root), (std::vector<std::string>{"Link", Utf8ToAnsi("Б"), "Z", "A", "b"}));
    EXPECT_EQ(ShownNames(*folder), (std::vector<std::string>{"a", "B", "c"}));
    // Ownership order is untouched.
    EXPECT_EQ(root.Child(0)->Name, "A");
}

TEST(AreaTree, WalksAndPaths) {
    TAreaInfo root;
    TAreaInfo* fido = root.AddChild(Entry("Fido"));
    TAreaInfo* sysop = fido->AddChild(Entry("R50.SYSOP", 2));
    TAreaInfo* local = fido->AddChild(Entry("Local"));
    TAreaInfo* deep = local->AddChild(Entry("Deep", 1));
    TAreaInfo* last = root.AddChild(Entry("Last", 4));

    EXPECT_EQ(sysop->PathName(), "Fido\\R50.SYSOP");
    EXPECT_EQ(fido->PathName(), "Fido");
    EXPECT_EQ(root.PathName(), "");
    EXPECT_EQ(deep->PathName(), "Fido\\Local\\Deep");

    std::vector<const TAreaInfo*> order;
    for (const TAreaInfo* e = root.NextInTree(); e != nullptr; e = e->NextInTree()) order.push_back(e);
    EXPECT_EQ(order, (std::vector<const TAreaInfo*>{fido, sysop, local, deep, last}));

    EXPECT_TRUE(deep->IsDescendantOf(fido));
    EXPECT_TRUE(deep->IsDescendantOf(&root));
    EXPECT_FALSE(fido->IsDescendantOf(deep));
    EXPECT_FALSE(fido->IsDescendantOf(fido));
    EXPECT_FALSE(fido->IsDescendantOf(nullptr));

    EXPECT_EQ(fido->FindChild("Local"), local);
    EXPECT_EQ(fido->FindChild("local"), nullptr);
    EXPECT_EQ(fido->ChildIndex(local), 1);
    EXPECT_EQ(fido->ChildIndex(last), -1);
}

TEST(AreaTree, UnreadAndPersonalMarksBubbleUpFromChildren) {
    TAreaInfo root;
    TAreaInfo* folder = root.AddChild(Entry("Fido"));
    TAreaInfo* area = folder->AddChild(Entry("A", 2));
    EXPECT_FALSE(root.HasUnread());
    area->Read = 3;  // unread without messages is a stale counter, not mail
    EXPECT_FALSE(root.HasUnread());
    area->MsgCount = 5;
    EXPECT_TRUE(root.HasUnread());
    EXPECT_TRUE(folder->HasUnread());
    EXPECT_FALSE(root.HasPersonal());
    area->PersonalUnread = 1;
    EXPECT_TRUE(root.HasPersonal());
}

TEST(AreaTree, LockIsRecursiveAndOwnedByOneThread) {
    TAreaInfo area;
    area.Lock();
    area.Lock();
    EXPECT_EQ(area.LockDepth(), 2);
    bool otherGotIt = true;
    std::thread([&] { otherGotIt = area.TryLock(); }).join();
    EXPECT_FALSE(otherGotIt);
    // Another thread cannot release what it does not hold.
    std::thread([&] { area.Unlock(); }).join();
    EXPECT_EQ(area.LockDepth(), 2);
    area.Unlock();
    area.Unlock();
    EXPECT_EQ(area.LockDepth(), 0);
    area.Unlock();  // nothing held: no effect
    std::thread([&] {
        otherGotIt = area.TryLock();
        area.Unlock();
    }).join();
    EXPECT_TRUE(otherGotIt);
}

TEST(AreaTree, DestroyingAHeldEntryReleasesItsLock) {
    auto area = std::make_unique<TAreaInfo>();
    area->Lock();
    area->Lock();
    area.reset();  // must not leave a locked mutex behind (undefined behaviour, caught by sanitizers)
    SUCCEED();
}

TEST(AreaTree, FiftyLevelsDeep) {
    TAreaInfo root;
    TAreaInfo* at = &root;
    for (int level = 0; level < 50; ++level) at = at->AddChild(Entry("L" + std::to_string(level)));
    const std::string path = at->PathName();
    EXPECT_EQ(std::count(path.begin(), path.end(), '\\'), 49);
    root.SortShown();
    EXPECT_EQ(at->NextInTree(), nullptr);
    EXPECT_TRUE(at->IsDescendantOf(&root));
}

}  // namespace
}  // namespace pelmar
