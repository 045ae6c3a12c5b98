#include "msgbase/Charset.h"

#include <array>
#include <cstdint>

#include "core/Codepage.h"
#include "core/Settings.h"

// Character sets a CHRS control line can declare. The DOS and Windows code pages go through the
// fixed tables of core/Codepage; the other 8-bit sets through their Unicode tables below; UTF-8 is
// decoded. Into the Windows code page every character it lacks becomes '?'.

namespace pelmar {
namespace {

using HighTable = std::array<char16_t, 128>;

// clang-format off
constexpr HighTable kKoi8R = {
    0x2500, 0x2502, 0x250C, 0x2510, 0x2514, 0x2518, 0x251C, 0x2524, 0x252C, 0x2534, 0x253C, 0x2580,
    0x2584, 0x2588, 0x258C, 0x2590, 0x2591, 0x2592, 0x2593, 0x2320, 0x25A0, 0x2219, 0x221A, 0x2248,
    0x2264, 0x2265, 0x00A0, 0x2321, 0x00B0, 0x00B2, 0x00B7, 0x00F7, 0x2550, 0x2551, 0x2552, 0x0451,
    0x2553, 0x2554, 0x2555, 0x2556, 0x2557, 0x2558, 0x2559, 0x255A, 0x255B, 0x255C, 0x255D, 0x255E,
    0x255F, 0x2560, 0x2561, 0x0401, 0x2562, 0x2563, 0x2564, 0x2565, 0x2566, 0x2567, 0x2568, 0x2569,
    0x256A, 0x256B, 0x256C, 0x00A9, 0x044E, 0x0430, 0x0431, 0x0446, 0x0434, 0x0435, 0x0444, 0x0433,
    0x0445, 0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, 0x044F, 0x0440, 0x0441,
    0x0442, 0x0443, 0x0436, 0x0432, 0x044C, 0x044B, 0x0437, 0x0448, 0x044D, 0x0449, 0x0447, 0x044A,
    0x042E, 0x0410, 0x0411, 0x0426, 0x0414, 0x0415, 0x0424, 0x0413, 0x0425, 0x0418, 0x0419, 0x041A,
    0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x042F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0416, 0x0412,
    0x042C, 0x042B, 0x0417, 0x0428, 0x042D, 0x0429, 0x0427, 0x042A,
};
constexpr HighTable kKoi8U = {
    0x2500, 0x2502, 0x250C, 0x2510, 0x2514, 0x2518, 0x251C, 0x2524, 0x252C, 0x2534, 0x253C, 0x2580,
    0x2584, 0x2588, 0x258C, 0x2590, 0x2591, 0x2592, 0x2593, 0x2320, 0x25A0, 0x2219, 0x221A, 0x2248,
    0x2264, 0x2265, 0x00A0, 0x2321, 0x00B0, 0x00B2, 0x00B7, 0x00F7, 0x2550, 0x2551, 0x2552, 0x0451,
    0x0454, 0x2554, 0x0456, 0x0457, 0x2557, 0x2558, 0x2559, 0x255A, 0x255B, 0x0491, 0x255D, 0x255E,
    0x255F, 0x2560, 0x2561, 0x0401, 0x0404, 0x2563, 0x0406, 0x0407, 0x2566, 0x2567, 0x2568, 0x2569,
    0x256A, 0x0490, 0x256C, 0x00A9, 0x044E, 0x0430, 0x0431, 0x0446, 0x0434, 0x0435, 0x0444, 0x0433,
    0x0445, 0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, 0x044F, 0x0440, 0x0441,
    0x0442, 0x0443, 0x0436, 0x0432, 0x044C, 0x044B, 0x0437, 0x0448, 0x044D, 0x0449, 0x0447, 0x044A,
    0x042E, 0x0410, 0x0411, 0x0426, 0x0414, 0x0415, 0x0424, 0x0413, 0x0425, 0x0418, 0x0419, 0x041A,
    0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x042F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0416, 0x0412,
    0x042C, 0x042B, 0x0417, 0x0428, 0x042D, 0x0429, 0x0427, 0x042A,
};
constexpr HighTable kCp437 = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
    0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};
constexpr HighTable kIso88595 = {
    0x0080, 0x0081, 0x0082, 0x0083, 0x0084, 0x0085, 0x0086, 0x0087, 0x0088, 0x0089, 0x008A, 0x008B,
    0x008C, 0x008D, 0x008E, 0x008F, 0x0090, 0x0091, 0x0092, 0x0093, 0x0094, 0x0095, 0x0096, 0x0097,
    0x0098, 0x0099, 0x009A, 0x009B, 0x009C, 0x009D, 0x009E, 0x009F, 0x00A0, 0x0401, 0x0402, 0x0403,
    0x0404, 0x0405, 0x0406, 0x0407, 0x0408, 0x0409, 0x040A, 0x040B, 0x040C, 0x00AD, 0x040E, 0x040F,
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B,
    0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431, 0x0432, 0x0433,
    0x0434, 0x0435, 0x0436, 0x0437, 0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447, 0x0448, 0x0449, 0x044A, 0x044B,
    0x044C, 0x044D, 0x044E, 0x044F, 0x2116, 0x0451, 0x0452, 0x0453, 0x0454, 0x0455, 0x0456, 0x0457,
    0x0458, 0x0459, 0x045A, 0x045B, 0x045C, 0x00A7, 0x045E, 0x045F,
};
// clang-format on

struct TName {
    std::string_view Name;  // upper case, without blanks, '-' and '_'
    TCharset Charset;
};

// FTS-5003 identifiers and the aliases mail software writes. "IBMPC" and "+7_FIDO" are the DOS
// Cyrillic code page in this network's use.
constexpr TName kNames[] = {
    {"CP866", TCharset::Cp866},       {"IBMPC", TCharset::Cp866},     {"+7FIDO", TCharset::Cp866},
    {"ALT", TCharset::Cp866},         {"CP1251", TCharset::Cp1251},   {"WINDOWS1251", TCharset::Cp1251},
    {"KOI8R", TCharset::Koi8R},       {"KOI8", TCharset::Koi8R},      {"KOI8U", TCharset::Koi8U},
    {"LATIN1", TCharset::Latin1},     {"ISO88591", TCharset::Latin1}, {"CP437", TCharset::Cp437},
    {"ISO88595", TCharset::Iso88595}, {"UTF8", TCharset::Utf8},       {"ASCII", TCharset::Ascii},
    {"USASCII", TCharset::Ascii},
};

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string TableToUtf8(const HighTable& high, std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto b = static_cast<uint8_t>(c);
        AppendUtf8(out, b < 0x80 ? char32_t{b} : char32_t{high[b - 0x80]});
    }
    return out;
}

