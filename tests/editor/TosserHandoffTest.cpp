// The lists a tosser reads (echotoss.log, echomail.jam) are shared with it: a change waits for the
// tosser's lock, keeps every line already there and follows a list the tosser removed.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "editor/AfterSend.h"
#include "editor/LockedFile.h"
#include "editor/TosserHandoff.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

TEST(EchoTossLog, TagAddedOnceCaseInsensitivelyKeepingTheLinesThere) {
    struct TRow {
        const char* Before;
        const char* Tag;
        const char* After;
    };
    const TRow rows[] = {
        {nullptr, "SU.GENERAL", "SU.GENERAL\n"},
        {"su.general\n", "SU.GENERAL", "su.general\n"},
        {"R50.SYSOP\r\n  Su.General \r\n", "SU.GENERAL", "R50.SYSOP\r\n  Su.General \r\n"},
        // A last line without its end, and a tag that only starts like ours.
        {"R50.SYSOP\r\nSU.GENERAL.TALK", "SU.GENERAL", "R50.SYSOP\r\nSU.GENERAL.TALK\nSU.GENERAL\n"},
    };
    for (const TRow& row : rows) {
        test::TempDir dir;
        const std::string log = dir.File("echotoss.log");
        if (row.Before != nullptr) test::WriteFile(log, row.Before);
        EXPECT_EQ(AddEchoTossTag(log, row.Tag), "") << row.Tag;
        EXPECT_EQ(test::ReadFile(log), row.After) << (row.Before ? row.Before : "(no file)");
    }
}

TEST(EchoTossLog, UnwritablePathIsReported) {
    test::TempDir dir;
    EXPECT_NE(AddEchoTossTag(dir.File("no/such/folder/echotoss.log"), "SU.GENERAL"), "");
    EXPECT_NE(AddEchoTossTag(dir.Path().string(), "SU.GENERAL"), "");  // a folder, not a file
}

// A tosser in another process holding the list locked (a record lock or a flock) until told to go
// on; then it appends its own line, or removes the list as it does once it has read it.
class TTosserHoldingTheList {
public:
    enum TLock { Record, Flock };
    enum TThen { Append, Remove, Hold };
    TTosserHoldingTheList(const std::string& path, TLock kind, TThen then) {
        int ready[2];
        if (::pipe(ready) != 0 || ::pipe(go_) != 0) return;
        child_ = ::fork();
        if (child_ == 0) {
            const int fd = ::open(path.c_str(), O_RDWR | O_APPEND);
            struct flock lock {};
            lock.l_type = F_WRLCK;
            lock.l_whence = SEEK_SET;
            const bool locked =
                fd >= 0 && (kind == Record ? ::fcntl(fd, F_SETLK, &lock) == 0 : ::flock(fd, LOCK_EX) == 0);
            const char c = locked ? 'L' : 'E';
            (void)!::write(ready[1], &c, 1);
            char g = 0;
            if (::read(go_[0], &g, 1) != 1 || then == Hold) ::_exit(0);
            if (then == Append) (void)!::write(fd, "CHILD.TAG\n", 10);
            if (then == Remove) ::unlink(path.c_str());
            ::_exit(0);
        }
        char c = 0;
        Locked = ::read(ready[0], &c, 1) == 1 && c == 'L';
        ::close(ready[0]);
        ::close(ready[1]);
    }
    ~TTosserHoldingTheList() {
        if (child_ <= 0) return;
        ::kill(child_, SIGKILL);
        ::waitpid(child_, nullptr, 0);
    }
    // Lets the child act and release its lock; waits until it has.
    void GoOn() {
        if (released_ || child_ <= 0) return;
        released_ = true;
        (void)!::write(go_[1], "g", 1);
        ::waitpid(child_, nullptr, 0);
        child_ = -1;
    }
    bool Locked = false;

private:
    pid_t child_ = -1;
    int go_[2] = {-1, -1};
    bool released_ = false;
};

TEST(EchoTossLog, WaitsForTheTossersLockAndKeepsWhatItWrote) {
    struct TRow {
        TTosserHoldingTheList::TLock Lock;
        TTosserHoldingTheList::TThen Then;
        const char* After;
    };
    const TRow rows[] = {
        {TTosserHoldingTheList::Record, TTosserHoldingTheList::Append, "R50.SYSOP\nCHILD.TAG\nSU.GENERAL\n"},
        {TTosserHoldingTheList::Flock, TTosserHoldingTheList::Append, "R50.SYSOP\nCHILD.TAG\nSU.GENERAL\n"},
        // The tosser took the list while we waited: the tag goes into a new one, not the removed file.
        {TTosserHoldingTheList::Record, TTosserHoldingTheList::Remove, "SU.GENERAL\n"},
    };
    for (const TRow& row : rows) {
        test::TempDir dir;
        const std::string log = dir.File("echotoss.log");
        test::WriteFile(log, "R50.SYSOP\n");
        TTosserHoldingTheList tosser(log, row.Lock, row.Then);
        ASSERT_TRUE(tosser.Locked);
        int busy = 0;
        // The tosser goes on only once we found its lock: we must have waited for it.
        TLockedFile::SetBusyHookForTesting([&] {
            ++busy;
            tosser.GoOn();
        });
        const std::string error = AddEchoTossTag(log, "SU.GENERAL");
        TLockedFile::SetBusyHookForTesting(nullptr);
        EXPECT_EQ(error, "");
        EXPECT_GE(busy, 1);
        EXPECT_EQ(test::ReadFile(log), row.After);
    }
}

TEST(EchoTossLog, LockNeverReleasedIsReportedAndTheListUntouched) {
    test::TempDir dir;
    const std::string log = dir.File("echotoss.log");
    test::WriteFile(log, "R50.SYSOP\n");
    TTosserHoldingTheList tosser(log, TTosserHoldingTheList::Record, TTosserHoldingTheList::Hold);
    ASSERT_TRUE(tosser.Locked);
    TLockedFile::SetWaitForTesting(0);
    const std::string error = AddEchoTossTag(log, "SU.GENERAL");
    TLockedFile::SetWaitForTesting(5000);
    EXPECT_NE(error, "");
    EXPECT_EQ(test::ReadFile(log), "R50.SYSOP\n");
}

TEST(AfterSendLog, KeepsTheNewestEntriesBelowItsLimit) {
    test::TempDir dir;
    const std::string log = dir.File("aftersend.log");
    for (int i = 0; i < 40; ++i) {
        const TCommandOutcome outcome{TCommandOutcome::Exited, i % 2,
                                      "scan number " + std::to_string(i) + "\n"};
        ASSERT_EQ(AppendAfterSendLog(log, "hpt scan", outcome, 0, 1000), "");
    }
    const std::string text = test::ReadFile(log);
    EXPECT_LE(text.size(), 1000u);
    EXPECT_EQ(text.find("scan number 0\n"), std::string::npos);
    EXPECT_NE(text.find("scan number 39\n=== завершилась с кодом 1\n"), std::string::npos) << text;
    EXPECT_EQ(text.rfind("=== ", 0), 0u) << "the log must start at an entry's line";
    EXPECT_NE(AppendAfterSendLog(dir.File("no/such/folder/log"), "x", {}, 0), "");
}

// A command that forks and keeps running is stopped with everything it started.
TEST(AfterSendCommand, StuckCommandIsStoppedWithWhatItStarted) {
    const TCommandOutcome stuck = RunShellCommand("sleep 600 & sleep 600", 100);
    EXPECT_EQ(stuck.Kind, TCommandOutcome::TimedOut);
    EXPECT_FALSE(stuck.Ok());
}

}  // namespace
}  // namespace pelmar
