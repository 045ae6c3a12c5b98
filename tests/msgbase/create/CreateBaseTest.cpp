// Creating a base: an existing base in any format is never touched, and a new one has the layout
// other programs' readers expect.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "core/Codepage.h"
#include "core/Errors.h"
#include "core/Settings.h"
#include "msgbase/BaseFactory.h"
#include "msgbase/MessageBase.h"
#include "msgbase/jam/JamChecker.h"
#include "msgbase/squish/SquishLayout.h"
#include "support/TestSupport.h"

namespace pelmar::test {
namespace {

namespace fs = std::filesystem;

// Every file under `dir` with its bytes.
std::map<std::string, std::string> Snapshot(const fs::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        if (entry.is_regular_file()) files[fs::relative(entry.path(), dir).string()] = ReadFile(entry.path());
    return files;
}

std::unique_ptr<TMessageBase> Base(int kind, const std::string& path) {
    auto base = CreateMessageBase(kind);
    base->SetPath(path);
    return base;
}

int32_t CountAfterOpen(TMessageBase& base) {
    base.Open();
    return base.Active ? base.Count() : -1;
}

std::string HudsonPath(const fs::path& dir, int board = 1) {
    return std::string(1, static_cast<char>(board)) + dir.string();
}

bool Post(TMessageBase& base, const std::string& subject) {
    base.NewMessage();
    base.FromName = "Writer";
    base.ToName = "All";
    base.Subject = subject;
    base.OrigAddr = "2:5020/1";
    base.Date = EncodeDateTime(2026, 12, 1, 10, 0, 0);
    base.Kludges = {"MSGID: 2:5020/1 00000001"};
    base.Text = "Body of " + subject + "\r";
    return base.WriteMessage();
}

class CreateBaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        Settings = TSettings{};
        Settings.bNetFlag = Settings.bEchoFlag = false;
    }
    void TearDown() override { Settings = TSettings{}; }

    ScopedHome home;
    TempDir dir;
};

struct TFixtureBase {
    int Kind;
    const char* Files;  // fixture path without extension (or the folder of a *.MSG area)
    std::vector<const char*> Extensions;
};

TEST_F(CreateBaseTest, ExistingFixtureBasesAreOpenedNotTouched) {
    const std::vector<const char*> jam = {".jhr", ".jdt", ".jdx"};
    const std::vector<const char*> squish = {".sqd", ".sqi"};
    const TFixtureBase rows[] = {
        {BaseKindSquish, "smapi/bases/squish/ru.test", squish},
        {BaseKindSquish, "smapi/bases/squish/su.general", squish},
        {BaseKindSquish, "smapi/bases/squish/netmail", squish},
        {BaseKindSquish, "smapi/bases/squish/r50.local", squish},
        {BaseKindJam, "smapi/bases/jam/ru.test", jam},
        {BaseKindJam, "smapi/bases/jam/su.general", jam},
        {BaseKindJam, "smapi/bases/jam/netmail", jam},
        {BaseKindJam, "smapi/bases/jam/r50.local", jam},
        {BaseKindJam, "crashmail/bases/rutest", {".jhr", ".jdt", ".jdx", ".jlr"}},
        {BaseKindMsg, "smapi/bases/msg/ru.test", {""}},
        {BaseKindMsg, "smapi/bases/msg/netmail", {""}},
        {BaseKindMsg, "smapi/bases/msg/su.general", {""}},
        {BaseKindMsg, "smapi/bases/msg/r50.local", {""}},
        {BaseKindMsg, "crashmail/bases/sugeneral", {""}},
        {BaseKindMsg, "crashmail/bases/netmail", {""}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Files);
        const fs::path copy = dir.Path() / fs::path(row.Files).parent_path().filename();
        fs::create_directories(copy);
        for (const char* ext : row.Extensions) CopyFixture(std::string(row.Files) + ext, copy);
        const std::string path = (copy / fs::path(row.Files).filename()).string();
        fs::permissions(copy, fs::perms::owner_all, fs::perm_options::add);
        for (const auto& entry : fs::recursive_directory_iterator(copy))
            fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add);
        const int32_t before = CountAfterOpen(*Base(row.Kind, path));
        ASSERT_GT(before, 0);
        const auto files = Snapshot(copy);

        auto base = Base(row.Kind, path);
        base->CreateBase();
        EXPECT_EQ(CountAfterOpen(*base), before);
        // Every file is as it was; the only newcomers are empty files the format may lack (a .jlr).
        const auto after = Snapshot(copy);
        for (const auto& [name, bytes] : after) {
            const auto was = files.find(name);
            if (was == files.end())
                EXPECT_TRUE(bytes.empty()) << name << " was created with content";
            else
                EXPECT_TRUE(was->second == bytes) << name << " was changed";
        }
        EXPECT_EQ(after.size() - files.size(),
                  row.Kind == BaseKindJam && row.Extensions.size() == 3 ? 1u : 0u);
    }
}

