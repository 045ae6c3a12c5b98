// The format-independent behaviour of TMessageBase, driven through an in-memory format.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/Errors.h"
#include "core/Settings.h"
#include "msgbase/MessageBase.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

struct TStoredMessage {
    std::string To;
    bool Read = false;
};

// Just enough of a format: a list of messages and counters of Open/Close calls.
class TMemoryBase : public TMessageBase {
public:
    ~TMemoryBase() override { Destroy(); }

    std::vector<TStoredMessage> Messages;
    int Opens = 0;
    int Closes = 0;
    std::vector<std::string> OpenedPaths;

    int32_t Count() override { return static_cast<int32_t>(Messages.size()); }
    void GetAttrText(std::string& text) override { text.clear(); }
    bool CheckCurrent() override { return false; }
    double ChangeStamp() override { return 0; }
    int32_t ChangeCounter() override { return 0; }
    void Open() override {
        ++Opens;
        OpenedPaths.push_back(Path);
        Active = true;
    }
    void Close() override {
        ++Closes;
        Active = false;
    }
    void CreateBase() override {}
    bool First() override {
        Current = 0;
        return !Messages.empty();
    }
    bool Next() override { return ++Current < Count(); }
    void ReadHeader() override {}
    void ReadMsgId() override {}
    void ReadMessage(int32_t position) override { Seek(position); }
    void Seek(int32_t position) override { Current = position; }
    bool DeleteCurrent(int32_t* = nullptr, uint32_t* = nullptr) override { return false; }
    void MarkRead() override {}
    void NewMessage() override { ClearMessageFields(); }
    bool WriteMessage() override { return true; }
    void PrepareRewrite() override { ClearMessageFields(); }
    bool IsValid() override { return Current >= 0 && Current < Count(); }
    void ReadToAndRead() override {
        ToName = Messages[static_cast<size_t>(Current)].To;
        Read = Messages[static_cast<size_t>(Current)].Read;
    }
    int32_t FileStamp() override { return 0; }
    bool FileStampIs(int32_t) override { return false; }

    using TMessageBase::ApplyKludgePass;
    using TMessageBase::PrepareKludgesForWrite;
    using TMessageBase::SetReadAddresses;
};

// Restores the global settings a test changes.
class MessageBaseTest : public ::testing::Test {
protected:
    void SetUp() override { saved_ = Settings; }
    void TearDown() override { Settings = saved_; }

private:
    TSettings saved_;
};

TEST_F(MessageBaseTest, SetPathReopensOnlyWhenTheOpenBaseMoves) {
    TMemoryBase base;
    base.SetPath("/a");
    EXPECT_EQ(base.Opens, 0);  // closed: only stored
    base.SetActive(true);
    base.SetActive(true);
    EXPECT_EQ(base.Opens, 1);

    base.SetPath("/a");
    EXPECT_EQ(base.Opens, 1);
    EXPECT_EQ(base.Closes, 0);

    base.SetPath("/b");
    EXPECT_EQ(base.Closes, 1);
    EXPECT_EQ(base.Opens, 2);
    EXPECT_EQ(base.OpenedPaths.back(), "/b");

    base.SetActive(false);
    base.SetActive(false);
    EXPECT_EQ(base.Closes, 2);
}

TEST_F(MessageBaseTest, CountUnreadCountsPersonalMailByExactName) {
    Settings.FullName = "Ivan Petrov";
    TMemoryBase base;
    EXPECT_EQ(base.CountUnread(), 0);
    EXPECT_EQ(base.PersonalUnread, 0);

    base.Messages = {{"Ivan Petrov", false},
                     {"Ivan Petrov", true},
                     {"ivan petrov", false},
                     {"All", false},
                     {"Ivan Petrov", false}};
    base.PersonalUnread = 99;
    EXPECT_EQ(base.CountUnread(), 4);
    EXPECT_EQ(base.PersonalUnread, 2);
}

