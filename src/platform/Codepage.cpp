#include "platform/Codepage.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <utility>

// Code-page tables.
//
// CP866 <-> CP1251 goes through the Unicode meaning of each byte: a byte whose character exists in
// the other code page maps to it exactly (ASCII, all Cyrillic letters, Ё/ё, Є/є, Ї/ї, Ў/ў, °, ·, №, ¤
// and the no-break space), so such bytes survive OemToAnsi followed by AnsiToOem and the other way
// round. The remaining bytes have no counterpart and map to one fixed substitute byte:
//
//   CP866 -> CP1251
//     B3 │  BA ║                         '|'
//     C4 ─                                '-'
//     CD ═                                '='
//     other frames, corners, tees (B4-DA) '+'
//     B0-B2 shades, DB-DF blocks, FE ■    '#'
//     FB √                                'v'
//     F9 ∙ (bullet operator)              95 • (and back: the two bullets are kept as a pair)
//
//   CP1251 -> CP866
//     81 Ѓ, A5 Ґ -> Г;  83 ѓ, B4 ґ -> г;  8D Ќ -> К;  9D ќ -> к
//     B2 І -> I;  B3 і -> i;  A3 Ј -> J;  BC ј -> j;  BD Ѕ -> S;  BE ѕ -> s
//     82 ‚ -> ','   84 „ 93 “ 94 ” AB « BB » -> '"'   91 ‘ 92 ’ 8B ‹ 9B › -> '\''
//     85 … -> '.'   86 † 87 ‡ B1 ± -> '+'   88 € -> 'E'   89 ‰ -> '%'   96 – 97 — AC ¬ AD (soft
//     hyphen) -> '-'   99 ™ -> 'T'   A6 ¦ -> '|'   A9 © -> 'c'   AE ® -> 'R'   B5 µ -> 'u'
//     95 • -> F9 ∙
//     everything else (Ђ ђ Љ љ Њ њ Ћ ћ Џ џ § ¶ and the unassigned 98) -> '?'
//
// Guillemets become '"' rather than '<' '>': a line starting with '>' would read as a quote in a
// message base.
//
// CP1251 <-> Unicode: byte 98 is unassigned in CP1251; it maps to U+0098 (the C1 control of the same
// number) so that every byte survives a trip through UTF-8 and back.

