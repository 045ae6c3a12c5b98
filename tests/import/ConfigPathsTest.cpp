// Paths in the area lists of other programs are taken from the folder of the file that names them,
// never from the working directory of this process, and stored absolute.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <regex>

#include "FastEchoBuilder.h"
#include "areas/gizmo.h"
#include "core/Codepage.h"
#include "core/Settings.h"
#include "import/AreaImport.h"
#include "import/AreasBbsImport.h"
#include "import/DosPath.h"
#include "import/FastEchoImport.h"
#include "import/GoldEdImport.h"
#include "import/SquishCfgImport.h"
#include "import/TMailImport.h"
#include "import/TosserImport.h"
#include "msgbase/BaseFactory.h"
#include "msgbase/MessageBase.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

namespace fs = std::filesystem;

// Runs the test from another folder and goes back after.
class TWorkingDir {
public:
    explicit TWorkingDir(const fs::path& dir) : saved_(fs::current_path()) { fs::current_path(dir); }
    ~TWorkingDir() { fs::current_path(saved_); }

private:
    fs::path saved_;
};

// Writes a configuration naming one *.MSG area at `path` into `dir`, imports it and returns the
// stored Path of that area.
using TImporter = std::function<std::string(const fs::path& dir, const std::string& path)>;

std::string OnlyPath(TAreaInfo& container) {
    if (container.ChildCount() != 1) return "<" + std::to_string(container.ChildCount()) + " areas>";
    return container.Child(0)->Path;
}

struct TImporterRow {
    const char* Name;
    TImporter Import;
    bool UpperCasesMissing = false;  // GoldEd reads DOS values upper-cased when no file matches
};

const TImporterRow Importers[] = {
    {"crashmail.prefs",
     [](const fs::path& dir, const std::string& path) {
         test::WriteFile(dir / "crashmail.prefs", "AREA \"A\" 2:5020/1.0 MSG \"" + path + "\"\n");
         const auto config = ReadCrashMailPrefs((dir / "crashmail.prefs").string());
         return config.Areas.size() == 1 ? config.Areas[0].Path : std::string("<none>");
     }},
    {"fidoconfig",
     [](const fs::path& dir, const std::string& path) {
         test::WriteFile(dir / "config", "EchoArea A " + path + " -b msg\n");
         const auto config = ReadFidoConfig((dir / "config").string());
         return config.Areas.size() == 1 ? config.Areas[0].Path : std::string("<none>");
     }},
    {"SQUISH.CFG",
     [](const fs::path& dir, const std::string& path) {
         test::WriteFile(dir / "SQUISH.CFG", "EchoArea A " + path + "\n");
         TAreaInfo container;
         ImportSquishConfig((dir / "SQUISH.CFG").string(), container, true, true, true);
         return OnlyPath(container);
     }},
    {"T-MAIL.CTL",
     [](const fs::path& dir, const std::string& path) {
         test::WriteFile(dir / "T-MAIL.CTL", "MailBox A = " + path + "\n");
         TAreaInfo container;
         ImportTMailConfig((dir / "T-MAIL.CTL").string(), container);
         return OnlyPath(container);
     }},
    {"AREAS.BBS",
     [](const fs::path& dir, const std::string& path) {
         test::WriteFile(dir / "AREAS.BBS", "Origin ! Sysop\n" + path + " A 2:5020/1\n");
         TAreaInfo container;
         ImportAreasBbs((dir / "AREAS.BBS").string(), container, "", {});
         return OnlyPath(container);
     }},
    {"FASTECHO.CFG",
     [](const fs::path& dir, const std::string& path) {
         test::TFastEchoBuilder builder;
         builder.Addresses = {{2, 5020, 1, 0}};
         builder.Areas = {{"A", 1, path, "", 0, 0}};
         test::WriteFile(dir / "FASTECHO.CFG", builder.Build());
         TAreaInfo container;
         ImportFastEchoConfig((dir / "FASTECHO.CFG").string(), container, false);
         return OnlyPath(container);
     }},
    {"golded.cfg AREAFILE",
     [](const fs::path& dir, const std::string& path) {
         // The AREAFILE names the tosser's file; the group keeps where it is.
         test::WriteFile(dir / "golded.cfg", "AREAFILE Crashmail " + path + "\n");
         const TGoldEdPlan plan = ReadGoldEdConfig((dir / "golded.cfg").string());
         return plan.Groups.size() == 1 ? plan.Groups[0].Fields.Path : std::string("<none>");
     },
     true},
};

class ConfigPathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = Settings;
        Settings.BaseKey = RootKey + "\\Users\\PathTester";
        RegisterAreaImporters();
        conf_ = home_.Path() / "fido" / "conf";
        elsewhere_ = home_.Path() / "elsewhere";
        for (const fs::path& dir : {conf_ / "msg" / "area", home_.Path() / "fido" / "bases" / "area",
                                    elsewhere_ / "msg" / "area", elsewhere_ / "conf"})
            fs::create_directories(dir);
    }
    void TearDown() override { Settings = saved_; }

    test::ScopedHome home_;
    TSettings saved_;
    fs::path conf_;
    fs::path elsewhere_;  // the working directory, holding a decoy of the same relative names
};

TEST_F(ConfigPathsTest, EveryImporterTakesRelativePathsFromItsFilesFolder) {
    const TWorkingDir cwd(elsewhere_);
    const std::string fido = (home_.Path() / "fido").string();
    struct TRow {
        const char* written;
        std::string stored;
    };
    const TRow rows[] = {
        {"msg/area", conf_.string() + "/msg/area"},
        {"./msg/../msg/area", conf_.string() + "/msg/area"},
        {"../bases/area", fido + "/bases/area"},
        {"MSG\\AREA", conf_.string() + "/msg/area"},  // DOS spelling of an existing folder
        {"new/area", conf_.string() + "/new/area"},   // not there yet: the tosser makes it
        {"/var/spool/fido/area", "/var/spool/fido/area"},
    };
    for (const TImporterRow& importer : Importers) {
        for (const TRow& row : rows) {
            SCOPED_TRACE(std::string(importer.Name) + " " + row.written);
            const std::string stored = importer.Import(conf_, row.written);
            if (importer.UpperCasesMissing)
                EXPECT_TRUE(AnsiSameText(stored, row.stored)) << stored;
            else
                EXPECT_EQ(stored, row.stored);
        }
    }
}

TEST_F(ConfigPathsTest, EmptyAndBoardPathsAreNotMadeUp) {
    EXPECT_EQ(ResolveConfigPath("", conf_.string()), "");
    EXPECT_EQ(ResolveAreaPathFrom(BaseKindMsg, "", conf_.string()), "");
    // A Hudson path is its board character, then the folder.
    EXPECT_EQ(ResolveAreaPathFrom(BaseKindHudson, "\x05", conf_.string()), "\x05");
    EXPECT_EQ(ResolveAreaPathFrom(BaseKindHudson, "\x05msg", conf_.string()),
              "\x05" + (conf_ / "msg").string());
    // JAM and Squish paths name a base without its extension.
    test::WriteFile(conf_ / "msg" / "ru.jhr", "");
    EXPECT_EQ(ResolveAreaPathFrom(BaseKindJam, "MSG/RU", conf_.string()), (conf_ / "msg" / "ru").string());
    EXPECT_EQ(ConfigFolder("relative.cfg"), fs::current_path().string());
}

TEST_F(ConfigPathsTest, FidoConfigIncludesSeeTheMainFilesFolder) {
    // husky resolves every relative path from where the tosser runs, the main file's folder; an
    // include written relative to the including file is found there too.
    fs::create_directories(conf_ / "parts" / "deeper");
    test::WriteFile(conf_ / "config", "include parts/areas\n");
    test::WriteFile(conf_ / "parts" / "areas", "EchoArea ONE msg/area -b msg\ninclude deeper/more\n");
    test::WriteFile(conf_ / "parts" / "deeper" / "more", "EchoArea TWO ../bases/two -b msg\n");
    const TWorkingDir cwd(elsewhere_);
    const TTosserConfig config = ReadFidoConfig((conf_ / "config").string());
    EXPECT_TRUE(config.Warnings.empty()) << config.Warnings.front();
    ASSERT_EQ(config.Areas.size(), 2u);
    EXPECT_EQ(config.Areas[0].Path, (conf_ / "msg" / "area").string());
    EXPECT_EQ(config.Areas[1].Path, (home_.Path() / "fido" / "bases" / "two").string());
}

