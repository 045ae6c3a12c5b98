// Which typed characters a letter loses on its way into a base: offsets as the editor counts them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/StorableText.h"

namespace pelmar {
namespace {

struct TLost {
    size_t Offset;
    size_t Length;
    char32_t Char;
    bool operator==(const TLost&) const = default;
};

std::vector<TLost> Lost(const std::string& text, TTextCodePage page) {
    std::vector<TLost> lost;
    for (const TUnstorableChar& c : UnstorableCharacters(text, page))
        lost.push_back({c.Offset, c.Length, c.Char});
    return lost;
}

TEST(StorableText, WhatTheBasesCannotStore) {
    constexpr TTextCodePage Cp866 = TTextCodePage::Cp866;
    constexpr TTextCodePage Cp1251 = TTextCodePage::Cp1251;
    struct TRow {
        const char* what;
        const char* text;
        TTextCodePage page;
        std::vector<TLost> lost;
    };
    const TRow rows[] = {
        {"Russian text", "Привет, мир! ?", Cp866, {}},
        {"Ё and № are in CP866", "Ёлка ёж №5", Cp866, {}},
        {"Ukrainian and Belarusian letters CP866 has", "ЇїЄєЎў", Cp866, {}},
        {"look-alikes are not losses", "«ёлка» — …", Cp866, {}},
        // Typed box drawing never reaches CP866: the letter passes CP1251 first.
        {"box drawing into a base",
         "a░▒▓│┤",
         Cp866,
         {{1, 1, U'░'}, {2, 1, U'▒'}, {3, 1, U'▓'}, {4, 1, U'│'}, {5, 1, U'┤'}}},
        {"box drawing in CP1251", "░", Cp1251, {{0, 1, U'░'}}},
        {"CP1251 letters CP866 lacks", "Ђ§¶", Cp866, {{0, 1, U'Ђ'}, {1, 1, U'§'}, {2, 1, U'¶'}}},
        {"... which CP1251 holds", "Ђ§¶", Cp1251, {}},
        {"Greek", "αβ", Cp866, {{0, 1, U'α'}, {1, 1, U'β'}}},
        {"Greek in CP1251", "α", Cp1251, {{0, 1, U'α'}}},
        {"CJK", "中文", Cp866, {{0, 1, U'中'}, {1, 1, U'文'}}},
        {"emoji take two units", "a😀b░", Cp866, {{1, 2, U'😀'}, {4, 1, U'░'}}},
        {"line ends count one", "x\nα", Cp866, {{2, 1, U'α'}}},
        {"malformed bytes", "a\xff\xd0", Cp866, {{1, 1, 0xFFFD}, {2, 1, 0xFFFD}}},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(Lost(row.text, row.page), row.lost);
    }
}

}  // namespace
}  // namespace pelmar
