// SQUISH.CFG, T-MAIL.CTL and the shared line reading: keywords, options, addresses, bad lines.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "areas/gizmo.h"
#include "core/Errors.h"
#include "import/AreaImport.h"
#include "import/ConfigLines.h"
#include "import/SquishCfgImport.h"
#include "import/TMailImport.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

class TextConfigTest : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& text) {
        const std::string path = dir_.File(name);
        test::WriteFile(path, text);
        return path;
    }
    void ImportSquish(const std::string& text, bool badDupe = true, bool netmail = true,
                      bool echomail = true) {
        ImportSquishConfig(Write("SQUISH.CFG", text), container_, badDupe, netmail, echomail);
    }
    void ImportTMail(const std::string& text) { ImportTMailConfig(Write("T-MAIL.CTL", text), container_); }

    test::TempDir dir_;
    TAreaInfo container_;
};

const char* const SquishCfg =
    "; Squish configuration\r\n"
    "Address 2:5030/100\r\n"
    "Address 2:5030/100.5\r\n"
    "NetArea NETMAIL D:\\Msg\\Net\r\n"
    "BadArea BAD_MSGS D:\\Msg\\Bad -$\r\n"
    "DupeArea DUPES D:\\Msg\\Dupes\r\n"
    "\r\n"
    "EchoArea SU.GENERAL D:\\Msg\\Su.Gen -$ 2:5030/1\r\n"
    "echoarea su.plain D:\\Msg\\Plain 2:5030/1\r\n"
    "ADDRESS 2:463/1@fidonet\r\n"
    "EchoArea R50.SYSOP\tD:\\Msg\\R50  -$\r\n"
    "EchoArea TOO.SHORT\r\n"
    "   EchoArea INDENTED D:\\Msg\\Ind\r\n"
    ";EchoArea COMMENTED D:\\Msg\\Com\r\n"
    "Origin Somewhere\r\n"
    "Address\r\n"
    "EchoArea LAST D:\\Msg\\Last";

TEST_F(TextConfigTest, SquishAreasWithTheAddressReadLast) {
    ImportSquish(SquishCfg);
    ASSERT_EQ(container_.ChildCount(), 7);

    const TAreaInfo* general = container_.FindChild("SU.GENERAL");
    ASSERT_NE(general, nullptr);
    EXPECT_EQ(general->Kind, 4);
    EXPECT_EQ(general->Path, "D:\\Msg\\Su.Gen");
    EXPECT_EQ(general->AreaName, "SU.GENERAL");
    EXPECT_EQ(general->UseAKA, "2:5030/100.5");
    EXPECT_EQ(general->Description, "");
    EXPECT_FALSE(general->IsNetmail);

    const TAreaInfo* plain = container_.FindChild("su.plain");  // names as written
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->Kind, 1);

    const TAreaInfo* netmail = container_.FindChild("NETMAIL");
    ASSERT_NE(netmail, nullptr);
    EXPECT_TRUE(netmail->IsNetmail);
    EXPECT_EQ(netmail->Kind, 1);

    EXPECT_EQ(container_.FindChild("BAD_MSGS")->Kind, 4);
    EXPECT_FALSE(container_.FindChild("BAD_MSGS")->IsNetmail);
    EXPECT_EQ(container_.FindChild("DUPES")->Kind, 1);

    // The address as written; a tab separates words too.
    const TAreaInfo* sysop = container_.FindChild("R50.SYSOP");
    ASSERT_NE(sysop, nullptr);
    EXPECT_EQ(sysop->UseAKA, "2:463/1@fidonet");
    EXPECT_EQ(sysop->Path, "D:\\Msg\\R50");
    EXPECT_EQ(sysop->Kind, 4);
    // An "Address" line without an address changes nothing.
    EXPECT_EQ(container_.FindChild("LAST")->UseAKA, "2:463/1@fidonet");

    EXPECT_EQ(container_.FindChild("TOO.SHORT"), nullptr);
    EXPECT_EQ(container_.FindChild("INDENTED"), nullptr);
    EXPECT_EQ(container_.FindChild("COMMENTED"), nullptr);
}

TEST_F(TextConfigTest, SquishOptionsChooseTheAreaTypes) {
    struct TCase {
        bool BadDupe, Netmail, Echomail;
        std::vector<std::string> Names;
    };
    const std::vector<TCase> cases = {
        {false, false, false, {}},
        {true, false, false, {"BAD_MSGS", "DUPES"}},
        {false, true, false, {"NETMAIL"}},
        {false, false, true, {"SU.GENERAL", "su.plain", "R50.SYSOP", "LAST"}},
    };
    for (const TCase& c : cases) {
        TAreaInfo container;
        ImportSquishConfig(Write("SQUISH.CFG", SquishCfg), container, c.BadDupe, c.Netmail, c.Echomail);
        std::vector<std::string> names;
        for (int i = 0; i < container.ChildCount(); ++i) names.push_back(container.Child(i)->Name);
        EXPECT_EQ(names, c.Names) << c.BadDupe << c.Netmail << c.Echomail;
    }
}

TEST_F(TextConfigTest, SquishRepeatedTagKeepsTheLastLine) {
    ImportSquish("EchoArea R50.RU /a -$\nAddress 2:5020/1\nEchoArea R50.RU /b\n");
    ASSERT_EQ(container_.ChildCount(), 1);
    EXPECT_EQ(container_.Child(0)->Path, "/b");
    EXPECT_EQ(container_.Child(0)->Kind, 1);
    EXPECT_EQ(container_.Child(0)->UseAKA, "2:5020/1");
}

