// The Linux tossers' area lists: crashmail.prefs against the fixture bases, and a fidoconfig for the
// same areas with its include files, variables, conditionals and back-quoted commands.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "areas/gizmo.h"
#include "core/Settings.h"
#include "import/AreaImport.h"
#include "import/ConfigLines.h"
#include "import/FirstRun.h"
#include "import/TosserImport.h"
#include "msgbase/MessageBase.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

namespace fs = std::filesystem;

class TosserImportTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = Settings;
        Settings.BaseKey = RootKey + "\\Users\\TosserTester";
        RegisterAreaImporters();
        out_ = home_.Path() / "out";
        fs::create_directories(out_ / "msg");
        fs::copy(test::FixturesDir() / "crashmail" / "bases", out_ / "msg", fs::copy_options::recursive);
    }
    void TearDown() override { Settings = saved_; }

    // The fixture's own crashmail.prefs with its placeholder folder made real.
    fs::path CrashMailPrefs() {
        const std::string text =
            test::ReadFile(test::FixturesDir() / "crashmail" / "crashmail.prefs.example");
        const fs::path prefs = home_.Path() / "crashmail.prefs";
        test::WriteFile(prefs, std::regex_replace(text, std::regex("OUT/"), out_.string() + "/"));
        return prefs;
    }

    struct TExpected {
        const char* tag;
        int kind;
        const char* path;
        bool netmail;
    };
    void ExpectFixtureAreas(TAreaInfo& group) {
        // "BAD" has no base folder among the fixtures; the other three hold the tossed mail.
        const TExpected expected[] = {{"NETMAIL", 1, "netmail", true},
                                      {"BAD", 1, "bad", false},
                                      {"RU.TEST", 2, "rutest", false},
                                      {"SU.GENERAL", 1, "sugeneral", false}};
        ASSERT_EQ(group.ChildCount(), 4);
        for (const TExpected& e : expected) {
            SCOPED_TRACE(e.tag);
            TAreaInfo* area = group.FindChild(e.tag);
            ASSERT_NE(area, nullptr);
            EXPECT_EQ(area->AreaName, e.tag);
            EXPECT_EQ(area->Kind, e.kind);
            EXPECT_EQ(area->Path, (out_ / "msg" / e.path).string());
            EXPECT_EQ(area->IsNetmail, e.netmail);
            EXPECT_EQ(area->UseAKA, "2:5020/1");
            if (std::string(e.path) == "bad") continue;
            TOpenedBase base(*area, TBaseMode::Private);
            ASSERT_TRUE(base);
            EXPECT_GT(base->Count(), 0);
        }
    }

    TAreaInfo& Group(TAreaInfo& root, int kind, const fs::path& file) {
        auto group = std::make_unique<TAreaInfo>();
        group->Name = "Tosser";
        group->Zilo = ZiloLinkedGroup;
        group->Kind = kind;
        group->Path = file.string();
        group->Read = 7;
        return *root.AddChild(std::move(group));
    }

    test::ScopedHome home_;
    TSettings saved_;
    fs::path out_;
};

TEST_F(TosserImportTest, CrashMailPrefsAreasMatchTheFixtureBases) {
    const TTosserConfig config = ReadCrashMailPrefs(CrashMailPrefs().string());
    EXPECT_EQ(config.Addresses, std::vector<std::string>{"2:5020/1"});
    TAreaInfo root;
    TAreaInfo& group = Group(root, LinkKindCrashMail, CrashMailPrefs());
    ASSERT_TRUE(group.RefreshLinkedGroup());
    ExpectFixtureAreas(group);
}

TEST_F(TosserImportTest, StoredCrashMailGroupRefreshesOnTheNextLoad) {
    const fs::path prefs = CrashMailPrefs();
    {
        TAreaManager manager;
        ASSERT_TRUE(Group(manager.Root(), LinkKindCrashMail, prefs).RefreshLinkedGroup());
        ASSERT_TRUE(manager.SaveAreas());
    }
    TAreaManager manager;
    manager.LoadAreas();
    EXPECT_TRUE(manager.Notes().empty()) << manager.Notes().front();
    TAreaInfo* group = manager.Root().FindChild("Tosser");
    ASSERT_NE(group, nullptr);
    ExpectFixtureAreas(*group);
}

TEST_F(TosserImportTest, CrashMailLeavesOutPassThroughAndDefaultAreas) {
    const fs::path prefs = home_.Path() / "pass.prefs";
    test::WriteFile(prefs,
                    "# comment\n"
                    "AREA \"DEFAULT\" 2:5020/1.0 JAM \"/x/%a\"\n"
                    "AREA \"PASS.THRU\" 2:5020/1.0\n"
                    "AREA \"REAL\" 2:5020/1.0 MSG \"/x/real\"\n");
    const TTosserConfig config = ReadCrashMailPrefs(prefs.string());
    ASSERT_EQ(config.Areas.size(), 1u);
    EXPECT_EQ(config.Areas[0].Name, "REAL");
}

