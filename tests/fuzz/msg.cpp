// A *.MSG area of four message files (1, 2, 3 and 10, one of them spelt in upper case) plus a file
// whose name is not a number, all from one input.
#include "FuzzBase.h"
#include "msgbase/BaseFactory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pelmar;
    static const char* const names[] = {"1.msg", "2.msg", "3.MSG", "10.msg"};
    const std::string& dir = fuzz::FreshScratchDir();
    const auto parts = fuzz::SplitParts(data, size, std::size(names));
    for (size_t i = 0; i < parts.size(); ++i) fuzz::WriteWholeFile(dir + names[i], parts[i]);
    fuzz::WriteWholeFile(dir + "x1.msg", parts[0]);
    auto base = CreateMessageBase(BaseKindMsg);
    base->Path = dir;
    fuzz::WalkBase(*base);
    return 0;
}