TEST_F(TextConfigTest, SquishSurvivesMissingAndNonTextFiles) {
    ImportSquishConfig(dir_.File("none.cfg"), container_, true, true, true);
    EXPECT_EQ(container_.ChildCount(), 0);

    // Binary data, an overlong line and a NUL byte around lines that still count.
    std::string bytes = "EchoArea FIRST /first\n";
    bytes += std::string(100000, 'E') + "\n";
    bytes += "EchoArea WITH.NUL /n";
    bytes += '\0';
    bytes += "ul\n";
    for (int i = 0; i < 4096; ++i) bytes += static_cast<char>((i * 131) & 0xFF);
    bytes += "\nEchoArea LAST /last\n";
    ImportSquish(bytes);
    std::vector<std::string> names;
    for (int i = 0; i < container_.ChildCount(); ++i) names.push_back(container_.Child(i)->Name);
    EXPECT_EQ(names, (std::vector<std::string>{"FIRST", "LAST"}));

    // A folder cannot be read: the import ends quietly.
    TAreaInfo container;
    ImportSquishConfig(dir_.Path().string(), container, true, true, true);
    EXPECT_EQ(container.ChildCount(), 0);
}

TEST_F(TextConfigTest, TMailNetmailAndMailboxes) {
    ImportTMail(
        "; T-Mail\r\n"
        "Address 2:5020/1.0@fidonet\r\n"
        "Mail_In C:\\TMAIL\\NETMAIL\r\n"
        "MailBox Vasya = C:\\BOXES\\VASYA\r\n"
        "Address 2:5020/1.7\r\n"
        "mailbox Ivan Petrov=C:\\BOXES\\IVAN  ; comment\r\n"
        "MailBox NoEquals C:\\BOXES\\X\r\n"
        "MailBox Empty =\r\n"
        "MailBox = C:\\BOXES\\NONAME\r\n"
        "Mail_In\r\n"
        "Address\r\n"
        "Sysop Vasya Pupkin\r\n");
    ASSERT_EQ(container_.ChildCount(), 3);

    const TAreaInfo* netmail = container_.FindChild("Netmail");
    ASSERT_NE(netmail, nullptr);
    EXPECT_EQ(netmail->Kind, 1);
    EXPECT_EQ(netmail->Path, "C:\\TMAIL\\NETMAIL");
    EXPECT_EQ(netmail->AreaName, "Netmail");
    EXPECT_EQ(netmail->UseAKA, "2:5020/1");  // parsed and written again
    EXPECT_TRUE(netmail->IsNetmail);

    const TAreaInfo* vasya = container_.FindChild("Vasya");
    ASSERT_NE(vasya, nullptr);
    EXPECT_EQ(vasya->Path, "C:\\BOXES\\VASYA");
    EXPECT_EQ(vasya->UseAKA, "2:5020/1");
    EXPECT_TRUE(vasya->IsNetmail);

    const TAreaInfo* ivan = container_.FindChild("Ivan Petrov");
    ASSERT_NE(ivan, nullptr);
    EXPECT_EQ(ivan->Path, "C:\\BOXES\\IVAN");
    EXPECT_EQ(ivan->UseAKA, "2:5020/1.7");
}

TEST_F(TextConfigTest, TMailMissingFileAddsNothingButReadErrorsReachTheCaller) {
    ImportTMailConfig(dir_.File("none.ctl"), container_);
    EXPECT_EQ(container_.ChildCount(), 0);
    // A folder opens but cannot be read.
    EXPECT_THROW(ImportTMailConfig(dir_.Path().string(), container_), EReadError);
}

TEST(ConfigLines, LineEndsAndLimits) {
    test::TempDir dir;
    const std::string path = dir.File("lines.txt");
    std::string text = "one\r\ntwo\n\nthree";
    text += "\n" + std::string(TConfigLines::MaxLineLength, 'x') + "\n";
    text += std::string(TConfigLines::MaxLineLength + 1, 'y') + "\r\nlast\r\n";
    test::WriteFile(path, text);
    TConfigLines lines;
    ASSERT_TRUE(lines.Open(path));
    std::vector<std::string> read;
    for (std::string line; lines.Next(line);) read.push_back(line.size() > 10 ? line.substr(0, 1) : line);
    EXPECT_EQ(read, (std::vector<std::string>{"one", "two", "", "three", "x", "last"}));
    EXPECT_FALSE(lines.Open(dir.File("missing")));
}

TEST(ConfigLines, DevicesNeitherHangNorRunOn) {
    test::TempDir dir;
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    TConfigLines lines;
    std::string line;
    ASSERT_TRUE(lines.Open(fifo));
    EXPECT_FALSE(lines.Next(line));
    ASSERT_TRUE(lines.Open("/dev/zero"));
    EXPECT_THROW(lines.Next(line), EReadError);
}

TEST(AreaImportNames, ProperCase) {
    EXPECT_EQ(ProperCaseName("SU.GENERAL"), "Su.General");
    EXPECT_EQ(ProperCaseName("ru.fido.NEWS"), "Ru.Fido.News");
    EXPECT_EQ(ProperCaseName(".X..y"), ".X..Y");
    EXPECT_EQ(ProperCaseName(""), "");
    // Cyrillic in CP1251: "ЭХО.ТЕСТ" -> "Эхо.Тест".
    EXPECT_EQ(ProperCaseName("\xDD\xD5\xCE.\xD2\xC5\xD1\xD2"), "\xDD\xF5\xEE.\xD2\xE5\xF1\xF2");
}

}  // namespace
}  // namespace pelmar
