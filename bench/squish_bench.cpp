// Timing of a large Squish base: 100,000 echomail messages with the usual control lines and 1-3 KB
// bodies, generated in a temporary folder. Each pass runs several times; the median is printed.
//
//   bench_squish_bench [FOLDER] [MESSAGES]
#include <time.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/Settings.h"
#include "msgbase/Squish.h"

using namespace pelmar;

namespace {

void Put32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}
void Put16(std::string& s, size_t at, uint16_t v) {
    s[at] = static_cast<char>(v);
    s[at + 1] = static_cast<char>(v >> 8);
}

const char* const Names[] = {
    "Ivan Petrov", "Sergey Sidorov", "Anna Kuznetsova", "Oleg Smirnov",  "Maria Ivanova",
    "All",         "Sysop",          "Pavel Orlov",     "Elena Volkova", "Dmitry Popov"};

// A CP866 word list: Cyrillic letters are bytes 0x80-0xAF and 0xE0-0xEF.
std::string RandomWord(std::mt19937& random) {
    std::string word;
    const int length = 2 + static_cast<int>(random() % 8);
    for (int i = 0; i < length; ++i) {
        const uint32_t r = random() % 64;
        word += static_cast<char>(r < 48 ? 0xA0 + r % 16 : 0xE0 + r % 16);
    }
    return word;
}

// Writes the base directly in the file layout (fast, and independent of the code being timed).
void Generate(const std::string& base, int count) {
    std::mt19937 random(20251201);
    std::string sqd(256, '\0');
    Put16(sqd, 0, 256);
    Put16(sqd, 130, 28);
    std::string sqi;
    sqi.reserve(static_cast<size_t>(count) * 12);
    std::ofstream data(base + ".sqd", std::ios::binary | std::ios::trunc);
    data.write(sqd.data(), 256);
    uint64_t offset = 256;
    uint32_t prev = 0;
    std::string header = sqd;
    for (int n = 1; n <= count; ++n) {
        const char* from = Names[random() % 10];
        const char* to = Names[random() % 10];
        std::string control =
            "\x01MSGID: 2:5020/" + std::to_string(random() % 9999) + " " + std::to_string(n);
        if (n > 1 && random() % 2) control += "\x01REPLY: 2:5020/1 " + std::to_string(n - 1);
        control +=
            "\x01PID: GoldED+/LNX 1.1.5\x01TZUTC: 0300\x01"
            "CHRS: CP866 2";
        std::string body;
        const size_t target = 1024 + random() % 2048;
        while (body.size() < target) {
            std::string line;
            while (line.size() < 70) line += RandomWord(random) + " ";
            body += line + "\r";
        }
        body += "--- GoldED+/LNX 1.1.5\r * Origin: Somewhere in Moscow (2:5020/1)\r";
        body += "SEEN-BY: 5020/1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20\r\x01PATH: 5020/1\r";

        std::string xmsg(238, '\0');
        Put32(xmsg, 0, n % 3 == 0 ? 0x00080000 : 0);
        std::memcpy(&xmsg[4], from, std::strlen(from));
        std::memcpy(&xmsg[40], to, std::strlen(to));
        const std::string subject = "Re: subject " + std::to_string(n % 500);
        std::memcpy(&xmsg[76], subject.data(), subject.size());
        Put16(xmsg, 148, 2);
        Put16(xmsg, 150, 5020);
        Put16(xmsg, 152, 1);
        std::memcpy(&xmsg[218], "01 Dec 25  10:00:00", 19);
        const uint32_t msgLength = static_cast<uint32_t>(238 + control.size() + 1 + body.size() + 1);
        std::string frame(28, '\0');
        Put32(frame, 0, 0xAFAE4453);
        Put32(frame, 8, prev);
        Put32(frame, 12, msgLength);
        Put32(frame, 16, msgLength);
        Put32(frame, 20, static_cast<uint32_t>(control.size() + 1));
        // next_frame is known once the following frame is laid down: it starts right after this one.
        if (n < count) Put32(frame, 4, static_cast<uint32_t>(offset + 28 + msgLength));
        data.write(frame.data(), 28);
        data.write(xmsg.data(), 238);
        data.write(control.c_str(), static_cast<std::streamsize>(control.size() + 1));
        data.write(body.c_str(), static_cast<std::streamsize>(body.size() + 1));

        std::string entry(12, '\0');
        Put32(entry, 0, static_cast<uint32_t>(offset));
        Put32(entry, 4, static_cast<uint32_t>(n));
        Put32(entry, 8, SquishHash(to));
        sqi += entry;
        if (n == 1) Put32(header, 104, static_cast<uint32_t>(offset));
        prev = static_cast<uint32_t>(offset);
        offset += 28 + msgLength;
    }
    Put32(header, 4, static_cast<uint32_t>(count));
    Put32(header, 8, static_cast<uint32_t>(count));
    Put32(header, 20, static_cast<uint32_t>(count + 1));
    Put32(header, 108, prev);
    Put32(header, 120, static_cast<uint32_t>(offset));
    data.seekp(0);
    data.write(header.data(), 256);
    std::ofstream(base + ".sqi", std::ios::binary | std::ios::trunc)
        .write(sqi.data(), static_cast<std::streamsize>(sqi.size()));
}

long RssKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field));
    return 0;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Wall time is what the user waits; CPU time shows the cost of a pass while other programs load the
// machine.
void Time(const char* name, int runs, const std::function<void()>& pass) {
    std::vector<double> ms, cpu;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = CpuMs();
        pass();
        cpu.push_back(CpuMs() - cpuStart);
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::printf("%-44s median %7.1f ms wall, %7.1f ms CPU  (wall min %.1f, max %.1f; %d runs)\n", name,
                Median(ms), Median(cpu), *std::min_element(ms.begin(), ms.end()),
                *std::max_element(ms.begin(), ms.end()), runs);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : "/tmp/pelmar-squish-bench";
    const int count = argc > 2 ? std::atoi(argv[2]) : 100000;
    std::filesystem::create_directories(folder);
    const std::string base = folder + "/big";
    if (!std::filesystem::exists(base + ".sqd") || !std::filesystem::exists(base + ".sqi")) {
        std::printf("generating %d messages in %s ...\n", count, folder.c_str());
        Generate(base, count);
    }
    std::printf("data file %.1f MB, index %.1f MB\n", std::filesystem::file_size(base + ".sqd") / 1048576.0,
                std::filesystem::file_size(base + ".sqi") / 1048576.0);

    // Warm the page cache.
    {
        std::ifstream in(base + ".sqd", std::ios::binary);
        std::vector<char> buffer(1 << 20);
        while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) {
        }
    }
    const long rssStart = RssKb("VmRSS:");
    constexpr int runs = 7;
    Settings.FullName = "Sysop";
    long messages = 0;

    Time("open + First/Next + ReadMsgId over all", runs, [&] {
        TSquish squish;
        squish.SetPath(base);
        squish.Open();
        messages = 0;
        for (bool ok = squish.First(); ok; ok = squish.Next()) {
            squish.ReadMsgId();
            ++messages;
        }
    });
    std::printf("  (%ld messages)\n", messages);
    Time("open + First/Next + ReadHeader over all", runs, [&] {
        TSquish squish;
        squish.SetPath(base);
        squish.Open();
        for (bool ok = squish.First(); ok; ok = squish.Next()) squish.ReadHeader();
    });

    TSquish squish;
    squish.SetPath(base);
    squish.Open();
    const long rssOpen = RssKb("VmRSS:");
    int32_t unread = 0;
    Time("CountUnread", runs, [&] { unread = squish.CountUnread(); });
    std::printf("  (%d unread, %d personal)\n", unread, squish.PersonalUnread);

    std::mt19937 random(7);
    Time("ReadMessage at 1,000 random positions", runs, [&] {
        for (int i = 0; i < 1000; ++i) squish.ReadMessage(static_cast<int32_t>(random() % squish.Count()));
    });
    const long rssReads = RssKb("VmHWM:");

    // Writes go to a copy so that the generated base stays as it is for the next run.
    squish.Close();
    for (const char* ext : {".sqd", ".sqi"})
        std::filesystem::copy_file(base + ext, base + "-w" + ext,
                                   std::filesystem::copy_options::overwrite_existing);
    squish.SetPath(base + "-w");
    squish.Open();
    int written = 0;
    Time("1,000 x NewMessage + WriteMessage", 3, [&] {
        for (int i = 0; i < 1000; ++i) {
            squish.NewMessage();
            squish.FromName = "Bench";
            squish.ToName = "All";
            squish.Subject = "Bench " + std::to_string(i);
            squish.OrigAddr = "2:5020/1";
            squish.Date = NowLocal();
            squish.Kludges = {"MSGID: 2:5020/1 " + std::to_string(i), "PID: Plm 1.0"};
            squish.Text = std::string(1500, 'x') + "\r";
            squish.UseFlagFiles = false;
            if (squish.WriteMessage()) ++written;
        }
    });
    std::printf("  (%d written)\n", written);
    std::printf(
        "memory: RSS %ld KB at start, %ld KB with the base open, peak %ld KB (index in memory: %.1f MB)\n",
        rssStart, rssOpen, std::max(rssReads, RssKb("VmHWM:")), count * 24 / 1048576.0);
    return 0;
}
