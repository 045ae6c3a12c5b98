// The background scan counting on file events, measured with another process as the tosser:
//   (a) how long after a message is appended to a watched area the scan has counted it;
//   (b) the processor time of the idle program with many large areas (getrusage);
//   (c) how many counts a toss of many messages into many areas causes per area.
//
// A plain timing program. The counts are overridable for a quick run:
//   PELMAR_LIVE_AREAS (20), PELMAR_LIVE_MESSAGES (100000), PELMAR_LIVE_IDLE_SECONDS (90),
//   PELMAR_LIVE_TOSS_AREAS (50), PELMAR_LIVE_TOSS_MESSAGES (5000), PELMAR_LIVE_APPENDS (5).
// The large bases are written once into $TMPDIR/pelmar-live-bench (kept between runs).
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "areas/ScanThread.h"
#include "areas/gizmo.h"
#include "core/Settings.h"
#include "msgbase/BaseFactory.h"
#include "msgbase/MessageBase.h"
#include "LiveBases.h"

namespace fs = std::filesystem;
using namespace pelmar;
using Clock = std::chrono::steady_clock;

extern char** environ;

namespace {

using namespace pelmar::bench;

struct TReports {
    std::mutex Mutex;
    std::condition_variable Changed;
    std::vector<std::pair<Clock::time_point, TScanReport>> All;

