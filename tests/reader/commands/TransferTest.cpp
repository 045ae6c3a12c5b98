// Delete, copy and move between JAM bases, with a second process holding the target's lock; copy
// and move between formats keep the stored bytes of the message.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "areas/gizmo.h"
#include "core/Settings.h"
#include "msgbase/BaseFactory.h"
#include "msgbase/Hudson.h"
#include "msgbase/Jam.h"
#include "reader/MessageTransfer.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

std::vector<TItemResult> ResultsOf(const std::vector<TItemOutcome>& outcomes) {
    std::vector<TItemResult> results;
    for (const TItemOutcome& outcome : outcomes) results.push_back(outcome.Result);
    return results;
}

class Transfer : public ::testing::Test {
protected:
    void SetUp() override {
        Settings = TSettings{};
        Create(source, "source", 3);
        Create(target, "target", 0);
        sourceArea.MsgCount = 3;
    }
    void TearDown() override { Settings = TSettings{}; }

    void Create(TJAM& jam, const std::string& stem, int messages) {
        jam.SetPath(dir.File(stem));
        jam.CreateBase();
        jam.Open();
        ASSERT_TRUE(jam.Active);
        for (int i = 0; i < messages; ++i) {
            jam.NewMessage();
            jam.FromName = "Writer";
            jam.ToName = "All";
            jam.Subject = "subject " + std::to_string(i);
            jam.OrigAddr = "2:5020/1";
            jam.Text = "text " + std::to_string(i) + "\r";
            jam.Date = EncodeDateTime(2026, 12, 1, 10, i, 0);
            ASSERT_TRUE(jam.WriteMessage());
        }
    }

    // The list's view of the message at a position, as read now.
    TListedMessage Listed(int32_t position) {
        source.Seek(position);
        source.ReadHeader();
        return {position, {source.MsgId, source.FromName, source.ToName, source.Subject, source.Date}, false};
    }

    std::vector<std::string> Subjects(TJAM& jam) {
        std::vector<std::string> subjects;
        for (bool more = jam.First(); more; more = jam.Next()) {
            jam.ReadHeader();
            if (jam.CheckCurrent()) continue;  // deleted
            subjects.push_back(jam.Subject);
        }
        return subjects;
    }

    test::ScopedHome home;
    test::TempDir dir;
    TJAM source, target;
    TAreaInfo sourceArea, targetArea;
};

TEST_F(Transfer, DeleteOneAndSeveralCountsOnlyWhatWentAndSkipsChangedMessages) {
    std::vector<TListedMessage> items = {Listed(0), Listed(1), Listed(2)};
    items[1].Deleted = true;
    items[2].Identity.Subject = "listed before the tosser changed it";
    const std::vector<TItemOutcome> outcomes = DeleteListed(sourceArea, source, items);
    EXPECT_EQ(ResultsOf(outcomes),
              (std::vector<TItemResult>{TItemResult::Done, TItemResult::Skipped, TItemResult::Changed}));
    EXPECT_EQ(sourceArea.MsgCount, 2);
    EXPECT_EQ(Subjects(source), (std::vector<std::string>{"subject 1", "subject 2"}));
}

TEST_F(Transfer, CopyThenMoveDeletesOnlyTheCopied) {
    const std::vector<TListedMessage> items = {Listed(0), Listed(2)};
    const TCopyOutcome outcome = CopyListed(source, items, targetArea, target);
    EXPECT_EQ(outcome.Copied, 2);
    EXPECT_FALSE(outcome.Refused);
    EXPECT_EQ(targetArea.MsgCount, 2);
    EXPECT_EQ(Subjects(target), (std::vector<std::string>{"subject 0", "subject 2"}));
    EXPECT_EQ(ResultsOf(DeleteListed(sourceArea, source, CopiedItems(items, outcome))),
              (std::vector<TItemResult>{TItemResult::Done, TItemResult::Done}));
    EXPECT_EQ(Subjects(source), std::vector<std::string>{"subject 1"});
    EXPECT_EQ(sourceArea.MsgCount, 1);
}