std::string Latin1ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes) AppendUtf8(out, static_cast<uint8_t>(c));
    return out;
}

// Bytes above 0x7F are not ASCII; they are shown as the replacement character.
std::string AsciiToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        if (static_cast<uint8_t>(c) < 0x80)
            out += c;
        else
            AppendUtf8(out, 0xFFFD);
    }
    return out;
}

// Well-formed sequences are kept; every byte of a malformed one becomes U+FFFD.
std::string ValidUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    size_t i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<uint8_t>(bytes[i]);
        size_t length = 0;
        char32_t ch = 0;
        if (b < 0x80) {
            out += static_cast<char>(b);
            ++i;
            continue;
        }
        if (b >= 0xC2 && b <= 0xDF) {
            length = 2;
            ch = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3;
            ch = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4;
            ch = b & 0x07;
        }
        bool ok = length > 0 && i + length <= bytes.size();
        for (size_t k = 1; ok && k < length; ++k) {
            const auto next = static_cast<uint8_t>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) ok = false;
            ch = (ch << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are malformed too.
        if (ok) {
            ok = !(length == 3 && ch < 0x800) && !(length == 4 && ch < 0x10000) && ch <= 0x10FFFF &&
                 !(ch >= 0xD800 && ch <= 0xDFFF);
        }
        if (!ok) {
            AppendUtf8(out, 0xFFFD);
            ++i;
            continue;
        }
        out.append(bytes.substr(i, length));
        i += length;
    }
    return out;
}

}  // namespace

