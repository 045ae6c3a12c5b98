// The settings file parser. Whatever it accepts must be saved so that it reads back the same:
// otherwise settings would change, or be lost, every time the program saves them.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/RegistryFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pelmar::reg;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    TKey root;
    const TParseResult first = Parse(bytes, root);
    LineList(first.BadLines);
    if (!first.Fatal.empty()) return 0;

    const std::string saved = Serialise(root);
    TKey again;
    const TParseResult second = Parse(saved, again);
    const std::string savedAgain = Serialise(again);
    if (!second.Fatal.empty() || !second.BadLines.empty() || savedAgain != saved) {
        std::fprintf(stderr, "saved settings do not read back:\n--- first save\n%s\n--- second save\n%s\n",
                     saved.c_str(), savedAgain.c_str());
        std::abort();
    }
    Utf8ToUtf16Le(Utf16LeToUtf8(bytes));
    return 0;
}
