// Hudson base timings on a base of 200 boards and 60,000 messages, half of them in board 1:
// walking board 1 and reading every header, CountUnread of every board, and 1,000 writes.
//
// The base is generated once under /tmp (PELMAR_HUDSON_BENCH_DIR overrides the folder).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/Settings.h"
#include "msgbase/Hudson.h"

namespace {

using namespace pelmar;
namespace fs = std::filesystem;

constexpr int TotalMessages = 60000;
constexpr int BigBoardMessages = 30000;

void Save(const fs::path& file, const std::vector<uint8_t>& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Board 1 gets every other record; the rest are spread over boards 2..200. Message numbers follow
// the record order except for a shuffled stretch, as after a tosser and a renumbering packer.
fs::path MakeBase() {
    const char* env = std::getenv("PELMAR_HUDSON_BENCH_DIR");
    const fs::path dir = env ? fs::path(env) : fs::temp_directory_path() / "pelmar-hudson-bench";
    const fs::path master = dir / "master";
    if (fs::exists(master / "msginfo.bbs")) return master;
    fs::create_directories(master);

    std::mt19937 rng(7);
    std::vector<uint16_t> numbers(TotalMessages);
    for (int i = 0; i < TotalMessages; ++i) numbers[i] = static_cast<uint16_t>(i + 1);
    std::shuffle(numbers.begin() + 20000, numbers.begin() + 26000, rng);

    std::vector<uint8_t> idx, toIdx, hdr, txt;
    THudsonInfo info;
    info.LowMsg = 1;
    info.HighMsg = TotalMessages;
    info.TotalActive = TotalMessages;
    // One text block per message: 16-bit block numbers leave room for 65,536 blocks in all.
    const std::string body = "\x01MSGID: 2:5020/1 12345678\r\x01PID: bench\rHello there,\r\r" +
                             std::string(120, 'x') +
                             "\r\r--- bench\r * Origin: bench (2:5020/1)\r\x01PATH: 5020/1\r";
    for (int i = 0; i < TotalMessages; ++i) {
        const bool big = i % 2 == 0 && i / 2 < BigBoardMessages;
        const auto board = static_cast<uint8_t>(big ? 1 : 2 + (i / 2) % 199);
        ++info.Active(board);
        THudsonIdx entry{numbers[i], board};
        uint8_t bytes[HudsonHeaderSize];
        entry.Store(bytes);
        idx.insert(idx.end(), bytes, bytes + HudsonIdxSize);

        THudsonHeader h;
        h.MsgNum = numbers[i];
        h.TimesRead = i % 3 == 0;
        h.StartBlock = static_cast<uint16_t>(txt.size() / HudsonBlockSize);
        h.NumBlocks = static_cast<uint16_t>((body.size() + HudsonBlockText - 1) / HudsonBlockText);
        h.Board = board;
        h.MsgAttr = HudsonMsgLocal;
        h.PostDate = "12-09-26";
        h.PostTime = "17:05";
        h.WhoTo = i % 5 == 0 ? "Bench User" : "All";
        h.WhoFrom = "Sender " + std::to_string(i % 97);
        h.Subject = "Subject of message " + std::to_string(numbers[i]);
        h.Store(bytes);
        hdr.insert(hdr.end(), bytes, bytes + HudsonHeaderSize);
        uint8_t to[HudsonToIdxSize];
        WritePascalString(to, HudsonToIdxSize - 1, h.WhoTo);
        toIdx.insert(toIdx.end(), to, to + sizeof to);
        for (size_t k = 0; k < h.NumBlocks; ++k) {
            const std::string piece = body.substr(k * HudsonBlockText, HudsonBlockText);
            uint8_t block[HudsonBlockSize] = {};
            WritePascalString(block, HudsonBlockText, piece);
            txt.insert(txt.end(), block, block + sizeof block);
        }
    }
    std::vector<uint8_t> infoBytes(HudsonInfoSize);
    info.Store(infoBytes.data());
    Save(master / "msginfo.bbs", infoBytes);
    Save(master / "msgidx.bbs", idx);
    Save(master / "msgtoidx.bbs", toIdx);
    Save(master / "msghdr.bbs", hdr);
    Save(master / "msgtxt.bbs", txt);
    return master;
}

std::string BoardPath(int board, const fs::path& dir) {
    return std::string(1, static_cast<char>(board)) + dir.string() + "/";
}

void BM_WalkAndReadHeadersOfBigBoard(benchmark::State& state) {
    const fs::path base = MakeBase();
    for (auto _ : state) {
        THudson hudson;
        hudson.SetPath(BoardPath(1, base));
        hudson.Open();
        int count = 0;
        for (bool ok = hudson.First(); ok; ok = hudson.Next()) {
            hudson.ReadHeader();
            ++count;
        }
        if (count != BigBoardMessages) state.SkipWithError("wrong message count");
    }
}
BENCHMARK(BM_WalkAndReadHeadersOfBigBoard)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WalkBigBoardOnly(benchmark::State& state) {
    const fs::path base = MakeBase();
    THudson hudson;
    hudson.SetPath(BoardPath(1, base));
    hudson.Open();
    for (auto _ : state) {
        int count = 0;
        for (bool ok = hudson.First(); ok; ok = hudson.Next()) ++count;
        benchmark::DoNotOptimize(count);
    }
}
BENCHMARK(BM_WalkBigBoardOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CountUnreadEveryBoard(benchmark::State& state) {
    const fs::path base = MakeBase();
    Settings.FullName = "Bench User";
    for (auto _ : state) {
        int unread = 0;
        for (int board = 1; board <= HudsonBoardCount; ++board) {
            THudson hudson;
            hudson.SetPath(BoardPath(board, base));
            hudson.Open();
            unread += hudson.CountUnread();
        }
        benchmark::DoNotOptimize(unread);
    }
}
BENCHMARK(BM_CountUnreadEveryBoard)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ThousandWrites(benchmark::State& state) {
    const fs::path master = MakeBase();
    const fs::path work = master.parent_path() / "work";
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(work);
        fs::copy(master, work);
        state.ResumeTiming();
        THudson hudson;
        hudson.SetPath(BoardPath(1, work));
        hudson.Open();
        hudson.UseFlagFiles = false;
        for (int i = 0; i < 1000; ++i) {
            hudson.NewMessage();
            hudson.FromName = "Writer";
            hudson.ToName = "All";
            hudson.Subject = "Write " + std::to_string(i);
            hudson.OrigAddr = "2:5020/1";
            hudson.Date = EncodeDateTime(2026, 12, 9, 17, 5, 0);
            hudson.Kludges = {"MSGID: 2:5020/1 " + std::to_string(10000000 + i)};
            hudson.Text = "Some text\r" + std::string(120, 'y') + "\r";
            if (!hudson.WriteMessage()) state.SkipWithError("write refused");
        }
    }
    fs::remove_all(work);
}
BENCHMARK(BM_ThousandWrites)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
