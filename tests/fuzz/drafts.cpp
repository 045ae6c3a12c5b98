// The draft store as the program finds it at start: three stored letters (*.MSG files) in the store
// folder, or left in the folders of a save that was cut short, all from one input. What is restored
// is saved again and restored again: from then on a save and a restore must give the same letters.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "FuzzBase.h"
#include "reader/DraftStore.h"

namespace {

using namespace pelmar;

bool Same(const TDraft& a, const TDraft& b) {
    return a.FromName == b.FromName && a.OrigAddr == b.OrigAddr && a.DestAddr == b.DestAddr &&
           a.ToName == b.ToName && a.Subject == b.Subject && a.Attributes == b.Attributes &&
           a.AreaIds == b.AreaIds && a.Body == b.Body;
}

std::vector<TDraft> SaveAndLoad(TDraftStore& store, std::vector<TDraft> drafts) {
    std::vector<TDraft*> pointers;
    for (TDraft& d : drafts) pointers.push_back(&d);
    std::string error;
    if (!store.Save(pointers, true, &error)) {
        std::fprintf(stderr, "save failed: %s\n", error.c_str());
        std::abort();
    }
    return store.Load();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte: where the files lie (the store, an unfinished new set, a finished new set, the
    // set moved aside) and the names of the files; then the three files.
    const uint8_t layout = data[0];
    const auto parts = fuzz::SplitParts(data + 1, size - 1, 3);
    const std::string& data_dir = fuzz::FreshScratchDir();
    static const char* const folders[] = {"drafts", "drafts.new", "drafts.new", "drafts.old"};
    const std::string folder = data_dir + folders[layout & 3] + "/";
    std::filesystem::create_directory(folder);
    if ((layout & 3) == 2) fuzz::WriteWholeFile(folder + "complete", "");
    static const char* const names[2][3] = {{"1.msg", "2.msg", "3.msg"}, {"2.MSG", "10.msg", "00007.msg"}};
    for (size_t i = 0; i < parts.size(); ++i)
        fuzz::WriteWholeFile(folder + names[(layout >> 2) & 1][i], parts[i]);

    TDraftStore store(data_dir, {});
    const std::vector<TDraft> restored = store.Load();
    for (const TDraft& d : restored) {
        if (d.Number < 0) std::abort();
    }
    const std::vector<TDraft> once = SaveAndLoad(store, restored);
    const std::vector<TDraft> twice = SaveAndLoad(store, once);
    if (once.size() != restored.size() || twice.size() != once.size()) {
        std::fprintf(stderr, "a saved draft did not come back\n");
        std::abort();
    }
    for (size_t i = 0; i < once.size(); ++i) {
        if (!Same(once[i], twice[i])) {
            std::fprintf(stderr, "draft %zu changed between two saves\n", i);
            std::abort();
        }
    }
    return 0;
}
