#pragma once
// Which characters of a letter typed in the editor a message base cannot store. The editor holds
// Unicode; the letter becomes CP1251 at the window's edge, and every base converts that to CP866 when
// it writes, for every area alike: the "Windows" view switch only changes how stored bytes are read,
// and the CHRS line of the kludge template only declares a set. A character lost on either step is
// written as '?'. The look-alikes the CP866 step chooses on purpose (« and » as ", — as -, І as I)
// are not counted as lost.
#include <cstddef>
#include <string_view>
#include <vector>

namespace pelmar {

// Where the text ends up: CP1251 alone (the letter in memory), or CP866 by way of CP1251 (a base).
enum class TTextCodePage { Cp1251, Cp866 };

// What SendMessages stores a letter's names, subject and body in, whichever area it goes to.
inline constexpr TTextCodePage StoredTextCodePage = TTextCodePage::Cp866;

struct TUnstorableChar {
    size_t Offset = 0;  // in UTF-16 units from the start of the text, as the editor counts positions
    size_t Length = 1;  // 2 for a character outside the Basic Multilingual Plane
    char32_t Char = 0;  // U+FFFD for a malformed UTF-8 byte
};

// Every character of the UTF-8 `text` that `page` cannot hold, in text order. A typed '?' is kept.
std::vector<TUnstorableChar> UnstorableCharacters(std::string_view text, TTextCodePage page);

}  // namespace pelmar
