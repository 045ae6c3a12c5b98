// Timing of the main window's list-wide operations on large generated JAM bases (temporary folder,
// files in the page cache): the search over 100,000 headers and over 100,000 bodies, "previous
// unread" across 30,000 collapsed threads, and the selection menu's "read" and "invert" over
// 100,000 rows. Each is the median of several runs.
//
//   bench_search_bench [FOLDER]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "areas/gizmo.h"
#include "core/Codepage.h"
#include "core/Settings.h"
#include "msgbase/BaseFactory.h"
#include "msgbase/Jam.h"
#include "reader/Navigation.h"
#include "reader/Search.h"
#include "reader/ThreadList.h"

namespace {

using namespace pelmar;
namespace fs = std::filesystem;

void Save(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// `messages` in pairs (the second replies to the first), all read but the very first; the last
// message's subject and body hold the Cyrillic word searched for.
void MakeBase(const std::string& base, int messages) {
    std::string jhr, jdt, jdx;
    TJamBaseHeader header;
    header.BaseMsgNum = 1;
    header.ActiveMsgs = static_cast<uint32_t>(messages);
    jhr = header.Serialize();
    const std::string word = Utf8ToOem("Привет");
    for (int i = 0; i < messages; ++i) {
        const bool last = i == messages - 1;
        std::string subfields;
        AppendJamSubfield(subfields, JamSfSenderName, "Sender " + std::to_string(i % 977));
        AppendJamSubfield(subfields, JamSfReceiverName, "All");
        AppendJamSubfield(subfields, JamSfSubject, last ? word + " all" : "Subject " + std::to_string(i / 2));
        AppendJamSubfield(subfields, JamSfMsgId, "2:5020/1 " + std::to_string(i));
        if (i % 2 == 1) AppendJamSubfield(subfields, JamSfReplyId, "2:5020/1 " + std::to_string(i - 1));
        const std::string body = std::string(1500, 'x') + (last ? "\r" + word + "\r" : "\r") + "--- bench\r";
        TJamMsgHeader msg;
        msg.Revision = 1;
        msg.SubfieldLen = static_cast<uint32_t>(subfields.size());
        msg.DateWritten = msg.DateReceived = msg.DateProcessed = 1764583200u + static_cast<uint32_t>(i) * 60;
        msg.MessageNumber = static_cast<uint32_t>(i + 1);
        msg.Attribute = JamMsgTypeEcho;
        msg.Attribute2 = i == 0 ? 0 : JamAttr2Read;
        msg.TxtOffset = static_cast<uint32_t>(jdt.size());
        msg.TxtLen = static_cast<uint32_t>(body.size());
        const TJamIndexEntry entry{JamTextCrc("all"), static_cast<uint32_t>(jhr.size())};
        jhr += msg.Serialize() + subfields;
        jdt += body;
        jdx += entry.Serialize();
    }
    Save(base + ".jhr", jhr);
    Save(base + ".jdt", jdt);
    Save(base + ".jdx", jdx);
    Save(base + ".jlr", "");
}

double Median(int runs, const std::function<void()>& pass) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        pass();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

TAreaInfo* AddArea(TAreaInfo& root, const std::string& name, const std::string& path) {
    auto area = std::make_unique<TAreaInfo>();
    area->Name = name;
    area->Kind = BaseKindJam;
    area->Path = path;
    return root.AddChild(std::move(area));
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path dir = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "pelmar-search-bench";
    fs::remove_all(dir);
    fs::create_directories(dir);
    Settings.FullName = "Ivan Petrov";
    const std::string big = (dir / "big").string();
    const std::string threads = (dir / "threads").string();
    MakeBase(big, 100000);
    MakeBase(threads, 60000);
    TAreaInfo root;
    TAreaInfo* bigArea = AddArea(root, "big", big);
    TAreaInfo* threadArea = AddArea(root, "threads", threads);
    constexpr int Runs = 5;

    const auto search = [&](bool inText) {
        TSearch s;
        s.SearchText = Utf8ToAnsi("привет");
        s.SearchInText = inText;
        s.Marked.insert(bigArea->ID);
        s.Start(root);
        if (s.Next().Position != 99999) std::fprintf(stderr, "search missed the match\n");
    };
    search(true);  // warm the page cache
    const double headers = Median(Runs, [&] { search(false); });
    const double bodies = Median(Runs, [&] { search(true); });

    Settings.BuildThreads = true;
    TThreadList list;
    list.OpenArea(threadArea, nullptr);
    const size_t threadRows = list.Rows.size();
    const int lastRow = static_cast<int>(threadRows) - 1;
    const double prevUnread =
        Median(Runs, [&] { (void)NavigateFrom(list, TNavigationCommand::PrevUnread, lastRow); });
    list.LeaveArea(nullptr);

    TThreadList flat;
    Settings.BuildThreads = false;
    flat.OpenArea(bigArea, nullptr);
    std::vector<bool> selected(flat.Rows.size(), false);
    const double selectRead = Median(
        Runs, [&] { selected = SelectRows(flat, TSelectionCommand::Read, selected, Settings.FullName); });
    const double invert = Median(
        Runs, [&] { selected = SelectRows(flat, TSelectionCommand::Invert, selected, Settings.FullName); });
    flat.LeaveArea(nullptr);

    std::printf("median of %d runs                               ms   bound\n", Runs);
    std::printf("search, 100,000 headers                  %8.1f   1000\n", headers);
    std::printf("search, 100,000 bodies                   %8.1f   (progress, Esc)\n", bodies);
    std::printf("previous unread, %6zu collapsed threads %8.1f    200\n", threadRows, prevUnread);
    std::printf("select read, %zu rows                 %8.1f    200\n", selected.size(), selectRead);
    std::printf("invert selection, %zu rows            %8.1f    200\n", selected.size(), invert);
    fs::remove_all(dir);
    return 0;
}
