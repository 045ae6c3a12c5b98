// The *.MSG base on directories built byte by byte: listing, numbering, reading, writing, damage.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "core/Settings.h"
#include "msgbase/FidoBase.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

void Put16(std::string& bytes, size_t offset, uint16_t value) {
    bytes[offset] = static_cast<char>(value & 0xFF);
    bytes[offset + 1] = static_cast<char>(value >> 8);
}

uint16_t Get16(const std::string& bytes, size_t offset) {
    return static_cast<uint16_t>(static_cast<uint8_t>(bytes[offset]) |
                                 (static_cast<uint8_t>(bytes[offset + 1]) << 8));
}

// A stored message: the 190-byte header, then `body` as it is (CP866, CR line ends, ^A lines).
std::string MessageFile(const std::string& from, const std::string& to, const std::string& subject,
                        const std::string& body, uint16_t attribute = 0, uint16_t nextReply = 0,
                        const std::string& date = "01 Jan 26  10:20:30") {
    std::string bytes(TFidoBase::HeaderSize, '\0');
    bytes.replace(0, from.size(), from);
    bytes.replace(36, to.size(), to);
    bytes.replace(72, subject.size(), subject);
    bytes.replace(144, date.size(), date);
    Put16(bytes, 186, attribute);
    Put16(bytes, 188, nextReply);
    return bytes + body;
}

class FidoBaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = Settings;
        Settings.TextInWindowsCodePage = false;
        Settings.bNetFlag = Settings.bEchoFlag = false;
    }
    void TearDown() override { Settings = saved_; }

    std::string Path(const std::string& name) const { return dir_.File(name); }
    void Write(const std::string& name, const std::string& bytes) const {
        test::WriteFile(Path(name), bytes);
    }
    std::string Contents(const std::string& name) const { return test::ReadFile(Path(name)); }

    // An open base on the test directory.
    std::unique_ptr<TFidoBase> OpenBase(bool netmail = false) const {
        auto base = std::make_unique<TFidoBase>();
        base->SetPath(dir_.Path().string());
        base->Open();
        base->Netmail = netmail;
        return base;
    }

    test::TempDir dir_;
    TSettings saved_;
};

TEST_F(FidoBaseTest, ListsNumbersInNumericOrderAndIgnoresOtherFiles) {
    for (const char* name :
         {"2.MSG", "10.msg", "1.Msg", "lastread.msg", "abc.MSG", "3.txt", "99999999999.msg"}) {
        Write(name, MessageFile("a", "b", "c", "x\r"));
    }
    fs::create_directory(Path("7.msg"));
    auto base = OpenBase();
    ASSERT_TRUE(base->Active);
    EXPECT_EQ(base->MsgFiles, (std::vector<std::string>{"1", "2", "10"}));
    EXPECT_EQ(base->Count(), 3);
    EXPECT_EQ(base->ChangeCounter(), 3);
    EXPECT_EQ(base->ChangeStamp(), 10.0);
    EXPECT_EQ(base->FileStamp(), 10);
    EXPECT_TRUE(base->FileStampIs(10));

    base->NewMessage();
    EXPECT_EQ(base->Current, 3);
    EXPECT_EQ(base->MsgFiles.back(), "11");
    base->FromName = "me";
    EXPECT_TRUE(base->WriteMessage());
    EXPECT_TRUE(fs::exists(Path("11.msg")));  // the case of the highest sibling
    EXPECT_TRUE(base->FileStampIs(11));
    EXPECT_FALSE(base->FileStampIs(10));

    // Nothing that is not a message was touched.
    for (const char* name : {"lastread.msg", "abc.MSG", "3.txt", "99999999999.msg"})
        EXPECT_TRUE(fs::exists(Path(name)));
}

