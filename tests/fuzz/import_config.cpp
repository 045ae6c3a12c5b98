// The text configuration importers: GOLDED.CFG (and the area lists its AREAFILE lines name, read as
// the import stages them), fidoconfig with its include files and variables, crashmail.prefs,
// SQUISH.CFG, T-MAIL.CTL and AREAS.BBS. The first byte picks the main file's format; the rest is cut
// into the main file and the files it may name (i1 .. i4, beside it), so that include chains, cycles,
// missing files and self-includes are all reachable. Whatever the files hold, an import ends, and
// every area it gives has a name and can be walked.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "FuzzBase.h"
#include "areas/gizmo.h"
#include "core/Address.h"
#include "core/Errors.h"
#include "import/AreaImport.h"
#include "import/AreasBbsImport.h"
#include "import/GoldEdImport.h"
#include "import/SquishCfgImport.h"
#include "import/TMailImport.h"
#include "import/TosserImport.h"
#include "msgbase/BaseFactory.h"

namespace {

using namespace pelmar;

[[noreturn]] void Fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "%s: %s\n", what, detail.c_str());
    std::abort();
}

// What the area tree does with an imported entry: its name shown, its address parsed, its kind
// looked at, its children walked.
size_t Walk(const TAreaInfo& level, int depth) {
    if (depth > 64) Fail("area tree too deep", level.Name);
    size_t areas = 0;
    for (int i = 0; i < level.ChildCount(); ++i) {
        const TAreaInfo& entry = *level.Child(i);
        if (entry.Name.empty()) Fail("an imported entry has no name", entry.Path);
        if (level.FindChild(entry.Name) != &entry) Fail("two entries share a name", entry.Name);
        uint16_t zone = 0, net = 0, node = 0, point = 0;
        ParseAddress(entry.UseAKA, false, zone, net, node, point);
        ProperCaseName(entry.Name);
        ++areas;
        areas += Walk(entry, depth + 1);
    }
    return areas;
}

void CheckTosser(const TTosserConfig& config) {
    for (const TImportedArea& area : config.Areas) {
        if (area.Kind != BaseKindMsg && area.Kind != BaseKindJam && area.Kind != BaseKindSquish)
            Fail("a tosser area of an unknown base kind", area.Name);
    }
    TAreaInfo container;
    StoreTosserAreas(config, container);
    Walk(container, 0);
}

// The import window's steps for GOLDED.CFG: read the plan, then build and refresh its linked groups
// apart from the tree, as ApplyGoldEdPlan does before anything is saved.
void GoldEd(const std::string& file) {
    TGoldEdPlan plan;
    try {
        plan = ReadGoldEdConfig(file);
    } catch (const EReadError&) {
        return;
    }
    for (const std::string& aka : plan.SelfAKA) {
        uint16_t zone = 0, net = 0, node = 0, point = 0;
        ParseAddress(aka, false, zone, net, node, point);
    }
    TAreaInfo staging;
    StageGroups(plan, staging);
    Walk(staging, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pelmar;
    static const bool registered = [] {
        RegisterAreaImporters();
        return true;
    }();
    (void)registered;
    if (size == 0) return 0;
    const uint8_t format = data[0] % 6;
    const auto parts = fuzz::SplitParts(data + 1, size - 1, 5);
    // A few levels down in a folder of its own: a path that climbs out with ".." finds small
    // folders to search, not the crowded parent of every scratch folder.
    const std::string dir = fuzz::FreshScratchDir() + "a/b/c/d/e/f/g/h/";
    std::filesystem::create_directories(dir);
    static const char* const MainNames[] = {"golded.cfg", "config",     "crashmail.prefs",
                                            "squish.cfg", "t-mail.ctl", "areas.bbs"};
    const std::string main = dir + MainNames[format];
    fuzz::WriteWholeFile(main, parts[0]);
    for (size_t i = 1; i < parts.size(); ++i) fuzz::WriteWholeFile(dir + "i" + std::to_string(i), parts[i]);

    TAreaInfo container;
    switch (format) {
        case 0:
            GoldEd(main);
            return 0;
        case 1:
            CheckTosser(ReadFidoConfig(main));
            return 0;
        case 2:
            CheckTosser(ReadCrashMailPrefs(main));
            return 0;
        case 3:
            ImportSquishConfig(main, container, true, true, true);
            break;
        case 4:
            try {
                ImportTMailConfig(main, container);
            } catch (const EReadError&) {
            }
            break;
        case 5:
            ImportAreasBbs(main, container, dir + "hudson/", {"2:5020/1.3", "2:5020/9", "1:2/3"});
            break;
    }
    Walk(container, 0);
    return 0;
}