TEST_F(CreateBaseTest, ExistingWrittenBasesKeepEveryMessage) {
    // Hudson has no fixture made by another program: a base this program wrote stands in.
    struct TRow {
        int Kind;
        std::string Path;
    };
    const TRow rows[] = {
        {BaseKindSquish, dir.File("area")},
        {BaseKindJam, dir.File("jam")},
        {BaseKindHudson, HudsonPath(dir.Path() / "hudson", 7)},
        {BaseKindMsg, dir.File("msg")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Kind);
        {
            auto base = Base(row.Kind, row.Path);
            base->CreateBase();
            base->Open();
            ASSERT_TRUE(base->Active);
            for (int i = 0; i < 15; ++i) ASSERT_TRUE(Post(*base, "Message " + std::to_string(i)));
        }
        const auto files = Snapshot(dir.Path());
        auto again = Base(row.Kind, row.Path);
        again->CreateBase();
        EXPECT_EQ(CountAfterOpen(*again), 15);
        EXPECT_TRUE(Snapshot(dir.Path()) == files);
        // A board of its own in the same Hudson files is a new area, not a new base.
        if (row.Kind == BaseKindHudson) {
            auto other = Base(row.Kind, HudsonPath(dir.Path() / "hudson", 8));
            other->CreateBase();
            EXPECT_EQ(CountAfterOpen(*other), 0);
            EXPECT_TRUE(Snapshot(dir.Path()) == files);
        }
    }
}

TEST_F(CreateBaseTest, NewBasesHaveTheLayoutOtherReadersExpect) {
    const std::string squish = dir.File("sq/area");
    const std::string jam = dir.File("jam/area");
    const fs::path hudson = dir.Path() / "hudson";
    fs::create_directories(dir.Path() / "sq");
    fs::create_directories(dir.Path() / "jam");
    for (const auto& [kind, path] : std::vector<std::pair<int, std::string>>{
             {BaseKindSquish, squish}, {BaseKindJam, jam}, {BaseKindHudson, HudsonPath(hudson)}}) {
        auto base = Base(kind, path);
        base->CreateBase();
        base->Open();
        ASSERT_TRUE(base->Active) << kind;
        EXPECT_EQ(base->Count(), 0);
        EXPECT_FALSE(base->First());
    }

    const std::string sqd = ReadFile(squish + ".sqd");
    ASSERT_EQ(sqd.size(), kHeaderSize);
    EXPECT_EQ(Le16(sqd, 0), kHeaderSize);   // len
    EXPECT_EQ(Le16(sqd, 130), kFrameSize);  // sz_sqhdr
    EXPECT_EQ(Le32(sqd, hdr::Uid), 1u);
    EXPECT_EQ(Le32(sqd, hdr::EndFrame), kHeaderSize);
    for (size_t at :
         {hdr::NumMsg, hdr::HighMsg, hdr::BeginFrame, hdr::LastFrame, hdr::FreeFrame, hdr::LastFreeFrame})
        EXPECT_EQ(Le32(sqd, at), 0u) << at;
    EXPECT_EQ(fs::file_size(squish + ".sqi"), 0u);
    EXPECT_SQUISH_CONSISTENT(squish);

    for (const char* ext : {".jdt", ".jdx", ".jlr"}) EXPECT_EQ(fs::file_size(jam + ext), 0u) << ext;
    EXPECT_TRUE(CheckJamBase(jam).empty());

    EXPECT_EQ(ReadFile(hudson / "msginfo.bbs"), std::string(406, '\0'));
    for (const char* name : {"msgidx.bbs", "msgtoidx.bbs", "msghdr.bbs", "msgtxt.bbs"})
        EXPECT_EQ(fs::file_size(hudson / name), 0u) << name;

    // A message written into each new base leaves it consistent.
    for (const auto& [kind, path] : std::vector<std::pair<int, std::string>>{
             {BaseKindSquish, squish}, {BaseKindJam, jam}, {BaseKindHudson, HudsonPath(hudson)}}) {
        auto base = Base(kind, path);
        base->Open();
        ASSERT_TRUE(Post(*base, "First"));
        auto reader = Base(kind, path);
        ASSERT_EQ(CountAfterOpen(*reader), 1);
        ASSERT_TRUE(reader->First());
        reader->ReadMessage(reader->Current);
        EXPECT_EQ(reader->Subject, "First");
    }
    EXPECT_SQUISH_CONSISTENT(squish);
    EXPECT_TRUE(CheckJamBase(jam).empty());
}