namespace pelmar {
namespace {

constexpr std::array<char16_t, 128> kCp866High = {
    // 80-9F: А..Я
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C,
    0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429,
    0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    // A0-AF: а..п
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, 0x0438, 0x0439, 0x043A, 0x043B, 0x043C,
    0x043D, 0x043E, 0x043F,
    // B0-DF: shades, frames, blocks
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D,
    0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554,
    0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553,
    0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    // E0-EF: р..я
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447, 0x0448, 0x0449, 0x044A, 0x044B, 0x044C,
    0x044D, 0x044E, 0x044F,
    // F0-FF
    0x0401, 0x0451, 0x0404, 0x0454, 0x0407, 0x0457, 0x040E, 0x045E, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x2116,
    0x00A4, 0x25A0, 0x00A0};

constexpr std::array<char16_t, 128> kCp1251High = {
    // 80-9F
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    // A0-BF
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC,
    0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116,
    0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    // C0-FF: А..я
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C,
    0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429,
    0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436,
    0x0437, 0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443,
    0x0444, 0x0445, 0x0446, 0x0447, 0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F};

using HighTable = std::array<char16_t, 128>;
using ByteTable = std::array<uint8_t, 256>;

constexpr char16_t ToUnicode(const HighTable& high, uint8_t byte) {
    return byte < 0x80 ? char16_t{byte} : high[byte - 0x80];
}

// The byte of `high`'s code page that holds `ch`, or -1.
constexpr int FromUnicode(const HighTable& high, char16_t ch) {
    if (ch < 0x80) return ch;
    for (size_t i = 0; i < high.size(); ++i) {
        if (high[i] == ch) return static_cast<int>(0x80 + i);
    }
    return -1;
}

// Look-alikes for characters the target code page lacks (see the table at the top).
// clang-format off
constexpr std::pair<char16_t, char16_t> kLookAlikes[] = {
    {0x2502, u'|'}, {0x2551, u'|'}, {0x00A6, u'|'}, {0x2500, u'-'}, {0x2550, u'='},
    {0x2591, u'#'}, {0x2592, u'#'}, {0x2593, u'#'}, {0x25A0, u'#'}, {0x221A, u'v'},
    {0x2219, 0x2022}, {0x2022, 0x2219},                                  // the two bullets
    {0x0403, 0x0413}, {0x0490, 0x0413}, {0x0453, 0x0433}, {0x0491, 0x0433}, // Ѓ Ґ -> Г, ѓ ґ -> г
    {0x040C, 0x041A}, {0x045C, 0x043A},                                  // Ќ -> К, ќ -> к
    {0x0406, u'I'}, {0x0456, u'i'}, {0x0408, u'J'}, {0x0458, u'j'}, {0x0405, u'S'}, {0x0455, u's'},
    {0x201A, u','}, {0x201E, u'"'}, {0x201C, u'"'}, {0x201D, u'"'}, {0x00AB, u'"'}, {0x00BB, u'"'},
    {0x2018, u'\''}, {0x2019, u'\''}, {0x2039, u'\''}, {0x203A, u'\''}, {0x2026, u'.'},
    {0x2020, u'+'}, {0x2021, u'+'}, {0x00B1, u'+'}, {0x20AC, u'E'}, {0x2030, u'%'},
    {0x2013, u'-'}, {0x2014, u'-'}, {0x00AC, u'-'}, {0x00AD, u'-'}, {0x2122, u'T'},
    {0x00A9, u'c'}, {0x00AE, u'R'}, {0x00B5, u'u'}};
// clang-format on

constexpr char16_t Substitute(char16_t ch) {
    for (const auto& [from, to] : kLookAlikes) {
        if (from == ch) return to;
    }
    if (ch >= 0x2500 && ch <= 0x257F) return u'+';  // corners, tees, crosses
    if (ch >= 0x2580 && ch <= 0x259F) return u'#';  // blocks
    return u'?';
}

constexpr ByteTable BuildTable(const HighTable& from, const HighTable& to) {
    ByteTable table{};
    for (int b = 0; b < 256; ++b) {
        const char16_t ch = ToUnicode(from, static_cast<uint8_t>(b));
        int target = FromUnicode(to, ch);
        if (target < 0) target = FromUnicode(to, Substitute(ch));
        if (target < 0) target = '?';
        table[b] = static_cast<uint8_t>(target);
    }
    return table;
}

constexpr ByteTable kOemToAnsi = BuildTable(kCp866High, kCp1251High);
constexpr ByteTable kAnsiToOem = BuildTable(kCp1251High, kCp866High);

// The lossless pair: shared characters and the bullet pair as above; the remaining CP866 bytes take
// the remaining CP1251 bytes in order. 0x8D is kept out of that order because the bases turn it
// into a space; DEL stands in for it.
constexpr ByteTable BuildLosslessOemToAnsi() {
    constexpr uint8_t SoftCr = 0x8D, Del = 0x7F, OemBullet = 0xF9, AnsiBullet = 0x95;
    ByteTable table{};
    std::array<bool, 256> taken{};
    for (int b = 0; b < 256; ++b) {
        const int exact = FromUnicode(kCp1251High, ToUnicode(kCp866High, static_cast<uint8_t>(b)));
        if (exact >= 0) {
            table[b] = static_cast<uint8_t>(exact);
            taken[exact] = true;
        }
    }
    table[Del] = SoftCr;
    taken[SoftCr] = true;
    table[OemBullet] = AnsiBullet;
    taken[AnsiBullet] = true;
    taken[Del] = false;
    int free = 0;
    for (int b = 0x80; b < 256; ++b) {
        if (b == OemBullet || FromUnicode(kCp1251High, ToUnicode(kCp866High, static_cast<uint8_t>(b))) >= 0) {
            continue;
        }
        while (taken[free]) ++free;
        table[b] = static_cast<uint8_t>(free);
        taken[free] = true;
    }
    return table;
}

constexpr ByteTable Inverse(const ByteTable& table) {
    ByteTable inverse{};
    for (int b = 0; b < 256; ++b) inverse[table[b]] = static_cast<uint8_t>(b);
    return inverse;
}

constexpr bool IsBijection(const ByteTable& table) {
    std::array<bool, 256> seen{};
    for (const uint8_t b : table) {
        if (seen[b]) return false;
        seen[b] = true;
    }
    return true;
}

constexpr ByteTable kLosslessOemToAnsi = BuildLosslessOemToAnsi();
static_assert(IsBijection(kLosslessOemToAnsi));
constexpr ByteTable kLosslessAnsiToOem = Inverse(kLosslessOemToAnsi);

// Case pairs of CP1251 beyond Latin and А..я: the Slavic letters of the 80-BF block.
// clang-format off
constexpr std::array<std::pair<uint8_t, uint8_t>, 15> kExtraCasePairs = {{
    {0x80, 0x90}, {0x81, 0x83}, {0x8A, 0x9A}, {0x8C, 0x9C}, {0x8D, 0x9D}, {0x8E, 0x9E}, {0x8F, 0x9F},
    {0xA1, 0xA2}, {0xA3, 0xBC}, {0xA5, 0xB4}, {0xA8, 0xB8}, {0xAA, 0xBA}, {0xAF, 0xBF}, {0xB2, 0xB3},
    {0xBD, 0xBE}}};
// clang-format on

constexpr ByteTable BuildCase(bool upper) {
    ByteTable table{};
    for (int b = 0; b < 256; ++b) table[b] = static_cast<uint8_t>(b);
    auto pair = [&](int up, int low) {
        if (upper)
            table[low] = static_cast<uint8_t>(up);
        else
            table[up] = static_cast<uint8_t>(low);
    };
    for (int i = 0; i < 26; ++i) pair('A' + i, 'a' + i);
    for (int i = 0; i < 32; ++i) pair(0xC0 + i, 0xE0 + i);
    for (const auto& [up, low] : kExtraCasePairs) pair(up, low);
    return table;
}

constexpr ByteTable kUpper = BuildCase(true);
constexpr ByteTable kLower = BuildCase(false);

// Sort weights of upper-case bytes: non-letters keep their byte order and come first, then the Latin
// letters, then the Cyrillic alphabet with Ё after Е and the other Slavic letters next to their
// neighbours. Every byte gets its own weight, so equal weights mean equal texts.
constexpr uint8_t kCyrillicOrder[] = {0xC0, 0xC1, 0xC2, 0xC3, 0xA5, 0x81, 0xC4, 0x80, 0xC5, 0xA8, 0xAA, 0xC6,
                                      0xC7, 0xBD, 0xC8, 0xB2, 0xAF, 0xC9, 0xA3, 0xCA, 0x8D, 0xCB, 0x8A, 0xCC,
                                      0xCD, 0x8C, 0xCE, 0xCF, 0xD0, 0xD1, 0xD2, 0x8E, 0xD3, 0xA1, 0xD4, 0xD5,
                                      0xD6, 0xD7, 0x8F, 0xD8, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF};

constexpr std::array<uint16_t, 256> BuildWeights() {
    std::array<uint16_t, 256> weights{};
    for (int b = 0; b < 256; ++b) weights[b] = static_cast<uint16_t>(b);
    uint16_t next = 0x100;
    for (int c = 'A'; c <= 'Z'; ++c) weights[c] = next++;
    for (uint8_t c : kCyrillicOrder) weights[c] = next++;
    return weights;
}

constexpr std::array<uint16_t, 256> kWeights = BuildWeights();

std::string ToUtf8(const HighTable& high, std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (char c : text) AppendUtf8(out, ToUnicode(high, static_cast<uint8_t>(c)));
    return out;
}

std::string MapBytes(const ByteTable& table, std::string_view text) {
    std::string out(text.size(), '\0');
    for (size_t i = 0; i < text.size(); ++i) out[i] = static_cast<char>(table[static_cast<uint8_t>(text[i])]);
    return out;
}

// Decodes one UTF-8 sequence at `pos`. Returns the code point and advances `pos`; a malformed
// sequence (bad lead, missing or bad continuation, overlong form, surrogate, beyond U+10FFFF)
// returns U+FFFD and advances by one byte, so each bad byte yields one replacement.
char32_t DecodeUtf8(std::string_view text, size_t& pos) {
    constexpr char32_t kBad = 0xFFFD;
    const auto lead = static_cast<uint8_t>(text[pos]);
    ++pos;
    if (lead < 0x80) return lead;
    int length = 0;  // continuation bytes
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 2;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 3;
    } else {
        return kBad;
    }
    constexpr char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
    char32_t ch = lead & (0x3F >> length);
    if (text.size() - pos < static_cast<size_t>(length)) return kBad;
    for (int i = 0; i < length; ++i) {
        const auto next = static_cast<uint8_t>(text[pos + i]);
        if ((next & 0xC0) != 0x80) return kBad;
        ch = (ch << 6) | (next & 0x3F);
    }
    if (ch < kMinimum[length] || ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF)) return kBad;
    pos += length;
    return ch;
}

