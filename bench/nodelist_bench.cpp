// Nodelist timings on a generated list of about 150,000 entries (a nodelist and a Boss pointlist):
// compile time and memory, look-ups by name and by address, a full scan, and one browser screen.
// A plain timing program: prints each figure beside its limit and exits 1 when one is over.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "../tests/nodelist/Generate.h"
#include "nodelist/NodeList.h"
#include "nodelist/NodeRows.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

long MaxRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

bool failed = false;

// The median and the 99th percentile of a set of timings.
struct TSpread {
    double Median = 0, P99 = 0, Worst = 0;
};

TSpread Spread(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms[ms.size() * 99 / 100], ms.back()};
}

void Report(const char* what, double value, double limit, const char* unit) {
    const bool over = value > limit;
    failed = failed || over;
    std::printf("%-44s %10.3f %s (limit %g)%s\n", what, value, unit, limit, over ? "  OVER" : "");
}

}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    if (argc == 3 && std::string(argv[1]) == "--compile") {
        const long before = MaxRssKb();
        pelmar::TNodeList list(argv[2]);
        list.Compile({std::string(argv[2]) + "nodelist.123", std::string(argv[2]) + "pnt5020.123"});
        Report("compile memory (peak of a process that compiles)", MaxRssKb() / 1024.0, 100, "MB");
        std::printf("%-44s %10.3f MB\n", "  of which before compiling", before / 1024.0);
        return failed ? 1 : 0;
    }
    const fs::path dir = fs::temp_directory_path() / "pelmar-nodelist-bench";
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::vector<pelmar::test::TGeneratedNode> indexed;
    {
        auto lists = pelmar::test::GenerateLists(52000, 98000, "\r\n", 11);
        std::ofstream(dir / "nodelist.123", std::ios::binary) << lists.Nodelist;
        std::ofstream(dir / "pnt5020.123", std::ios::binary) << lists.Pointlist;
        std::printf("nodelist %.1f MB, pointlist %.1f MB, %zu entries\n", lists.Nodelist.size() / 1e6,
                    lists.Pointlist.size() / 1e6, lists.Indexed.size());
        indexed = std::move(lists.Indexed);
    }
    const std::vector<std::string> files = {(dir / "nodelist.123").string(), (dir / "pnt5020.123").string()};
    // The compile's own memory, in a fresh process that holds nothing else.
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const std::string command = "'" + self + "' --compile '" + dir.string() + "/'";
    std::fflush(stdout);
    if (std::system(command.c_str()) != 0) failed = true;
    pelmar::TNodeList list(dir.string() + "/");
    const auto compileStart = Clock::now();
    list.Compile(files, [](int) {});
    Report("compile", Ms(Clock::now() - compileStart), 2000, "ms");
    std::printf("records %d\n", list.RecordCount());

    std::mt19937 random(5);
    std::vector<std::string> found;
    std::vector<double> times;
    for (int i = 0; i < 5000; ++i) {
        const auto& node = indexed[random() % indexed.size()];
        const auto start = Clock::now();
        list.FindAddressesByName(node.Name, found);
        times.push_back(Ms(Clock::now() - start));
    }
    TSpread spread = Spread(times);
    Report("lookup by name (median)", spread.Median, 1, "ms");
    Report("lookup by name (99th percentile)", spread.P99, 1, "ms");
    std::printf("%-44s %10.3f ms\n", "lookup by name (worst, machine noise)", spread.Worst);

    times.clear();
    for (int i = 0; i < 200; ++i) {
        const auto& node = indexed[random() % indexed.size()];
        const auto start = Clock::now();
        list.FindNext("", node.Address, 0);
        times.push_back(Ms(Clock::now() - start));
    }
    // The first look-up of a whole address also sorts the addresses once.
    std::printf("%-44s %10.3f ms\n", "lookup by address (the first)", times.front());
    spread = Spread(times);
    Report("lookup by address (median)", spread.Median, 1, "ms");
    std::printf("%-44s %10.3f ms\n", "lookup by address (99th percentile)", spread.P99);

    times.clear();
    for (int i = 0; i < 20; ++i) {
        const auto start = Clock::now();
        if (list.FindNext("no such name", "", 0) != -1) std::printf("unexpected match\n");
        times.push_back(Ms(Clock::now() - start));
    }
    Report("full FindNext scan (median)", Spread(times).Median, 100, "ms");

    pelmar::TNodeRows rows(list, 3);
    times.clear();
    for (int i = 0; i < 500; ++i) {
        const int first = static_cast<int>(random() % (list.RecordCount() - 50));
        const auto start = Clock::now();
        rows.Fill(first, first + 49);
        times.push_back(Ms(Clock::now() - start));
    }
    spread = Spread(times);
    Report("one browser screen of 50 rows (median)", spread.Median, 10, "ms");
    Report("one browser screen of 50 rows (99th pct.)", spread.P99, 10, "ms");
    fs::remove_all(dir);
    return failed ? 1 : 0;
}
