#pragma once
// Code pages: message bases store CP866, the program works in CP1251, widgets take Unicode.
// Every 8-bit conversion is byte for byte (the result has the input's length).
#include <string>
#include <string_view>

namespace pelmar {

// DOS (CP866) -> Windows (CP1251), as the platform's OEM-to-ANSI conversion.
std::string OemToAnsi(std::string_view cp866);
// Windows (CP1251) -> DOS (CP866).
std::string AnsiToOem(std::string_view cp1251);
// DOS (CP866) -> UTF-8 with every byte's own character, pseudographics included (for the view).
std::string OemToUtf8(std::string_view cp866);
// UTF-8 -> DOS (CP866); characters CP866 lacks and malformed bytes become '?'.
std::string Utf8ToOem(std::string_view utf8);

// While on, OemToAnsi and AnsiToOem are a lossless pair: letters and signs both code pages share map
// as usual, and the CP866 characters CP1251 lacks (box drawing, shades, blocks, √, ■) take the CP1251
// bytes that CP866 lacks, so every stored byte comes back unchanged. The one exception is DEL
// (0x7F): it travels as 0x8D, which the bases read and write as a soft CR (a space). pelmar-tool
// turns this on to carry pseudographics; the program never does (its view keeps the usual tables).
void SetLosslessOem(bool on);

// CP1251 casing (the Windows ANSI upper/lower-case rules, Cyrillic included).
char AnsiUpper(char c);
char AnsiLower(char c);
std::string AnsiUpperCase(std::string_view cp1251);
std::string AnsiLowerCase(std::string_view cp1251);
// Case-insensitive comparison under the CP1251 rules: <0, 0, >0.
int AnsiCompareText(std::string_view a, std::string_view b);
inline bool AnsiSameText(std::string_view a, std::string_view b) {
    return AnsiCompareText(a, b) == 0;
}

// CP1251 <-> UTF-8 for the widget boundary and files kept in UTF-8. The unassigned byte 0x98 travels
// as U+0098, so every byte survives the round trip.
std::string AnsiToUtf8(std::string_view cp1251);
// Characters without a CP1251 counterpart become '?'; malformed UTF-8 bytes become '?' too.
std::string Utf8ToAnsi(std::string_view utf8);

// Appends one code point (at most U+10FFFF) in UTF-8.
void AppendUtf8(std::string& out, char32_t ch);

}  // namespace pelmar
