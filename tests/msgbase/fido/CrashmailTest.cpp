// Interoperability with a real tosser: crashmail tosses a packet into *.MSG areas that this base
// reads, and exports what this base writes.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/Settings.h"
#include "msgbase/FidoBase.h"
#include "support/Crashmail.h"
#include "support/FtnPacket.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

namespace fs = std::filesystem;

using test::TPacket;

class CrashmailTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::CrashmailInstalled()) {
            GTEST_SKIP()
                << "crashmail is not installed (Debian package crashmail); interoperability not tested";
        }
        saved_ = Settings;
        Settings.TextInWindowsCodePage = false;
        Settings.bNetFlag = Settings.bEchoFlag = false;
        fs::create_directories(root_.Path() / "pkt");
        test::WriteCrashmailSetUp(root_.Path(), {{"SU.GENERAL", "MSG", "sugeneral"}});
    }
    void TearDown() override {
        if (!IsSkipped()) Settings = saved_;
    }

    std::unique_ptr<TFidoBase> Open(const std::string& area, bool netmail) {
        auto base = std::make_unique<TFidoBase>();
        base->SetPath((root_.Path() / area).string());
        base->Open();
        base->Netmail = netmail;
        return base;
    }

    test::TempDir root_;
    TSettings saved_;
};

TEST_F(CrashmailTest, TossedMessagesReadThroughTheBase) {
    TPacket packet;
    // CP866: "Привет" / "Иван Петров" / "Тема".
    const std::string hello = "\x8F\xE0\xA8\xA2\xA5\xE2";
    const std::string ivan = "\x88\xA2\xA0\xAD \x8F\xA5\xE2\xE0\xAE\xA2";
    const std::string topic = "\x92\xA5\xAC\xA0";
    packet.Add(2, 1, 0, "09 Dec 26  12:34:56", "All", ivan, topic,
               "AREA:SU.GENERAL\r\x01MSGID: 2:5020/2 12345678\r\x01PID: Test 1\r" + hello +
                   " {braces} \\slash\rSecond line\r--- Test\r * Origin: Somewhere (2:5020/2)\r"
                   "SEEN-BY: 5020/1 2\r\x01PATH: 5020/2\r");
    packet.Add(2, 1, 0x0001, "09 Dec 26  13:00:00", "Sysop", "Remote", "Netmail in",
               "\x01INTL 2:5020/1 2:5020/2\r\x01"
               "FMPT 3\r\x01MSGID: 2:5020/2.3 00000042\rNetmail body\r");
    test::WriteFile(root_.Path() / "pkt" / "00000001.pkt", packet.Bytes());
    test::RunCrashmail(root_.Path(), "TOSSDIR '" + (root_.Path() / "pkt").string() + "' NOSECURITY");

    auto echo = Open("sugeneral", false);
    ASSERT_TRUE(echo->Active);
    ASSERT_EQ(echo->Count(), 1) << "crashmail tossed nothing into the echo area";
    EXPECT_NE(echo->MsgFiles[0], "1");  // the tosser starts above its high-water mark
    echo->ReadMessage(0);
    EXPECT_EQ(echo->FromName, ToAnsi(ivan));
    EXPECT_EQ(echo->ToName, "All");
    EXPECT_EQ(echo->Subject, ToAnsi(topic));
    EXPECT_EQ(FormatFtsDate(echo->Date), "09 Dec 26  12:34:56");
    EXPECT_EQ(echo->MsgId, "2:5020/2 12345678");
    EXPECT_EQ(echo->OrigAddr, "2:5020/2");
    EXPECT_EQ(echo->Text.substr(0, echo->Text.find('\r')), ToAnsi(hello) + " {braces} \\slash");
    EXPECT_NE(echo->Text.find("\r * Origin: Somewhere (2:5020/2)\r"), std::string::npos);
    EXPECT_EQ(echo->Text.find('\x01'), std::string::npos);

    auto net = Open("netmail", true);
    ASSERT_EQ(net->Count(), 1) << "crashmail tossed nothing into the netmail area";
    net->ReadMessage(0);
    EXPECT_EQ(net->Subject, "Netmail in");
    EXPECT_EQ(net->OrigAddr, "2:5020/2.3");
    EXPECT_EQ(net->DestAddr, "2:5020/1");
    EXPECT_EQ(net->Text, "Netmail body\r");
}

TEST_F(CrashmailTest, WrittenMessagesAreExported) {
    auto net = Open("netmail", true);
    ASSERT_TRUE(net->Active);
    net->NewMessage();
    net->FromName = "\xC8\xE2\xE0\xED \xCF\xE5\xF2\xF0\xEE\xE2";  // "Иван Петров"
    net->ToName = "Sysop Far";
    net->Subject = "Export check";
    net->OrigAddr = "2:5020/1.5";
    net->DestAddr = "2:5020/9.7";
    net->Date = NowLocal();
    net->Attr = AttrLocal;
    net->Kludges = {"MSGID: 2:5020/1.5 0abc0001", "PID: Plm 1.0"};
    net->Text = "\xCF\xF0\xE8\xE2\xE5\xF2 from the netmail test\r";  // "Привет"
    ASSERT_TRUE(net->WriteMessage());

    auto echo = Open("sugeneral", false);
    echo->NewMessage();
    echo->FromName = "Echo Writer";
    echo->ToName = "All";
    echo->Subject = "Echo export check";
    echo->OrigAddr = "2:5020/1";
    echo->Date = NowLocal();
    echo->Attr = AttrLocal;
    echo->Kludges = {"MSGID: 2:5020/1 0abc0002"};
    echo->Text = "Echo body\r";
    ASSERT_TRUE(echo->WriteMessage());

    test::RunCrashmail(root_.Path(), "SCAN");
    const std::string out = test::CrashmailOutbound(root_.Path());
    ASSERT_FALSE(out.empty()) << "crashmail exported nothing";

    // Netmail: names, subject, text and the addressing lines, in the stored code page.
    EXPECT_NE(out.find(std::string("Sysop Far\0", 10) + ToOem(net->FromName) + '\0' + "Export check" + '\0'),
              std::string::npos);
    EXPECT_NE(out.find("\x01INTL 2:5020/9 2:5020/1\r\x01TOPT 7\r\x01"
                       "FMPT 5\r"),
              std::string::npos);
    EXPECT_NE(out.find("\x01MSGID: 2:5020/1.5 0abc0001\r"), std::string::npos);
    EXPECT_NE(out.find("\x8F\xE0\xA8\xA2\xA5\xE2 from the netmail test\r"), std::string::npos);

    // Echomail: the area line, and the tearline and origin this base added.
    EXPECT_NE(out.find("AREA:SU.GENERAL\r"), std::string::npos);
    EXPECT_NE(out.find("Echo export check"), std::string::npos);
    EXPECT_NE(
        out.find("Echo body\r--- Automatically added by Pelmar\r * Origin: Automatically added (2:5020/1)\r"),
        std::string::npos);

    // The tosser marked both Sent in our files; the read mark stayed ours.
    auto again = Open("netmail", true);
    again->ReadMessage(0);
    EXPECT_TRUE(again->Attr & AttrSent);
    EXPECT_EQ(again->Subject, "Export check");
}

}  // namespace
}  // namespace pelmar