// The listing types most names itself; links are judged by what they point to.
TEST_F(FidoBaseTest, LinksCountByTheirTarget) {
    test::TempDir elsewhere;
    test::WriteFile(elsewhere.File("m"), MessageFile("a", "Linked", "c", "x\r", 0, TFidoBase::ReadMarkBit));
    fs::create_directory(elsewhere.File("d"));
    Write("2.msg", MessageFile("a", "b", "c", "x\r"));
    fs::create_symlink(elsewhere.File("m"), Path("3.msg"));
    fs::create_symlink(elsewhere.File("d"), Path("4.msg"));
    fs::create_symlink(elsewhere.File("gone"), Path("9.msg"));
    fs::create_symlink(elsewhere.File("m"), Path("x.$$$"));

    auto base = OpenBase();
    EXPECT_EQ(base->MsgFiles, (std::vector<std::string>{"2", "3"}));
    EXPECT_FALSE(fs::is_symlink(Path("x.$$$")));
    EXPECT_TRUE(fs::exists(elsewhere.File("m")));
    EXPECT_TRUE(base->FileStampIs(3));
    base->Seek(1);
    base->ReadToAndRead();
    EXPECT_EQ(base->ToName, "Linked");
    EXPECT_TRUE(base->Read);
    EXPECT_EQ(base->CountUnread(), 1);
}

size_t OpenDescriptors() {
    size_t n = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++n;
    return n;
}

