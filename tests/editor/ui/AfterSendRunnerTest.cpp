// The command after sending, run in the background: its output and outcome reach the log, a failure
// reaches the status line, and requests made while it runs give exactly one more run.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSignalSpy>
#include <string>
#include <vector>

#include "core/Codepage.h"
#include "core/Settings.h"
#include "editor/ui/AfterSendRunner.h"
#include "reader/MainWindowServices.h"
#include "support/TestSupport.h"

namespace pelmar::ui {
namespace {

struct TStatusRecorder : TMainWindowServices {
    std::vector<std::string> Texts;
    void SetStatusText(const std::string& text) override { Texts.push_back(AnsiToUtf8(text)); }
};

class AfterSendRunnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = Settings;
        Settings.DataFolder = dir_.Path().string() + "/";
        InstallMainWindowServices(&status_);
    }
    void TearDown() override {
        InstallMainWindowServices(nullptr);
        Settings = saved_;
    }
    std::string Log() { return test::ReadFile(dir_.Path() / "aftersend.log"); }

    test::TempDir dir_;
    TStatusRecorder status_;
    TSettings saved_;
};

TEST_F(AfterSendRunnerTest, OutputAndOutcomeAreLogged) {
    Settings.AfterSendCommand = "echo tossed 3 messages; echo warning >&2";
    TAfterSendRunner runner;
    QSignalSpy finished(&runner, &TAfterSendRunner::Finished);
    runner.Request();
    ASSERT_TRUE(finished.wait(20000));
    EXPECT_TRUE(finished.at(0).at(0).toBool());
    const std::string log = Log();
    for (const char* part :
         {"echo tossed 3 messages", "\ntossed 3 messages\n", "warning\n", "завершилась с кодом 0"})
        EXPECT_NE(log.find(part), std::string::npos) << part << " in\n" << log;
    EXPECT_TRUE(status_.Texts.empty());
}

TEST_F(AfterSendRunnerTest, FailingCommandIsReportedInTheStatusLineAndTheLog) {
    struct TRow {
        const char* Command;
        const char* Outcome;
        int TimeoutMs = 600000;
    };
    const TRow rows[] = {
        {"echo cannot lock outbound; exit 3", "завершилась с кодом 3"},
        {"pelmar-no-such-tosser scan", "не найдена"},
        {"kill -KILL $$", "прервана"},
        {"exec sleep 600", "не завершилась вовремя", 200},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.Command);
        Settings.AfterSendCommand = row.Command;
        status_.Texts.clear();
        TAfterSendRunner runner;
        runner.SetTimeoutForTesting(row.TimeoutMs);
        QSignalSpy finished(&runner, &TAfterSendRunner::Finished);
        runner.Request();
        ASSERT_TRUE(finished.wait(20000));
        EXPECT_FALSE(finished.at(0).at(0).toBool());
        ASSERT_EQ(status_.Texts.size(), 1u);
        EXPECT_NE(status_.Texts[0].find(row.Outcome), std::string::npos) << status_.Texts[0];
        EXPECT_NE(status_.Texts[0].find("Журнал команды после отправки"), std::string::npos);
        EXPECT_NE(Log().rfind(row.Outcome), std::string::npos);
    }
    EXPECT_NE(Log().find("cannot lock outbound"), std::string::npos);
}

// Lets a command waiting on the fifo go on (once it has opened it).
bool OpenGate(const std::string& fifo) {
    const QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) {
            ::close(fd);
            return true;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return false;
}

TEST_F(AfterSendRunnerTest, RequestsDuringARunGiveExactlyOneMoreRun) {
    const std::string gate = dir_.File("gate");
    const std::string runs = dir_.File("runs");
    ASSERT_EQ(::mkfifo(gate.c_str(), 0600), 0);
    Settings.AfterSendCommand = "cat '" + gate + "' >/dev/null; echo run >> '" + runs + "'";
    TAfterSendRunner runner;
    QSignalSpy finished(&runner, &TAfterSendRunner::Finished);
    runner.Request();
    ASSERT_TRUE(runner.Running());
    runner.Request();  // three more sends while the scan runs
    runner.Request();
    runner.Request();
    ASSERT_TRUE(OpenGate(gate));
    ASSERT_TRUE(finished.wait(20000));
    EXPECT_EQ(test::ReadFile(runs), "run\n");
    ASSERT_TRUE(runner.Running());  // the one run after it
    ASSERT_TRUE(OpenGate(gate));
    ASSERT_TRUE(finished.wait(20000));
    EXPECT_FALSE(runner.Running());
    EXPECT_EQ(finished.count(), 2);
    EXPECT_EQ(test::ReadFile(runs), "run\nrun\n");
}

}  // namespace
}  // namespace pelmar::ui
