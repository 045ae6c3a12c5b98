// The UU decoder over one message text fed twice, and the name it would propose for every file.
#include <cstdlib>
#include <string_view>

#include "editor/UUCode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pelmar;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    TUUDecoder decoder;
    decoder.AddText(text);
    decoder.AddText(text);
    size_t decoded = 0;
    for (const TFileInfo& file : decoder.Files()) {
        if (file.SectionsDone > file.SectionCount || file.SectionCount > UUMaxSections) std::abort();
        if (file.Sections.size() != static_cast<size_t>(file.SectionsDone)) std::abort();
        for (const auto& [k, section] : file.Sections) decoded += section.Data.size();
        const std::string name = SafeFileName(file.Name);
        if (name.empty() || name[0] == '.' || name.find_first_of("/\\") != std::string::npos) std::abort();
        for (unsigned char c : name) {
            if (c < 32 || c == 127) std::abort();
        }
    }
    // Every four encoded characters give at most three bytes.
    if (decoded > 2 * size) std::abort();
    return 0;
}
