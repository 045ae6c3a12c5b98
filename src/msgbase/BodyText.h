#pragma once
// The stored text of a message split into its body and the control lines it carries, the same way
// for every base format (a line end may be CR, CR LF or LF; a control line starts with ^A).
#include <string>
#include <string_view>
#include <vector>

namespace pelmar {

// What a byte 0x8D of the body becomes: a space (the soft CR, in text already converted to CP1251),
// or itself (text kept in its stored set, where it may be a letter or part of a UTF-8 sequence).
enum class TSoftCr { AsSpace, Keep };

// The text up to its first NUL: every ^A starts a control line that runs to the next line end or
// ^A and is appended to `kludges` without the ^A (empty ones are dropped); everything else is the
// body, cleaned (no LF; a soft CR as `softCr` says) and ending with one CR unless it is empty.
void SplitStoredText(std::string_view stored, std::string& text, std::vector<std::string>& kludges,
                     TSoftCr softCr = TSoftCr::AsSpace);
// The body of text already decoded to UTF-8, split the same way; the control lines are dropped, LF
// removed and U+008D (the soft CR of 8-bit sets) becomes a space. Bytes of other characters are
// never touched, so multi-byte sequences stay whole.
std::string Utf8BodyText(std::string_view utf8);
// Only the control lines at the start of the text, the way a header read finds them; stops at the
// first byte that does not begin a control line.
std::vector<std::string> LeadingControlLines(std::string_view stored);

}  // namespace pelmar
