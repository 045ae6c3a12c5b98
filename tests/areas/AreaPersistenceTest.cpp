// The area tree in the registry: round trips, defaults of missing or broken values, key names.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "areas/gizmo.h"
#include "core/Codepage.h"
#include "core/Settings.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

class AreaPersistenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = Settings;
        Settings.BaseKey = RootKey + "\\Users\\Tester";
        config_ = home_.Path() / "squish.cfg";
        test::WriteFile(config_, "config");
        SetAreaImporter(LinkKindSquish, [](const TLinkedImport&, TAreaInfo& container) {
            for (const char* name : {"R50.RU", "SU.HUMOR"}) {
                auto entry = std::make_unique<TAreaInfo>();
                entry->Name = name;
                entry->Kind = 4;
                entry->Path = std::string("/squish/") + name;
                container.AddChild(std::move(entry));
            }
        });
    }
    void TearDown() override {
        SetAreaImporter(LinkKindSquish, nullptr);
        Settings = saved_;
    }

    // Writes one stored entry below Areas.
    static TRegistry& Key(TRegistry& reg, const std::string& path) {
        reg.OpenKey(TAreaManager::AreasKey() + "\\" + path, true);
        return reg;
    }

    test::ScopedHome home_;
    TSettings saved_;
    std::filesystem::path config_;
};

TAreaInfo* AddEntry(TAreaInfo& parent, const std::string& name, int kind, const std::string& path) {
    auto entry = std::make_unique<TAreaInfo>();
    entry->Name = name;
    entry->Kind = kind;
    entry->Path = path;
    entry->Description = "About " + name;
    entry->AreaName = name + ".TAG";
    entry->Uplink = "2:5020/9";
    entry->UseAKA = "2:5020/1.5";
    entry->LastMSGID = "2:5020/1 0000abcd";
    entry->MsgCount = 12;
    entry->Read = 3;
    return parent.AddChild(std::move(entry));
}

void ExpectSameTree(const TAreaInfo& a, const TAreaInfo& b) {
    ASSERT_EQ(a.ChildCount(), b.ChildCount()) << a.PathName();
    for (int i = 0; i < a.ChildCount(); ++i) {
        const TAreaInfo& x = *a.Child(i);
        const TAreaInfo* y = b.FindChild(x.Name);
        ASSERT_NE(y, nullptr) << x.PathName();
        EXPECT_EQ(x.Zilo, y->Zilo) << x.PathName();
        EXPECT_EQ(x.Kind, y->Kind) << x.PathName();
        EXPECT_EQ(x.Path, y->Path) << x.PathName();
        EXPECT_EQ(x.Description, y->Description) << x.PathName();
        EXPECT_EQ(x.AreaName, y->AreaName) << x.PathName();
        EXPECT_EQ(x.Uplink, y->Uplink) << x.PathName();
        EXPECT_EQ(x.UseAKA, y->UseAKA) << x.PathName();
        EXPECT_EQ(x.LastMSGID, y->LastMSGID) << x.PathName();
        EXPECT_EQ(x.WildInclude, y->WildInclude) << x.PathName();
        EXPECT_EQ(x.WildExclude, y->WildExclude) << x.PathName();
        EXPECT_EQ(x.AKAInclude, y->AKAInclude) << x.PathName();
        EXPECT_EQ(x.AKAExclude, y->AKAExclude) << x.PathName();
        EXPECT_EQ(x.IsNetmail, y->IsNetmail) << x.PathName();
        EXPECT_EQ(x.MsgCount.load(), y->MsgCount.load()) << x.PathName();
        EXPECT_EQ(x.Read.load(), y->Read.load()) << x.PathName();
        EXPECT_EQ(x.ID, y->ID) << x.PathName();
        ExpectSameTree(x, *y);
    }
}

TEST_F(AreaPersistenceTest, FailedSaveKeepsThePreviousTree) {
    TAreaManager manager;
    manager.LoadAreas();
    AddEntry(manager.Root(), "Kept", 1, "/fido/kept");
    ASSERT_TRUE(manager.SaveAreas());
    const std::string before = test::ReadFile(RegistryFilePath());
    // A chain of folders nested deeper than the store can hold fails halfway through the save.
    TAreaInfo* deepest = AddEntry(manager.Root(), "Chain", AreaKindFolder, "");
    for (int i = 0; i < 250; ++i) deepest = AddEntry(*deepest, "F" + std::to_string(i), AreaKindFolder, "");
    EXPECT_THROW(manager.SaveAreas(), ERegistryError);
    EXPECT_EQ(test::ReadFile(RegistryFilePath()), before);
    EXPECT_TRUE(TRegistryStore::Instance().Flush());
    EXPECT_EQ(test::ReadFile(RegistryFilePath()), before);
    TAreaManager loaded;
    loaded.LoadAreas();
    ASSERT_EQ(loaded.Root().ChildCount(), 1);
    EXPECT_EQ(loaded.Root().Child(0)->Name, "Kept");
}

