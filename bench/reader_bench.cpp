// Timing of the message list: a 100,000-message JAM area and a 100,000-message Squish area (about
// 30 % replies, some stored before their parents) read into threads, reopened from the cache,
// sorted; a 10,000-reply thread expanded; the counters of 5,000 areas refreshed. Bases are
// generated in a temporary folder (files stay in the page cache); each figure is a median.
//
//   bench_reader_bench [FOLDER] [MESSAGES]
#include <malloc.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

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

#include "areas/gizmo.h"
#include "core/Settings.h"
#include "msgbase/BaseFactory.h"
#include "msgbase/Jam.h"
#include "msgbase/JamRecords.h"
#include "msgbase/SquishFormat.h"
#include "reader/AreaMarks.h"
#include "reader/ThreadList.h"

using namespace pelmar;
namespace fs = std::filesystem;

namespace {

const char* const Names[] = {
    "Ivan Petrov", "Sergey Sidorov", "Anna Kuznetsova", "Oleg Smirnov",  "Maria Ivanova",
    "All",         "Sysop",          "Pavel Orlov",     "Elena Volkova", "Dmitry Popov"};

std::string MsgIdOf(int n) {
    char text[40];
    std::snprintf(text, sizeof text, "2:5020/%d %08x", n % 977, static_cast<unsigned>(n) * 2654435761u);
    return text;
}

// About 30 % replies: mostly to an earlier message, one in ten to a later one (it waits as pending).
int ReplyTarget(std::mt19937& rng, int n, int count) {
    if (n == 0 || rng() % 10 >= 3) return -1;
    if (rng() % 10 == 0 && n + 1 < count)
        return n + 1 + static_cast<int>(rng() % std::min(50, count - n - 1));
    return static_cast<int>(rng() % static_cast<unsigned>(n));
}

void Save(const std::string& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void MakeJam(const std::string& base, int count) {
    std::mt19937 rng(42);
    TJamBaseHeader header;
    header.BaseMsgNum = 1;
    header.ActiveMsgs = static_cast<uint32_t>(count);
    header.ModCounter = static_cast<uint32_t>(count);
    std::string jhr = header.Serialize(), jdt, jdx;
    for (int i = 0; i < count; ++i) {
        const std::string to = Names[rng() % 10];
        std::string subfields;
        AppendJamSubfield(subfields, JamSfSenderName, Names[rng() % 10]);
        AppendJamSubfield(subfields, JamSfReceiverName, to);
        AppendJamSubfield(subfields, JamSfSubject, "Re: subject number " + std::to_string(rng() % 5000));
        AppendJamSubfield(subfields, JamSfOAddress, "2:5020/" + std::to_string(i % 977));
        AppendJamSubfield(subfields, JamSfMsgId, MsgIdOf(i));
        const int target = ReplyTarget(rng, i, count);
        if (target >= 0) AppendJamSubfield(subfields, JamSfReplyId, MsgIdOf(target));
        AppendJamSubfield(subfields, JamSfPid, "GoldED+/LNX 1.1.5");
        AppendJamSubfield(subfields, JamSfFtsKludge, "TZUTC: 0300");
        AppendJamSubfield(subfields, JamSfSeenBy2D, "5020/1 2 3 4 5 6 7 8 9 10 11 12 13 14 15");
        AppendJamSubfield(subfields, JamSfPath2D, "5020/1 2");
        const std::string body =
            std::string(1000 + rng() % 2000, 'x') + "\r--- bench\r * Origin: bench (2:5020/1)\r";
        TJamMsgHeader msg;
        msg.Revision = 1;
        msg.SubfieldLen = static_cast<uint32_t>(subfields.size());
        msg.DateWritten = msg.DateReceived = msg.DateProcessed =
            1764583200u + static_cast<uint32_t>(rng() % 3000000);
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

void Put32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
}
void Put16(std::string& s, size_t at, uint16_t v) {
    s[at] = static_cast<char>(v);
    s[at + 1] = static_cast<char>(v >> 8);
}

// The Squish layout written directly (frames of 28 bytes, XMSG of 238, control, body).
void MakeSquish(const std::string& base, int count) {
    std::mt19937 rng(7);
    std::string header(256, '\0');
    Put16(header, 0, 256);
    Put16(header, 130, 28);
    std::string sqd = header, sqi;
    uint32_t prev = 0;
    for (int n = 0; n < count; ++n) {
        const char* from = Names[rng() % 10];
        const char* to = Names[rng() % 10];
        std::string control = "\x01MSGID: " + MsgIdOf(n);
        const int target = ReplyTarget(rng, n, count);
        if (target >= 0) control += "\x01REPLY: " + MsgIdOf(target);
        control +=
            "\x01PID: GoldED+/LNX 1.1.5\x01TZUTC: 0300\x01"
            "CHRS: CP866 2";
        const std::string body =
            std::string(1000 + rng() % 2000, 'x') + "\r--- bench\r * Origin: bench (2:5020/1)\r";
        std::string xmsg(238, '\0');
        Put32(xmsg, 0, n % 3 == 0 ? 0x00080000 : 0);
        std::memcpy(&xmsg[4], from, std::strlen(from));
        std::memcpy(&xmsg[40], to, std::strlen(to));
        const std::string subject = "Re: subject " + std::to_string(rng() % 5000);
        std::memcpy(&xmsg[76], subject.data(), subject.size());
        Put16(xmsg, 148, 2);
        Put16(xmsg, 150, 5020);
        Put16(xmsg, 152, 1);
        char date[24];
        std::snprintf(date, sizeof date, "%02d Dec 25  %02d:%02d:00", 1 + static_cast<int>(rng() % 28),
                      static_cast<int>(rng() % 24), static_cast<int>(rng() % 60));
        std::memcpy(&xmsg[218], date, 19);
        const auto length = static_cast<uint32_t>(238 + control.size() + 1 + body.size() + 1);
        const auto offset = static_cast<uint32_t>(sqd.size());
        std::string frame(28, '\0');
        Put32(frame, 0, 0xAFAE4453);
        Put32(frame, 8, prev);
        Put32(frame, 12, length);
        Put32(frame, 16, length);
        Put32(frame, 20, static_cast<uint32_t>(control.size() + 1));
        if (n + 1 < count) Put32(frame, 4, offset + 28 + length);
        sqd += frame + xmsg + control + '\0' + body + '\0';
        std::string entry(12, '\0');
        Put32(entry, 0, offset);
        Put32(entry, 4, static_cast<uint32_t>(n + 1));
        Put32(entry, 8, SquishHash(to));
        sqi += entry;
        if (n == 0) Put32(sqd, 104, offset);
        prev = offset;
    }
    Put32(sqd, 4, static_cast<uint32_t>(count));
    Put32(sqd, 8, static_cast<uint32_t>(count));
    Put32(sqd, 20, static_cast<uint32_t>(count + 1));
    Put32(sqd, 108, prev);
    Put32(sqd, 120, static_cast<uint32_t>(sqd.size()));
    Save(base + ".sqd", sqd);
    Save(base + ".sqi", sqi);
}

// The headers of a real base held in memory: timing the list on it leaves out the base's reading.
class TMemoryCopy : public TMessageBase {
public:
    struct THeader {
        std::string From, To, Subject, MsgId, ReplyId;
        TDateTime Date;
        bool Read;
    };
    explicit TMemoryCopy(TMessageBase& from) {
        Active = true;
        for (bool more = from.First(); more; more = from.Next()) {
            from.ReadHeader();
            headers_.push_back(
                {from.FromName, from.ToName, from.Subject, from.MsgId, from.ReplyId, from.Date, from.Read});
        }
    }
    ~TMemoryCopy() override { Destroy(); }
    int32_t Count() override { return static_cast<int32_t>(headers_.size()); }
    void GetAttrText(std::string& text) override { text.clear(); }
    bool CheckCurrent() override { return false; }
    double ChangeStamp() override { return 1; }
    int32_t ChangeCounter() override { return 1; }
    void Open() override {}
    void Close() override {}
    void CreateBase() override {}
    bool First() override { return (Current = 0) < Count(); }
    bool Next() override { return ++Current < Count(); }
    void ReadHeader() override {
        const THeader& h = headers_[static_cast<size_t>(Current)];
        FromName = h.From;
        ToName = h.To;
        Subject = h.Subject;
        MsgId = h.MsgId;
        ReplyId = h.ReplyId;
        Date = h.Date;
        Read = h.Read;
    }
    void ReadMsgId() override { MsgId = headers_[static_cast<size_t>(Current)].MsgId; }
    void ReadMessage(int32_t position) override {
        Seek(position);
        ReadHeader();
    }
    void Seek(int32_t position) override { Current = position; }
    bool DeleteCurrent(int32_t* = nullptr, uint32_t* = nullptr) override { return false; }
    void MarkRead() override {}
    void NewMessage() override {}
    bool WriteMessage() override { return false; }
    void PrepareRewrite() override {}
    bool IsValid() override { return Current >= 0 && Current < Count(); }
    void ReadToAndRead() override {}
    int32_t FileStamp() override { return 0; }
    bool FileStampIs(int32_t) override { return false; }

private:
    std::vector<THeader> headers_;
};

double ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

// Median wall-clock and CPU time: on a shared machine the CPU time says more.
struct TTiming {
    double Wall = 0;
    double Cpu = 0;
};

TTiming Median(int runs, const std::function<void()>& pass, const std::function<void()>& between = {}) {
    std::vector<double> walls, cpus;
    for (int i = 0; i < runs; ++i) {
        if (between) between();
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

void Row(const char* name, const TTiming& t) {
    std::printf("  %-58s %8.2f ms wall %8.2f ms cpu\n", name, t.Wall, t.Cpu);
}

size_t HeapInUse() {
    return mallinfo2().uordblks;
}

void BenchArea(const char* name, int kind, const std::string& path) {
    constexpr int Runs = 5;
    TAreaInfo area;
    area.Name = name;
    area.Kind = kind;
    area.Path = path;
    TOpenedBase held(area, TBaseMode::Shared);  // keeps the base's own buffers out of the list figures
    if (!held) {
        std::fprintf(stderr, "cannot open %s\n", path.c_str());
        std::exit(1);
    }
    TMessageBase& base = *held.get();
    auto walk = [&](void (TMessageBase::*read)()) {
        for (bool more = base.First(); more; more = base.Next()) (base.*read)();
    };
    walk(&TMessageBase::ReadHeader);  // page cache
    const TTiming msgIdPass = Median(Runs, [&] { walk(&TMessageBase::ReadMsgId); });
    const TTiming headerPass = Median(Runs, [&] { walk(&TMessageBase::ReadHeader); });

    TThreadList list;
    list.SortColumn = SectionDate;
    Settings.UseCache = false;
    TMemoryCopy copy(base);
    const TTiming engineOnly = Median(
        Runs,
        [&] {
            list.CurrentArea = &area;
            list.Base = &copy;
            list.ReadAreaMessages();
        },
        [&] { list.ClearList(); });
    list.ClearList();
    list.CurrentArea = nullptr;
    list.Base = nullptr;
    const TTiming open = Median(
        Runs, [&] { list.OpenArea(&area, nullptr); }, [&] { list.LeaveArea(nullptr); });
    list.LeaveArea(nullptr);
    const size_t heapBefore = HeapInUse();
    list.OpenArea(&area, nullptr);
    const size_t heapAfter = HeapInUse();
    const size_t entries = list.MsgIdIndex.Size();
    const size_t rows = list.Rows.size();
    const size_t tops = list.ThreadRoot ? list.ThreadRoot->Replies.size() : 0;

    const TTiming sort = Median(Runs, [&] { list.HeaderClicked(SectionSubject, list.Rows[rows / 2]); });
    const TTiming sortFrom = Median(Runs, [&] { list.HeaderClicked(SectionFrom, nullptr); });

    Settings.UseCache = true;
    Settings.CacheMax = 10;
    list.LeaveArea(nullptr);
    list.OpenArea(&area, nullptr);  // fills nothing yet: the first visit reads
    TAreaInfo other;
    other.Kind = AreaKindFolder;
    const TTiming reopen = Median(
        Runs, [&] { list.OpenArea(&area, nullptr); }, [&] { list.OpenArea(&other, nullptr); });
    const bool fromCache = list.ThreadRoot != nullptr;
    list.LeaveArea(nullptr);
    list.Cache.Clear();

    std::printf("%s: %d messages, %zu MSGIDs, %zu top-level rows of %zu entries\n", name, base.Count(),
                entries, tops, rows);
    Row("ReadMsgId pass alone", msgIdPass);
    Row("ReadHeader pass alone", headerPass);
    Row("open threaded (both passes, pending, sort by date, rows)", open);
    Row("the same on the headers held in memory (the list's share)", engineOnly);
    Row(fromCache ? "reopen from the cache" : "reopen from the cache (MISSED)", reopen);
    Row("header click: sort by subject + rows", sort);
    Row("header click: sort by sender + rows", sortFrom);
    std::printf("  list memory (tree + index + rows) %.1f MB\n", (heapAfter - heapBefore) / 1048576.0);
}

void BenchExpand() {
    TThreadList list;
    list.ThreadRoot = std::make_unique<TMessageClass>();
    for (int i = 0; i < 90000; ++i) list.ThreadRoot->AddReply().Subject = "top " + std::to_string(i);
    TMessageClass& big = *list.ThreadRoot->Replies[45000];
    for (int i = 0; i < 10000; ++i) {
        TMessageClass& reply = big.AddReply();
        if (i % 10 == 0) reply.AddReply();
    }
    list.RebuildRows();
    int inserted = 0;
    const TTiming expand = Median(
        9, [&] { inserted = list.ExpandThread(big, 45000); }, [&] { list.CollapseThread(big, 45000); });
    const TTiming collapse = Median(
        9, [&] { list.CollapseThread(big, 45000); }, [&] { list.ExpandThread(big, 45000); });
    std::printf("thread of %d replies among %zu rows:\n", inserted, list.Rows.size());
    Row("expand", expand);
    Row("collapse", collapse);
}

void BenchCounters() {
    TAreaInfo root;
    std::mt19937 rng(3);
    int areas = 0;
    for (int g = 0; g < 50; ++g) {
        auto group = std::make_unique<TAreaInfo>();
        group->Name = "Group " + std::to_string(g);
        TAreaInfo* groupPtr = root.AddChild(std::move(group));
        for (int a = 0; a < 99; ++a, ++areas) {
            auto area = std::make_unique<TAreaInfo>();
            area->Name = "AREA." + std::to_string(g) + "." + std::to_string(a);
            area->Kind = 2;
            area->MsgCount = static_cast<int32_t>(rng() % 5000);
            area->Read = static_cast<int32_t>(rng() % 50);
            area->PersonalUnread = rng() % 20 == 0 ? 1 : 0;
            groupPtr->AddChild(std::move(area));
        }
        ++areas;
    }
    TAreaMarks marks;
    const TTiming first = Median(1, [&] { marks.RefreshAreaCounters(root); });
    const TTiming again = Median(
        9, [&] { marks.RefreshAreaCounters(root); },
        [&] {
            for (TAreaInfo* area = root.NextInTree(); area != nullptr; area = area->NextInTree())
                if (area->Kind != 0) area->Read = static_cast<int32_t>(rng() % 50);
        });
    std::printf("%d areas:\n", areas);
    Row("counter refresh, first", first);
    Row("counter refresh, later passes", again);
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path dir = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "pelmar-reader-bench";
    const int messages = argc > 2 ? std::atoi(argv[2]) : 100000;
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string jam = (dir / "big").string(), squish = (dir / "big").string();
    // Generated in a child so its buffers do not count in the memory figures.
    if (const pid_t child = fork(); child == 0) {
        MakeJam(jam, messages);
        MakeSquish(squish, messages);
        _exit(0);
    } else {
        int status = 0;
        waitpid(child, &status, 0);
    }
    Settings.FullName = "Ivan Petrov";
    Settings.BuildThreads = true;
    BenchArea("JAM", BaseKindJam, jam);
    BenchArea("Squish", BaseKindSquish, squish);
    BenchExpand();
    BenchCounters();
    fs::remove_all(dir);
    return 0;
}