TEST_F(ConfigPathsTest, RealCrashMailSetUpReadsFromAnotherWorkingDirectory) {
    // The fixture's own set-up as crashmail keeps it: relative paths beside its prefs.
    const fs::path setup = home_.Path() / "crashmail";
    fs::create_directories(setup / "msg");
    fs::copy(test::FixturesDir() / "crashmail" / "bases", setup / "msg", fs::copy_options::recursive);
    std::string prefs =
        std::regex_replace(test::ReadFile(test::FixturesDir() / "crashmail" / "crashmail.prefs.example"),
                           std::regex("OUT/"), "");
    prefs = std::regex_replace(prefs, std::regex("(AREA \"RU.TEST\"[^\n]*\n)"),
                               "$1DESCRIPTION \"Много строк\"\n");
    prefs = std::regex_replace(prefs, std::regex("(AREA \"SU.GENERAL\"[^\n]*\n)"),
                               "$1DESCRIPTION \"General talk\"\n");
    test::WriteFile(setup / "crashmail.prefs", prefs);

    const TWorkingDir cwd(elsewhere_);
    TAreaInfo root;
    auto link = std::make_unique<TAreaInfo>();
    link->Name = "CrashMail";
    link->Zilo = ZiloLinkedGroup;
    link->Kind = LinkKindCrashMail;
    link->Path = (setup / "crashmail.prefs").string();
    TAreaInfo& group = *root.AddChild(std::move(link));
    ASSERT_TRUE(group.RefreshLinkedGroup());

    struct TRow {
        const char* tag;
        int32_t messages;
        const char* subject;  // UTF-8, of the first message
        const char* description;
    };
    const TRow rows[] = {{"RU.TEST", 7, "Привет всем", "Много строк"},
                         {"SU.GENERAL", 2, "Hello world", "General talk"},
                         {"NETMAIL", 2, "Нетмейл тебе", ""}};
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.tag);
        TAreaInfo* area = group.FindChild(row.tag);
        ASSERT_NE(area, nullptr);
        EXPECT_TRUE(fs::path(area->Path).is_absolute()) << area->Path;
        EXPECT_EQ(area->Description, Utf8ToAnsi(row.description));
        TOpenedBase base(*area, TBaseMode::Private);
        ASSERT_TRUE(base);
        EXPECT_EQ(base->Count(), row.messages);
        ASSERT_TRUE(base->First());
        base->ReadHeader();
        EXPECT_EQ(base->Subject, Utf8ToAnsi(row.subject));
    }
    // BAD has no folder yet; a DESCRIPTION after a pass-through line belongs to no area.
    EXPECT_EQ(group.FindChild("BAD")->Path, (setup / "msg" / "bad").string());
    EXPECT_EQ(group.FindChild("BAD")->Description, "");
}

TEST_F(ConfigPathsTest, DescriptionsFollowTheirArea) {
    test::WriteFile(conf_ / "crashmail.prefs",
                    "AREA \"ONE\" 2:5020/1.0 MSG \"one\"\n"
                    "AREA \"PASS\" 2:5020/1.0\n"
                    "DESCRIPTION \"Not for ONE\"\n"
                    "AREA \"TWO\" 2:5020/1.0 MSG \"two\"\n"
                    "description \"Вторая область\"\n");
    const TTosserConfig crash = ReadCrashMailPrefs((conf_ / "crashmail.prefs").string());
    ASSERT_EQ(crash.Areas.size(), 2u);
    EXPECT_EQ(crash.Areas[0].Description, "");
    EXPECT_EQ(crash.Areas[1].Description, Utf8ToAnsi("Вторая область"));

    test::WriteFile(conf_ / "config", "EchoArea ONE one -d \"Много строк здесь\" -b msg\n");
    const TTosserConfig fido = ReadFidoConfig((conf_ / "config").string());
    ASSERT_EQ(fido.Areas.size(), 1u);
    EXPECT_EQ(fido.Areas[0].Description, Utf8ToAnsi("Много строк здесь"));
    EXPECT_EQ(fido.Areas[0].Kind, BaseKindMsg);
}

}  // namespace
}  // namespace pelmar