TEST_F(AreaPersistenceTest, TreeWithEveryKindSurvivesSaveAndLoad) {
    std::string netmailId;
    {
        TAreaManager manager;
        manager.LoadAreas();
        EXPECT_EQ(manager.Root().ChildCount(), 0);
        TAreaInfo* fido = AddEntry(manager.Root(), "Fido", AreaKindFolder, "");
        TAreaInfo* netmail = AddEntry(*fido, "NETMAIL", 1, "/fido/netmail");
        netmail->IsNetmail = true;
        netmailId = netmail->ID;
        AddEntry(*fido, Utf8ToAnsi("Местная"), 2, "/fido/jam/local");
        AddEntry(*fido, "HUDSON 5", 3, std::string(1, '\x05') + "/fido/hudson/");
        AddEntry(*fido, "HUDSON 200", 3, std::string(1, '\xC8') + "/fido/hudson/");
        AddEntry(*AddEntry(*fido, "Deeper", 0, ""), "SQ", 4, "/fido/squish/sq");
        TAreaInfo* group = AddEntry(manager.Root(), "Link", LinkKindSquish, config_.string());
        group->Zilo = ZiloLinkedGroup;
        group->Read = 6;
        group->MsgCount = 0;
        group->WildInclude = "*.RU;SU.*";
        group->WildExclude = "*.TEST";
        group->AKAInclude = "";
        group->AKAExclude = "1:2/3";
        ASSERT_TRUE(group->RefreshLinkedGroup());
        group->FindChild("R50.RU")->LastMSGID = "2:5020/7 11112222";
        ASSERT_TRUE(manager.SaveAreas());
        EXPECT_TRUE(manager.Notes().empty());

        TAreaManager loaded;
        Settings.NetmailArea = netmailId;
        loaded.LoadAreas();
        ExpectSameTree(manager.Root(), loaded.Root());
        EXPECT_EQ(loaded.NetmailAreaObject(), loaded.Root().FindChild("Fido")->FindChild("NETMAIL"));
        // The linked group's areas come back under it, shown beside it, with what was kept.
        const TAreaInfo* linkedArea = loaded.Root().FindChild("Link")->FindChild("R50.RU");
        ASSERT_NE(linkedArea, nullptr);
        EXPECT_EQ(linkedArea->LastMSGID, "2:5020/7 11112222");
        EXPECT_EQ(linkedArea->ShownParent(), &loaded.Root());
        // Shown tree sorted at load: the group first, then folders.
        EXPECT_EQ(loaded.Root().Shown(0)->Name, "Link");
        EXPECT_EQ(loaded.Root().Shown(1)->Name, "Fido");
    }
    // The file on disk holds it too: a new store reads the same tree.
    ASSERT_TRUE(TRegistryStore::Instance().Flush());
    TRegistryStore fresh;
    ASSERT_TRUE(fresh.Load(TRegistryStore::Instance().FilePath()));
    TRegistry reg(fresh);
    ASSERT_TRUE(reg.OpenKey(TAreaManager::AreasKey() + "\\Fido\\HUDSON 5", false));
    EXPECT_EQ(reg.ReadString("Path"), std::string(1, '\x05') + "/fido/hudson/");
}

