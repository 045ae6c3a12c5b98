#pragma once
// Links in the shown text: FTN addresses, URLs of the schemes the view knows, e-mail addresses, and
// what a click on each may do. Positions are UTF-16 code units of the view's plain text, where
// every line break is one character, so they address the document directly.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace pelmar {

struct TTextRange {
    size_t Start = 0;
    size_t Length = 0;
    bool operator==(const TTextRange&) const = default;
};

// The FTN-address state machine of the view: digits ':' digits '/' digits, optionally '.' and a
// point. The last character of the text is never examined, so an address must be followed by
// something to be found.
std::vector<TTextRange> FindFtnAddresses(std::u16string_view text);

// URLs of the schemes mailto, http, https, ftp, file, gopher, nntp, news, telnet, prospero and wais
// (case-insensitive, at a word start, up to a blank or a bracket, trailing punctuation left out),
// and bare e-mail addresses.
std::vector<TTextRange> FindUrls(std::u16string_view text);

enum class TLinkAction {
    WriteNetmail,  // an FTN address: open the editor towards it
    Open,          // web, mail and news: hand to the desktop
    Ask,           // file: and the other schemes: only after the user agrees
};

// What a click on the link text does. A bare e-mail address opens as mailto:.
TLinkAction ClassifyLink(const std::string& linkText);
// The URL to hand to the desktop: "mailto:" in front of a bare e-mail address, else the text.
std::string LinkTarget(const std::string& linkText);

}  // namespace pelmar
