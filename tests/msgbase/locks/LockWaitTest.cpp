// The writers' lock of Squish, JAM and Hudson as another program holds it: writes wait a moment
// for it, refusals say why, and MarkRead sets the read mark only under that lock.
#include <gtest/gtest.h>

#include <ostream>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "core/Codepage.h"
#include "core/Settings.h"
#include "msgbase/BaseFactory.h"
#include "msgbase/Hudson.h"
#include "msgbase/Jam.h"
#include "msgbase/ShortLockWaits.h"
#include "msgbase/Squish.h"
#include "msgbase/TosserLock.h"
#include "support/TestSupport.h"

namespace pelmar::test {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

struct TFormat {
    int Kind;
    const char* Name;
    const char* LockedFile;  // relative to the test folder
    uint64_t LockLength;
    const std::string& (*WriteRefusal)();
    const std::string& (*DeleteRefusal)();
};

// Test names and listings show the format's name, not the record's bytes.
void PrintTo(const TFormat& format, std::ostream* out) {
    *out << format.Name;
}

const TFormat Formats[] = {
    {BaseKindSquish, "Squish", "area.sqd", 1, SquishWriteLockText, SquishDeleteLockText},
    {BaseKindJam, "JAM", "area.jhr", 1, JamWriteLockText, JamDeleteLockText},
    {BaseKindHudson, "Hudson", "hudson/msginfo.bbs", 406, HudsonWriteLockText, HudsonDeleteLockText},
};

class LockWaitTest : public ::testing::TestWithParam<TFormat> {
protected:
    void SetUp() override {
        Settings = TSettings{};
        Settings.bNetFlag = Settings.bEchoFlag = false;
        Base = Make();
        Base->CreateBase();
        Base->Open();
        ASSERT_TRUE(Base->Active);
        ASSERT_TRUE(Post("existing"));
    }
    void TearDown() override { Settings = TSettings{}; }

    std::unique_ptr<TMessageBase> Make() const {
        auto base = CreateMessageBase(GetParam().Kind);
        if (GetParam().Kind == BaseKindHudson)
            base->SetPath(std::string(1, '\x01') + (Dir.Path() / "hudson").string());
        else
            base->SetPath(Dir.File("area"));
        return base;
    }
    std::string Locked() const { return Dir.File(GetParam().LockedFile); }

    bool Post(const std::string& subject) {
        Base->NewMessage();
        Base->FromName = "Writer";
        Base->ToName = "All";
        Base->Subject = subject;
        Base->OrigAddr = "2:5020/1";
        Base->Date = EncodeDateTime(2026, 12, 1, 10, 0, 0);
        Base->Text = subject + "\r";
        return Base->WriteMessage();
    }
    // Read marks of all messages as a fresh reader sees them.
    std::vector<bool> ReadMarks() const {
        auto reader = Make();
        reader->Open();
        std::vector<bool> marks;
        for (bool ok = reader->First(); ok; ok = reader->Next()) {
            reader->ReadToAndRead();
            marks.push_back(reader->Read);
        }
        return marks;
    }

    TempDir Dir;
    std::unique_ptr<TMessageBase> Base;
};

// Bounds below are far from the waits they tell apart, so a busy machine cannot fail them.
TEST_P(LockWaitTest, WritesWaitForALockHeldOnlyForAMoment) {
    const TShortLockWaits waits(milliseconds(30000));
    const TTosserLock tosser(Locked(), GetParam().LockLength, 300);
    ASSERT_TRUE(tosser.Locked);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(Post("after the tosser"));
    EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(200));
    ASSERT_TRUE(Base->First());
    EXPECT_TRUE(Base->DeleteCurrent());
    EXPECT_EQ(Base->LastError, "");
    EXPECT_EQ(Base->Count(), 1);
}

TEST_P(LockWaitTest, LongHeldLockRefusesAfterTheWaitAndSaysWhy) {
    const TShortLockWaits waits(milliseconds(200));
    const TTosserLock tosser(Locked(), GetParam().LockLength, 60000);
    ASSERT_TRUE(tosser.Locked);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Post("refused"));
    const std::string writeReason = Base->LastError;
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, milliseconds(200));
    EXPECT_LT(waited, milliseconds(30000));  // the tosser holds on for a minute
    ASSERT_TRUE(Base->First());
    EXPECT_FALSE(Base->DeleteCurrent());
    // The base says why to its caller and shows nothing itself.
    EXPECT_EQ(writeReason, GetParam().WriteRefusal());
    EXPECT_EQ(Base->LastError, GetParam().DeleteRefusal());
    EXPECT_NE(AnsiToUtf8(writeReason).find(std::string(GetParam().Name) + "-базе"), std::string::npos);
}

TEST_P(LockWaitTest, MarkReadUnderAHeldLockLeavesTheMessageUnreadWithoutWaiting) {
    const TShortLockWaits waits(milliseconds(60000), milliseconds(50));
    {
        const TTosserLock tosser(Locked(), GetParam().LockLength, 60000);
        ASSERT_TRUE(tosser.Locked);
        ASSERT_TRUE(Base->First());
        const auto start = std::chrono::steady_clock::now();
        EXPECT_NO_THROW(Base->MarkRead());
        EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(30000));  // not the writers' wait
        EXPECT_EQ(ReadMarks(), std::vector<bool>{false});
    }
    // Marked on the next show, once the lock is free.
    ASSERT_TRUE(Base->First());
    Base->MarkRead();
    EXPECT_EQ(ReadMarks(), std::vector<bool>{true});
}

TEST_P(LockWaitTest, MarkReadLeavesAMessageAnotherWriterReplacedAlone) {
    // Hudson rewrites in place under the same number: the mark then still belongs to that message.
    if (GetParam().Kind == BaseKindHudson) GTEST_SKIP() << "rewritten in place";
    ASSERT_TRUE(Base->First());
    auto other = Make();
    other->Open();
    ASSERT_TRUE(other->First());
    other->Seek(other->Current);
    other->PrepareRewrite();
    other->FromName = "Editor";
    other->ToName = "All";
    other->Subject = "edited";
    other->OrigAddr = "2:5020/1";
    other->Text = "edited\r";
    ASSERT_TRUE(other->WriteMessage());
    Base->MarkRead();  // still positioned on the message as it was before the edit
    EXPECT_EQ(ReadMarks(), std::vector<bool>{false});
}

// A pack by the tosser moves another message into the record the list points at.
TEST(HudsonMarkRead, LeavesAnotherMessageInTheRecordAlone) {
    Settings = TSettings{};
    Settings.bNetFlag = Settings.bEchoFlag = false;
    TempDir dir;
    const std::string path = std::string(1, '\x01') + (dir.Path() / "hudson").string();
    THudson hudson;
    hudson.SetPath(path);
    hudson.CreateBase();
    hudson.Open();
    hudson.NewMessage();
    hudson.OrigAddr = "2:5020/1";
    hudson.Text = "x\r";
    ASSERT_TRUE(hudson.WriteMessage());
    ASSERT_TRUE(hudson.First());
    // MsgNum of header record 0 becomes another number, as after a pack.
    const fs::path header = dir.Path() / "hudson" / "msghdr.bbs";
    std::string bytes = ReadFile(header);
    bytes[0] = '\x07';
    WriteFile(header, bytes);
    hudson.MarkRead();
    EXPECT_EQ(ReadFile(header), bytes);
    EXPECT_FALSE(hudson.Read);
    Settings = TSettings{};
}

INSTANTIATE_TEST_SUITE_P(Formats, LockWaitTest, ::testing::ValuesIn(Formats),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace pelmar::test
