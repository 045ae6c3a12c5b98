// The write lock on byte 0 of the .jhr: refused writers report it and write nothing; writers in
// separate processes take turns and lose nothing.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <set>
#include <thread>

#include "JamTestUtil.h"
#include "msgbase/ShortLockWaits.h"

namespace pelmar::test {
namespace {

class JamLockTest : public JamTest {
protected:
    const TShortLockWaits waits;

    void FillNew(TJAM& jam, const std::string& subject) {
        jam.NewMessage();
        jam.FromName = "Writer";
        jam.ToName = "All";
        jam.Subject = subject;
        jam.OrigAddr = "2:5020/1";
        jam.Text = subject + "\r";
    }
    std::string Snapshot() const {
        return ReadFile(BasePath() + ".jhr") + ReadFile(BasePath() + ".jdt") + ReadFile(BasePath() + ".jdx");
    }
};

TEST_F(JamLockTest, RefusedWriteAndDeleteGiveTheirReasonAndWriteNothing) {
    TJAM jam;
    CreateAndOpen(jam);
    Post(jam, "A", "All", "existing");
    // Another open of the same file in this process (the scan thread's private base does this).
    TBaseFile holder;
    ASSERT_TRUE(holder.Open(BasePath() + ".jhr"));
    ASSERT_TRUE(holder.TryLock(0, 1));
    const std::string before = Snapshot();

    FillNew(jam, "refused");
    EXPECT_FALSE(jam.WriteMessage());
    EXPECT_EQ(jam.LastError, JamWriteLockText());
    jam.Seek(0);
    EXPECT_FALSE(jam.DeleteCurrent());
    EXPECT_EQ(jam.LastError, JamDeleteLockText());
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(U(JamWriteLockText()), "Не могу записать письмо т.к. не удалось получить доступ к JAM-базе!");
    EXPECT_EQ(U(JamDeleteLockText()), "Не могу удалить письмо т.к. не удалось получить доступ к JAM-базе!");

    // The refused message is still pending and goes in once the lock is free.
    holder.Unlock(0, 1);
    jam.Seek(1);
    ASSERT_TRUE(jam.WriteMessage());
    EXPECT_EQ(jam.Current, 1);
    EXPECT_EQ(CheckerReport(BasePath()), "");
}

TEST_F(JamLockTest, OnlyByteZeroIsLocked) {
    TJAM jam;
    CreateAndOpen(jam);
    TBaseFile holder;
    ASSERT_TRUE(holder.Open(BasePath() + ".jhr"));
    ASSERT_TRUE(holder.TryLock(1, 1000));
    FillNew(jam, "beside a lock on other bytes");
    EXPECT_TRUE(jam.WriteMessage());
    EXPECT_EQ(jam.LastError, "");
    // While this base writes, byte 0 is taken and nothing else.
    EXPECT_TRUE(holder.TryLock(0, 1));
}

TEST_F(JamLockTest, TosserRecordLockInAnotherProcessRefusesTheWrite) {
    TJAM jam;
    CreateAndOpen(jam);
    int locked[2], release[2];
    ASSERT_EQ(pipe(locked), 0);
    ASSERT_EQ(pipe(release), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A tosser's classic POSIX record lock on byte 0.
        const int fd = open((BasePath() + ".jhr").c_str(), O_RDWR);
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
    const std::string before = Snapshot();
    FillNew(jam, "while the tosser works");
    EXPECT_FALSE(jam.WriteMessage());
    EXPECT_EQ(jam.LastError, JamWriteLockText());
    EXPECT_EQ(Snapshot(), before);

    (void)!write(release[1], "x", 1);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(jam.WriteMessage());
    EXPECT_EQ(CheckerReport(BasePath()), "");
    for (int fd : {locked[0], locked[1], release[0], release[1]}) close(fd);
}

TEST_F(JamLockTest, WritersInSeveralProcessesLoseNothing) {
    constexpr int Processes = 3;
    constexpr int PerProcess = 25;
    {
        TJAM creator;
        CreateAndOpen(creator);
    }
    const auto writeAll = [this](int writer) {
        TJAM jam;
        jam.SetPath(BasePath());
        jam.Open();
        if (!jam.Active) return false;
        for (int i = 0; i < PerProcess; ++i) {
            FillNew(jam, "w" + std::to_string(writer) + "-" + std::to_string(i));
            int attempts = 0;
            while (!jam.WriteMessage()) {
                if (++attempts > 20000) return false;
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            if (i % 5 == 4) {  // deletes interleave with the appends
                jam.Seek(jam.Current);
                while (!jam.DeleteCurrent()) std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        }
        return true;
    };
    std::vector<pid_t> children;
    for (int w = 1; w < Processes; ++w) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) _exit(writeAll(w) ? 0 : 1);
        children.push_back(pid);
    }
    EXPECT_TRUE(writeAll(0));
    for (const pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    EXPECT_EQ(CheckerReport(BasePath()), "");
    TJAM reader;
    reader.SetPath(BasePath());
    reader.Open();
    std::multiset<std::string> subjects;
    for (bool more = reader.First(); more; more = reader.Next()) {
        reader.ReadHeader();
        subjects.insert(reader.Subject);
    }
    std::multiset<std::string> expected;
    for (int w = 0; w < Processes; ++w)
        for (int i = 0; i < PerProcess; ++i)
            if (i % 5 != 4) expected.insert("w" + std::to_string(w) + "-" + std::to_string(i));
    EXPECT_EQ(subjects, expected);
    EXPECT_EQ(reader.Count(), static_cast<int32_t>(expected.size()));
    EXPECT_EQ(reader.Index.size(), size_t{Processes * PerProcess});
}

}  // namespace
}  // namespace pelmar::test