// The count reads the directory the list came from; moving the base and the scan's endless
// open/close cycles must neither read stale files nor leak descriptors.
TEST_F(FidoBaseTest, CountFollowsTheOpenDirectoryAndReleasesIt) {
    fs::create_directory(Path("a"));
    fs::create_directory(Path("b"));
    test::WriteFile(Path("a/2.msg"), MessageFile("x", "In A", "s", "t\r"));
    test::WriteFile(Path("b/2.msg"), MessageFile("x", "In B", "s", "t\r", 0, TFidoBase::ReadMarkBit));
    test::WriteFile(Path("b/3.msg"), MessageFile("x", "In B", "s", "t\r"));

    const size_t before = OpenDescriptors();
    for (int i = 0; i < 50; ++i) {
        TFidoBase base;
        base.SetPath(Path("a"));
        base.Open();
        ASSERT_TRUE(base.Active);
        EXPECT_EQ(base.CountUnread(), 1);
        EXPECT_EQ(base.ToName, "In A");
        base.SetPath(Path("b"));  // reopens on the other directory
        EXPECT_EQ(base.CountUnread(), 1);
        EXPECT_EQ(base.Count(), 2);
        EXPECT_EQ(base.ToName, "In B");
        if (i % 2 == 0) base.Close();  // the other half is closed by the destructor
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST_F(FidoBaseTest, NewFilesFollowTheCaseOfTheirSiblings) {
    Write("5.MSG", MessageFile("a", "b", "c", "x\r"));
    auto base = OpenBase();
    base->NewMessage();
    ASSERT_TRUE(base->WriteMessage());
    EXPECT_TRUE(fs::exists(Path("6.MSG")));
}

TEST_F(FidoBaseTest, EmptyAreaStartsNumberingAboveTheTossersMark) {
    auto base = OpenBase();
    ASSERT_TRUE(base->Active);
    EXPECT_FALSE(base->First());
    EXPECT_EQ(base->ChangeStamp(), 0.0);
    base->NewMessage();
    EXPECT_EQ(base->Current, 0);
    ASSERT_TRUE(base->WriteMessage());
    EXPECT_FALSE(fs::exists(Path("1.msg")));
    EXPECT_TRUE(fs::exists(Path("2.msg")));
}

TEST_F(FidoBaseTest, MissingDirectoryOrAFileForAPathStaysClosed) {
    TFidoBase base;
    base.SetPath(Path("none"));
    base.Open();
    EXPECT_FALSE(base.Active);
    Write("plain", "x");
    base.SetPath(Path("plain"));
    base.Open();
    EXPECT_FALSE(base.Active);
    EXPECT_FALSE(base.FileStampIs(0));

    base.SetPath(Path("made"));
    base.CreateBase();
    base.Open();
    EXPECT_TRUE(base.Active);
}

TEST_F(FidoBaseTest, UnreadableDirectoryStaysClosed) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not apply to root";
    fs::create_directory(Path("locked"));
    fs::permissions(Path("locked"), fs::perms::none);
    TFidoBase base;
    base.SetPath(Path("locked"));
    base.Open();
    EXPECT_FALSE(base.Active);
}

TEST_F(FidoBaseTest, TempFilesAreRemovedOnOpenAndClose) {
    Write("1.$$$", "junk");
    Write("X.$$$", "junk");
    Write("keep.txt", "keep");
    auto base = OpenBase();
    EXPECT_FALSE(fs::exists(Path("1.$$$")));
    EXPECT_FALSE(fs::exists(Path("X.$$$")));
    Write("2.$$$", "junk");
    base->Close();
    EXPECT_FALSE(base->Active);
    EXPECT_EQ(base->Count(), 0);
    EXPECT_FALSE(fs::exists(Path("2.$$$")));
    EXPECT_TRUE(fs::exists(Path("keep.txt")));
}

TEST_F(FidoBaseTest, ReadsHeaderFieldsAttributesAndTheReadMark) {
    // "Привет" in CP866 as the sender.
    Write("2.msg", MessageFile("\x8F\xE0\xA8\xA2\xA5\xE2", "All", "Subj", "Body\r", 0x0102, 0x0010));
    Write("3.msg", MessageFile("a", "b", "c", "Body\r", 0x0004, 0));
    auto base = OpenBase();
    ASSERT_TRUE(base->First());
    base->ReadHeader();
    EXPECT_EQ(base->FromName, "\xCF\xF0\xE8\xE2\xE5\xF2");
    EXPECT_EQ(base->ToName, "All");
    EXPECT_EQ(base->Subject, "Subj");
    EXPECT_EQ(base->Date, EncodeDateTime(2026, 1, 1, 10, 20, 30));
    EXPECT_TRUE(base->Read);

    base->ReadMessage(0);
    EXPECT_EQ(base->Attr, AttrLocal | AttrCrash);
    std::string names;
    base->GetAttrText(names);
    EXPECT_EQ(names, "Crs Loc ");

    ASSERT_TRUE(base->Next());
    base->ReadToAndRead();
    EXPECT_EQ(base->ToName, "b");
    EXPECT_FALSE(base->Read);  // Recd in the attribute word is not this program's mark
    base->ReadHeader();
    EXPECT_FALSE(base->Read);
}

TEST_F(FidoBaseTest, ReadMessageLeavesTheReadMarkOfTheList) {
    Write("2.msg", MessageFile("a", "b", "c", "x\r", 0, 0x0010));
    auto base = OpenBase();
    base->Read = false;
    base->ReadMessage(0);
    EXPECT_FALSE(base->Read);
    base->Read = true;
    base->ReadMessage(0);
    EXPECT_TRUE(base->Read);
}

TEST_F(FidoBaseTest, ControlLinesAnywhereLeaveTheBody) {
    Write(
        "2.msg",
        MessageFile("a", "b", "c",
                    "\x01MSGID: 2:5020/7 0000f001\r\x01REPLY: 2:5020/8 1\rLine one\r\x01MIDDLE: x\rLine two\r"
                    "SEEN-BY: 5020/1\r\x01PATH: 5020/2\r\0garbage after the end"));
    auto base = OpenBase();
    base->First();
    base->ReadHeader();
    EXPECT_EQ(base->Kludges, (std::vector<std::string>{"MSGID: 2:5020/7 0000f001", "REPLY: 2:5020/8 1"}));
    EXPECT_EQ(base->MsgId, "2:5020/7 0000f001");
    EXPECT_EQ(base->ReplyId, "2:5020/8 1");
    base->MsgId = "x";
    base->ReadMsgId();
    EXPECT_EQ(base->MsgId, "2:5020/7 0000f001");

    base->ReadMessage(0);
    EXPECT_EQ(base->Kludges, (std::vector<std::string>{"MSGID: 2:5020/7 0000f001", "REPLY: 2:5020/8 1",
                                                       "MIDDLE: x", "PATH: 5020/2"}));
    EXPECT_EQ(base->Text, "Line one\rLine two\rSEEN-BY: 5020/1\r");
    EXPECT_EQ(base->OrigAddr, "2:5020/7");
    EXPECT_EQ(base->DestAddr, "2:5020/8");
}

TEST_F(FidoBaseTest, BodyEndsInExactlyOneCrWhateverTheLastByte) {
    Write("2.msg", MessageFile("a", "b", "c", std::string("Hello\rWorld\r\0", 13)));
    Write("3.msg", MessageFile("a", "b", "c", "Hello\rWorld\r"));
    Write("4.msg", MessageFile("a", "b", "c", "Hello\rWorld"));  // no final line end: nothing is lost
    Write("5.msg", MessageFile("a", "b", "c",
                               "Soft\x8D"
                               "CR and LF\r\n"));
    auto base = OpenBase();
    for (int i = 0; i < 3; ++i) {
        base->ReadMessage(i);
        EXPECT_EQ(base->Text, "Hello\rWorld\r") << i;
    }
    base->ReadMessage(3);
    // 0x8D is the letter "Н" in the stored code page: it stays a letter.
    EXPECT_EQ(base->Text,
              "Soft\xCD"
              "CR and LF\r");
}

TEST_F(FidoBaseTest, NetmailAddressesComeFromTheHeaderAndControlLines) {
    std::string file = MessageFile("a", "b", "c",
                                   "\x01INTL 2:5020/1 1:2/3\r\x01"
                                   "FMPT 4\rText\r");
    Put16(file, 168, 99);      // origNode, overridden by INTL
    Put16(file, 182, 0x4800);  // origPoint holding another writer's date: ignored
    Write("2.msg", file);
    std::string plain = MessageFile("a", "b", "c", "Text\r");
    Put16(plain, 178, 2), Put16(plain, 172, 5020), Put16(plain, 168, 7);
    Put16(plain, 176, 2), Put16(plain, 174, 5020), Put16(plain, 166, 1);
    Write("3.msg", plain);

    auto base = OpenBase(true);
    base->ReadMessage(0);
    EXPECT_EQ(base->OrigAddr, "1:2/3.4");
    EXPECT_EQ(base->DestAddr, "2:5020/1");
    base->ReadMessage(1);
    EXPECT_EQ(base->OrigAddr, "2:5020/7");
    EXPECT_EQ(base->DestAddr, "2:5020/1");
}

TEST_F(FidoBaseTest, DamagedFilesReadAsEmptyOrPartialWithoutErrors) {
    Write("2.msg", std::string(100, 'x'));                              // shorter than a header
    Write("3.msg", MessageFile("a", "b", "c", ""));                     // only a header
    Write("4.msg", std::string(190, 'A') + "Body\r");                   // strings without NUL
    Write("5.msg", MessageFile("a", "b", "c", "\x01PID: never ends"));  // endless control line
    Write("6.msg", MessageFile("a", "b", "c",
                               "\x01"
                               "FMPT x\r\x01MSGID: 2:5020/1 1\rText\r"));
    Write("7.msg", MessageFile("a", "b", "c", "Text\r", 0, 0, "99 Xyz 99  99:99:99"));
    Write("8.msg", "");
    auto base = OpenBase(true);
    ASSERT_EQ(base->Count(), 7);
    for (int i = 0; i < base->Count(); ++i) {
        EXPECT_NO_THROW(base->ReadMessage(i)) << i;
        base->Seek(i);
        EXPECT_NO_THROW(base->ReadHeader()) << i;
        EXPECT_NO_THROW(base->ReadMsgId()) << i;
        EXPECT_NO_THROW(base->ReadToAndRead()) << i;
    }
    base->ReadMessage(0);
    EXPECT_EQ(base->FromName, "");
    EXPECT_EQ(base->Text, "");
    base->ReadMessage(1);
    EXPECT_EQ(base->FromName, "a");
    EXPECT_EQ(base->Text, "");
    EXPECT_TRUE(base->Kludges.empty());
    base->ReadMessage(2);
    EXPECT_EQ(base->FromName, std::string(36, 'A'));
    EXPECT_EQ(base->Subject, std::string(72, 'A'));
    EXPECT_EQ(base->Text, "Body\r");
    base->ReadMessage(3);
    EXPECT_EQ(base->Kludges, std::vector<std::string>{"PID: never ends"});
    EXPECT_EQ(base->Text, "");
    base->ReadMessage(4);  // the bad point is dropped, everything else is read
    EXPECT_EQ(base->MsgId, "2:5020/1 1");
    EXPECT_EQ(base->Text, "Text\r");
    base->ReadMessage(5);  // a bad date leaves the date empty but the message readable
    EXPECT_EQ(base->Date, 0.0);
    EXPECT_EQ(base->Text, "Text\r");

    // Reading never wrote anything.
    EXPECT_EQ(Contents("2.msg"), std::string(100, 'x'));
    base->Seek(0);
    base->MarkRead();
    EXPECT_EQ(Contents("2.msg"), std::string(100, 'x'));
}

TEST_F(FidoBaseTest, MarkReadSetsOnlyTheReadBit) {
    Write("2.msg", MessageFile("a", "b", "c", "Text\r", 0x0102, 0x0001));
    auto base = OpenBase();
    base->Seek(0);
    base->MarkRead();
    const std::string bytes = Contents("2.msg");
    EXPECT_EQ(Get16(bytes, 188), 0x0011);
    EXPECT_EQ(Get16(bytes, 186), 0x0102);
    EXPECT_EQ(bytes.size(), TFidoBase::HeaderSize + 5);
    base->ReadToAndRead();
    EXPECT_TRUE(base->Read);
}

TEST_F(FidoBaseTest, DeletedMessagesKeepTheirPosition) {
    Write("2.msg", MessageFile("a", "b", "c", "one\r"));
    Write("3.msg", MessageFile("d", "e", "f", "two\r"));
    auto base = OpenBase();
    base->ReadMessage(0);
    EXPECT_TRUE(base->CheckCurrent());
    EXPECT_TRUE(base->DeleteCurrent());
    EXPECT_FALSE(base->CheckCurrent());
    EXPECT_FALSE(base->DeleteCurrent());
    EXPECT_EQ(base->Count(), 2);
    base->ReadMessage(0);
    EXPECT_EQ(base->FromName, "");
    EXPECT_EQ(base->Text, "");
    base->ReadMessage(1);
    EXPECT_EQ(base->FromName, "d");
    base->Seek(5);
    EXPECT_FALSE(base->IsValid());
    EXPECT_FALSE(base->DeleteCurrent());
    base->ReadMessage(-1);
    EXPECT_FALSE(base->IsValid());
}

TEST_F(FidoBaseTest, WritesEchomailPrivateWithTearlineAndOrigin) {
    auto base = OpenBase();
    base->NewMessage();
    base->FromName = "\xC8\xE2\xE0\xED";  // "Иван"
    base->ToName = std::string(50, 'T');
    base->Subject = std::string(80, 'S');
    base->Date = EncodeDateTime(2026, 12, 9, 8, 7, 6);
    base->OrigAddr = "2:5020/1.5";
    base->DestAddr = "2:5020/2";
    base->Attr = AttrLocal | AttrDirect | AttrFileAttach;
    base->Read = true;
    base->Kludges = {"MSGID: 2:5020/1.5 00000001"};
    base->Text = "Hello\r\r";
    ASSERT_TRUE(base->WriteMessage());

    const std::string bytes = Contents("2.msg");
    ASSERT_GE(bytes.size(), TFidoBase::HeaderSize);
    EXPECT_EQ(bytes.substr(0, 5), "\x88\xA2\xA0\xAD\0"s);
    EXPECT_EQ(bytes.substr(36, 36), std::string(35, 'T') + '\0');
    EXPECT_EQ(bytes.substr(72, 72), std::string(71, 'S') + '\0');
    EXPECT_EQ(bytes.substr(144, 20), "09 Dec 26  08:07:06"s + '\0');
    EXPECT_EQ(Get16(bytes, 186), 0x0001 | 0x0100 | 0x0010);
    EXPECT_EQ(Get16(bytes, 188), 0x0010);
    EXPECT_EQ(Get16(bytes, 178), 2);
    EXPECT_EQ(Get16(bytes, 172), 5020);
    EXPECT_EQ(Get16(bytes, 168), 1);
    EXPECT_EQ(Get16(bytes, 182), 5);
    EXPECT_EQ(Get16(bytes, 166), 2);  // *.MSG keeps the destination even in echomail
    EXPECT_EQ(bytes.substr(TFidoBase::HeaderSize),
              "\x01MSGID: 2:5020/1.5 00000001\r\x01"
              "FLAGS DIR\rHello\r--- Automatically added by Pelmar\r"
              " * Origin: Automatically added (2:5020/1.5)\r");

    base->ReadMessage(0);
    EXPECT_EQ(base->Attr, AttrLocal | AttrDirect | AttrFileAttach);
}

TEST_F(FidoBaseTest, WritesNetmailAddressingLinesFirst) {
    auto base = OpenBase(true);
    base->NewMessage();
    base->OrigAddr = "2:5020/1.5";
    base->DestAddr = "2:5020/2.7";
    base->Kludges = {"MSGID: 2:5020/1.5 00000001", "PID: Plm 1.0"};
    base->Text = "Hi\r";
    ASSERT_TRUE(base->WriteMessage());
    const std::string bytes = Contents("2.msg");
    EXPECT_EQ(bytes.substr(TFidoBase::HeaderSize),
              "\x01INTL 2:5020/2 2:5020/1\r\x01TOPT 7\r\x01"
              "FMPT 5\r\x01MSGID: 2:5020/1.5 00000001\r"
              "\x01PID: Plm 1.0\rHi\r");

    base->ReadMessage(0);
    EXPECT_EQ(base->OrigAddr, "2:5020/1.5");
    EXPECT_EQ(base->DestAddr, "2:5020/2.7");
}

TEST_F(FidoBaseTest, NewMessageNeverOverwritesAFileAddedAfterOpen) {
    Write("2.msg", MessageFile("a", "b", "c", "old\r"));
    auto base = OpenBase();
    const std::string tossed = MessageFile("tosser", "b", "c", "tossed meanwhile\r");
    Write("3.msg", tossed);
    Write("4.MSG", tossed);
    base->NewMessage();
    EXPECT_EQ(base->MsgFiles.back(), "3");
    base->FromName = "me";
    ASSERT_TRUE(base->WriteMessage());
    EXPECT_EQ(Contents("3.msg"), tossed);
    EXPECT_EQ(Contents("4.MSG"), tossed);
    EXPECT_EQ(base->MsgFiles.back(), "5");
    EXPECT_TRUE(fs::exists(Path("5.msg")));
    base->ReadMessage(base->Current);
    EXPECT_EQ(base->FromName, "me");
}

TEST_F(FidoBaseTest, RewriteReplacesTheMessageInPlace) {
    Write("2.msg", MessageFile("a", "b", "c", "old\r"));
    Write("3.msg", MessageFile("d", "e", "f", "next\r"));
    auto base = OpenBase(true);
    base->NewMessage();  // abandoned: the edit below must still rewrite 2.msg, not become a new file
    base->Seek(0);
    base->PrepareRewrite();
    EXPECT_EQ(base->FromName, "");
    base->FromName = "edited";
    base->Text = "new\r";
    ASSERT_TRUE(base->WriteMessage());
    EXPECT_EQ(base->Current, 0);
    EXPECT_EQ(base->MsgFiles[0], "2");
    EXPECT_FALSE(fs::exists(Path("4.msg")));
    base->ReadMessage(0);
    EXPECT_EQ(base->FromName, "edited");
    EXPECT_EQ(base->Text, "new\r");
    EXPECT_FALSE(fs::exists(Path("2.$$$")));
    EXPECT_EQ(Contents("3.msg"), MessageFile("d", "e", "f", "next\r"));
}

TEST_F(FidoBaseTest, FailedWriteIsReported) {
    auto base = OpenBase();
    base->NewMessage();
    fs::remove_all(dir_.Path());
    EXPECT_FALSE(base->WriteMessage());
}

TEST_F(FidoBaseTest, WriteTouchesTheFlagFileOfItsKind) {
    test::TempDir flags;
    Settings.bNetFlag = true;
    Settings.NetFlag = flags.File("net.flg");
    Settings.bEchoFlag = true;
    Settings.EchoFlag = flags.File("echo.flg");
    auto base = OpenBase(true);
    base->NewMessage();
    ASSERT_TRUE(base->WriteMessage());
    EXPECT_TRUE(fs::exists(flags.File("net.flg")));
    EXPECT_FALSE(fs::exists(flags.File("echo.flg")));
}

TEST_F(FidoBaseTest, DeleteAllMessagesEmptiesTheDraftFolder) {
    Write("2.msg", MessageFile("a", "b", "c", "x\r"));
    Write("notes.MSG", "x");
    Write("other.txt", "x");
    auto base = OpenBase();
    base->DeleteAllMessages();
    EXPECT_EQ(base->Count(), 0);
    EXPECT_FALSE(fs::exists(Path("2.msg")));
    EXPECT_FALSE(fs::exists(Path("notes.MSG")));
    EXPECT_TRUE(fs::exists(Path("other.txt")));
    base->NewMessage();
    ASSERT_TRUE(base->WriteMessage());
    EXPECT_TRUE(fs::exists(Path("2.msg")));
}

}  // namespace
}  // namespace pelmar