TCharset ParseCharsetName(std::string_view value) {
    // "IBM PC 2": the identifier, then the level; the level is optional here.
    size_t end = value.size();
    while (end > 0 && IsBlank(value[end - 1])) --end;
    size_t digits = end;
    while (digits > 0 && value[digits - 1] >= '0' && value[digits - 1] <= '9') --digits;
    if (digits < end && digits > 0 && IsBlank(value[digits - 1])) end = digits;
    std::string key;
    for (size_t i = 0; i < end && key.size() < 32; ++i) {
        const char c = value[i];
        if (IsBlank(c) || c == '-' || c == '_') continue;
        key += Upper(c);
    }
    for (const TName& name : kNames) {
        if (name.Name == key) return name.Charset;
    }
    return TCharset::Unknown;
}

namespace {

// The charset a control line (without its ^A) declares; false when it is no declaration.
bool DeclarationOf(std::string_view value, TCharset& charset) {
    size_t prefix = 0;
    if (value.size() >= 5 && Upper(value[0]) == 'C' && Upper(value[1]) == 'H' && Upper(value[2]) == 'R' &&
        Upper(value[3]) == 'S' && value[4] == ':') {
        prefix = 5;
    } else if (value.size() >= 8 && value.substr(0, 8) == "CHARSET:") {
        prefix = 8;
    } else {
        return false;
    }
    value.remove_prefix(prefix);
    while (!value.empty() && IsBlank(value.front())) value.remove_prefix(1);
    charset = ParseCharsetName(value);
    return true;
}

}  // namespace

TCharset DeclaredCharset(const std::vector<std::string>& kludges) {
    for (const std::string& line : kludges) {
        std::string_view value = line;
        if (!value.empty() && value.front() == '\x01') value.remove_prefix(1);
        TCharset charset = TCharset::Unknown;
        if (DeclarationOf(value, charset)) return charset;
    }
    return TCharset::Unknown;
}

TCharset DeclaredCharsetInStored(std::string_view stored) {
    stored = stored.substr(0, stored.find('\0'));
    size_t pos = 0;
    while ((pos = stored.find('\x01', pos)) != std::string_view::npos) {
        const size_t start = pos + 1;
        size_t end = stored.find_first_of("\r\n\x01", start);
        if (end == std::string_view::npos) end = stored.size();
        TCharset charset = TCharset::Unknown;
        if (DeclarationOf(stored.substr(start, end - start), charset)) return charset;
        pos = end;
    }
    return TCharset::Unknown;
}

TCharset DeclaredBodyCharset(std::string_view stored, const std::vector<std::string>& headerKludges) {
    const TCharset charset = DeclaredCharset(headerKludges);
    return charset == TCharset::Unknown ? DeclaredCharsetInStored(stored) : charset;
}

std::string DeclaredBodyToAnsi(std::string_view stored, const std::vector<std::string>& headerKludges) {
    if (Settings.TextInWindowsCodePage) return std::string(stored);
    return CharsetToAnsi(DeclaredBodyCharset(stored, headerKludges), stored);
}

std::string CharsetToUtf8(TCharset charset, std::string_view bytes) {
    switch (charset) {
        case TCharset::Unknown:
        case TCharset::Cp866:
            return OemToUtf8(bytes);
        case TCharset::Cp1251:
            return AnsiToUtf8(bytes);
        case TCharset::Koi8R:
            return TableToUtf8(kKoi8R, bytes);
        case TCharset::Koi8U:
            return TableToUtf8(kKoi8U, bytes);
        case TCharset::Cp437:
            return TableToUtf8(kCp437, bytes);
        case TCharset::Iso88595:
            return TableToUtf8(kIso88595, bytes);
        case TCharset::Latin1:
            return Latin1ToUtf8(bytes);
        case TCharset::Ascii:
            return AsciiToUtf8(bytes);
        case TCharset::Utf8:
            return ValidUtf8(bytes);
    }
    return OemToUtf8(bytes);
}

std::string CharsetToAnsi(TCharset charset, std::string_view bytes) {
    switch (charset) {
        case TCharset::Unknown:
        case TCharset::Cp866:
            return OemToAnsi(bytes);  // with the look-alikes for pseudographics, as always
        case TCharset::Cp1251:
            return std::string(bytes);
        default:
            return Utf8ToAnsi(CharsetToUtf8(charset, bytes));
    }
}

}  // namespace pelmar
