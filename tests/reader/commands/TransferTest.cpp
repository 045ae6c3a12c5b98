// Delete, copy and move between JAM bases, with a second process holding the target's lock.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "areas/gizmo.h"
#include "core/Settings.h"
#include "msgbase/Jam.h"
#include "reader/MessageTransfer.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

class Transfer : public ::testing::Test {
protected:
    void SetUp() override {
        Settings = TSettings{};
        SetJamErrorBox([this](const std::string& text) { boxes.push_back(text); });
        Create(source, "source", 3);
        Create(target, "target", 0);
        sourceArea.MsgCount = 3;
    }
    void TearDown() override {
        SetJamErrorBox(nullptr);
        Settings = TSettings{};
    }

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
    std::vector<std::string> boxes;
    TJAM source, target;
    TAreaInfo sourceArea, targetArea;
};

TEST_F(Transfer, DeleteOneAndSeveralCountsOnlyWhatWentAndSkipsChangedMessages) {
    std::vector<TListedMessage> items = {Listed(0), Listed(1), Listed(2)};
    items[1].Deleted = true;
    items[2].Identity.Subject = "listed before the tosser changed it";
    const std::vector<TItemResult> results = DeleteListed(sourceArea, source, items);
    EXPECT_EQ(results,
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
    EXPECT_EQ(DeleteListed(sourceArea, source, CopiedItems(items, outcome)),
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
    EXPECT_EQ(outcome.Results, std::vector<TItemResult>{TItemResult::Refused});
    EXPECT_EQ(targetArea.MsgCount, 0);
    EXPECT_EQ(boxes, std::vector<std::string>{JamWriteLockText()});
    EXPECT_TRUE(CopiedItems(items, outcome).empty());
    DeleteListed(sourceArea, source, CopiedItems(items, outcome));
    EXPECT_EQ(Subjects(source).size(), 3u);
    EXPECT_EQ(sourceArea.MsgCount, 3);

    (void)!write(release[1], "x", 1);
    int status = 0;
    waitpid(child, &status, 0);
    for (int fd : {locked[0], locked[1], release[0], release[1]}) close(fd);
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
