// A Squish base: the input holds the .sqd and the .sqi.
#include "FuzzBase.h"
#include "msgbase/BaseFactory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pelmar;
    const std::string& dir = fuzz::FreshScratchDir();
    const auto parts = fuzz::SplitParts(data, size, 2);
    fuzz::WriteWholeFile(dir + "area.sqd", parts[0]);
    fuzz::WriteWholeFile(dir + "area.sqi", parts[1]);
    auto base = CreateMessageBase(BaseKindSquish);
    base->Path = dir + "area";
    fuzz::WalkBase(*base);
    return 0;
}
