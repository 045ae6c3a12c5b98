#include "core/AutoType.h"

#include <array>
#include <cstdio>
#include <string_view>

#include "core/Codepage.h"

namespace pelmar {

namespace {

struct TKeyName {
    uint16_t Key;
    std::string_view Name;
};

// Keys with fixed names, then the names the keyboard layer gives the remaining common keys (US
// layout). Lookups go front to back, so a name listed twice reads back as its first key.
constexpr std::array<TKeyName, 46> kKeyNames = {{
    {0x08, "BkSp"},
    {0x09, "Tab"},
    {0x0D, "Enter"},
    {0x1B, "Esc"},
    {0x20, "Space"},
    {0x21, "PgUp"},
    {0x22, "PgDn"},
    {0x23, "End"},
    {0x24, "Home"},
    {0x25, "Left"},
    {0x26, "Up"},
    {0x27, "Right"},
    {0x28, "Down"},
    {0x2D, "Ins"},
    {0x2E, "Del"},
    {0x03, "Break"},
    {0x0C, "Num 5"},
    {0x10, "Shift"},
    {0x11, "Ctrl"},
    {0x12, "Alt"},
    {0x13, "Pause"},
    {0x14, "Caps Lock"},
    {0x2C, "Prnt Scrn"},
    {0x5B, "Left Windows"},
    {0x5C, "Right Windows"},
    {0x5D, "Application"},
    {0x5F, "Sleep"},
    {0x6A, "Num *"},
    {0x6B, "Num +"},
    {0x6D, "Num -"},
    {0x6E, "Num Del"},
    {0x6F, "Num /"},
    {0x90, "Num Lock"},
    {0x91, "Scroll Lock"},
    {0xBA, ";"},
    {0xBB, "="},
    {0xBC, ","},
    {0xBD, "-"},
    {0xBE, "."},
    {0xBF, "/"},
    {0xC0, "`"},
    {0xDB, "["},
    {0xDC, "\\"},
    {0xDD, "]"},
    {0xDE, "'"},
    {0x2F, "Help"},
}};

struct TPrefix {
    std::string_view Text;
    uint8_t Bit;
};
constexpr std::array<TPrefix, 3> kPrefixes = {{{"Shift+", ssShift}, {"Ctrl+", ssCtrl}, {"Alt+", ssAlt}}};

std::string KeyName(uint16_t key) {
    if ((key >= 0x30 && key <= 0x39) || (key >= 0x41 && key <= 0x5A))
        return std::string(1, static_cast<char>(key));
    if (key >= 0x60 && key <= 0x69) return std::string(1, static_cast<char>('0' + key - 0x60));
    if (key >= 0x70 && key <= 0x87) return "F" + std::to_string(key - 0x70 + 1);
    for (const auto& entry : kKeyNames) {
        if (entry.Key == key) return std::string(entry.Name);
    }
    char text[8];
    std::snprintf(text, sizeof text, key <= 0xFF ? "VK%02X" : "VK%04X", key);
    return text;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

uint16_t KeyFromName(std::string_view name) {
    if (name.size() == 1) {
        const char c = AnsiUpper(name[0]);
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z')) return static_cast<uint16_t>(c);
    }
    for (const auto& entry : kKeyNames) {
        if (AnsiSameText(entry.Name, name)) return entry.Key;
    }
    if (name.size() >= 2 && name.size() <= 3 && (name[0] == 'F' || name[0] == 'f')) {
        int number = 0;
        for (const char c : name.substr(1)) {
            if (c < '0' || c > '9') return 0;
            number = number * 10 + (c - '0');
        }
        if (number >= 1 && number <= 24) return static_cast<uint16_t>(0x70 + number - 1);
        return 0;
    }
    if ((name.size() == 4 || name.size() == 6) && AnsiSameText(name.substr(0, 2), "VK")) {
        uint32_t key = 0;
        for (const char c : name.substr(2)) {
            const int digit = HexValue(c);
            if (digit < 0) return 0;
            key = key * 16 + static_cast<uint32_t>(digit);
        }
        return static_cast<uint16_t>(key);
    }
    return 0;
}

}  // namespace

std::string ShortCutToText(const TShortCut& shortCut) {
    if (shortCut.Key == 0) return {};
    std::string text;
    for (const auto& prefix : kPrefixes) {
        if ((shortCut.Shift & prefix.Bit) != 0) text += prefix.Text;
    }
    return text + KeyName(shortCut.Key);
}

TShortCut TextToShortCut(const std::string& text) {
    TShortCut result;
    std::string_view rest = text;
    bool found = true;
    while (found) {
        found = false;
        for (const auto& prefix : kPrefixes) {
            // "Ctrl+" alone is no prefix: a key name must follow it
            if (rest.size() > prefix.Text.size() &&
                AnsiSameText(rest.substr(0, prefix.Text.size()), prefix.Text)) {
                result.Shift |= prefix.Bit;
                rest.remove_prefix(prefix.Text.size());
                found = true;
            }
        }
    }
    result.Key = KeyFromName(rest);
    if (result.Key == 0) result.Shift = 0;
    return result;
}

}  // namespace pelmar