// Unicode -> CP1251 for the 128 upper bytes, sorted by character for binary search.
using ReverseEntry = std::pair<char16_t, uint8_t>;
constexpr std::array<ReverseEntry, 128> BuildReverse1251() {
    std::array<ReverseEntry, 128> entries{};
    for (size_t i = 0; i < 128; ++i) entries[i] = {kCp1251High[i], static_cast<uint8_t>(0x80 + i)};
    std::sort(entries.begin(), entries.end());
    return entries;
}

constexpr std::array<ReverseEntry, 128> kReverse1251 = BuildReverse1251();

std::atomic<bool> LosslessOem{false};

// Unicode -> the byte of `high`'s code page that holds it, or '?'.
char FromUnicodeOrQuestion(const HighTable& high, char32_t ch) {
    if (ch > 0xFFFF) return '?';
    const int byte = FromUnicode(high, static_cast<char16_t>(ch));
    return byte < 0 ? '?' : static_cast<char>(byte);
}

char ToAnsi(char32_t ch) {
    if (ch < 0x80) return static_cast<char>(ch);
    if (ch > 0xFFFF) return '?';
    const auto key = static_cast<char16_t>(ch);
    const auto it = std::lower_bound(kReverse1251.begin(), kReverse1251.end(), key,
                                     [](const ReverseEntry& e, char16_t k) { return e.first < k; });
    if (it == kReverse1251.end() || it->first != key) return '?';
    return static_cast<char>(it->second);
}

}  // namespace

