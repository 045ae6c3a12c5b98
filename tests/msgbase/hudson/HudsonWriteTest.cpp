// Writing, rewriting, deleting and marking messages, checked against the bytes in the files.
#include <gtest/gtest.h>

#include "HudsonBuilder.h"
#include "msgbase/Hudson.h"
#include "support/TestSupport.h"

namespace pelmar::test {
namespace {

namespace fs = std::filesystem;

class HudsonWrite : public ::testing::Test {
protected:
    void SetUp() override { HudBase{}.Write(dir.Path()); }
    std::unique_ptr<THudson> OpenBoard(int board, bool netmail = false) {
        auto base = std::make_unique<THudson>();
        base->SetPath(BoardPath(board, dir.Path()));
        base->Open();
        base->Netmail = netmail;
        base->UseFlagFiles = false;
        return base;
    }
    std::string File(const char* name) { return ReadFile(dir.Path() / name); }
    std::string Header(size_t record) { return RecordOf(dir.Path() / "msghdr.bbs", record, 187); }
    // Writes an echomail message whose stored text is exactly `text` (it ends in tearline and origin).
    bool Post(THudson& base, const std::string& subject, const std::string& text = "--- t\r * Origin: o\r",
              uint16_t attr = AttrLocal) {
        base.NewMessage();
        base.Subject = subject;
        base.Text = text;
        base.Attr = attr;
        base.Date = EncodeDateTime(2026, 12, 9, 17, 5, 30);
        return base.WriteMessage();
    }
    TempDir dir;
};

TEST_F(HudsonWrite, NewEchomailMessageHasTheExactLayout) {
    auto hudson = OpenBoard(5);
    hudson->NewMessage();
    EXPECT_EQ(hudson->Current, 0);
    // Nothing counts the message before it is written: one that never is leaves no trace.
    const std::string emptyInfo = File("msginfo.bbs");
    EXPECT_EQ(HudLe16(emptyInfo, 2), 0);

    hudson->FromName = "\xc8\xe2\xe0\xed";  // "Иван" in CP1251
    hudson->ToName = "All";
    hudson->Subject = std::string(80, 's');
    hudson->Date = EncodeDateTime(2026, 12, 9, 17, 5, 30);
    hudson->OrigAddr = "2:5020/1.5";
    hudson->Kludges = {"MSGID: 2:5020/1.5 00000001"};
    hudson->Text = "Hello\r\r";
    hudson->Attr = AttrLocal | AttrDirect | AttrRetRcpt;
    hudson->Read = true;
    ASSERT_TRUE(hudson->WriteMessage());

    std::string expected(
        "\x01\x00"
        "\x00\x00"
        "\x00\x00"
        "\x01\x00"
        "\x00\x00"
        "\x01\x00"  // num .. blocks
        "\x00\x00"
        "\x00\x00"
        "\x9c\x13"
        "\x01\x00"
        "\x00"
        "\x02"  // addresses
        "\x00\x00"
        "\x60"
        "\x00"
        "\x05"  // cost, attrs, board
        "\x05"
        "17:05"
        "\x08"
        "12-09-26"
        "\x03"
        "All",
        46);
    expected += std::string(32, '\0') + "\x04\x88\xa2\xa0\xad" + std::string(31, '\0');
    expected += "\x48" + std::string(72, 's');
    ASSERT_EQ(expected.size(), 187u);
    EXPECT_EQ(File("msghdr.bbs"), expected);
    EXPECT_EQ(File("msgidx.bbs"), std::string("\x01\x00\x05", 3));
    EXPECT_EQ(File("msgtoidx.bbs"),
              "\x03"
              "All" +
                  std::string(32, '\0'));
    const std::string stored =
        "\x01MSGID: 2:5020/1.5 00000001\r\x01"
        "FLAGS DIR\rHello\r--- Automatically added by Pelmar\r"
        " * Origin: Automatically added (2:5020/1.5)\r";
    EXPECT_EQ(File("msgtxt.bbs"),
              static_cast<char>(stored.size()) + stored + std::string(255 - stored.size(), '\0'));
    EXPECT_EQ(File("echomail.bbs"), std::string(2, '\0'));
    EXPECT_FALSE(fs::exists(dir.Path() / "netmail.bbs"));
    const std::string info = File("msginfo.bbs");
    EXPECT_EQ(HudLe16(info, 2), 1);
    EXPECT_EQ(HudLe16(info, 4), 1);
    EXPECT_EQ(HudLe16(info, 6 + 2 * 4), 1);

    hudson = OpenBoard(5);
    ASSERT_TRUE(hudson->First());
    hudson->ReadMessage(0);
    EXPECT_EQ(hudson->FromName, "\xc8\xe2\xe0\xed");
    EXPECT_EQ(hudson->Subject, std::string(72, 's'));
    EXPECT_EQ(hudson->Date, EncodeDateTime(2026, 12, 9, 17, 5, 0));
    EXPECT_EQ(hudson->Attr, AttrLocal | AttrDirect);
    EXPECT_TRUE(hudson->Read);
    EXPECT_EQ(hudson->OrigAddr, "2:5020/1.5");
}

TEST_F(HudsonWrite, NetmailGetsAddressingLinesHeaderAddressesAndExportList) {
    auto hudson = OpenBoard(1, true);
    hudson->NewMessage();
    hudson->OrigAddr = "2:5020/1.5";
    hudson->DestAddr = "2:5020/2.7";
    hudson->Text = "Hi\r";
    hudson->Attr = AttrCrash | AttrKillSent | AttrFileAttach | AttrRqRcpt | AttrReqAudit;
    ASSERT_TRUE(hudson->WriteMessage());
    const std::string h = Header(0);
    EXPECT_EQ(h.substr(12, 10), std::string("\x9c\x13\x02\x00\x9c\x13\x01\x00\x02\x02", 10));
    EXPECT_EQ(static_cast<uint8_t>(h[24]), 0x0E);
    EXPECT_EQ(static_cast<uint8_t>(h[25]), 0x3D);
    EXPECT_EQ(StoredText(dir.Path(), h),
              "\x01INTL 2:5020/2 2:5020/1\r\x01TOPT 7\r\x01"
              "FMPT 5\rHi\r");
    EXPECT_EQ(File("netmail.bbs"), std::string(2, '\0'));

    // Sent: no export entry and no "unmoved" bit.
    hudson->NewMessage();
    hudson->Attr = AttrSent;
    ASSERT_TRUE(hudson->WriteMessage());
    EXPECT_EQ(static_cast<uint8_t>(Header(1)[24]), 0x0C);
    EXPECT_EQ(static_cast<uint8_t>(Header(1)[25]), 0x02);
    EXPECT_EQ(File("netmail.bbs").size(), 2u);
    EXPECT_FALSE(fs::exists(dir.Path() / "echomail.bbs"));

    hudson = OpenBoard(1, true);
    ASSERT_TRUE(hudson->First());
    hudson->ReadMessage(0);
    EXPECT_EQ(hudson->OrigAddr, "2:5020/1.5");
    EXPECT_EQ(hudson->DestAddr, "2:5020/2.7");
    EXPECT_EQ(hudson->Attr, AttrCrash | AttrKillSent | AttrFileAttach | AttrRqRcpt | AttrReqAudit);
}

TEST_F(HudsonWrite, TextIsSplitInto255CharacterBlocksAfterATornTail) {
    const std::string tail = "\r--- t\r * Origin: o\r";
    WriteFile(dir.Path() / "msgtxt.bbs", std::string(300, '\x01'));  // one block and a torn one
    auto hudson = OpenBoard(2);
    ASSERT_TRUE(Post(*hudson, "300", std::string(300 - tail.size(), 'a') + tail));
    ASSERT_TRUE(Post(*hudson, "255", std::string(255 - tail.size(), 'b') + tail));
    EXPECT_EQ(HudLe16(Header(0), 8), 1);
    EXPECT_EQ(HudLe16(Header(0), 10), 2);
    EXPECT_EQ(HudLe16(Header(1), 8), 3);
    EXPECT_EQ(HudLe16(Header(1), 10), 1);
    const std::string txt = File("msgtxt.bbs");
    ASSERT_EQ(txt.size(), 4u * 256);
    EXPECT_EQ(static_cast<uint8_t>(txt[256]), 255);
    EXPECT_EQ(static_cast<uint8_t>(txt[512]), 45);
    EXPECT_EQ(txt.substr(512 + 46),
              std::string(210, '\0') + "\xff" + std::string(255 - tail.size(), 'b') + tail);
    EXPECT_EQ(File("echomail.bbs"), std::string("\x00\x00\x01\x00", 4));

    hudson = OpenBoard(2);
    ASSERT_TRUE(hudson->First());
    hudson->ReadMessage(0);
    EXPECT_EQ(hudson->Text, std::string(300 - tail.size(), 'a') + tail);
}

TEST_F(HudsonWrite, DeleteRewriteAndMarkReadKeepPositionsAndCounters) {
    auto hudson = OpenBoard(3);
    for (const char* s : {"a", "b", "c"}) ASSERT_TRUE(Post(*hudson, s));
    hudson = OpenBoard(3);
    ASSERT_TRUE(Post(*hudson, "d"));  // NewMessage walks the board itself
    EXPECT_EQ(hudson->Current, 3);

    hudson = OpenBoard(3);
    for (bool ok = hudson->First(); ok; ok = hudson->Next()) {
    }
    hudson->Seek(1);
    const std::string toIdx = File("msgtoidx.bbs");
    ASSERT_TRUE(hudson->DeleteCurrent());
    EXPECT_EQ(static_cast<uint8_t>(Header(1)[24]) & 0x01, 0x01);
    EXPECT_EQ(RecordOf(dir.Path() / "msgidx.bbs", 1, 3), std::string("\xff\xff\x03", 3));
    EXPECT_EQ(HudLe16(File("msginfo.bbs"), 4), 3);
    EXPECT_EQ(HudLe16(File("msginfo.bbs"), 6 + 4), 3);
    EXPECT_EQ(File("msgtoidx.bbs"), toIdx);
    const std::string afterDelete = File("msghdr.bbs") + File("msgidx.bbs") + File("msginfo.bbs");
    ASSERT_TRUE(hudson->DeleteCurrent());
    EXPECT_EQ(File("msghdr.bbs") + File("msgidx.bbs") + File("msginfo.bbs"), afterDelete);
    // The walk goes on past the deleted position; a new walk skips it.
    ASSERT_TRUE(hudson->Next());
    EXPECT_EQ(hudson->Current, 2);
    hudson->ReadHeader();
    EXPECT_EQ(hudson->Subject, "c");

    hudson->Seek(2);
    hudson->PrepareRewrite();
    hudson->Subject = "c2";
    hudson->Text = "x\r";
    hudson->Attr = AttrSent;
    const size_t txtSize = File("msgtxt.bbs").size();
    ASSERT_TRUE(hudson->WriteMessage());
    EXPECT_EQ(HudLe16(Header(2), 0), 3);
    EXPECT_EQ(PStr(Header(2), 114), "c2");
    EXPECT_EQ(HudLe16(Header(2), 8), txtSize / 256);

    hudson->Seek(0);
    hudson->MarkRead();
    EXPECT_EQ(HudLe16(Header(0), 6), 1);

    hudson = OpenBoard(3);
    std::vector<std::string> subjects;
    for (bool ok = hudson->First(); ok; ok = hudson->Next()) {
        hudson->ReadHeader();
        subjects.push_back(hudson->Subject + (hudson->Read ? "*" : ""));
    }
    EXPECT_EQ(subjects, (std::vector<std::string>{"a*", "c2", "d"}));
}

TEST_F(HudsonWrite, SecondObjectWithAStaleIndexAppendsAfterTheFirst) {
    HudBase base;
    base.Msgs.push_back({.Num = 1, .Board = 7, .Text = "x\r"});
    base.Write(dir.Path());
    auto first = OpenBoard(7), second = OpenBoard(7);
    ASSERT_TRUE(Post(*first, "one"));
    ASSERT_TRUE(Post(*second, "two"));
    EXPECT_EQ(second->Record, 2);
    EXPECT_EQ(File("msgidx.bbs"), std::string("\x01\x00\x07\x02\x00\x07\x03\x00\x07", 9));
    EXPECT_EQ(HudLe16(File("msginfo.bbs"), 4), 3);
    EXPECT_EQ(File("echomail.bbs"), std::string("\x01\x00\x02\x00", 4));
}

TEST_F(HudsonWrite, MessagesStartedTogetherGetTheirNumbersWhenWritten) {
    auto first = OpenBoard(8), second = OpenBoard(8);
    first->NewMessage();
    first->Subject = "first";
    first->Text = "x\r";
    second->NewMessage();
    second->Subject = "second";
    second->Text = "y\r";
    ASSERT_TRUE(second->WriteMessage());
    ASSERT_TRUE(first->WriteMessage());
    EXPECT_EQ(File("msgidx.bbs"), std::string("\x01\x00\x08\x02\x00\x08", 6));
    EXPECT_EQ(HudLe16(Header(1), 0), 2);
    const std::string info = File("msginfo.bbs");
    EXPECT_EQ(HudLe16(info, 2), 2);
    EXPECT_EQ(HudLe16(info, 4), 2);
    EXPECT_EQ(HudLe16(info, 6 + 2 * 7), 2);
}

TEST_F(HudsonWrite, ListReadsSeeAnotherWritersMarksOnTheNextWalk) {
    auto writer = OpenBoard(6);
    for (const char* s : {"a", "b"}) ASSERT_TRUE(Post(*writer, s));
    auto lister = OpenBoard(6), other = OpenBoard(6);
    const auto marks = [&] {
        std::string text;
        for (bool ok = lister->First(); ok; ok = lister->Next()) {
            lister->ReadHeader();
            text += lister->Read ? '*' : '.';
        }
        return text;
    };
    EXPECT_EQ(marks(), "..");
    for (bool ok = other->First(); ok; ok = other->Next()) other->MarkRead();
    EXPECT_EQ(marks(), "**");
}

}  // namespace
}  // namespace pelmar::test