    void Add(const TScanReport& report) {
        const std::lock_guard guard(Mutex);
        All.emplace_back(Clock::now(), report);
        Changed.notify_all();
    }
    // The time of the first report from `first` on that counted `id` with `predicate` true.
    template <class TPredicate>
    Clock::time_point WaitCounted(size_t first, const std::string& id, TPredicate predicate) {
        std::unique_lock guard(Mutex);
        Clock::time_point seen{};
        Changed.wait_for(guard, std::chrono::seconds(120), [&] {
            for (size_t i = first; i < All.size(); ++i) {
                const auto& ids = All[i].second.CountedAreaIds;
                if (std::find(ids.begin(), ids.end(), id) != ids.end() && predicate()) {
                    seen = All[i].first;
                    return true;
                }
            }
            return false;
        });
        return seen;
    }
    size_t Size() {
        const std::lock_guard guard(Mutex);
        return All.size();
    }
};

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

TAreaInfo* AddArea(TAreaInfo& parent, const std::string& name, const std::string& path) {
    TAreaFields fields;
    fields.Name = name;
    fields.Kind = BaseKindJam;
    fields.Path = path;
    return parent.AddChild(fields);
}

int Measure() {
    const int areas = EnvInt("PELMAR_LIVE_AREAS", 20);
    const int messages = EnvInt("PELMAR_LIVE_MESSAGES", 100000);
    const int idleSeconds = EnvInt("PELMAR_LIVE_IDLE_SECONDS", 90);
    const int tossAreas = EnvInt("PELMAR_LIVE_TOSS_AREAS", 50);
    const int tossMessages = EnvInt("PELMAR_LIVE_TOSS_MESSAGES", 5000);
    const int appends = EnvInt("PELMAR_LIVE_APPENDS", 5);
    const fs::path root = fs::temp_directory_path() / "pelmar-live-bench";

    const std::vector<std::string> large = PrepareLargeBases(root, areas, messages);
    TAreaInfo tree;
    std::vector<TAreaInfo*> largeAreas;
    for (int i = 0; i < areas; ++i)
        largeAreas.push_back(AddArea(tree, "large" + std::to_string(i), large[i]));

    TReports reports;
    TScanThread scan([&reports](const TScanReport& report) { reports.Add(report); });
    const auto started = Clock::now();
    scan.Start();
    while (scan.Passes() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const double passSeconds = std::chrono::duration<double>(Clock::now() - started).count();
    std::printf("first full pass over %d areas of %d messages: %.3f s (every %lld min: %.4f %% of a core)\n",
                areas, messages, passSeconds, static_cast<long long>(TScanThread::FullPassInterval.count()),
                100.0 * passSeconds / std::chrono::duration<double>(TScanThread::FullPassInterval).count());

    // (a) Latency of one appended message, several times.
    double worst = 0;
    for (int round = 0; round < appends; ++round) {
        TAreaInfo* area = largeAreas[static_cast<size_t>(round) % largeAreas.size()];
        const int32_t expected = area->MsgCount.load() + 1;
        const size_t first = reports.Size();
        const Clock::time_point written = RunTosser(1, {area->Path});
        const Clock::time_point counted =
            reports.WaitCounted(first, area->ID, [&] { return area->MsgCount.load() == expected; });
        if (counted == Clock::time_point{}) throw std::runtime_error("the append was never counted");
        const double ms = std::chrono::duration<double, std::milli>(counted - written).count();
        worst = std::max(worst, ms);
        std::printf("(a) appended by another process, counted after %.0f ms\n", ms);
    }
    std::printf("(a) worst of %d: %.0f ms (target: within 1000 ms)\n", appends, worst);

    // (b) Idle: nothing happens; the process's processor time over the period.
    std::this_thread::sleep_for(std::chrono::seconds(1));  // the last count's report is out
    const double cpuBefore = CpuSeconds();
    const auto idleStart = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
    const double cpu = CpuSeconds() - cpuBefore;
    const double wall = std::chrono::duration<double>(Clock::now() - idleStart).count();
    std::printf(
        "(b) idle %d areas of %d messages for %.0f s: %.4f s of processor = %.4f %% of a core (target: "
        "at most 0.1 %%)\n",
        areas, messages, wall, cpu, 100.0 * cpu / wall);

    // (c) A toss into many small areas of one folder.
    const fs::path tossFolder = root / "toss";
    fs::remove_all(tossFolder);
    fs::create_directories(tossFolder);
    std::vector<TAreaInfo*> tossed;
    std::vector<std::string> tossPaths;
    for (int i = 0; i < tossAreas; ++i) {
        const std::string path = (tossFolder / ("echo" + std::to_string(i))).string();
        auto base = CreateMessageBase(BaseKindJam);
        base->SetPath(path);
        base->CreateBase();
        tossPaths.push_back(path);
        tossed.push_back(AddArea(tree, "echo" + std::to_string(i), path));
    }
    const size_t beforeAdd = reports.Size();
    scan.RequestCount();  // as the window does after areas were added
    while (reports.Size() == beforeAdd) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const size_t first = reports.Size();
    const int recountsBefore = scan.Recounts();
    RunTosser(tossMessages, tossPaths);
    // Settled when every area holds its share.
    const auto limit = Clock::now() + std::chrono::seconds(120);
    auto complete = [&] {
        for (int i = 0; i < tossAreas; ++i) {
            const int share = tossMessages / tossAreas + (i < tossMessages % tossAreas ? 1 : 0);
            if (tossed[static_cast<size_t>(i)]->MsgCount.load() != share) return false;
        }
        return true;
    };
    while (!complete() && Clock::now() < limit) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::this_thread::sleep_for(TScanThread::QuietCap + std::chrono::seconds(1));  // anything late shows now
    std::map<std::string, int> perArea;
    int otherCounts = 0;
    {
        const std::lock_guard guard(reports.Mutex);
        for (size_t i = first; i < reports.All.size(); ++i)
            for (const std::string& id : reports.All[i].second.CountedAreaIds) ++perArea[id];
    }
    int least = 1 << 30, most = 0;
    for (TAreaInfo* area : tossed) {
        const int n = perArea.count(area->ID) != 0 ? perArea[area->ID] : 0;
        least = std::min(least, n);
        most = std::max(most, n);
    }
    for (TAreaInfo* area : largeAreas) otherCounts += perArea.count(area->ID) != 0 ? perArea[area->ID] : 0;
    std::printf(
        "(c) toss of %d messages into %d areas: %s; counts per area: least %d, most %d (total %d); counts of "
        "other areas: %d; event queue overflows: %d\n",
        tossMessages, tossAreas, complete() ? "all counted" : "NOT ALL COUNTED", least, most,
        scan.Recounts() - recountsBefore, otherCounts, scan.Overflows());
    scan.Terminate();
    scan.WaitFor();
    return complete() && worst <= 1000 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    Settings.FullName = "Bench User";
    if (argc >= 3 && std::string(argv[1]) == "--toss") return Toss(argc, argv);
    if (std::getenv("PELMAR_HOME") == nullptr) {
        const fs::path home = fs::temp_directory_path() / "pelmar-live-bench" / "home";
        fs::create_directories(home);
        setenv("PELMAR_HOME", (home.string() + "/").c_str(), 1);
    }
    try {
        return Measure();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 2;
    }
}
