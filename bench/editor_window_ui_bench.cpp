// Editor window timings: opening a reply to a 1 MB message, and one keystroke in the To field while
// the preview holds a 200 KB quote. Plain timing program, offscreen.
#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "areas/gizmo.h"
#include "core/Settings.h"
#include "editor/Templates.h"
#include "editor/ui/EditorOpeners.h"
#include "editor/ui/SendMessageForm.h"
#include "msgbase/FidoBase.h"

using namespace pelmar;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::time_point since) {
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

std::string Text(size_t bytes) {
    std::string text;
    while (text.size() < bytes)
        text += "Some words of a long message line that goes on and on to be quoted\r";
    return text;
}

double OpenReply(size_t bytes) {
    TFidoBase message;
    message.FromName = "Petr Sidorov";
    message.ToName = "All";
    message.Subject = "Long one";
    message.OrigAddr = "2:5020/7";
    message.MsgId = "2:5020/7 12345678";
    message.Text = Text(bytes);
    TAreaInfo area;
    area.Kind = 1;
    area.Name = area.AreaName = "ECHO";
    const auto start = Clock::now();
    ui::TSendMessageForm* e = ui::OpenReply(nullptr, message, &area, &area, false);
    QApplication::processEvents();
    const double ms = Ms(start);
    delete e;
    return ms;
}

double Keystroke(size_t quoteBytes) {
    TFidoBase message;
    message.FromName = "Petr Sidorov";
    message.Text = Text(quoteBytes);
    TAreaInfo area;
    area.Kind = 1;
    area.Name = area.AreaName = "ECHO";
    ui::TSendMessageForm* e = ui::OpenReply(nullptr, message, &area, &area, false);
    QApplication::processEvents();
    const int rounds = 20;
    const auto start = Clock::now();
    std::string name = "S";
    for (int i = 0; i < rounds; ++i) {
        name += "x";
        e->SetToName(name);
        QApplication::processEvents();  // the one re-expansion of this turn
    }
    const double ms = Ms(start) / rounds;
    delete e;
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::string home = (std::filesystem::temp_directory_path() / "pelmar-editor-bench").string();
    std::filesystem::create_directories(home);
    setenv("PELMAR_HOME", home.c_str(), 1);
    QApplication app(argc, argv);
    Settings.ProgramFolder = home + "/";
    Settings.SelfAKA = {"2:5020/120.5"};
    OpenTemplateStore();
    WriteMissingDefaultTemplates();
    const double open = OpenReply(1024 * 1024);
    const double key = Keystroke(200 * 1024);
    std::printf("reply to a 1 MB message opens in %.1f ms (goal < 500)\n", open);
    std::printf("a keystroke in To with a 200 KB quote costs %.1f ms (goal < 50)\n", key);
    CloseTemplateStore();
    std::filesystem::remove_all(home);
    return open < 500 && key < 50 ? 0 : 1;
}
