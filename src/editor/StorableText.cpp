#include "editor/StorableText.h"

#include <string>
#include <unordered_map>
#include <utility>

#include "core/Codepage.h"

namespace pelmar {

namespace {

constexpr char32_t Replacement = 0xFFFD;

// The code point at text[at] and its length in bytes; U+FFFD and 1 for a malformed sequence
// (a stray continuation byte, a cut sequence, an overlong form, a surrogate).
std::pair<char32_t, size_t> Decode(std::string_view text, size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) return {lead, 1};
    size_t length = 0;
    char32_t code = 0;
    char32_t least = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, code = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, code = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, code = lead & 0x07, least = 0x10000;
    } else {
        return {Replacement, 1};
    }
    if (at + length > text.size()) return {Replacement, 1};
    for (size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xC0) != 0x80) return {Replacement, 1};
        code = (code << 6) | (next & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return {Replacement, 1};
    return {code, length};
}

// Through the same conversions the letter takes, so that the answer cannot drift from them.
bool Storable(char32_t code, TTextCodePage page) {
    if (code < 0x80) return true;
    if (code == Replacement) return false;
    std::string one;
    AppendUtf8(one, code);
    const std::string ansi = Utf8ToAnsi(one);
    if (ansi.size() != 1 || ansi[0] == '?') return false;
    return page == TTextCodePage::Cp1251 || AnsiToOem(ansi) != "?";
}

}  // namespace

std::vector<TUnstorableChar> UnstorableCharacters(std::string_view text, TTextCodePage page) {
    std::vector<TUnstorableChar> found;
    std::unordered_map<char32_t, bool> known;
    size_t offset = 0;
    for (size_t at = 0; at < text.size();) {
        const auto [code, bytes] = Decode(text, at);
        const size_t units = code > 0xFFFF ? 2 : 1;
        if (code >= 0x80) {
            const auto [entry, added] = known.try_emplace(code, false);
            if (added) entry->second = Storable(code, page);
            if (!entry->second) found.push_back({offset, units, code});
        }
        offset += units;
        at += bytes;
    }
    return found;
}

}  // namespace pelmar