void SetLosslessOem(bool on) {
    LosslessOem.store(on, std::memory_order_relaxed);
}

std::string OemToAnsi(std::string_view cp866) {
    return MapBytes(LosslessOem.load(std::memory_order_relaxed) ? kLosslessOemToAnsi : kOemToAnsi, cp866);
}

std::string AnsiToOem(std::string_view cp1251) {
    return MapBytes(LosslessOem.load(std::memory_order_relaxed) ? kLosslessAnsiToOem : kAnsiToOem, cp1251);
}

std::string OemToUtf8(std::string_view cp866) {
    return ToUtf8(kCp866High, cp866);
}

std::string Utf8ToOem(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    size_t pos = 0;
    while (pos < utf8.size()) out += FromUnicodeOrQuestion(kCp866High, DecodeUtf8(utf8, pos));
    return out;
}

char AnsiUpper(char c) {
    return static_cast<char>(kUpper[static_cast<uint8_t>(c)]);
}

char AnsiLower(char c) {
    return static_cast<char>(kLower[static_cast<uint8_t>(c)]);
}

std::string AnsiUpperCase(std::string_view cp1251) {
    return MapBytes(kUpper, cp1251);
}

std::string AnsiLowerCase(std::string_view cp1251) {
    return MapBytes(kLower, cp1251);
}

int AnsiCompareText(std::string_view a, std::string_view b) {
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const int wa = kWeights[kUpper[static_cast<uint8_t>(a[i])]];
        const int wb = kWeights[kUpper[static_cast<uint8_t>(b[i])]];
        if (wa != wb) return wa < wb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

std::string AnsiToUtf8(std::string_view cp1251) {
    return ToUtf8(kCp1251High, cp1251);
}

std::string Utf8ToAnsi(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    size_t pos = 0;
    while (pos < utf8.size()) out += ToAnsi(DecodeUtf8(utf8, pos));
    return out;
}

void AppendUtf8(std::string& out, char32_t ch) {
    if (ch < 0x80) {
        out += static_cast<char>(ch);
    } else if (ch < 0x800) {
        out += static_cast<char>(0xC0 | (ch >> 6));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else if (ch < 0x10000) {
        out += static_cast<char>(0xE0 | (ch >> 12));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (ch >> 18));
        out += static_cast<char>(0x80 | ((ch >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    }
}

}  // namespace pelmar
