// A JAM base: the input holds the .jhr, .jdt, .jdx and .jlr.
#include "FuzzBase.h"
#include "msgbase/BaseFactory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pelmar;
    static const char* const extensions[] = {".jhr", ".jdt", ".jdx", ".jlr"};
    const std::string& dir = fuzz::FreshScratchDir();
    const auto parts = fuzz::SplitParts(data, size, std::size(extensions));
    for (size_t i = 0; i < parts.size(); ++i) fuzz::WriteWholeFile(dir + "area" + extensions[i], parts[i]);
    auto base = CreateMessageBase(BaseKindJam);
    base->Path = dir + "area";
    fuzz::WalkBase(*base);
    return 0;
}
