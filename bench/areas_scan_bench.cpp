// One background-scan pass over 200 areas of 1,000 messages each, 50 of every base format.
//
// The bases are written once through the program's own formats into $TMPDIR/pelmar-areas-bench
// (kept between runs; delete the folder to rebuild it) and then read from the page cache.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <vector>

#include "areas/ScanThread.h"
#include "areas/gizmo.h"
#include "core/Settings.h"
#include "msgbase/BaseFactory.h"
#include "msgbase/MessageBase.h"
#include "msgbase/SquishFormat.h"

namespace fs = std::filesystem;
using namespace pelmar;

namespace {

constexpr int AreasPerKind = 50;
constexpr int MessagesPerArea = 1000;
constexpr int HudsonBoardsPerBase = 10;

void WriteBytes(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

// Area path of area `n` of `kind`, creating the empty base when `create` is set.
std::string AreaPath(const fs::path& root, int kind, int n, bool create) {
    const std::string name = "k" + std::to_string(kind) + "a" + std::to_string(n);
    switch (kind) {
        case BaseKindMsg:
            if (create) fs::create_directories(root / name);
            return (root / name).string();
        case BaseKindJam: {
            const std::string path = (root / name).string();
            if (create) {
                auto base = CreateMessageBase(kind);
                base->SetPath(path);
                base->CreateBase();
            }
            return path;
        }
        case BaseKindHudson: {
            const fs::path dir = root / ("hudson" + std::to_string(n / HudsonBoardsPerBase));
            const int board = 1 + n % HudsonBoardsPerBase;
            if (create && board == 1) {
                fs::create_directories(dir);
                WriteBytes(dir / "msginfo.bbs", std::string(406, '\0'));
                for (const char* file : {"msgidx.bbs", "msgtoidx.bbs", "msghdr.bbs", "msgtxt.bbs"})
                    WriteBytes(dir / file, "");
            }
            return std::string(1, static_cast<char>(board)) + dir.string() + "/";
        }
        default: {
            const std::string path = (root / name).string();
            if (create) {
                TSquishBaseHeader header;
                PutLe16(&header.Raw[0], SquishBaseHeaderSize);
                header.SetUid(1);
                header.SetEndFrame(SquishBaseHeaderSize);
                PutLe16(&header.Raw[254], SquishFrameHeaderSize);
                WriteBytes(path + ".sqd", std::string(header.Raw.begin(), header.Raw.end()));
                WriteBytes(path + ".sqi", "");
            }
            return path;
        }
    }
}

void Fill(int kind, const std::string& path) {
    auto base = CreateMessageBase(kind);
    base->SetPath(path);
    base->Open();
    if (!base->Active) throw std::runtime_error("cannot open " + path);
    base->UseFlagFiles = false;
    for (int i = 0; i < MessagesPerArea; ++i) {
        base->NewMessage();
        base->FromName = "Bench Writer";
        base->ToName = i % 10 == 5 ? Settings.FullName : "All";
        base->Subject = "Message " + std::to_string(i);
        base->OrigAddr = "2:5020/1";
        base->Date = EncodeDateTime(2025, 1, 2, 3, 4, 5);
        base->Read = i % 2 == 0;
        base->Kludges = {"MSGID: 2:5020/1 " + std::to_string(100000 + i)};
        base->Text = "A line of text for the benchmark.\rAnother one.\r";
        if (!base->WriteMessage()) throw std::runtime_error("cannot write " + path);
        if (base->Read) base->MarkRead();
    }
}

fs::path PrepareBases() {
    const fs::path root = fs::temp_directory_path() / "pelmar-areas-bench";
    if (fs::exists(root / "complete")) return root;
    fs::remove_all(root);
    fs::create_directories(root);
    std::fprintf(stderr, "Writing %d areas of %d messages into %s ...\n", 4 * AreasPerKind, MessagesPerArea,
                 root.c_str());
    for (int kind : {BaseKindMsg, BaseKindJam, BaseKindHudson, BaseKindSquish})
        for (int n = 0; n < AreasPerKind; ++n) Fill(kind, AreaPath(root, kind, n, true));
    WriteBytes(root / "complete", "");
    return root;
}

// Builds the tree of the given kinds, runs passes, checks the counts.
void RunPasses(benchmark::State& state, const std::vector<int>& kinds) {
    const fs::path root = PrepareBases();
    TAreaInfo tree;
    for (int kind : kinds) {
        for (int n = 0; n < AreasPerKind; ++n) {
            auto area = std::make_unique<TAreaInfo>();
            area->Name = "k" + std::to_string(kind) + "a" + std::to_string(n);
            area->Kind = kind;
            area->Path = AreaPath(root, kind, n, false);
            tree.AddChild(std::move(area));
        }
    }
    TScanThread::Pass(std::stop_token{});  // warm the page cache
    for (auto _ : state) TScanThread::Pass(std::stop_token{});

    int64_t total = 0, unread = 0, personal = 0;
    for (int i = 0; i < tree.ChildCount(); ++i) {
        total += tree.Child(i)->MsgCount;
        unread += tree.Child(i)->Read;
        personal += tree.Child(i)->PersonalUnread;
    }
    state.counters["messages"] = static_cast<double>(total);
    state.counters["unread"] = static_cast<double>(unread);
    state.counters["personal"] = static_cast<double>(personal);
    const int64_t expected = static_cast<int64_t>(kinds.size()) * AreasPerKind * MessagesPerArea;
    if (total != expected || unread != total / 2 || personal != total / 10)
        state.SkipWithError("the pass counted wrong");
}

// The figure that matters: all 200 areas.
void ScanPass(benchmark::State& state) {
    RunPasses(state, {BaseKindMsg, BaseKindJam, BaseKindHudson, BaseKindSquish});
}
BENCHMARK(ScanPass)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The same per format (50 areas each), to see where the time goes.
void ScanPassOfKind(benchmark::State& state) {
    RunPasses(state, {static_cast<int>(state.range(0))});
}
BENCHMARK(ScanPassOfKind)->DenseRange(BaseKindMsg, BaseKindSquish)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
