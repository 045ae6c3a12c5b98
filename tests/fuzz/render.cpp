// A message shown the way the message view shows it: one *.MSG message whose body, control lines
// and CHRS value come from the input, read, rendered to rich text (coloured or plain), the control
// lines appended and the result read into the view, with links marked. The view settings (colours,
// face, pseudographics, the code-page switch) come from the input too. The coloured view must show
// the same text as the plain one but for the emphasis marks it turns into bold and underline.
#include <QApplication>
#include <QPlainTextEdit>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "FuzzBase.h"
#include "core/Settings.h"
#include "msgbase/FidoBase.h"
#include "reader/ui/MessageViewPane.h"

// The font library keeps its cache for the life of the process; LeakSanitizer reports it at exit.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace {

using namespace pelmar;

// The view needs a widget application. Neither it nor the pane is ever destroyed: tearing them down
// among the static destructors at exit crashes inside Qt.
ui::TMessageViewPane& Pane() {
    static ui::TMessageViewPane* pane = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "fuzz_render";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
        return new ui::TMessageViewPane;
    }();
    return *pane;
}

// A *.MSG header: names, subject and date, the addresses and attributes zero.
std::string Header() {
    std::string header(190, '\0');
    header.replace(0, 10, "Ivan Petro");
    header.replace(36, 3, "All");
    header.replace(72, 4, "Test");
    header.replace(144, 19, "01 Jan 24  12:00:00");
    return header;
}

// The view's text without the marks the coloured renderer may turn into emphasis.
QString WithoutMarks(QString text) {
    return text.remove(QLatin1Char('_')).remove(QLatin1Char('*'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ui::TMessageViewPane& pane = Pane();
    // Settings bytes (switches, then the colour table), the CHRS value, control lines (one a line),
    // and the body as stored.
    const auto parts = fuzz::SplitParts(data, size, 4);
    const std::string_view control = parts[0];
    auto byte = [&](size_t i) { return i < control.size() ? static_cast<uint8_t>(control[i]) : 0; };
    const uint8_t switches = byte(0);
    Settings.ShowKludges = (switches & 0x01) != 0;
    Settings.UseURLs = (switches & 0x02) != 0;
    Settings.LineWrap = (switches & 0x04) != 0;
    Settings.TextInWindowsCodePage = (switches & 0x08) != 0;
    ui::TViewMode mode;
    mode.PseudoGraphics = (switches & 0x10) != 0;
    mode.FontMode = (switches & 0x20) != 0 ? 2 : 0;
    for (size_t i = 0; i < Settings.ColorTable.size(); ++i) {
        Settings.ColorTable[i] = control.size() > 1 ? byte(1 + i) : DefaultColorTable[i];
    }

    std::string file = Header();
    if (!parts[1].empty()) {
        file +=
            "\x01"
            "CHRS: ";
        file += parts[1];
        file += '\r';
    }
    size_t start = 0;
    while (start < parts[2].size()) {
        const size_t end = std::min(parts[2].find('\n', start), parts[2].size());
        file += '\x01';
        file += parts[2].substr(start, end - start);
        file += '\r';
        start = end + 1;
    }
    file += parts[3];
    const std::string& dir = fuzz::FreshScratchDir();
    fuzz::WriteWholeFile(dir + "1.msg", file);

    TFidoBase base;
    base.SetPath(dir);
    base.Open();
    if (!base.Active || base.Count() == 0) return 0;
    base.UseFlagFiles = false;
    QString shown[2];
    for (int coloured = 0; coloured < 2; ++coloured) {
        Settings.ColourText = coloured != 0;
        try {
            pane.ShowMessage(base, 0, mode);
        } catch (const std::exception&) {
            return 0;  // a damaged message may fail to read; it does so before anything is shown
        }
        shown[coloured] = pane.TextView()->toPlainText();
        // What the view posted for later runs now, as the event loop would run it.
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
    base.Close();
    if (WithoutMarks(shown[0]) != WithoutMarks(shown[1])) {
        std::fprintf(stderr, "coloured view shows other text than the plain one\n");
        std::abort();
    }
    return 0;
}