TEST_F(MessageBaseTest, AddsTearlineAndOriginToEchomail) {
    TMemoryBase base;
    base.OrigAddr = "2:5020/1";
    const std::string tear = "--- Automatically added by Pelmar\r";
    const std::string origin = " * Origin: Automatically added (2:5020/1)\r";
    const struct {
        const char* Body;
        std::string Expected;
    } rows[] = {
        {"Hello\r\r\r", "Hello\r" + tear + origin},
        {"Hello", "Hello\r" + tear + origin},
        {"", tear + origin},
        {"Text\r--- x\r * Origin: x (1:2/3)\r", "Text\r--- x\r * Origin: x (1:2/3)\r"},
        {"Text\rsomething\r * Origin: x (1:2/3)\r", "Text\rsomething\r" + tear + " * Origin: x (1:2/3)\r"},
        {" * Origin: x (1:2/3)\r", tear + " * Origin: x (1:2/3)\r"},
        {"--- x\rText\r", "--- x\rText\r" + tear + origin},  // a tearline not right above is not enough
        {"a\r\nb\x8D"
         "c\r",
         "a\rb c\r" + tear + origin},
    };
    for (const auto& row : rows) {
        base.Text = row.Body;
        base.AddOriginAndTearline();
        EXPECT_EQ(base.Text, row.Expected) << row.Body;
    }
}

TEST_F(MessageBaseTest, NetmailOnlyGetsItsTextCleaned) {
    TMemoryBase base;
    base.Netmail = true;
    base.Text = "Hi\r\n\x8Dthere\r\r";
    base.AddOriginAndTearline();
    EXPECT_EQ(base.Text, "Hi\r there\r\r");
}

TEST_F(MessageBaseTest, KludgePassFillsIdsAndNetmailAddresses) {
    TMemoryBase base;
    base.Netmail = true;
    base.MsgId = "stale";
    base.Kludges = {"INTL 2:5020/1 1:2/3", "FMPT 4", "MSGID: 1:2/3.4 0badf00d", "PID: x", "FLAGS IMM DIR"};
    TNetAddress orig{9, 9, 9, 0}, dest{9, 9, 9, 0};
    base.ApplyKludgePass(orig, dest);
    base.SetReadAddresses(orig, dest);
    EXPECT_EQ(base.OrigAddr, "1:2/3.4");
    EXPECT_EQ(base.DestAddr, "2:5020/1");
    EXPECT_EQ(base.MsgId, "1:2/3.4 0badf00d");
    EXPECT_EQ(base.ReplyId, "");
    EXPECT_TRUE(base.Attr & AttrDirect);
}

TEST_F(MessageBaseTest, KludgePassLaterLinesWinAndEchomailUsesIds) {
    TMemoryBase base;
    base.Kludges = {"MSGID: 2:5020/1.5 1a2b3c4d", "REPLY: somewhere.org 12345678", "TOPT 3", "TOPT 7",
                    "FLAGS CRA"};
    TNetAddress orig, dest;
    base.ApplyKludgePass(orig, dest);
    EXPECT_EQ(dest.Point, 7);
    EXPECT_FALSE(base.Attr & AttrDirect);
    base.SetReadAddresses(orig, dest);
    EXPECT_EQ(base.OrigAddr, "2:5020/1.5");
    EXPECT_EQ(base.DestAddr, "");
}

TEST_F(MessageBaseTest, BadPointRaisesAfterTheRestOfThePass) {
    TMemoryBase base;
    base.Kludges = {"FMPT x1", "MSGID: 2:5020/1 1", "INTL 2:5020/1 2:5020/2", "FLAGS DIR"};
    TNetAddress orig, dest;
    EXPECT_THROW(base.ApplyKludgePass(orig, dest), EConvertError);
    EXPECT_EQ(base.MsgId, "2:5020/1 1");
    EXPECT_EQ(orig.Node, 2);
    EXPECT_EQ(orig.Point, 0);
    EXPECT_TRUE(base.Attr & AttrDirect);
}

TEST_F(MessageBaseTest, PrepareForWriteInsertsIntlToptFmptFirst) {
    TMemoryBase base;
    base.Netmail = true;
    base.OrigAddr = "2:5020/1.5";
    base.DestAddr = "2:5020/2.7";
    base.Attr = AttrDirect;
    base.Kludges = {"MSGID: 2:5020/1.5 00000001", "PID: Plm 1.0"};
    TNetAddress orig, dest;
    base.PrepareKludgesForWrite(orig, dest, false);
    const std::vector<std::string> expected = {"INTL 2:5020/2 2:5020/1",     "TOPT 7",       "FMPT 5",
                                               "MSGID: 2:5020/1.5 00000001", "PID: Plm 1.0", "FLAGS DIR"};
    EXPECT_EQ(base.Kludges, expected);
    EXPECT_EQ(orig.Point, 5);
    EXPECT_EQ(dest.Net, 5020);
    EXPECT_EQ(dest.Point, 7);
}

