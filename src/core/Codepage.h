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

}  // namespace pelmar
