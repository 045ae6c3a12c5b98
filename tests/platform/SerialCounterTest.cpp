// The MSGID serial counter shared by every process of the user.
#include "platform/SerialCounter.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <vector>

#include "support/TestSupport.h"

namespace pelmar {
namespace {

TEST(SerialCounter, FollowsTheClockAndTheStoredValue) {
    test::TempDir dir;
    const std::string file = dir.File("serial");
    const struct {
        const char* Stored;  // nullptr: no file
        uint32_t Now;
        uint32_t Expected;
    } rows[] = {
        {nullptr, 1000, 1000},         // first use: the clock
        {"0000002000\n", 1000, 2001},  // another process ran ahead of the clock
        {"0000000500\n", 3000, 3000},  // the clock is ahead
        {"garbage", 4000, 4000},       // damaged file: the clock
        {"4294967295\n", 5000, 5000},  // the top of the range
        {"99999999999999\n", 6000, 6000},
    };
    for (const auto& row : rows) {
        std::filesystem::remove(file);
        if (row.Stored != nullptr) test::WriteFile(file, row.Stored);
        EXPECT_EQ(NextSerial(file, row.Now), row.Expected) << (row.Stored ? row.Stored : "none");
        char stored[16] = {};
        std::snprintf(stored, sizeof stored, "%010u\n", row.Expected);
        EXPECT_EQ(test::ReadFile(file), stored);
    }
    // Within one process the serial increases even when the file cannot be used.
    const uint32_t first = NextSerial(dir.File("missing/serial"), 10);
    EXPECT_GT(NextSerial(dir.File("missing/serial"), 10), first);
}

TEST(SerialCounter, ParallelProcessesNeverShareASerial) {
    test::TempDir dir;
    const std::string file = dir.File("serial");
    constexpr int Children = 4, PerChild = 200;
    int pipes[Children][2];
    std::vector<pid_t> pids;
    for (auto& p : pipes) {
        ASSERT_EQ(pipe(p), 0);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(p[0]);
            for (int i = 0; i < PerChild; ++i) {
                // The same clock value in every child, as within one second.
                const uint32_t serial = NextSerial(file, 1000);
                if (write(p[1], &serial, sizeof serial) != sizeof serial) _exit(2);
            }
            _exit(0);
        }
        close(p[1]);
        pids.push_back(pid);
    }
    std::set<uint32_t> seen;
    for (auto& p : pipes) {
        uint32_t serial = 0;
        while (read(p[0], &serial, sizeof serial) == sizeof serial) EXPECT_TRUE(seen.insert(serial).second);
        close(p[0]);
    }
    for (const pid_t pid : pids) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(seen.size(), size_t{Children * PerChild});
    EXPECT_EQ(*seen.rbegin() - *seen.begin(), uint32_t{Children * PerChild - 1});  // no gaps either
}

}  // namespace
}  // namespace pelmar
