#pragma once
// Keyboard shortcuts of the auto-type table and their text form ("Shift+Ctrl+Alt+<key name>").
#include <cstdint>
#include <string>

namespace pelmar {

// Shift-state bits, as the editor compares them with the keys held during a key press.
inline constexpr uint8_t ssShift = 1;
inline constexpr uint8_t ssAlt = 2;
inline constexpr uint8_t ssCtrl = 4;

struct TShortCut {
    uint16_t Key = 0;   // Windows virtual-key code
    uint8_t Shift = 0;  // ssShift | ssAlt | ssCtrl
    bool operator==(const TShortCut&) const = default;
};

struct TAutoTypeEntry {
    TShortCut ShortCut;
    std::string Text;  // CP1251
    bool operator==(const TAutoTypeEntry&) const = default;
};

// "Shift+", "Ctrl+", "Alt+" (in this order, each only when held) followed by the key name. Keys
// outside the fixed names and the usual keyboard key names are written "VK" + two or four hex
// digits, so that every code can be read back.
std::string ShortCutToText(const TShortCut& shortCut);
// The reverse; prefixes and names are matched case-insensitively, prefixes in any order. An
// unknown key name gives Key 0. The keypad digits are written as plain digits and so read back as
// the digit keys of the main block.
TShortCut TextToShortCut(const std::string& text);

}  // namespace pelmar
