// Reading Hudson boards written byte by byte by the builder: walk order, fields, code pages,
// addresses, dates and damaged files.
#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <random>

#include "HudsonBuilder.h"
#include "core/Errors.h"
#include "core/Settings.h"
#include "msgbase/BaseFactory.h"
#include "msgbase/Hudson.h"
#include "support/TestSupport.h"

namespace pelmar::test {
namespace {

class HudsonRead : public ::testing::Test {
protected:
    std::unique_ptr<THudson> OpenBoard(int board, bool netmail = false) {
        auto base = std::make_unique<THudson>();
        base->SetPath(BoardPath(board, dir.Path()));
        base->Open();
        base->Netmail = netmail;
        return base;
    }
    // Record numbers of a First/Next walk.
    static std::vector<int32_t> Walk(THudson& base) {
        std::vector<int32_t> records;
        for (bool ok = base.First(); ok; ok = base.Next()) records.push_back(base.Record);
        return records;
    }
    TempDir dir;
};

// Each step looks for the smallest number above the current one in the whole index.
std::vector<int32_t> ReferenceWalk(const std::vector<HudMsg>& msgs, int board) {
    std::vector<int32_t> records;
    int current = -1;
    for (;;) {
        int best = -1;
        for (size_t i = 0; i < msgs.size(); ++i) {
            if (msgs[i].Board != board || msgs[i].IdxDeleted || msgs[i].Num <= current) continue;
            if (best < 0 || msgs[i].Num < msgs[best].Num) best = static_cast<int>(i);
        }
        if (best < 0) return records;
        records.push_back(best);
        current = msgs[best].Num;
    }
}

TEST_F(HudsonRead, WalksBoardInNumberOrderAndCountsFromMsgInfo) {
    HudBase base;
    for (uint16_t num : {7, 3, 4, 5}) base.Msgs.push_back({.Num = num, .Subject = "n" + std::to_string(num)});
    base.Msgs[2].IdxDeleted = true;
    base.Msgs.insert(base.Msgs.begin() + 1, HudMsg{.Num = 1, .Board = 2});
    base.Active[0] = 10;
    base.Write(dir.Path());

    auto hudson = OpenBoard(1);
    ASSERT_TRUE(hudson->Active);
    EXPECT_EQ(hudson->Count(), 10);
    EXPECT_EQ(hudson->ChangeStamp(), 10.0);
    EXPECT_EQ(hudson->ChangeCounter(), 7 + 4);
    EXPECT_EQ(Walk(*hudson), (std::vector<int32_t>{2, 4, 0}));
    EXPECT_EQ(hudson->Current, 2);
    hudson->ReadMessage(1);
    EXPECT_EQ(hudson->Subject, "n5");
    EXPECT_EQ(Walk(*OpenBoard(2)), (std::vector<int32_t>{1}));
    EXPECT_FALSE(OpenBoard(3)->First());
}

TEST_F(HudsonRead, SortedWalkVisitsWhatTheFullScanVisits) {
    std::mt19937 rng(42);
    HudBase base;
    for (int i = 0; i < 400; ++i) {
        base.Msgs.push_back({.Num = static_cast<uint16_t>(rng() % 300 + 1),
                             .Board = static_cast<uint8_t>(rng() % 3 + 1),
                             .IdxDeleted = rng() % 7 == 0});
    }
    base.Write(dir.Path());
    for (int board = 1; board <= 3; ++board) {
        auto hudson = OpenBoard(board);
        const auto expected = ReferenceWalk(base.Msgs, board);
        ASSERT_EQ(Walk(*hudson), expected) << "board " << board;
        // Positions stay those of the walk; Next goes on from a sought position.
        hudson->Seek(5);
        ASSERT_TRUE(hudson->Next());
        EXPECT_EQ(hudson->Current, 6);
        EXPECT_EQ(hudson->Record, expected[6]);
    }
    // After writes and a delete, the same object walks as a freshly opened one.
    auto hudson = OpenBoard(2);
    hudson->UseFlagFiles = false;
    Walk(*hudson);
    for (int i = 0; i < 3; ++i) {
        hudson->NewMessage();
        ASSERT_TRUE(hudson->WriteMessage());
    }
    hudson->Seek(3);
    ASSERT_TRUE(hudson->DeleteCurrent());
    EXPECT_EQ(Walk(*hudson), Walk(*OpenBoard(2)));
}

TEST_F(HudsonRead, ReadsFieldsControlLinesAndEchomailAddresses) {
    // "Привет" in CP866 and in CP1251.
    const std::string oem = "\x8f\xe0\xa8\xa2\xa5\xe2", ansi = "\xcf\xf0\xe8\xe2\xe5\xf2";
    // A long body puts the PATH line across a block boundary.
    const std::string body = oem + "\r" + std::string(300, 'x') + "\r";
    HudBase base;
    base.Msgs.push_back({.Num = 1,
                         .From = oem,
                         .To = "All",
                         .Subject = "Re: " + oem,
                         .Date = "01-15-89",
                         .Time = "23:59",
                         .TimesRead = 3,
                         .Text = "\x01MSGID: 2:5020/1.5 1a2b3c4d\r\x01REPLY: 2:5020/2 abcd\r" + body +
                                 "\x01PATH: 5020/1 " + oem + "\r"});
    base.Msgs.push_back({.Num = 2, .TimesRead = 2, .Text = "no final CR"});
    base.Write(dir.Path());

    auto hudson = OpenBoard(1);
    ASSERT_TRUE(hudson->First());
    hudson->ReadHeader();
    EXPECT_EQ(hudson->FromName, ansi);
    EXPECT_EQ(hudson->Subject, "Re: " + ansi);
    EXPECT_EQ(hudson->Date, EncodeDateTime(2089, 1, 15, 23, 59, 0));
    EXPECT_TRUE(hudson->Read);
    EXPECT_EQ(hudson->Kludges.size(), 2u);  // only the leading lines
    EXPECT_EQ(hudson->MsgId, "2:5020/1.5 1a2b3c4d");
    EXPECT_EQ(hudson->ReplyId, "2:5020/2 abcd");

    hudson->ReadMessage(0);
    EXPECT_EQ(hudson->Kludges, (std::vector<std::string>{"MSGID: 2:5020/1.5 1a2b3c4d", "REPLY: 2:5020/2 abcd",
                                                         "PATH: 5020/1 " + ansi}));
    EXPECT_EQ(hudson->Text, ansi + "\r" + std::string(300, 'x') + "\r");
    EXPECT_EQ(hudson->OrigAddr, "2:5020/1.5");
    EXPECT_EQ(hudson->DestAddr, "2:5020/2");

    Settings.TextInWindowsCodePage = true;
    hudson->ReadMessage(0);
    Settings.TextInWindowsCodePage = false;
    EXPECT_EQ(hudson->Text.substr(0, 6), oem);
    EXPECT_EQ(hudson->FromName, ansi);

    // A message without MSGID does not keep the previous one's.
    ASSERT_TRUE(hudson->Next());
    hudson->ReadMsgId();
    EXPECT_EQ(hudson->MsgId, "");
    // A text without its final CR keeps its last character.
    hudson->ReadMessage(1);
    EXPECT_EQ(hudson->Text, "no final CR\r");
    EXPECT_FALSE(hudson->Read);
}

TEST_F(HudsonRead, ReadsNetmailAddressesAttributesAndDates) {
    HudBase base;
    base.Msgs.push_back({.Num = 1,
                         .Date = "01-15-95",
                         .Time = "ab:cd",
                         .MsgAttr = 0x4C,
                         .NetAttr = 0x3D,
                         .OrigZone = 2,
                         .DestZone = 2,
                         .OrigNet = 5020,
                         .OrigNode = 1,
                         .DestNet = 5020,
                         .DestNode = 2,
                         .Text = "\x01INTL 2:5020/2 1:2/3\x0d\x01"
                                 "FMPT 4\r\x01"
                                 "FLAGS DIR\rHi\r"});
    base.Msgs.push_back({.Num = 2, .Date = "xx-yy-zz", .Time = "", .Text = "\x01TOPT 7\rHi\r"});
    base.Msgs.push_back({.Num = 3, .Date = "13-01-95"});
    base.Write(dir.Path());

    auto hudson = OpenBoard(1, true);
    ASSERT_EQ(Walk(*hudson).size(), 3u);
    hudson->ReadMessage(0);
    EXPECT_EQ(hudson->OrigAddr, "1:2/3.4");
    EXPECT_EQ(hudson->DestAddr, "2:5020/2");
    EXPECT_EQ(hudson->Attr,
              AttrLocal | AttrKillSent | AttrCrash | AttrRqRcpt | AttrReqAudit | AttrFileAttach | AttrDirect);
    EXPECT_EQ(hudson->Date, EncodeDateTime(1995, 1, 15));
    std::string names;
    hudson->GetAttrText(names);
    EXPECT_EQ(names, "Netmail Prv Loc KSnt FAt Crsh RRcpt RAud ");

    hudson->ReadMessage(1);
    EXPECT_EQ(hudson->Date, EncodeDateTime(1990, 1, 1));
    EXPECT_EQ(hudson->DestAddr, "0/0.7");
    EXPECT_THROW(hudson->ReadMessage(2), EConvertError);
}

TEST_F(HudsonRead, DamagedMessagesAreReadErrorsAndNothingIsWritten) {
    HudBase base;
    base.Msgs.push_back({.Num = 1, .Text = "fine\r"});
    base.Msgs.push_back({.Num = 2, .Text = "x\r", .StartBlock = 40});
    base.Msgs.push_back({.Num = 3, .Text = "x\r", .NumBlocks = 9});
    base.Msgs.push_back({.Num = 4, .Subject = "s"});
    base.Msgs.push_back({.Num = 5, .Text = "\x01MSGID: not mine\r"});  // never taken by message 6
    base.Msgs.push_back({.Num = 6, .StartBlock = 3, .NumBlocks = 0});
    base.Msgs.push_back({.Num = 7, .Text = "beyond the headers\r"});
    base.Write(dir.Path());
    // Subject of message 4 claims 200 characters; MSGHDR loses the last record; MSGIDX gets a torn entry.
    std::string hdr = ReadFile(dir.Path() / "msghdr.bbs");
    hdr[3 * 187 + 114] = static_cast<char>(200);
    WriteFile(dir.Path() / "msghdr.bbs", hdr.substr(0, 6 * 187));
    WriteFile(dir.Path() / "msgidx.bbs", ReadFile(dir.Path() / "msgidx.bbs") + "\x08");
    const auto snapshot = [&] {
        std::string all;
        for (const char* name : {"msgidx.bbs", "msgtoidx.bbs", "msghdr.bbs", "msgtxt.bbs", "msginfo.bbs"})
            all += ReadFile(dir.Path() / name);
        return all;
    };
    const std::string before = snapshot();

    auto hudson = OpenBoard(1);
    ASSERT_EQ(Walk(*hudson).size(), 7u);
    // Positions whose message fails to read, per operation; the walk itself goes on.
    const auto failing = [&](const std::function<void(int)>& read) {
        std::vector<int> errors;
        for (int i = 0; i < 7; ++i) {
            try {
                read(i);
            } catch (const EReadError&) {
                errors.push_back(i);
            }
        }
        return errors;
    };
    EXPECT_EQ(failing([&](int i) { hudson->ReadMessage(i); }), (std::vector<int>{1, 2, 3, 6}));
    EXPECT_EQ(failing([&](int i) { hudson->Seek(i), hudson->ReadHeader(); }), (std::vector<int>{1, 3, 6}));
    EXPECT_EQ(failing([&](int i) { hudson->Seek(i), hudson->ReadToAndRead(); }), (std::vector<int>{3, 6}));
    hudson->Seek(5);
    hudson->ReadHeader();
    EXPECT_EQ(hudson->MsgId, "");
    hudson->Seek(99);
    EXPECT_FALSE(hudson->IsValid());
    EXPECT_THROW(hudson->ReadHeader(), EReadError);
    hudson.reset();
    EXPECT_EQ(snapshot(), before);
}

TEST_F(HudsonRead, OpenFailsQuietlyOnMissingOrShortFilesAndBadBoards) {
    HudBase{}.Write(dir.Path());
    EXPECT_TRUE(OpenBoard(200)->Active);
    EXPECT_FALSE(OpenBoard(201)->Active);
    auto zero = std::make_unique<THudson>();
    zero->SetPath(std::string(1, '\0') + dir.Path().string());
    zero->Open();
    EXPECT_FALSE(zero->Active);

    const std::string info = ReadFile(dir.Path() / "msginfo.bbs");
    WriteFile(dir.Path() / "msginfo.bbs", info.substr(0, 405));
    EXPECT_FALSE(OpenBoard(1)->Active);
    WriteFile(dir.Path() / "msginfo.bbs", info);
    for (const char* name : {"msgidx.bbs", "msgtoidx.bbs", "msghdr.bbs", "msgtxt.bbs", "msginfo.bbs"}) {
        const auto from = dir.Path() / name, to = dir.Path() / "aside";
        std::filesystem::rename(from, to);
        EXPECT_FALSE(OpenBoard(1)->Active) << name;
        // Names are matched without regard to case.
        std::string upper = name;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        std::filesystem::rename(to, dir.Path() / upper);
        EXPECT_TRUE(OpenBoard(1)->Active) << name;
    }
    EXPECT_NE(dynamic_cast<THudson*>(CreateMessageBase(BaseKindHudson).get()), nullptr);
}

}  // namespace
}  // namespace pelmar::test