TEST_F(CreateBaseTest, RemainsOfABaseWithoutItsMainFileAreLeftAlone) {
    WriteFile(dir.File("sq.sqi"), std::string(12, '\x01'));
    WriteFile(dir.File("jam.jdx"), std::string(8, '\x01'));
    fs::create_directories(dir.Path() / "hud");
    WriteFile(dir.Path() / "hud" / "msgidx.bbs", std::string(3, '\x01'));
    const auto files = Snapshot(dir.Path());
    EXPECT_ANY_THROW(Base(BaseKindSquish, dir.File("sq"))->CreateBase());
    EXPECT_ANY_THROW(Base(BaseKindJam, dir.File("jam"))->CreateBase());
    EXPECT_ANY_THROW(Base(BaseKindHudson, HudsonPath(dir.Path() / "hud"))->CreateBase());
    EXPECT_TRUE(Snapshot(dir.Path()) == files);
}

TEST_F(CreateBaseTest, ABaseWithMessagesButAMissingCompanionIsNotCompleted) {
    struct TRow {
        int Kind;
        std::string Path;
        fs::path Removed;
    };
    const fs::path hudson = dir.Path() / "hud";
    const TRow rows[] = {
        {BaseKindJam, dir.File("jam"), dir.File("jam.jdx")},
        {BaseKindJam, dir.File("jam2"), dir.File("jam2.jdt")},
        {BaseKindSquish, dir.File("sq"), dir.File("sq.sqi")},
        {BaseKindHudson, HudsonPath(hudson), hudson / "msghdr.bbs"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Removed.string());
        {
            auto base = Base(row.Kind, row.Path);
            base->CreateBase();
            base->Open();
            ASSERT_TRUE(base->Active);
            ASSERT_TRUE(Post(*base, "Kept"));
        }
        fs::remove(row.Removed);
        const auto files = Snapshot(dir.Path());
        EXPECT_THROW(Base(row.Kind, row.Path)->CreateBase(), EWriteError);
        EXPECT_TRUE(Snapshot(dir.Path()) == files);
    }
}

