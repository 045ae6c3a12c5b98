// Showing a message: rendering the body to RTF, reading that into a document, laying it out at a
// view's width (all of it, or what the text view needs for its first screen). Bodies of 10 KB and 1 MB mixing
// plain lines, quotes, emphasis and Cyrillic.
//
//   bench_view_ui_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>
#include <QApplication>
#include <QTextDocument>
#include <string>

#include "core/Settings.h"
#include "msgbase/MessageBase.h"
#include "msgbase/RtfRender.h"
#include "reader/ui/MessageViewPane.h"
#include "reader/ui/RtfReader.h"

namespace {

using namespace pelmar;

std::string Body(size_t size) {
    static const char* const kLines[] = {
        "Hello All, this is an ordinary line of a message with some words in it.",
        "See http://example.org/page and 2:5020/10.15 for details.",
        " AB> a quoted line from someone who wrote _before_ us, with *emphasis*.",
        " AB>> and an older quote {with braces} and \\backslashes\\ inside.",
        "\xCF\xF0\xE8\xE2\xE5\xF2, \xFD\xF2\xEE \xF1\xF2\xF0\xEE\xEA\xE0 \xED\xE0 "
        "\xF0\xF3\xF1\xF1\xEA\xEE\xEC *\xFF\xE7\xFB\xEA\xE5*.",
        "",
    };
    std::string body;
    for (size_t i = 0; body.size() < size; ++i) {
        body += kLines[i % std::size(kLines)];
        body += '\r';
    }
    body += "--- Plm 1.0\r * Origin: bench (2:5020/1)";
    return body;
}

TRenderInput Input(const std::string& escaped) {
    TRenderInput input;
    input.RtfText = escaped;
    input.FixFont = Settings.FixFont;
    input.VarFont = Settings.VarFont;
    input.ColorTable = Settings.ColorTable;
    input.FontIndex = 2;
    return input;
}

void Render(benchmark::State& state) {
    const std::string escaped = RtfEscape(Body(static_cast<size_t>(state.range(0))));
    for (auto _ : state) benchmark::DoNotOptimize(RenderRtfDocument(Input(escaped)));
}
BENCHMARK(Render)->Arg(10 << 10)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

void RenderRead(benchmark::State& state) {
    const std::string escaped = RtfEscape(Body(static_cast<size_t>(state.range(0))));
    for (auto _ : state) {
        QTextDocument document;
        ui::ReadRtf(RenderRtfDocument(Input(escaped)), document);
        benchmark::DoNotOptimize(document.blockCount());
    }
}
BENCHMARK(RenderRead)->Arg(10 << 10)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

void RenderReadLayout(benchmark::State& state) {
    const std::string escaped = RtfEscape(Body(static_cast<size_t>(state.range(0))));
    for (auto _ : state) {
        QTextDocument document;
        ui::ReadRtf(RenderRtfDocument(Input(escaped)), document);
        document.setTextWidth(800);
        benchmark::DoNotOptimize(document.size());
    }
}
BENCHMARK(RenderReadLayout)->Arg(10 << 10)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

// What the user waits for: the text view of the pane shows its first screen.
void RenderReadShow(benchmark::State& state) {
    const std::string escaped = RtfEscape(Body(static_cast<size_t>(state.range(0))));
    ui::TMessageText view;
    view.resize(800, 600);
    view.show();
    for (auto _ : state) {
        ui::ReadRtf(RenderRtfDocument(Input(escaped)), *view.document());
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(view.grab());
    }
}
BENCHMARK(RenderReadShow)->Arg(10 << 10)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

// One message in memory, so the whole pane's show is timed without a disk.
class TOneMessage : public TMessageBase {
public:
    explicit TOneMessage(std::string body) : body_(std::move(body)) { Active = true; }
    ~TOneMessage() override { Destroy(); }
    int32_t Count() override { return 1; }
    void GetAttrText(std::string& text) override { text = "Loc "; }
    bool CheckCurrent() override { return false; }
    double ChangeStamp() override { return 0; }
    int32_t ChangeCounter() override { return 0; }
    void Open() override { Active = true; }
    void Close() override { Active = false; }
    void CreateBase() override {}
    bool First() override { return true; }
    bool Next() override { return false; }
    void ReadHeader() override {}
    void ReadMsgId() override {}
    void ReadMessage(int32_t) override {
        FromName = "Sender";
        ToName = "All";
        Subject = "Bench";
        OrigAddr = "2:5020/1";
        Kludges = {"MSGID: 2:5020/1 12345678", "PID: Bench"};
        Text = body_;
        RtfText = RtfEscape(Text);
    }
    void Seek(int32_t) override {}
    bool DeleteCurrent(int32_t*, uint32_t*) override { return false; }
    void MarkRead() override {}
    void NewMessage() override {}
    bool WriteMessage() override { return false; }
    void PrepareRewrite() override {}
    bool IsValid() override { return true; }
    void ReadToAndRead() override {}
    int32_t FileStamp() override { return 0; }
    bool FileStampIs(int32_t) override { return false; }

private:
    std::string body_;
};

// The pane's whole show: read, render, RTF reader, links, labels, first screen drawn.
void PaneShow(benchmark::State& state) {
    TOneMessage base(Body(static_cast<size_t>(state.range(0))));
    ui::TMessageViewPane pane;
    pane.resize(800, 600);
    pane.show();
    for (auto _ : state) {
        pane.ShowMessage(base, 0, {2, false});
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(pane.grab());
    }
}
BENCHMARK(PaneShow)->Arg(10 << 10)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
