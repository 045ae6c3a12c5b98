// The reader of a binary FASTECHO.CFG: counts, sizes and offsets all come from the file. Any file,
// however damaged, must be refused with a read error or give areas that have names, without a wild
// read or an allocation the file's size does not justify.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "FuzzBase.h"
#include "areas/gizmo.h"
#include "core/Address.h"
#include "core/Errors.h"
#include "import/FastEchoImport.h"

namespace {

using namespace pelmar;

void Walk(const TAreaInfo& level, int depth) {
    for (int i = 0; i < level.ChildCount(); ++i) {
        const TAreaInfo& entry = *level.Child(i);
        if (entry.Name.empty()) {
            std::fprintf(stderr, "an imported entry has no name (%s)\n", entry.Path.c_str());
            std::abort();
        }
        uint16_t zone = 0, net = 0, node = 0, point = 0;
        ParseAddress(entry.UseAKA, false, zone, net, node, point);
        Walk(entry, depth + 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::FreshScratchDir() + "FASTECHO.CFG";
    fuzz::WriteWholeFile(path, std::string_view(reinterpret_cast<const char*>(data), size));
    // Both ways the import window and a linked group read it: names split at dots, and whole.
    for (const bool split : {true, false}) {
        TAreaInfo container;
        try {
            ImportFastEchoConfig(path, container, split);
        } catch (const EReadError&) {
        }
        Walk(container, 0);
    }
    return 0;
}
