// Timing of the letter engine: template expansion with a large quote, quoting (ordinary and hostile
// text), UU encoding and decoding, scanning a large text without UU data, and a crosspost into many
// JAM areas. Each pass runs several times; the median is printed next to its limit.
//
//   bench_editor_bench [FOLDER]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "areas/gizmo.h"
#include "editor/Quote.h"
#include "editor/SendMessages.h"
#include "editor/Templates.h"
#include "editor/UUCode.h"
#include "msgbase/BaseFactory.h"
#include "msgbase/MessageBase.h"

namespace {

using namespace pelmar;
namespace fs = std::filesystem;

int failures = 0;

void Time(const char* name, double limitMs, int runs, const std::function<void()>& pass) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        pass();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    const double median = ms[ms.size() / 2];
    const bool ok = median < limitMs;
    failures += ok ? 0 : 1;
    std::printf("%-44s %9.2f ms  (limit %6.0f ms) %s\n", name, median, limitMs, ok ? "ok" : "SLOW");
}

std::string Prose(size_t size) {
    std::mt19937 rng(5);
    std::string text;
    while (text.size() < size) {
        const int words = 3 + rng() % 14;
        if (rng() % 4 == 0) text += " AB> ";
        for (int w = 0; w < words; ++w)
            text += std::string(1 + rng() % 9, static_cast<char>('a' + rng() % 26)) + " ";
        text += "\r";
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path folder = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "pelmar_editor_bench";
    fs::remove_all(folder);
    fs::create_directories(folder);
    // The MSGID serial file belongs to the home; keep the user's own out of it.
    setenv("PELMAR_HOME", (folder / "home").string().c_str(), 1);

    const std::string prose = Prose(1 << 20);
    const TTemplateReader read = [](const std::string& name) { return DefaultTemplate(name); };
    TTemplateInput input;
    input.Mode = TEditorMode::Reply;
    input.QuotedText = prose;
    input.ToFirstName = "Vasya";
    input.Destinations = {{"a", "ONE"}};
    Time("ExpandTemplate, 1 MB quote", 10, 9, [&] { (void)ExpandTemplate(input, read); });

    Time("BuildReplyQuote, 1 MB", 50, 9, [&] { (void)BuildReplyQuote(prose, {}, "Ivan Petrov", false); });
    std::string hostile;
    while (hostile.size() < (1 << 20))
        hostile += std::string(4000, ' ') + "> " + std::string(300, ' ') + "x\r";
    Time("BuildReplyQuote, 1 MB hostile prefixes", 50, 9,
         [&] { (void)BuildReplyQuote(hostile, {}, "I P", false); });
    const std::string blanks(1 << 20, ' ');
    Time("BuildReplyQuote, 1 MB of blanks", 50, 9, [&] { (void)BuildReplyQuote(blanks, {}, "I P", false); });

    std::string data(10 << 20, '\0');
    std::mt19937 rng(9);
    for (char& c : data) c = static_cast<char>(rng());
    std::vector<std::string> sections;
    Time("UU encode 10 MB", 500, 5, [&] { EncodeBytesToSections(data, "big.bin", 0, 2000, sections); });
    Time("UU decode 10 MB", 500, 5, [&] {
        TUUDecoder decoder;
        for (const std::string& s : sections) decoder.AddText(s);
        if (decoder.Files().empty() || !decoder.Files()[0].Complete()) std::printf("  decode incomplete!\n");
    });
    Time("AddText, 1 MB without UU data", 10, 9, [&] {
        TUUDecoder decoder;
        decoder.AddText(prose);
    });

    std::vector<std::unique_ptr<TAreaInfo>> areas;
    std::vector<TAreaInfo*> destinations;
    for (int i = 0; i < 20; ++i) {
        auto area = std::make_unique<TAreaInfo>();
        area->Kind = BaseKindJam;
        area->AreaName = "AREA" + std::to_string(i);
        area->Path = (folder / area->AreaName).string();
        auto base = CreateMessageBase(BaseKindJam);
        base->SetPath(area->Path);
        base->CreateBase();
        destinations.push_back(area.get());
        areas.push_back(std::move(area));
    }
    Time("Crosspost of 64 KB into 20 JAM areas", 1000, 5, [&] {
        TSendState s;
        s.Destinations = destinations;
        s.FromName = "Bench";
        s.SelectedAKA = "2:5020/1";
        s.ToName = "All";
        s.Subject = "Bench";
        s.Body = prose.substr(0, 64 << 10);
        const TSendResult result = SendMessages(s, read);
        if (!result.Ok()) std::printf("  failed: %s\n", result.Failed[0].Reason.c_str());
    });
    fs::remove_all(folder);
    return failures == 0 ? 0 : 1;
}
