// Taking over a GoldEd configuration: keywords, the plan read before anything changes, and the
// linked groups of its AREAFILE lines.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>

#include "areas/AreaEdits.h"
#include "areas/gizmo.h"
#include "core/Errors.h"
#include "core/Settings.h"
#include "import/AreaImport.h"
#include "import/ConfigLines.h"
#include "import/GoldEdImport.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

namespace fs = std::filesystem;

class GoldEdImportTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = Settings;
        Settings.BaseKey = RootKey + "\\Users\\GoldEdTester";
        RegisterAreaImporters();
        OpenTemplateStore();
        dir_ = home_.Path() / "golded";
        fs::create_directories(dir_);
    }
    void TearDown() override {
        TRegistryStore::Instance().SetSaveFaultForTesting(TRegistryStore::TSaveFault::None);
        TRegistryStore::Instance().SetErrorReporter(nullptr);
        CloseTemplateStore();
        Settings = saved_;
    }

    TGoldEdPlan Read(const std::string& text) {
        test::WriteFile(dir_ / "golded.cfg", text);
        return ReadGoldEdConfig((dir_ / "golded.cfg").string());
    }

    test::ScopedHome home_;
    TSettings saved_;
    fs::path dir_;
};

// The main window's tree as the engine sees it: what it was told to delete and to add.
struct TRecordingView : TAreaTreeView {
    std::string Deleted;
    std::string Added;
    std::set<const TAreaInfo*> Nodes;
    bool TreeVisible() const override { return true; }
    void ClearSelection() override {}
    void BeginUpdate() override {}
    void EndUpdate() override {}
    bool HasNode(const TAreaInfo& entry) const override { return Nodes.count(&entry) != 0; }
    void DeleteNode(TAreaInfo& entry) override {
        Deleted += entry.Name + ";";
        Nodes.erase(&entry);
    }
    void AddNode(TAreaInfo& entry) override { Added += entry.Name + ";"; }
};

TEST_F(GoldEdImportTest, KeywordsFillThePlan) {
    const TGoldEdPlan plan = Read(
        "; comment\n"
        "NOSPACELINE\n"
        "ADDRESS 2:5030/100.5\n"
        "AKA\t2:5030/100.6\n"
        "ADDRESS 2:5020/9\n"
        "username John Doe\n"
        "ORIGIN   \"My station\"   \n"
        "NODELIST net.001\n"
        "NODEPATH C:\\NODES\n"
        "NODELIST\tnet.002\n"
        "ROBOTNAME AreaFix\n"
        "TEARLINE first\n"
        "INCLUDE other.cfg\n"
        "UNKNOWN value\n");
    EXPECT_EQ(plan.SelfAKA, (std::vector<std::string>{"2:5020/9", "2:5030/100.5", "2:5030/100.6"}));
    EXPECT_EQ(plan.FullName, "John Doe");
    EXPECT_EQ(plan.Origins, std::vector<std::string>{"My station"});
    // A relative name is in the folder of golded.cfg.
    EXPECT_EQ(plan.NodeListFiles,
              (std::vector<std::string>{(dir_ / "net.001").string(), "C:\\NODES\\net.002"}));
    EXPECT_EQ(plan.RobotNames, std::vector<std::string>{"AreaFix"});
    EXPECT_EQ(plan.Tearlines, std::vector<std::string>{"first"});
    EXPECT_TRUE(plan.Groups.empty());

    // Two blanks: the second belongs to the value.
    EXPECT_EQ(Read("USERNAME  John Doe\n").FullName, " John Doe");
}

