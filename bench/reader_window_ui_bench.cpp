// Main window timings on a list of 100,000 rows: "select all" then "invert selection" through the
// window's commands (goal: both together within 200 ms), and the same on a selection made of many
// short runs. Plain timing program, offscreen.
#include <QApplication>
#include <QAction>
#include <QListView>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "areas/AreaLifetime.h"
#include "areas/gizmo.h"
#include "core/Settings.h"
#include "reader/CommandState.h"
#include "reader/ThreadList.h"
#include "reader/ui/MainCommands.h"
#include "reader/ui/MainFrame.h"
#include "reader/ui/MessageListModel.h"

using namespace pelmar;
using ui::TMainFrame;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRows = 100000;

double Ms(Clock::time_point since) {
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

// 100,000 top-level entries; every tenth has two replies hidden in its closed thread, every third
// is read.
void FillList(TThreadList& list) {
    list.ThreadRoot = std::make_unique<TMessageClass>();
    for (int i = 0; i < kRows; ++i) {
        TMessageClass& entry = list.ThreadRoot->AddReply();
        entry.Position = i;
        entry.MsgId = "2:5020/1 " + std::to_string(100000 + i);
        entry.Subject = "Subject " + std::to_string(i % 977);
        entry.FromName = "Writer " + std::to_string(i % 131);
        entry.ToName = "All";
        entry.Read = i % 3 == 0;
        if (i % 10 == 0) {
            for (int r = 0; r < 2; ++r) entry.AddReply().Subject = "Re: " + entry.Subject;
        }
    }
    list.RebuildRows();
}

double Run(TMainFrame& frame, TCommand command) {
    const auto start = Clock::now();
    frame.RunCommand(command);
    QApplication::processEvents();
    return Ms(start);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::string home = (std::filesystem::temp_directory_path() / "pelmar-window-bench").string();
    std::filesystem::create_directories(home);
    setenv("PELMAR_HOME", home.c_str(), 1);
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(pelmar);
    Settings.ProgramFolder = home + "/";
    Settings.FullName = "Sysop";
    CreateAreaManager();
    bool ok = true;
    {
        auto frame = std::make_unique<TMainFrame>();
        frame->resize(1000, 700);
        frame->show();
        QApplication::processEvents();
        FillList(frame->List());
        QApplication::processEvents();
        const int rows = static_cast<int>(frame->List().Rows.size());

        const double all = Run(*frame, TCommand::SelectAll);
        const size_t afterAll = frame->Selection().size();
        const double invert = Run(*frame, TCommand::InvertSelection);
        const size_t afterInvert = frame->Selection().size();
        std::printf(
            "%d rows: select all %.1f ms (%zu selected), invert %.1f ms (%zu selected), "
            "together %.1f ms (goal <= 200)\n",
            rows, all, afterAll, invert, afterInvert, all + invert);
        ok = ok && all + invert <= 200 && afterAll == static_cast<size_t>(rows) && afterInvert == 0;

        // Every third row read: 33,334 runs of one row, then their complement.
        const double read = Run(*frame, TCommand::SelectRead);
        const size_t afterRead = frame->Selection().size();
        const double readInvert = Run(*frame, TCommand::InvertSelection);
        const size_t afterReadInvert = frame->Selection().size();
        std::printf("%d rows: select read %.1f ms (%zu selected), invert %.1f ms (%zu selected)\n", rows,
                    read, afterRead, readInvert, afterReadInvert);
        ok = ok && afterRead + afterReadInvert == static_cast<size_t>(rows);

        frame->List().LeaveArea(nullptr);
    }
    StoreAreasAndRelease();
    std::filesystem::remove_all(home);
    return ok ? 0 : 1;
}