TEST_F(TosserImportTest, FidoConfigForTheSameAreas) {
    const fs::path etc = home_.Path() / "etc";
    fs::create_directories(etc / "more");
    test::WriteFile(etc / "config",
                    "# husky configuration\n"
                    "set BASE=" +
                        out_.string() +
                        "/msg\n"
                        "Address 2:5020/1@fidonet\n"
                        "Address 2:5020/1.5\n"
                        "EchoTossLog log/echotoss.log\n"
                        "NetmailArea NETMAIL [BASE]/netmail -b msg\n"
                        "BadArea BAD [BASE]/bad\n"
                        "include more/areas   # echo areas\n"
                        "EchoArea PASS.ONE passthrough\n"
                        "EchoArea PASS.TWO [BASE]/pass -pass\n");
    test::WriteFile(etc / "more" / "areas",
                    "ifdef BASE\n"
                    "EchoArea RU.TEST [BASE]/rutest -b Jam -d \"Test area\"\n"
                    "else\n"
                    "EchoArea WRONG /wrong\n"
                    "endif\n"
                    "ifndef BASE\n"
                    "EchoArea WRONG2 /wrong\n"
                    "endif\n"
                    "EchoArea SU.GENERAL [BASE]/sugeneral -a 2:5020/1.0\n");
    const TTosserConfig config = ReadFidoConfig((etc / "config").string());
    EXPECT_EQ(config.Addresses, (std::vector<std::string>{"2:5020/1", "2:5020/1.5"}));
    EXPECT_TRUE(config.Warnings.empty());
    // Relative to where the tosser runs; taken for the settings only when they name none.
    EXPECT_EQ(config.EchoTossLog, (etc / "log" / "echotoss.log").string());
    Settings.EchoTossLog.clear();
    EXPECT_TRUE(AdoptEchoTossLog(config.EchoTossLog));
    EXPECT_EQ(Settings.EchoTossLog, config.EchoTossLog);
    Settings.EchoTossLog = "/own/echotoss.log";
    EXPECT_FALSE(AdoptEchoTossLog(config.EchoTossLog));
    EXPECT_EQ(Settings.EchoTossLog, "/own/echotoss.log");

    TAreaInfo root;
    TAreaInfo& group = Group(root, LinkKindFidoConfig, etc / "config");
    ASSERT_TRUE(group.RefreshLinkedGroup());
    ExpectFixtureAreas(group);
    EXPECT_EQ(group.FindChild("RU.TEST")->Description, "Test area");
}

TEST_F(TosserImportTest, FidoConfigIncludeCyclesEndAndBackQuotesAreNeverRun) {
    const fs::path dir = home_.Path() / "cycle";
    fs::create_directories(dir);
    const fs::path marker = home_.Path() / "ran";
    test::WriteFile(dir / "a", "include " + (dir / "b").string() + "\nEchoArea ONE /one\n");
    test::WriteFile(dir / "b", "include " + (dir / "a").string() + "\ninclude " + (dir / "b").string() +
                                   "\nset X=`touch " + marker.string() + "`\nEchoArea TWO /two/[X]\n");
    // A chain deeper than allowed ends too.
    for (int i = 0; i <= MaxIncludeDepth + 2; ++i)
        test::WriteFile(dir / ("d" + std::to_string(i)), "include " +
                                                             (dir / ("d" + std::to_string(i + 1))).string() +
                                                             "\nEchoArea D" + std::to_string(i) + " /d\n");

    const TTosserConfig config = ReadFidoConfig((dir / "a").string());
    ASSERT_EQ(config.Areas.size(), 2u);
    EXPECT_EQ(config.Areas[0].Name, "TWO");
    EXPECT_NE(config.Areas[0].Path.find('`'), std::string::npos);
    EXPECT_EQ(config.Areas[1].Name, "ONE");
    EXPECT_FALSE(fs::exists(marker));
    EXPECT_GE(config.Warnings.size(), 3u);  // two refused includes and the command

    const TTosserConfig deep = ReadFidoConfig((dir / "d0").string());
    EXPECT_EQ(deep.Areas.size(), static_cast<size_t>(MaxIncludeDepth + 1));
    EXPECT_FALSE(deep.Warnings.empty());
}

TEST_F(TosserImportTest, FidoConfigFanOutAndSelfDoublingVariablesStayBounded) {
    const fs::path dir = home_.Path() / "fan";
    fs::create_directories(dir);
    // Each level names the next one 40 times: 40^3 reads of the last file without a bound.
    auto names = [&](const std::string& file, const std::string& tail) {
        std::string text;
        for (int i = 0; i < 40; ++i) text += "include " + (dir / file).string() + "\n";
        return text + tail;
    };
    test::WriteFile(dir / "main", names("l1", "EchoArea MAIN /main\n"));
    test::WriteFile(dir / "l1", names("l2", ""));
    test::WriteFile(dir / "l2", names("l3", ""));
    test::WriteFile(dir / "l3", "EchoArea LEAF /leaf\n");
    const TTosserConfig fan = ReadFidoConfig((dir / "main").string());
    // Every include counts, the first two levels' too.
    EXPECT_LE(fan.Areas.size(), static_cast<size_t>(MaxIncludes));
    EXPECT_GT(fan.Areas.size(), 1u);
    EXPECT_EQ(fan.Areas.back().Name, "MAIN");
    // One word that the rest were left out, not one per line left out.
    EXPECT_EQ(fan.Warnings.size(), 1u);

    // A value that doubles on every line would reach gigabytes after a few dozen lines; a line too
    // long once expanded is refused, so the value stops growing and the rest of the file still counts.
    std::string doubling = "set A=x\n";
    for (int i = 0; i < 40; ++i) doubling += "set A=[A][A]\n";
    doubling += "EchoArea LONG /p/[A]\nEchoArea TOO.LONG /p/[A][A][A]\nEchoArea AFTER /after\n";
    test::WriteFile(dir / "vars", doubling);
    const TTosserConfig vars = ReadFidoConfig((dir / "vars").string());
    ASSERT_EQ(vars.Areas.size(), 2u);
    EXPECT_EQ(vars.Areas[0].Name, "LONG");
    EXPECT_LE(vars.Areas[0].Path.size(), TConfigLines::MaxLineLength);
    EXPECT_EQ(vars.Areas[1].Name, "AFTER");
    EXPECT_FALSE(vars.Warnings.empty());
}

}  // namespace
}  // namespace pelmar