TEST_F(MessageBaseTest, PrepareForWriteReplacesCopiedAddressingLines) {
    TMemoryBase base;
    base.Netmail = true;
    base.OrigAddr = "2:5020/1";
    base.DestAddr = "1:2/3";
    base.Attr = AttrDirect;
    // What CopyFrom brings along from a netmail read elsewhere.
    base.Kludges = {"INTL 9:9/9 9:9/9", "FMPT 8", "MSGID: x", "TOPT 4", "FLAGS DIR"};
    TNetAddress orig, dest;
    base.PrepareKludgesForWrite(orig, dest, false);
    const std::vector<std::string> expected = {"INTL 1:2/3 2:5020/1", "MSGID: x", "FLAGS DIR"};
    EXPECT_EQ(base.Kludges, expected);
}

TEST_F(MessageBaseTest, PrepareForWriteInEchomailAddsNoAddressingLines) {
    TMemoryBase base;
    base.OrigAddr = "2:5020/1.5";
    base.DestAddr = "2:5020/2";
    base.Kludges = {"MSGID: 2:5020/1.5 1"};
    TNetAddress orig, dest;
    base.PrepareKludgesForWrite(orig, dest, false);
    EXPECT_EQ(base.Kludges.size(), 1u);
    EXPECT_EQ(dest.Node, 0);  // not parsed unless asked
    base.PrepareKludgesForWrite(orig, dest, true);
    EXPECT_EQ(dest.Node, 2);
}

TEST_F(MessageBaseTest, CopyFromTakesTheMessageFields) {
    TMemoryBase source, target;
    source.FromName = "A";
    source.ToName = "B";
    source.Subject = "S";
    source.Date = 45000.5;
    source.Kludges = {"MSGID: 1:2/3 4", "PID: x"};
    source.Text = "Body\r";
    source.OrigAddr = "1:2/3";
    source.DestAddr = "1:2/4";
    source.Attr = AttrCrash;
    source.Read = true;
    source.MsgId = "not copied";
    target.NewMessage();
    target.CopyFrom(source);
    EXPECT_EQ(target.FromName, "A");
    EXPECT_EQ(target.ToName, "B");
    EXPECT_EQ(target.Subject, "S");
    EXPECT_EQ(target.Date, 45000.5);
    EXPECT_EQ(target.Kludges, source.Kludges);
    EXPECT_EQ(target.Text, "Body\r");
    EXPECT_EQ(target.OrigAddr, "1:2/3");
    EXPECT_EQ(target.DestAddr, "1:2/4");
    EXPECT_EQ(target.Attr, AttrCrash);
    EXPECT_TRUE(target.Read);
    EXPECT_EQ(target.MsgId, "");
}

TEST_F(MessageBaseTest, TouchFlagFileCreatesTheMatchingFlagOnce) {
    test::TempDir dir;
    const std::string netFlag = dir.File("netmail.flg");
    const std::string echoFlag = dir.File("echomail.flg");
    Settings.bNetFlag = true;
    Settings.NetFlag = netFlag;
    Settings.bEchoFlag = false;
    Settings.EchoFlag = echoFlag;

    TMemoryBase base;
    base.Netmail = true;
    base.UseFlagFiles = false;
    base.TouchFlagFile();
    EXPECT_FALSE(std::filesystem::exists(netFlag));

    base.UseFlagFiles = true;
    test::WriteFile(netFlag, "keep");
    base.TouchFlagFile();
    EXPECT_EQ(test::ReadFile(netFlag), "keep");
    std::filesystem::remove(netFlag);
    base.TouchFlagFile();
    EXPECT_TRUE(std::filesystem::exists(netFlag));
    EXPECT_EQ(std::filesystem::file_size(netFlag), 0u);

    base.Netmail = false;
    base.TouchFlagFile();
    EXPECT_FALSE(std::filesystem::exists(echoFlag));  // the echomail switch is off
    Settings.bEchoFlag = true;
    base.TouchFlagFile();
    EXPECT_TRUE(std::filesystem::exists(echoFlag));

    Settings.EchoFlag = dir.File("no/such/folder/flag");
    EXPECT_NO_THROW(base.TouchFlagFile());
}

}  // namespace
}  // namespace pelmar
