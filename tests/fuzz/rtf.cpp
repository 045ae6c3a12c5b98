// Message bodies through the renderer into the view's RTF reader, and raw bytes into the reader.
// The body half checks that the uncoloured view shows exactly the body's text.
#include <QGuiApplication>
#include <QTextDocument>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/Codepage.h"
#include "core/Settings.h"
#include "msgbase/MessageBase.h"
#include "msgbase/RtfRender.h"
#include "reader/ui/RtfReader.h"

// The font library keeps its cache for the life of the process; LeakSanitizer reports it at exit.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace {

// Fonts need a GUI application. It is never destroyed: tearing it down among the static
// destructors at exit crashes inside Qt.
void EnsureApplication() {
    static bool made = false;
    if (made) return;
    made = true;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_rtf";
    static char* argv[] = {name, nullptr};
    static auto* app = new QGuiApplication(argc, argv);
    (void)app;
}

// Printable bytes and CR only, as a cleaned body holds them (the document drops control bytes).
std::string BodyOf(const std::string& input) {
    std::string body;
    for (const char c : input) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '\r' || (b >= 0x20 && b != 0x7F && b != 0x98 && b != 0xA0 && b != 0xAD)) body += c;
    }
    return body;
}

void CheckBody(const std::string& input, bool oem) {
    using namespace pelmar;
    const std::string body = BodyOf(input);
    const std::string escaped = RtfEscape(body);
    TRenderInput render;
    render.RtfText = escaped;
    render.FixFont = "FixedSys";
    render.VarFont = "MS Sans Serif";
    render.ColorTable = DefaultColorTable;
    render.OemView = oem;
    QTextDocument coloured;
    ui::ReadRtf(RenderRtfDocument(render), coloured);
    QTextDocument plain;
    ui::ReadRtf(RenderPlainRtfDocument(render), plain);
    std::string expected = oem ? OemToUtf8(body) : AnsiToUtf8(body);
    for (char& c : expected) {
        if (c == '\r') c = '\n';
    }
    // The document's plain text gives a no-break space as a blank.
    const QString shown = QString::fromStdString(expected).replace(QChar::Nbsp, QLatin1Char(' '));
    if (plain.toPlainText() != shown) {
        std::fprintf(stderr, "plain view differs from the body\n");
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    EnsureApplication();
    const std::string input(reinterpret_cast<const char*>(data), size);
    CheckBody(input, size > 0 && (data[0] & 1));
    QTextDocument raw;
    pelmar::ui::ReadRtf(input, raw);
    return 0;
}
