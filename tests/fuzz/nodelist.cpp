// The nodelist compiler and the index reader. A compiled index must find every name it holds; any
// index file, however damaged, must be refused or read without a crash or a wild read.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzBase.h"
#include "core/Address.h"
#include "nodelist/NodeList.h"
#include "nodelist/NodeRows.h"

namespace {

void Browse(pelmar::TNodeList& list) {
    pelmar::TNodeRows rows(list, 3);
    rows.Fill(0, 60);
    rows.Fill(list.RecordCount() - 10, list.RecordCount() + 10);
    std::vector<std::string> out;
    for (const char* query : {"Ivan Petrov", "Sm", "S", "Abcdefghijklmnopqrstuvwxyzabcdefghijklmnop"}) {
        list.FindAddressesByName(query, out);
        list.FirstIndexForPrefix(query);
    }
    list.FindNext("a", "2:*/*", 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pelmar;
    const auto parts = fuzz::SplitParts(data, size, 2);
    const std::string& dir = fuzz::FreshScratchDir();
    fuzz::WriteWholeFile(dir + "net.001", parts[0]);

    TNodeList list(dir);
    list.Compile({dir + "net.001"});
    TNodeRecord record;
    std::vector<std::string> found;
    for (int i = 0; list.Seek(i) && list.ReadRecord(record); ++i) {
        const std::string address =
            FormatAddress(record.Entry.Zone, record.Entry.Net, record.Entry.Node, record.Entry.Point);
        const bool letters = record.Name.size() >= 2 &&
                             std::isalpha(static_cast<unsigned char>(record.Name[0])) &&
                             std::isalpha(static_cast<unsigned char>(record.Name[1]));
        if (!letters) continue;
        list.FindAddressesByName(record.Name, found);
        bool listed = false;
        for (const auto& a : found) listed = listed || a == address;
        if (!listed) {
            std::fprintf(stderr, "record %d (%s) is not found by its name\n", i, record.Name.c_str());
            std::abort();
        }
    }
    Browse(list);

    fuzz::WriteWholeFile(list.IndexPath(), parts[1]);
    if (list.Open()) Browse(list);
    return 0;
}