TEST_F(AreaPersistenceTest, MissingAndBrokenValuesKeepDefaults) {
    {
        TRegistry reg;
        Key(reg, "MSG").WriteInteger("Kind", 1);
        Key(reg, "JAM").WriteInteger("Kind", 2);
        Key(reg, "EchoMsg").WriteInteger("Kind", 1);
        reg.WriteBool("IsNetmail", false);
        TRegistry& broken = Key(reg, "Broken");
        broken.WriteString("Kind", "four");
        broken.WriteInteger("Path", 7);
        broken.WriteString("IsNetmail", "yes");
        broken.WriteBinaryData("MsgCount", "\x01\x02");
        broken.WriteString("Zilo", "1");
        broken.WriteString("ID", "");
        Key(reg, "Empty");
    }
    TAreaManager manager;
    manager.LoadAreas();
    const TAreaInfo& root = manager.Root();
    ASSERT_EQ(root.ChildCount(), 5);
    EXPECT_TRUE(root.FindChild("MSG")->IsNetmail);
    EXPECT_FALSE(root.FindChild("JAM")->IsNetmail);
    EXPECT_FALSE(root.FindChild("EchoMsg")->IsNetmail);
    const TAreaInfo* broken = root.FindChild("Broken");
    EXPECT_EQ(broken->Kind, 0);
    EXPECT_EQ(broken->Path, "");
    EXPECT_FALSE(broken->IsNetmail);
    EXPECT_EQ(broken->MsgCount.load(), 0);
    EXPECT_EQ(broken->Zilo, ZiloOrdinary);
    EXPECT_FALSE(broken->ID.empty());
    EXPECT_FALSE(manager.Notes().empty());
    const TAreaInfo* empty = root.FindChild("Empty");
    EXPECT_EQ(empty->Kind, 0);
    EXPECT_FALSE(empty->ID.empty());
}

TEST_F(AreaPersistenceTest, RepeatedStoredIdsAreNotShared) {
    {
        TRegistry reg;
        Key(reg, "A").WriteString("ID", "SAMEIDTAreaInfo");
        Key(reg, "B").WriteString("ID", "SAMEIDTAreaInfo");
    }
    TAreaManager manager;
    manager.LoadAreas();
    EXPECT_EQ(manager.Root().FindChild("A")->ID, "SAMEIDTAreaInfo");
    EXPECT_NE(manager.Root().FindChild("B")->ID, "SAMEIDTAreaInfo");
}

TEST_F(AreaPersistenceTest, SiblingsThatWouldShareAKeyAreBothKept) {
    TAreaManager manager;
    manager.LoadAreas();
    for (const std::string name :
         std::vector<std::string>{"Fido", "FIDO", "a\\b", "", "tab\there", "Fido (2)"})
        AddEntry(manager.Root(), name, 2, "/jam/" + name);
    ASSERT_TRUE(manager.SaveAreas());
    EXPECT_EQ(manager.Notes().size(), 5u);
    // The renamed entries carry the name they were stored under.
    EXPECT_NE(manager.Root().FindChild("FIDO (2)"), nullptr);
    EXPECT_NE(manager.Root().FindChild("a_b"), nullptr);
    EXPECT_NE(manager.Root().FindChild("_"), nullptr);
    EXPECT_NE(manager.Root().FindChild("tab_here"), nullptr);
    EXPECT_NE(manager.Root().FindChild("Fido (2) (2)"), nullptr);

    TAreaManager loaded;
    loaded.LoadAreas();
    EXPECT_EQ(loaded.Root().ChildCount(), 6);
    ExpectSameTree(manager.Root(), loaded.Root());
}

TEST_F(AreaPersistenceTest, SavingReplacesTheStoredTree) {
    {
        TRegistry reg;
        Key(reg, "Old\\Older").WriteInteger("Kind", 2);
    }
    TAreaManager manager;
    manager.LoadAreas();
    ASSERT_NE(manager.Root().FindChild("Old"), nullptr);
    manager.Root().RemoveChild(manager.Root().FindChild("Old"));
    AddEntry(manager.Root(), "New", 2, "/jam/new");
    ASSERT_TRUE(manager.SaveAreas());
    TRegistry reg;
    EXPECT_FALSE(reg.KeyExists(TAreaManager::AreasKey() + "\\Old"));
    EXPECT_TRUE(reg.KeyExists(TAreaManager::AreasKey() + "\\New"));
    // Loading again does not add to the tree already there.
    manager.LoadAreas();
    EXPECT_EQ(manager.Root().ChildCount(), 1);
}

TEST_F(AreaPersistenceTest, DeepAndLargeTrees) {
    TAreaManager manager;
    manager.LoadAreas();
    TAreaInfo* at = &manager.Root();
    for (int level = 0; level < 50; ++level) at = AddEntry(*at, "Level" + std::to_string(level), 0, "");
    for (int folder = 0; folder < 100; ++folder) {
        TAreaInfo* group = AddEntry(manager.Root(), "F" + std::to_string(folder), 0, "");
        for (int area = 0; area < 100; ++area)
            AddEntry(*group, "AREA." + std::to_string(area), 2, "/jam/" + std::to_string(area));
    }
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(manager.SaveAreas());
    TAreaManager loaded;
    loaded.LoadAreas();
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ExpectSameTree(manager.Root(), loaded.Root());
    RecordProperty("SaveAndLoadSeconds", std::to_string(seconds));
}

}  // namespace
}  // namespace pelmar