TEST_F(GoldEdImportTest, TearlineFileReplacesTheListAndAMissingOneIsIgnored) {
    test::WriteFile(dir_ / "tears.txt", "one\r\ntwo\r\n");
    const std::string file = (dir_ / "tears.txt").string();
    EXPECT_EQ(Read("TEARLINE early\nTEARLINE @" + file + "\n").Tearlines,
              (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(Read("TEARLINE early\nTEARLINE @" + (dir_ / "none").string() + "\n").Tearlines,
              std::vector<std::string>{});
}

TEST_F(GoldEdImportTest, AreaFileLinesBecomeLinkedGroups) {
    const TGoldEdPlan plan = Read(
        "AREAFILE Squish D:\\Squish\n"
        "AREAFILE AreasBBS c:\\fido\\areas.bbs\n"
        "AREAFILE FastEcho\tC:\\FE\n"
        "AREAFILE Squish D:\\Other\n"
        "AREAFILE Unknown x\n"
        // The same list again, written another way: no second group to read it again.
        "AREAFILE SQUISH d:\\squish\\\n"
        "AREAFILE FastEcho C:\\FE\n");
    ASSERT_EQ(plan.Groups.size(), 4u);
    EXPECT_EQ(plan.Groups[0].Fields.Name, "Squish");
    EXPECT_EQ(plan.Groups[0].Fields.Path, "D:\\SQUISH\\SQUISH.CFG");
    EXPECT_EQ(plan.Groups[0].Options, 7);
    EXPECT_EQ(plan.Groups[1].Fields.Name, "AreasBBS");
    EXPECT_EQ(plan.Groups[1].Fields.Path, "C:\\FIDO\\AREAS.BBS");
    EXPECT_EQ(plan.Groups[1].Fields.Kind, LinkKindAreasBbs);
    EXPECT_EQ(plan.Groups[2].Fields.Path, "C:\\FE\\FASTECHO.CFG");
    EXPECT_EQ(plan.Groups[2].Options, 1);
    // A second group of a kind gets a name of its own: names are registry keys.
    EXPECT_EQ(plan.Groups[3].Fields.Name, "Squish 2");

    // Linux paths: a folder with a UTF-8 name, a file named directly, a relative tearline file.
    const fs::path fido = home_.Path() / "\xd1\x84\xd0\xb8\xd0\xb4\xd0\xbe";
    fs::create_directories(fido);
    test::WriteFile(fido / "squish.cfg", "");
    test::WriteFile(fido / "crashmail.prefs", "");
    test::WriteFile(dir_ / "tears", "relative\n");
    const TGoldEdPlan linux = Read("AREAFILE Squish " + fido.string() + "\nAREAFILE CrashMail " +
                                   (fido / "crashmail.prefs").string() + "\nTEARLINE @tears\n");
    ASSERT_EQ(linux.Groups.size(), 2u);
    EXPECT_EQ(linux.Groups[0].Fields.Path, (fido / "squish.cfg").string());
    EXPECT_EQ(linux.Groups[1].Fields.Path, (fido / "crashmail.prefs").string());
    EXPECT_EQ(linux.Groups[1].Fields.Kind, LinkKindCrashMail);
    EXPECT_EQ(linux.Tearlines, std::vector<std::string>{"relative"});
}

TEST_F(GoldEdImportTest, ImportFillsSettingsTemplatesAndASquishGroup) {
    const fs::path squish = home_.Path() / "squish";
    fs::create_directories(squish / "msg");
    test::WriteFile(squish / "msg" / "rufido.sqd", "");
    test::WriteFile(squish / "msg" / "rufido.sqi", "");
    test::WriteFile(squish / "squish.cfg", "Address 2:5020/1.3\nEchoArea RU.FIDO " + squish.string() +
                                               "/MSG/RUFIDO -$\nNetArea NETMAIL " + squish.string() +
                                               "/msg/net\n");
    test::WriteFile(
        dir_ / "GoldEd.Cfg",
        "USERNAME Vasya\nADDRESS 2:5020/1.3\nROBOTNAME Robot\nAREAFILE SQUISH " + squish.string() + "\n");
    ASSERT_TRUE(WriteTemplate("origin.list", "old origin\r\n"));

    TAreaInfo root;
    auto folder = std::make_unique<TAreaInfo>();
    folder->Name = "Old";
    TAreaInfo* old = root.AddChild(std::move(folder));
    TAreaFields oldNet;
    oldNet.Name = "Net";
    oldNet.Kind = 1;
    oldNet.AreaName = "netmail";
    oldNet.IsNetmail = true;
    Settings.NetmailArea = old->AddChild(oldNet)->ID;
    Settings.NodeListFiles = {"old.001"};

    ASSERT_TRUE(ImportGoldEdConfig(dir_.string(), root));
    EXPECT_EQ(Settings.FullName, "Vasya");
    EXPECT_EQ(Settings.SelfAKA, std::vector<std::string>{"2:5020/1.3"});
    EXPECT_TRUE(Settings.NodeListFiles.empty());
    // No ORIGIN lines: the section goes.
    EXPECT_FALSE(TemplateExists("origin.list"));
    EXPECT_EQ(ReadTemplate("robot.names"), "Robot\r\n");

    ASSERT_EQ(root.ChildCount(), 1);
    TAreaInfo* group = root.FindChild("Squish");
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->Zilo, ZiloLinkedGroup);
    EXPECT_EQ(group->Path, (squish / "squish.cfg").string());
    ASSERT_EQ(group->ChildCount(), 2);
    TAreaInfo* fido = group->FindChild("RU.FIDO");
    ASSERT_NE(fido, nullptr);
    EXPECT_EQ(fido->Kind, 4);
    EXPECT_EQ(fido->Path, (squish / "msg" / "rufido").string());
    EXPECT_TRUE(group->FindChild("NETMAIL")->IsNetmail);
    // The old netmail area went with the old tree; its tag names the new one.
    EXPECT_EQ(Settings.NetmailArea, group->FindChild("NETMAIL")->ID);
}

TEST_F(GoldEdImportTest, DosNodelistPathsAreFoundOnThisMachine) {
    const fs::path nodes = home_.Path() / "Nodes";
    fs::create_directories(nodes);
    test::WriteFile(nodes / "nodelist.123", "");
    const std::string dos = home_.Path().string() + "\\NODES";
    const TGoldEdPlan plan = Read("NODEPATH " + dos + "\nNODELIST NODELIST.123\nNODELIST NODELIST.*\n");
    EXPECT_EQ(plan.NodeListFiles,
              (std::vector<std::string>{(nodes / "nodelist.123").string(), (nodes / "NODELIST.*").string()}));
}

// Open editors and the main window hold entries of the old tree: each is let go before it is freed,
// a linked group's areas too (the main window shows them beside the group, which has no node).
TEST_F(GoldEdImportTest, TheOldTreeGoesTheWayTheAreaManagerDeletesIt) {
    TAreaInfo root;
    TAreaFields fields;
    fields.Name = "Old";
    TAreaInfo* old = root.AddChild(fields);
    fields.Name = "OLD.AREA";
    fields.Kind = 2;
    old->AddChild(fields);
    fields = {};
    fields.Name = "Link";
    fields.Zilo = ZiloLinkedGroup;
    fields.Kind = LinkKindSquish;
    TAreaInfo* group = root.AddChild(fields);
    fields = {};
    fields.Name = "LINKED";
    fields.Kind = 2;
    TAreaInfo* linked = group->AddChild(fields);
    TRecordingView view;
    view.Nodes = {old, linked};  // the nodes at the top of the main window's tree
    std::vector<std::string> steps;
    SetAreaTreeView(&view);
    SetGoldEdImportPrepare([&] { steps.push_back("prepare"); });
    SetGoldEdImportFinish([&] { steps.push_back("finish " + Settings.FullName); });
    SetAreaGoneHook([&](TAreaInfo& entry) {
        EXPECT_NE(AreaRegistry().FindAreaById(entry.ID), nullptr);
        steps.push_back("gone " + entry.Name);
    });
    TGoldEdPlan plan;
    plan.FullName = "Vasya";
    const TGoldEdResult saved = ApplyGoldEdPlan(plan, root);
    SetAreaGoneHook({});
    SetGoldEdImportFinish({});
    SetGoldEdImportPrepare({});
    SetAreaTreeView(nullptr);

    EXPECT_TRUE(saved.Applied);
    EXPECT_EQ(view.Deleted, "LINKED;Old;");
    EXPECT_EQ(steps, (std::vector<std::string>{"prepare", "gone LINKED", "gone Link", "gone OLD.AREA",
                                               "gone Old", "finish Vasya"}));
    EXPECT_EQ(root.ChildCount(), 0);
    EXPECT_EQ(root.ShownCount(), 0);
}

// The import fails after the point where the old tree used to be gone already: an area list that
// cannot be read, a save of the settings that fails. The tree, the name, the addresses and the lists
// are as before, the main window was told nothing, and the settings file, also after the save at
// exit, holds the old tree and the old name.
TEST_F(GoldEdImportTest, AFailedImportPutsEverythingBack) {
    const fs::path squish = home_.Path() / "squish";
    fs::create_directories(squish);
    test::WriteFile(squish / "squish.cfg", "EchoArea RU.NEW " + squish.string() + "/runew -$\nNetArea NET " +
                                               squish.string() + "/net\n");
    const fs::path fastEcho = home_.Path() / "fe";
    fs::create_directories(fastEcho);
    test::WriteFile(fastEcho / "fastecho.cfg", "FE");  // cut short: the reader throws
    std::vector<std::string> reports;
    TRegistryStore::Instance().SetErrorReporter([&](const std::string& text) { reports.push_back(text); });

    struct TCase {
        const char* what;
        TRegistryStore::TSaveFault fault;
        bool unreadableList;
    };
    const TCase cases[] = {
        {"area list cut short", TRegistryStore::TSaveFault::None, true},
        {"settings file not written", TRegistryStore::TSaveFault::Write, false},
        {"settings file not renamed", TRegistryStore::TSaveFault::Rename, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        Settings.FullName = "Kept";
        Settings.SelfAKA = {"2:5020/1"};
        Settings.NodeListFiles = {"old.001"};
        ASSERT_TRUE(WriteTemplate("origin.list", "old origin\r\n"));
        ASSERT_TRUE(SaveSettings());
        TAreaManager manager;
        TAreaFields fields;
        fields.Name = "Mine";
        TAreaInfo* mine = manager.Root().AddChild(fields);
        fields.Name = "MINE.AREA";
        fields.Kind = 2;
        TAreaInfo* area = mine->AddChild(fields);
        Settings.NetmailArea = area->ID;  // the import would move it to the new NET
        ASSERT_TRUE(manager.SaveAreas());
        const std::string stored = test::ReadFile(RegistryFilePath());

        TRecordingView view;
        view.Nodes = {mine, area};
        int gone = 0;
        SetAreaTreeView(&view);
        SetAreaGoneHook([&](TAreaInfo&) { ++gone; });
        TRegistryStore::Instance().SetSaveFaultForTesting(c.fault);
        TGoldEdPlan plan;
        plan.FullName = "Vasya";
        plan.SelfAKA = {"2:5030/7"};
        plan.NodeListFiles = {"new.001"};
        plan.Origins = {"new origin"};
        TPlannedGroup group;
        group.Fields.Name = "Squish";
        group.Fields.Kind = LinkKindSquish;
        group.Fields.Path = (squish / "squish.cfg").string();
        group.Options = 7;
        plan.Groups.push_back(group);
        if (c.unreadableList) {
            group.Fields.Name = "FastEcho";
            group.Fields.Kind = LinkKindFastEcho;
            group.Fields.Path = (fastEcho / "fastecho.cfg").string();
            group.Options = 1;
            plan.Groups.push_back(group);
        }
        const TGoldEdResult result = ApplyGoldEdPlan(plan, manager.Root());
        TRegistryStore::Instance().SetSaveFaultForTesting(TRegistryStore::TSaveFault::None);
        SetAreaGoneHook({});
        SetAreaTreeView(nullptr);

        EXPECT_FALSE(result.Applied);
        EXPECT_FALSE(result.Reason.empty());
        if (c.unreadableList) {
            EXPECT_NE(result.Reason.find("fastecho.cfg"), std::string::npos);
        }
        EXPECT_EQ(Settings.FullName, "Kept");
        EXPECT_EQ(Settings.SelfAKA, std::vector<std::string>{"2:5020/1"});
        EXPECT_EQ(Settings.NodeListFiles, std::vector<std::string>{"old.001"});
        EXPECT_EQ(Settings.NetmailArea, area->ID);
        EXPECT_EQ(ReadTemplate("origin.list"), "old origin\r\n");
        ASSERT_EQ(manager.Root().ChildCount(), 1);
        EXPECT_EQ(manager.Root().Child(0), mine);
        EXPECT_EQ(mine->Child(0), area);
        EXPECT_EQ(gone, 0);
        EXPECT_EQ(view.Deleted, "");
        EXPECT_EQ(view.Added, "");  // the staged groups never showed in the main window
        EXPECT_EQ(test::ReadFile(RegistryFilePath()), stored);

        // The program ends: the tree and the settings are saved as they are now.
        ASSERT_TRUE(manager.SaveAreas());
        ASSERT_TRUE(SaveSettings());
        const std::string atExit = test::ReadFile(RegistryFilePath());
        EXPECT_EQ(atExit.find("Vasya"), std::string::npos);
        EXPECT_EQ(atExit.find("RU.NEW"), std::string::npos);
        EXPECT_NE(atExit.find("\\Areas\\Mine\\MINE.AREA]"), std::string::npos);
    }
}

// Whatever stops the reading, the settings and the tree stay as they were.
TEST_F(GoldEdImportTest, ReadFailuresChangeNothing) {
    struct TCase {
        const char* what;
        std::function<void(const fs::path&)> make;
        bool found;
    };
    const TCase cases[] = {
        {"missing", [](const fs::path&) {}, false},
        {"directory", [](const fs::path& file) { fs::create_directories(file); }, true},
        {"fifo", [](const fs::path& file) { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); }, true},
        {"oversized",
         [](const fs::path& file) {
             test::WriteFile(file, "USERNAME Big\n" + std::string(TConfigLines::MaxFileSize + 10, 'x'));
         },
         true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path dir = home_.Path() / c.what;
        fs::create_directories(dir);
        c.make(dir / "GOLDED.CFG");
        Settings.FullName = "Kept";
        Settings.SelfAKA = {"2:5020/1"};
        TAreaInfo root;
        auto folder = std::make_unique<TAreaInfo>();
        folder->Name = "Mine";
        root.AddChild(std::move(folder));
        if (c.found) {
            EXPECT_THROW(ImportGoldEdConfig(dir.string(), root), EReadError);
        } else {
            EXPECT_FALSE(ImportGoldEdConfig(dir.string(), root));
        }
        EXPECT_EQ(Settings.FullName, "Kept");
        EXPECT_EQ(Settings.SelfAKA, std::vector<std::string>{"2:5020/1"});
        ASSERT_EQ(root.ChildCount(), 1);
        EXPECT_EQ(root.Child(0)->Name, "Mine");
    }
}

}  // namespace
}  // namespace pelmar
