// AREAS.BBS lists: locations, own addresses, the origin line, and a list written by crashexport.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "areas/gizmo.h"
#include "import/AreasBbsImport.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

class AreasBbsTest : public ::testing::Test {
protected:
    void Import(const std::string& text, const std::string& hudsonDir = "C:\\MSGS") {
        test::WriteFile(dir_.File("AREAS.BBS"), text);
        ImportAreasBbs(dir_.File("AREAS.BBS"), container_, hudsonDir, own_);
    }

    test::TempDir dir_;
    TAreaInfo container_;
    std::vector<std::string> own_ = {"2:5020/1", "2:5030/100.5"};
};

TEST_F(AreasBbsTest, LocationsKindsAndAddresses) {
    Import(
        "My Station ! Vasya Pupkin\r\n"
        "; comment\r\n"
        "$D:\\SQ\\RU.FIDO RU.FIDO 2:5030/100 2:5030/200\r\n"
        "12 SU.HARDW 2:5020/1\r\n"
        "!D:\\JAM\\R50 R50.SYSOP 2:5020/9\r\n"
        "C:\\NET NETMAIL\r\n"
        "\r\n");
    ASSERT_EQ(container_.ChildCount(), 4);

    const TAreaInfo* squish = container_.FindChild("Ru.Fido");
    ASSERT_NE(squish, nullptr);
    EXPECT_EQ(squish->Kind, 4);
    EXPECT_EQ(squish->Path, "D:\\SQ\\RU.FIDO");
    EXPECT_EQ(squish->AreaName, "RU.FIDO");
    EXPECT_EQ(squish->UseAKA, "2:5030/100.5");  // points are not compared
    EXPECT_FALSE(squish->IsNetmail);

    const TAreaInfo* hudson = container_.FindChild("Su.Hardw");
    ASSERT_NE(hudson, nullptr);
    EXPECT_EQ(hudson->Kind, 3);
    EXPECT_EQ(hudson->Path, std::string("\x0C") + "C:\\MSGS");
    EXPECT_EQ(hudson->UseAKA, "2:5020/1");

    const TAreaInfo* jam = container_.FindChild("R50.Sysop");
    ASSERT_NE(jam, nullptr);
    EXPECT_EQ(jam->Kind, 2);
    EXPECT_EQ(jam->Path, "D:\\JAM\\R50");
    EXPECT_EQ(jam->UseAKA, "");

    const TAreaInfo* netmail = container_.FindChild("Netmail");
    ASSERT_NE(netmail, nullptr);
    EXPECT_EQ(netmail->Kind, 1);
    EXPECT_EQ(netmail->Path, "C:\\NET");
    EXPECT_TRUE(netmail->IsNetmail);
    EXPECT_EQ(netmail->UseAKA, "");

    // The origin line is not an area.
    EXPECT_EQ(container_.FindChild("Station"), nullptr);
}

TEST_F(AreasBbsTest, LinesThatAreNoAreas) {
    Import(
        "!D:\\JAM\\FIRST FIRST.AREA\n"  // a JAM line first is no origin line
        " C:\\INDENTED INDENTED\n"
        "\tC:\\TABBED TABBED\n"
        "C:\\ONLY\n"
        "0 BOARD.ZERO\n"
        "201 BOARD.HIGH\n"
        "99999999999999999999 BOARD.HUGE\n"
        "200 BOARD.LAST\n"
        "C:\\LATER WITH!BANG\n");
    std::vector<std::string> names;
    for (int i = 0; i < container_.ChildCount(); ++i) names.push_back(container_.Child(i)->Name);
    EXPECT_EQ(names, (std::vector<std::string>{"First.Area", "Board.Last", "With!bang"}));
    EXPECT_EQ(container_.FindChild("Board.Last")->Path, std::string("\xC8") + "C:\\MSGS");
}

TEST_F(AreasBbsTest, RepeatedTagAndMissingFile) {
    Import("Origin ! Sysop\nC:\\A RU.TEST\n$C:\\B ru.test 2:5020/1\n");
    ASSERT_EQ(container_.ChildCount(), 1);
    EXPECT_EQ(container_.Child(0)->Name, "Ru.Test");
    EXPECT_EQ(container_.Child(0)->AreaName, "ru.test");
    EXPECT_EQ(container_.Child(0)->Kind, 4);
    EXPECT_EQ(container_.Child(0)->UseAKA, "2:5020/1");

    TAreaInfo container;
    ImportAreasBbs(dir_.File("none.bbs"), container, "", own_);
    EXPECT_EQ(container.ChildCount(), 0);
}

// crashexport writes AREAS.BBS from a crashmail configuration; read what it wrote for the fixture
// configuration, with real base folders so the paths are kept as they are.
TEST_F(AreasBbsTest, ListWrittenByCrashexport) {
    if (test::RunCommand("command -v crashexport >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "crashexport (Debian package crashmail) is not installed";
    const std::string out = dir_.Path().string();
    std::string prefs = test::ReadFile(test::FixturesDir() / "crashmail" / "crashmail.prefs.example");
    prefs = std::regex_replace(prefs, std::regex("OUT/"), out + "/");
    test::WriteFile(dir_.File("crashmail.prefs"), prefs);
    std::filesystem::create_directories(dir_.Path() / "msg" / "sugeneral");
    std::filesystem::create_directories(dir_.Path() / "msg" / "netmail");
    test::WriteFile(dir_.Path() / "msg" / "rutest.jhr", "");

    ASSERT_EQ(test::RunCommand("cd '" + out + "' && crashexport crashmail.prefs areas.bbs AREASBBS"), 0);
    own_ = {"2:5020/2.1"};
    ImportAreasBbs(dir_.File("areas.bbs"), container_, "", own_);

    ASSERT_EQ(container_.ChildCount(), 3) << test::ReadFile(dir_.File("areas.bbs"));
    const TAreaInfo* bad = container_.FindChild("Bad");
    ASSERT_NE(bad, nullptr);
    EXPECT_EQ(bad->Kind, 1);
    EXPECT_EQ(bad->Path, out + "/msg/bad");
    EXPECT_EQ(bad->UseAKA, "");

    const TAreaInfo* jam = container_.FindChild("Ru.Test");
    ASSERT_NE(jam, nullptr);
    EXPECT_EQ(jam->Kind, 2);
    EXPECT_EQ(jam->Path, out + "/msg/rutest");
    EXPECT_EQ(jam->AreaName, "RU.TEST");
    EXPECT_EQ(jam->UseAKA, "2:5020/2.1");
    EXPECT_FALSE(jam->IsNetmail);

    const TAreaInfo* echo = container_.FindChild("Su.General");
    ASSERT_NE(echo, nullptr);
    EXPECT_EQ(echo->Kind, 1);
    EXPECT_EQ(echo->Path, out + "/msg/sugeneral");
    EXPECT_TRUE(echo->IsNetmail);
}

}  // namespace
}  // namespace pelmar
