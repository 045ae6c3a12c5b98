#pragma once
// Quoting the message replied to: initials and ">" before each paragraph, one more ">" on lines that
// already quote, soft-wrapped lines joined and wrapped again to 79 columns. Pure text functions.
#include <string>
#include <string_view>
#include <vector>

namespace pelmar {

// A ">" occurs and at most 4 non-blank characters stand before the first one.
bool IsQuoteLine(std::string_view line);
// For a quote line: the text after the run of ">" and blanks, and the deepened prefix (the prefix up
// to that run without trailing blanks, plus ">"). Any other line: the whole line, empty prefix.
void SplitQuote(std::string_view line, std::string& text, std::string& prefix);
// Characters before the blank that ends the first word, leading blanks included (length - 1 when no
// blank follows the word).
int FirstWordLength(std::string_view text);
// The paragraph as lines of prefix + " " + text, at most 78 columns, CR LF between the lines, none
// after the last. A prefix that leaves fewer than 20 columns gets the paragraph on one line.
std::string WrapQuoted(const std::string& prefix, std::string_view paragraph);
// Lines split at CR, LF or CR LF; a line end at the very end adds no empty line.
std::vector<std::string_view> SplitTextLines(std::string_view text);
// The whole quoted text of a reply; kludges (when asked) follow the body as "@" + line.
std::string BuildReplyQuote(std::string_view text, const std::vector<std::string>& kludges,
                            const std::string& fromName, bool withKludges);

}  // namespace pelmar
