// Several writers on one base: the byte-0 lock, and writers whose view of the base is older than
// the disk (another process or another base object wrote since they opened it).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <thread>

#include "SquishLayout.h"
#include "core/Errors.h"
#include "msgbase/ShortLockWaits.h"
#include "msgbase/Squish.h"
#include "support/TestSupport.h"

namespace pelmar::test {
namespace {

TSquishBuilder Messages(int count) {
    TSquishBuilder b;
    for (int i = 0; i < count; ++i) {
        TRawMessage m;
        m.Subject = "Message " + std::to_string(i);
        b.Add(m);
    }
    return b;
}

bool Append(TSquish& s, const std::string& subject) {
    s.NewMessage();
    s.FromName = "Writer";
    s.ToName = "All";
    s.Subject = subject;
    s.OrigAddr = "2:5020/1";
    s.Date = EncodeDateTime(2025, 12, 1);
    s.Text = "Text of " + subject + "\r";
    return s.WriteMessage();
}

std::vector<std::string> Subjects(const std::string& base) {
    TSquish reader;
    reader.SetPath(base);
    reader.Open();
    std::vector<std::string> subjects;
    for (bool ok = reader.First(); ok; ok = reader.Next()) {
        reader.ReadHeader();
        subjects.push_back(reader.Subject);
    }
    return subjects;
}

std::string Files(const std::string& base) {
    return ReadFile(base + ".sqd") + "|" + ReadFile(base + ".sqi");
}

// Takes a write lock on byte 0 of the data file the way another writer would.
int LockFirstByte(const std::string& file, int command) {
    const int fd = ::open(file.c_str(), O_RDWR);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 1;
    if (fd < 0 || ::fcntl(fd, command, &lock) != 0) return -1;
    return fd;
}

TEST(SquishLock, HeldLockRefusesWritesAfterTheWait) {
    const TShortLockWaits waits;
    TempDir dir;
    const std::string base = dir.File("area");
    Messages(2).Save(base);
    TSquish squish;
    squish.SetPath(base);
    squish.Open();
    ASSERT_TRUE(squish.Active);
    const std::string before = Files(base);

    // Another base object of this process holds the lock.
    const int holder = LockFirstByte(base + ".sqd", F_OFD_SETLK);
    ASSERT_GE(holder, 0);
    EXPECT_FALSE(Append(squish, "refused"));
    squish.Seek(0);
    EXPECT_FALSE(squish.DeleteCurrent());
    squish.Seek(1);
    squish.PrepareRewrite();
    squish.Subject = "refused";
    EXPECT_FALSE(squish.WriteMessage());
    EXPECT_EQ(Files(base), before);
    ::close(holder);

    // Free again: the same rewrite goes through.
    EXPECT_TRUE(squish.WriteMessage());
    EXPECT_SQUISH_CONSISTENT(base);
    EXPECT_EQ(Subjects(base), (std::vector<std::string>{"Message 0", "refused"}));
}

TEST(SquishLock, LockOfAnotherProcessRefusesWritesAfterTheWait) {
    const TShortLockWaits waits;
    TempDir dir;
    const std::string base = dir.File("area");
    Messages(2).Save(base);
    int locked[2], release[2];
    ASSERT_EQ(::pipe(locked), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A tosser: classic record lock on byte 0, held until told to let go.
        const int fd = LockFirstByte(base + ".sqd", F_SETLK);
        char c = fd >= 0 ? 'L' : 'E';
        (void)!::write(locked[1], &c, 1);
        (void)!::read(release[0], &c, 1);
        ::_exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(locked[0], &c, 1), 1);
    ASSERT_EQ(c, 'L');

    TSquish squish;
    squish.SetPath(base);
    squish.Open();
    const std::string before = Files(base);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Append(squish, "refused"));
    squish.Seek(0);
    EXPECT_FALSE(squish.DeleteCurrent());
    // Each refusal waited for the lock, and gave up while the tosser still held it.
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 2 * WriterLockWait());
    EXPECT_LT(waited, std::chrono::milliseconds(30000));
    EXPECT_EQ(Files(base), before);