TEST_F(CreateBaseTest, NewFilesTakeTheCaseOfTheirSiblings) {
    WriteFile(dir.File("UPPER.SQI"), "");
    Base(BaseKindSquish, dir.File("UPPER"))->CreateBase();
    EXPECT_TRUE(fs::exists(dir.File("UPPER.SQD")));
    Base(BaseKindSquish, dir.File("lower"))->CreateBase();
    EXPECT_TRUE(fs::exists(dir.File("lower.sqd")) && fs::exists(dir.File("lower.sqi")));
    fs::create_directories(dir.Path() / "hud");
    WriteFile(dir.Path() / "hud" / "MSGTXT.BBS", "");
    Base(BaseKindHudson, HudsonPath(dir.Path() / "hud"))->CreateBase();
    for (const char* name : {"MSGINFO.BBS", "MSGIDX.BBS", "MSGTOIDX.BBS", "MSGHDR.BBS", "MSGTXT.BBS"})
        EXPECT_TRUE(fs::exists(dir.Path() / "hud" / name)) << name;
}

// crashmail tosses a packet into a JAM area whose base this program created.
TEST_F(CreateBaseTest, CrashmailTossesIntoACreatedJamBase) {
    if (RunCommand("command -v crashmail >/dev/null 2>&1 && command -v python3 >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "crashmail or python3 is not installed; interoperability not tested";
    const fs::path root = dir.Path();
    for (const char* sub : {"inb", "outb", "tmp", "pkt", "msg"}) fs::create_directories(root / sub);
    const std::string area = (root / "msg" / "rutest").string();
    {
        auto base = Base(BaseKindJam, area);
        base->CreateBase();
    }
    const std::string r = root.string();
    WriteFile(root / "crashmail.prefs",
              "SYSOP \"Sysop\"\nLOGFILE \"" + r + "/crashmail.log\"\nLOGLEVEL 6\nDUPEFILE \"" + r +
                  "/dupes\" 200\nDUPEMODE BAD\nDEFAULTZONE 2\nINBOUND \"" + r + "/inb\"\nOUTBOUND \"" + r +
                  "/outb\"\nTEMPDIR \"" + r + "/tmp\"\nCREATEPKTDIR \"" + r + "/tmp\"\nPACKETDIR \"" + r +
                  "/outb\"\nAKA 2:5020/1.0\nDOMAIN \"fidonet\"\nNODE 2:5020/2.0 \"\" \"\" AUTOADD\n"
                  "NETMAIL \"NETMAIL\" 2:5020/1.0 MSG \"" +
                  r +
                  "/msg/netmail\"\n"
                  "AREA \"BAD\" 2:5020/1.0 MSG \"" +
                  r +
                  "/msg/bad\"\n"
                  "AREA \"RU.TEST\" 2:5020/1.0 JAM \"" +
                  area +
                  "\"\n"
                  "AREA \"SU.GENERAL\" 2:5020/1.0 MSG \"" +
                  r + "/msg/sugeneral\"\n");
    const fs::path tools = FixturesDir() / "crashmail";
    ASSERT_EQ(
        RunCommand("python3 '" + (tools / "mkpkt.py").string() + "' '" + (tools / "messages.json").string() +
                   "' '" + r + "/pkt/0001test.pkt' >/dev/null 2>&1"),
        0);
    RunCommand("cd '" + r + "' && crashmail SETTINGS '" + r + "/crashmail.prefs' TOSSDIR '" + r +
               "/pkt' NOSECURITY >/dev/null 2>&1");

    auto base = Base(BaseKindJam, area);
    ASSERT_EQ(CountAfterOpen(*base), 7) << ReadFile(root / "crashmail.log");
    // crashmail's own recipient CRCs are not judged here; everything else must hold.
    const auto problems = CheckJamBase(area, /*checkToCrc=*/false);
    for (const auto& problem : problems) ADD_FAILURE() << problem;
    std::vector<std::string> subjects;
    for (bool ok = base->First(); ok; ok = base->Next()) {
        base->ReadMessage(base->Current);
        subjects.push_back(AnsiToUtf8(base->Subject));
    }
    ASSERT_EQ(subjects.size(), 7u);
    EXPECT_EQ(subjects.front(), "Привет всем");
    // And the base takes our own message after the tosser's.
    ASSERT_TRUE(Post(*base, "Ours"));
    EXPECT_EQ(base->Count(), 8);
    EXPECT_TRUE(CheckJamBase(area, false).empty());
}

}  // namespace
}  // namespace pelmar::test