TEST_F(Transfer, MoveIntoABaseAnotherProcessHoldsKeepsTheOriginals) {
    int locked[2], release[2];
    ASSERT_EQ(pipe(locked), 0);
    ASSERT_EQ(pipe(release), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A tosser's record lock on the header file's first byte.
        const int fd = open((dir.File("target") + ".jhr").c_str(), O_RDWR);
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        lock.l_start = 0;
        lock.l_len = 1;
        const bool ok = fd >= 0 && fcntl(fd, F_SETLK, &lock) == 0;
        (void)!write(locked[1], ok ? "y" : "n", 1);
        char c;
        (void)!read(release[0], &c, 1);
        _exit(0);
    }
    char answer = 0;
    ASSERT_EQ(read(locked[0], &answer, 1), 1);
    ASSERT_EQ(answer, 'y');

    const std::vector<TListedMessage> items = {Listed(0), Listed(1)};
    const TCopyOutcome outcome = CopyListed(source, items, targetArea, target);
    EXPECT_TRUE(outcome.Refused);
    EXPECT_EQ(outcome.Copied, 0);
    // The second item is not tried: it is refused for the same reason.
    EXPECT_EQ(ResultsOf(outcome.Results),
              (std::vector<TItemResult>{TItemResult::Refused, TItemResult::Refused}));
    EXPECT_EQ(outcome.Results[0].Reason, JamWriteLockText());
    EXPECT_EQ(targetArea.MsgCount, 0);
    EXPECT_TRUE(CopiedItems(items, outcome).empty());
    DeleteListed(sourceArea, source, CopiedItems(items, outcome));
    EXPECT_EQ(Subjects(source).size(), 3u);
    EXPECT_EQ(sourceArea.MsgCount, 3);

    (void)!write(release[1], "x", 1);
    int status = 0;
    waitpid(child, &status, 0);
    for (int fd : {locked[0], locked[1], release[0], release[1]}) close(fd);
}

TEST_F(Transfer, WarningsOfStoredCopiesReachTheUserOnce) {
    const std::filesystem::path hudsonDir = dir.Path() / "hudson";
    THudson hudson;
    hudson.SetPath(std::string(1, '\x01') + hudsonDir.string());
    hudson.CreateBase();
    hudson.Open();
    ASSERT_TRUE(hudson.Active);
    // The tosser's export list cannot be written: both messages are stored all the same.
    std::filesystem::create_directory(hudsonDir / "echomail.bbs");
    TAreaInfo hudsonArea;
    const TCopyOutcome outcome = CopyListed(source, {Listed(0), Listed(1)}, hudsonArea, hudson);
    EXPECT_EQ(outcome.Copied, 2);
    EXPECT_EQ(hudsonArea.MsgCount, 2);
    ASSERT_EQ(outcome.Warnings.size(), 1u);
    EXPECT_NE(outcome.Warnings[0].find("echomail.bbs"), std::string::npos);
}

// What a raw read of a message finds: the bytes a copy must carry unchanged.
struct TStoredMessage {
    std::string FromName, ToName, Subject, Text, Chrs;
    bool operator==(const TStoredMessage&) const = default;
};

TStoredMessage StoredAt(TMessageBase& base, int32_t position) {
    base.RawText = true;
    base.ReadMessage(position);
    base.RawText = false;
    TStoredMessage stored{base.FromName, base.ToName, base.Subject, base.Text, {}};
    for (const std::string& line : base.Kludges) {
        if (line.rfind("CHRS:", 0) == 0) stored.Chrs = line;
    }
    return stored;
}

TListedMessage ListedIn(TMessageBase& base, int32_t position) {
    base.Seek(position);
    base.ReadHeader();
    return {position, {base.MsgId, base.FromName, base.ToName, base.Subject, base.Date}, false};
}

std::unique_ptr<TMessageBase> OpenNew(int kind, const std::string& path) {
    auto base = CreateMessageBase(kind);
    base->SetPath(path);
    base->CreateBase();
    base->Open();
    return base;
}