    (void)!::write(release[1], "x", 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(Append(squish, "after"));
    EXPECT_SQUISH_CONSISTENT(base);
    EXPECT_EQ(Subjects(base), (std::vector<std::string>{"Message 0", "Message 1", "after"}));
}

TEST(SquishLock, StaleObjectsKeepWhatOthersWrote) {
    TempDir dir;
    const std::string base = dir.File("area");
    Messages(4).Save(base);
    TSquish a, b;
    a.SetPath(base);
    b.SetPath(base);
    a.Open();
    b.Open();

    ASSERT_TRUE(Append(a, "by A"));
    ASSERT_TRUE(Append(b, "by B"));  // B still holds the index of before A's write
    EXPECT_SQUISH_CONSISTENT(base);
    b.Seek(1);
    ASSERT_TRUE(b.DeleteCurrent());
    EXPECT_SQUISH_CONSISTENT(base);
    a.Seek(2);
    a.PrepareRewrite();
    a.Subject = "edited by A";
    a.OrigAddr = "2:5020/1";
    ASSERT_TRUE(a.WriteMessage());
    EXPECT_SQUISH_CONSISTENT(base);
    // A deletes what B already deleted: nothing more happens.
    a.Seek(1);
    EXPECT_TRUE(a.DeleteCurrent());
    EXPECT_SQUISH_CONSISTENT(base);
    EXPECT_EQ(Subjects(base),
              (std::vector<std::string>{"Message 0", "edited by A", "Message 3", "by A", "by B"}));

    // B edits the message A had already edited: the edit wins and the base stays whole.
    b.Seek(2);
    b.PrepareRewrite();
    b.Subject = "edited by B";
    b.OrigAddr = "2:5020/1";
    ASSERT_TRUE(b.WriteMessage());
    EXPECT_SQUISH_CONSISTENT(base);
    EXPECT_EQ(Subjects(base)[1], "edited by B");
}

TEST(SquishLock, FirstWriteAfterOpenSeesADeleteByAnother) {
    TempDir dir;
    const std::string base = dir.File("area");
    Messages(3).Save(base);
    TSquish a, b;
    a.SetPath(base);
    b.SetPath(base);
    a.Open();
    b.Open();
    b.Seek(0);
    ASSERT_TRUE(b.DeleteCurrent());  // the index shrinks under A's feet
    ASSERT_TRUE(Append(a, "by A"));
    a.Seek(2);
    a.PrepareRewrite();
    a.Subject = "edited by A";
    ASSERT_TRUE(a.WriteMessage());
    EXPECT_SQUISH_CONSISTENT(base);
    EXPECT_EQ(Subjects(base), (std::vector<std::string>{"Message 1", "edited by A", "by A"}));
}

TEST(SquishLock, TwoProcessesWritingAtOnceLoseNothing) {
    TempDir dir;
    const std::string base = dir.File("area");
    Messages(3).Save(base);
    constexpr int perWriter = 40;

    // Each writer retries while the other holds the lock, as a user pressing "send" again would.
    auto writer = [&](const std::string& name) {
        TSquish squish;
        squish.SetPath(base);
        squish.Open();
        if (!squish.Active) return false;
        for (int i = 0; i < perWriter; ++i) {
            int tries = 0;
            while (!Append(squish, name + " " + std::to_string(i))) {
                if (++tries > 5000) return false;
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        }
        return true;
    };

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        bool ok = false;
        try {
            ok = writer("child");
        } catch (...) {
        }
        ::_exit(ok ? 0 : 1);
    }
    const bool parentOk = writer("parent");
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(parentOk);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    EXPECT_SQUISH_CONSISTENT(base);
    const std::vector<std::string> subjects = Subjects(base);
    EXPECT_EQ(subjects.size(), 3u + 2 * perWriter);
    for (const char* name : {"child", "parent"}) {
        int last = -1;
        for (const auto& s : subjects) {
            if (s.rfind(name, 0) != 0) continue;
            const int n = std::stoi(s.substr(s.find(' ') + 1));
            EXPECT_EQ(n, last + 1) << name;  // every message, in the order it was written
            last = n;
        }
        EXPECT_EQ(last, perWriter - 1) << name;
    }
}

}  // namespace
}  // namespace pelmar::test
