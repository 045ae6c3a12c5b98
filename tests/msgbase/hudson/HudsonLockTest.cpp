// Two processes on one Hudson base: whoever holds the MSGINFO.BBS lock makes the other's writes and
// deletes return false, and nothing of the holder's data is lost.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "HudsonBuilder.h"
#include "msgbase/Hudson.h"
#include "msgbase/ShortLockWaits.h"
#include "support/TestSupport.h"

namespace pelmar::test {
namespace {

// A child process that opens `file` itself and holds a write lock on [start, start + length) until
// the object is destroyed. `command` is F_OFD_SETLK or F_SETLK (the record lock tossers take).
class ChildLock {
public:
    ChildLock(const std::string& file, off_t start, off_t length, int command) {
        if (pipe(ready_) != 0 || pipe(release_) != 0) throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ == 0) {
            const int fd = open(file.c_str(), O_RDWR);
            struct flock lock {};
            lock.l_type = F_WRLCK;
            lock.l_whence = SEEK_SET;
            lock.l_start = start;
            lock.l_len = length;
            const char ok = fd >= 0 && fcntl(fd, command, &lock) == 0 ? 'y' : 'n';
            (void)!write(ready_[1], &ok, 1);
            char c;
            (void)!read(release_[0], &c, 1);
            _exit(0);
        }
        char ok = 'n';
        (void)!read(ready_[0], &ok, 1);
        locked_ = ok == 'y';
    }
    ~ChildLock() {
        (void)!write(release_[1], "x", 1);
        waitpid(pid_, nullptr, 0);
        for (int fd : {ready_[0], ready_[1], release_[0], release_[1]}) close(fd);
    }
    bool Locked() const { return locked_; }

private:
    int ready_[2]{}, release_[2]{};
    pid_t pid_ = -1;
    bool locked_ = false;
};

class HudsonLock : public ::testing::Test {
protected:
    void SetUp() override {
        HudBase base;
        base.Msgs.push_back({.Num = 1, .Board = 4, .Subject = "kept", .Text = "x\r"});
        base.Write(dir.Path());
        hudson.SetPath(BoardPath(4, dir.Path()));
        hudson.Open();
        hudson.UseFlagFiles = false;
        ASSERT_TRUE(hudson.First());
    }
    bool Write(const std::string& subject) {
        hudson.NewMessage();
        hudson.Subject = subject;
        hudson.Text = "text\r";
        return hudson.WriteMessage();
    }
    std::string Snapshot() const {
        std::string all;
        for (const char* name : {"msginfo.bbs", "msgidx.bbs", "msgtoidx.bbs", "msghdr.bbs", "msgtxt.bbs"})
            all += ReadFile(dir.Path() / name);
        return all;
    }
    std::string Info() const { return (dir.Path() / "msginfo.bbs").string(); }
    const TShortLockWaits waits;
    TempDir dir;
    THudson hudson;
};

TEST_F(HudsonLock, WriterBlockedByAnotherProcessGetsFalseAndLosesNothing) {
    const std::string before = Snapshot();
    {
        ChildLock child(Info(), 0, 406, F_OFD_SETLK);
        ASSERT_TRUE(child.Locked());
        hudson.Seek(0);
        EXPECT_FALSE(hudson.DeleteCurrent());
        EXPECT_FALSE(Write("blocked"));
        EXPECT_EQ(Snapshot(), before);
        EXPECT_FALSE(std::filesystem::exists(dir.Path() / "echomail.bbs"));
        // The message is still in memory and goes in once the lock is free.
    }
    ASSERT_TRUE(hudson.WriteMessage());
    {
        // Only the last byte of the range, with the record locks a tosser takes.
        ChildLock child(Info(), 405, 1, F_SETLK);
        ASSERT_TRUE(child.Locked());
        EXPECT_FALSE(Write("blocked again"));
    }
    {
        ChildLock child(Info(), 406, 100, F_OFD_SETLK);  // outside the range: no conflict
        ASSERT_TRUE(child.Locked());
        EXPECT_TRUE(hudson.WriteMessage());
    }
    THudson reader;
    reader.SetPath(BoardPath(4, dir.Path()));
    reader.Open();
    std::vector<std::string> subjects;
    for (bool ok = reader.First(); ok; ok = reader.Next()) {
        reader.ReadHeader();
        subjects.push_back(reader.Subject);
    }
    EXPECT_EQ(subjects, (std::vector<std::string>{"kept", "blocked", "blocked again"}));
}

TEST_F(HudsonLock, SecondProcessIsRefusedWhileThisOneHoldsTheLock) {
    TBaseFile info;
    ASSERT_TRUE(info.Open(Info()));
    ASSERT_TRUE(info.TryLock(0, 406));
    const pid_t pid = fork();
    if (pid == 0) {
        THudson other;
        other.SetPath(BoardPath(4, dir.Path()));
        other.Open();
        other.UseFlagFiles = false;
        const bool firstTry = other.First() && !other.DeleteCurrent();
        other.NewMessage();
        other.Text = "x\r";
        _exit(firstTry && !other.WriteMessage() ? 0 : 1);
    }
    int status = -1;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    // A second open of the same file in this process is refused as well.
    EXPECT_FALSE(Write("same process"));
    info.Unlock(0, 406);
    EXPECT_TRUE(hudson.WriteMessage());
}

}  // namespace
}  // namespace pelmar::test
