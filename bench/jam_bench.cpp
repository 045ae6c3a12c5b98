// Timing of a large JAM base: 100,000 echomail messages with the usual subfields and 1-3 KB bodies,
// generated in a temporary folder (files stay in the page cache). Each pass runs several times; the
// median is printed, with the memory the passes took beyond the loaded index.
//
//   bench_jam_bench [FOLDER] [MESSAGES] [keep]   ("keep" reuses and keeps the generated base)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "core/Settings.h"
#include "msgbase/Jam.h"

namespace {

using namespace pelmar;
namespace fs = std::filesystem;

void Save(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Builds the base directly from records: writing 100,000 messages one by one would measure the
// generator, not the reader.
void MakeBase(const std::string& base, int messages) {
    std::mt19937 rng(42);
    std::string jhr, jdt, jdx;
    TJamBaseHeader header;
    header.BaseMsgNum = 1;
    header.ActiveMsgs = static_cast<uint32_t>(messages);
    header.ModCounter = static_cast<uint32_t>(messages);
    jhr = header.Serialize();
    const std::string names[] = {"All", "Ivan Petrov", "Sergey Sidorov", "Anna", "Sysop"};
    for (int i = 0; i < messages; ++i) {
        const std::string to = names[rng() % 5];
        std::string subfields;
        AppendJamSubfield(subfields, JamSfSenderName, "Sender " + std::to_string(i % 977));
        AppendJamSubfield(subfields, JamSfReceiverName, to);
        AppendJamSubfield(subfields, JamSfSubject, "Re: subject number " + std::to_string(i / 3));
        AppendJamSubfield(subfields, JamSfOAddress, "2:5020/" + std::to_string(i % 500));
        AppendJamSubfield(subfields, JamSfMsgId,
                          "2:5020/" + std::to_string(i % 500) + " " + std::to_string(i));
        if (i % 2) AppendJamSubfield(subfields, JamSfReplyId, "2:5020/1 " + std::to_string(i - 1));
        AppendJamSubfield(subfields, JamSfPid, "GoldED+/LNX 1.1.5");
        AppendJamSubfield(subfields, JamSfFtsKludge, "TZUTC: 0300");
        AppendJamSubfield(subfields, JamSfSeenBy2D, "5020/1 2 3 4 5 6 7 8 9 10 11 12 13 14 15");
        AppendJamSubfield(subfields, JamSfSeenBy2D, "5030/1 2 3 4 5 6 7 8 9");
        AppendJamSubfield(subfields, JamSfPath2D, "5020/1 2");
        const std::string body =
            std::string(1000 + rng() % 2000, 'x') + "\r--- bench\r * Origin: bench (2:5020/1)\r";
        TJamMsgHeader msg;
        msg.Revision = 1;
        msg.SubfieldLen = static_cast<uint32_t>(subfields.size());
        msg.DateWritten = msg.DateReceived = msg.DateProcessed = 1764583200u + static_cast<uint32_t>(i) * 60;
        msg.MessageNumber = static_cast<uint32_t>(i + 1);
        msg.Attribute = JamMsgTypeEcho;
        msg.Attribute2 = (rng() % 3 == 0) ? JamAttr2Read : 0;
        msg.TxtOffset = static_cast<uint32_t>(jdt.size());
        msg.TxtLen = static_cast<uint32_t>(body.size());
        const TJamIndexEntry entry{JamTextCrc(to), static_cast<uint32_t>(jhr.size())};
        jhr += msg.Serialize() + subfields;
        jdt += body;
        jdx += entry.Serialize();
    }
    Save(base + ".jhr", jhr);
    Save(base + ".jdt", jdt);
    Save(base + ".jdx", jdx);
    Save(base + ".jlr", "");
}

long RssKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::string(field).size());
    return -1;
}

double ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

// Median wall-clock and CPU time of the pass: on a shared machine the CPU time says more.
struct TTiming {
    double WallMs;
    double CpuMs;
};

TTiming Median(int runs, const std::function<void()>& pass) {
    std::vector<double> walls, cpus;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = ThreadCpuMs();
        pass();
        cpus.push_back(ThreadCpuMs() - cpuStart);
        walls.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(walls.begin(), walls.end());
    std::sort(cpus.begin(), cpus.end());
    return {walls[walls.size() / 2], cpus[cpus.size() / 2]};
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path dir = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "pelmar-jam-bench";
    const int messages = argc > 2 ? std::atoi(argv[2]) : 100000;
    const bool keep = argc > 3 && std::string(argv[3]) == "keep";
    const std::string base = (dir / "big").string();
    if (!keep || !fs::exists(base + ".jhr")) {
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    // Generated in a child process so that its buffers do not count in the memory figures.
    if (keep && fs::exists(base + ".jhr")) {
        // reuse
    } else if (const pid_t child = fork(); child == 0) {
        MakeBase(base, messages);
        _exit(0);
    } else {
        int status = 0;
        waitpid(child, &status, 0);
    }
    Settings.FullName = "Ivan Petrov";
    constexpr int Runs = 7;

    const long before = RssKb("VmRSS:");
    TJAM jam;
    jam.SetPath(base);
    jam.Open();
    if (!jam.Active) {
        std::fprintf(stderr, "cannot open %s\n", base.c_str());
        return 1;
    }
    const long withIndex = RssKb("VmRSS:");

    int seen = 0;
    const auto walk = [&](void (TJAM::*read)()) {
        seen = 0;
        for (bool more = jam.First(); more; more = jam.Next()) {
            (jam.*read)();
            ++seen;
        }
    };
    walk(&TJAM::ReadHeader);  // warm the page cache
    const TTiming msgId = Median(Runs, [&] { walk(&TJAM::ReadMsgId); });
    const TTiming header = Median(Runs, [&] { walk(&TJAM::ReadHeader); });
    int unread = 0;
    const TTiming count = Median(Runs, [&] { unread = jam.CountUnread(); });
    std::mt19937 rng(1);
    const TTiming random = Median(Runs, [&] {
        for (int i = 0; i < 1000; ++i)
            jam.ReadMessage(static_cast<int32_t>(rng() % static_cast<uint32_t>(messages)));
    });
    const long afterReads = RssKb("VmHWM:");
    const std::string text = std::string(1500, 'y') + "\r";
    const TTiming write = Median(Runs, [&] {
        for (int i = 0; i < 1000; ++i) {
            jam.NewMessage();
            jam.FromName = "Bench";
            jam.ToName = "All";
            jam.Subject = "Written " + std::to_string(i);
            jam.OrigAddr = "2:5020/1";
            jam.Kludges = {"MSGID: 2:5020/1 " + std::to_string(i), "PID: Plm 1.0"};
            jam.Text = text;
            if (!jam.WriteMessage()) std::abort();
        }
    });

    std::printf("JAM base: %d messages (walked %d, unread %d, personal unread %d)\n", messages, seen, unread,
                jam.PersonalUnread);
    std::printf("median of %d runs       wall ms   cpu ms\n", Runs);
    const auto row = [](const char* name, const TTiming& t) {
        std::printf("%-22s %8.1f %8.1f\n", name, t.WallMs, t.CpuMs);
    };
    row("ReadMsgId pass", msgId);
    row("ReadHeader pass", header);
    row("CountUnread", count);
    row("1,000 ReadMessage", random);
    row("1,000 WriteMessage", write);
    std::printf("memory: index %ld KB; peak beyond the index during reads %ld KB\n", withIndex - before,
                afterReads - withIndex);
    if (!keep) fs::remove_all(dir);
    return 0;
}
