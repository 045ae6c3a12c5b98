// The reply quoter over one input: the first byte picks the kludge switch, the rest is the text; the
// output must stay near the size of the input.
#include <cstdlib>
#include <string_view>
#include <vector>

#include "editor/Quote.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pelmar;
    if (size == 0) return 0;
    const bool withKludges = (data[0] & 1) != 0;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    std::vector<std::string> kludges;
    if (withKludges) kludges = {"MSGID: 2:5020/1 12345678", std::string(text.substr(0, 100))};
    const std::string quote = BuildReplyQuote(text, kludges, "Ivan Petrov", withKludges);
    // Each source line gains at most a prefix, and each wrapped piece the line's prefix again. A long
    // prefix over text wrapped a few words a line gives a little over four times the input (a
    // 56-character prefix over 20-character pieces), and deeper prefixes are left unwrapped: eight
    // times stays linear and still stops a quadratic growth.
    if (quote.size() > 8 * size + 1024) std::abort();
    for (std::string_view line : SplitTextLines(quote)) {
        std::string body, prefix;
        SplitQuote(line, body, prefix);
        (void)FirstWordLength(body);
    }
    return 0;
}
