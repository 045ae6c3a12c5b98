// A Hudson base: the first byte is the board number, then the five files (info, index, headers,
// text, recipient index).
#include "FuzzBase.h"
#include "msgbase/BaseFactory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pelmar;
    static const char* const names[] = {"msginfo.bbs", "msgidx.bbs", "msghdr.bbs", "msgtxt.bbs",
                                        "msgtoidx.bbs"};
    if (size < 1) return 0;
    const char board = static_cast<char>(data[0]);
    const std::string& dir = fuzz::FreshScratchDir();
    const auto parts = fuzz::SplitParts(data + 1, size - 1, std::size(names));
    for (size_t i = 0; i < parts.size(); ++i) fuzz::WriteWholeFile(dir + names[i], parts[i]);
    auto base = CreateMessageBase(BaseKindHudson);
    base->Path = std::string(1, board) + dir;
    fuzz::WalkBase(*base);
    return 0;
}