TEST(TransferCharset, CopyAndMoveKeepTheBytesOfTheDeclaredSet) {
    struct TRow {
        const char* Chrs;
        std::string Name, Subject, Body;
        bool WindowsView;
    };
    const TRow rows[] = {
        // "Вася", "эхо ✓", "Это эхо ✓": 0x8D inside "э", and a character CP1251 lacks.
        {"CHRS: UTF-8 4", "\xD0\x92\xD0\xB0\xD1\x81\xD1\x8F", "\xD1\x8D\xD1\x85\xD0\xBE \xE2\x9C\x93",
         "\xD0\xAD\xD1\x82\xD0\xBE \xD1\x8D\xD1\x85\xD0\xBE \xE2\x9C\x93\r", false},
        // KOI8-R "Вася", "Привет", and 0x8D, a block CP1251 lacks; under the Windows view.
        {"CHRS: KOI8-R 2", "\xF7\xC1\xD3\xD1", "\xF0\xD2\xC9\xD7\xC5\xD4", "\xF0\xD2\xC9\xD7\xC5\xD4 \x8D\r",
         true},
        // No declaration: CP866 "Вася", "Нет" (0x8D is "Н"), under the Windows view.
        {nullptr, "\x82\xA0\xE1\xEF", "\x8D\xA5\xE2", "\x8D\xA5\xE2 \x8F\xE0\xA8\xA2\xA5\xE2\r", true},
    };
    test::ScopedHome home;
    test::TempDir dir;
    Settings = TSettings{};
    int n = 0;
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.Chrs ? row.Chrs : "no CHRS");
        const std::string stem = std::to_string(++n);
        Settings.TextInWindowsCodePage = row.WindowsView;
        auto jam = OpenNew(BaseKindJam, dir.File("jam" + stem));
        auto msg = OpenNew(BaseKindMsg, dir.File("msg" + stem));
        auto squish = OpenNew(BaseKindSquish, dir.File("sq" + stem));
        ASSERT_TRUE(jam->Active && msg->Active && squish->Active);

        jam->RawText = true;
        jam->NewMessage();
        jam->FromName = jam->ToName = row.Name;
        jam->Subject = row.Subject;
        jam->OrigAddr = "2:5020/1";
        jam->Date = EncodeDateTime(2026, 12, 1, 10, n, 0);
        jam->Kludges = {"MSGID: 2:5020/1 0000000" + stem};
        if (row.Chrs) jam->Kludges.emplace_back(row.Chrs);
        jam->Text = row.Body;
        ASSERT_TRUE(jam->WriteMessage());
        jam->RawText = false;
        const TStoredMessage original = StoredAt(*jam, 0);
        EXPECT_EQ(original.FromName, row.Name);
        EXPECT_EQ(original.Text.substr(0, row.Body.size()), row.Body);

        TAreaInfo msgArea, squishArea;
        EXPECT_EQ(CopyListed(*jam, {ListedIn(*jam, 0)}, msgArea, *msg).Copied, 1);
        EXPECT_EQ(StoredAt(*msg, 0), original);

        const std::vector<TListedMessage> items = {ListedIn(*msg, 0)};
        const TCopyOutcome moved = CopyListed(*msg, items, squishArea, *squish);
        EXPECT_EQ(moved.Copied, 1);
        EXPECT_EQ(ResultsOf(DeleteListed(msgArea, *msg, CopiedItems(items, moved))),
                  std::vector<TItemResult>{TItemResult::Done});
        EXPECT_EQ(StoredAt(*squish, 0), original);
    }
    Settings = TSettings{};
}

TEST(Counters, ReadMarkingUsesTheEntrysAddresseeAndStopsAtZero) {
    TSettings saved = Settings;
    Settings.FullName = "Me";
    TAreaInfo area;
    area.Read = 1;
    area.PersonalUnread = 1;
    CountMarkedRead(area, "Me");
    EXPECT_EQ(area.Read, 0);
    EXPECT_EQ(area.PersonalUnread, 0);
    CountMarkedRead(area, "Me");
    EXPECT_EQ(area.Read, 0);
    EXPECT_EQ(area.PersonalUnread, 0);
    area.Read = 2;
    area.PersonalUnread = 2;
    CountMarkedRead(area, "me");  // case-sensitive, as the list compares it
    EXPECT_EQ(area.Read, 1);
    EXPECT_EQ(area.PersonalUnread, 2);
    Settings = saved;
}

}  // namespace
}  // namespace pelmar
