#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "core/Codepage.h"

namespace pelmar {
namespace {

std::string Byte(int b) {
    return std::string(1, static_cast<char>(b));
}

uint8_t OemToAnsiByte(int b) {
    return static_cast<uint8_t>(OemToAnsi(Byte(b))[0]);
}
uint8_t AnsiToOemByte(int b) {
    return static_cast<uint8_t>(AnsiToOem(Byte(b))[0]);
}

std::string AllBytes() {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    return all;
}

// CP866 bytes whose character CP1251 lacks, and the other way round.
bool OemHasNoCounterpart(int b) {
    return (b >= 0xB0 && b <= 0xDF) || b == 0xF9 || b == 0xFB || b == 0xFE;
}
bool AnsiHasNoCounterpart(int b) {
    if (b < 0x80 || b >= 0xC0) return false;
    static const std::set<int> present = {0xA0, 0xA1, 0xA2, 0xA4, 0xA8, 0xAA, 0xAF,
                                          0xB0, 0xB7, 0xB8, 0xB9, 0xBA, 0xBF};
    return !present.contains(b);
}

TEST(OemAnsi, LettersMapExactlyBothWays) {
    // А..П, а..п, р..я in CP866 are А..я in CP1251 in one run.
    for (int i = 0; i < 64; ++i) {
        const int oem = i < 48 ? 0x80 + i : 0xE0 + (i - 48);
        EXPECT_EQ(OemToAnsiByte(oem), 0xC0 + i) << std::hex << oem;
        EXPECT_EQ(AnsiToOemByte(0xC0 + i), oem) << std::hex << oem;
    }
    const std::pair<int, int> pairs[] = {{0xF0, 0xA8}, {0xF1, 0xB8}, {0xFC, 0xB9}, {0xF2, 0xAA}, {0xF3, 0xBA},
                                         {0xF4, 0xAF}, {0xF5, 0xBF}, {0xF6, 0xA1}, {0xF7, 0xA2}, {0xF8, 0xB0},
                                         {0xFA, 0xB7}, {0xFD, 0xA4}, {0xFF, 0xA0}};
    for (const auto& [oem, ansi] : pairs) {
        EXPECT_EQ(OemToAnsiByte(oem), ansi) << std::hex << oem;
        EXPECT_EQ(AnsiToOemByte(ansi), oem) << std::hex << ansi;
    }
    for (int b = 0; b < 0x80; ++b) {
        EXPECT_EQ(OemToAnsiByte(b), b);
        EXPECT_EQ(AnsiToOemByte(b), b);
    }
}

TEST(OemAnsi, EveryByteRoundTripsOrHasAPrintableSubstitute) {
    const std::string all = AllBytes();
    const std::string ansi = OemToAnsi(all);
    const std::string oem = AnsiToOem(all);
    ASSERT_EQ(ansi.size(), 256u);
    ASSERT_EQ(oem.size(), 256u);
    const std::string backFromAnsi = AnsiToOem(ansi);
    const std::string backFromOem = OemToAnsi(oem);
    for (int b = 0; b < 256; ++b) {
        if (!OemHasNoCounterpart(b)) {
            EXPECT_EQ(static_cast<uint8_t>(backFromAnsi[b]), b) << "oem " << std::hex << b;
        } else if (b != 0xF9) {
            const char sub = ansi[b];
            EXPECT_TRUE(sub >= 0x20 && sub < 0x7F) << "oem " << std::hex << b;
        }
        if (!AnsiHasNoCounterpart(b)) {
            EXPECT_EQ(static_cast<uint8_t>(backFromOem[b]), b) << "ansi " << std::hex << b;
        } else if (b != 0x95) {
            const auto sub = static_cast<uint8_t>(oem[b]);
            // Substitutes are ASCII or a plain Cyrillic letter (Ґ -> Г and the like).
            EXPECT_TRUE((sub >= 0x20 && sub < 0x7F) || (sub >= 0x80 && sub <= 0xAF))
                << "ansi " << std::hex << b;
        }
    }
}

TEST(OemAnsi, DocumentedSubstitutes) {
    // Frames keep their shape as far as ASCII allows.
    EXPECT_EQ(OemToAnsi("\xB3\xBA\xC4\xCD\xDA\xBF\xC5\xC9\xBC"), "||-=+++++");
    EXPECT_EQ(OemToAnsi("\xB0\xB1\xB2\xDB\xDC\xDD\xDE\xDF\xFE"), "#########");
    EXPECT_EQ(OemToAnsi("\xFB"), "v");
    // The two bullets pair up, so both survive a round trip.
    EXPECT_EQ(OemToAnsiByte(0xF9), 0x95);
    EXPECT_EQ(AnsiToOemByte(0x95), 0xF9);
    // Guillemets must not turn into the quote marker '>'.
    EXPECT_EQ(AnsiToOem("\xAB\xBB\x93\x94\x84"), "\"\"\"\"\"");
    EXPECT_EQ(AnsiToOem("\x96\x97\x85\x91\x92"), "--.''");
    EXPECT_EQ(AnsiToOem("\xA5\xB4\xB2\xB3"), "\x83\xA3Ii");
    EXPECT_EQ(AnsiToOem("\x98\x80\xA7"), "???");
    EXPECT_EQ(AnsiToOem(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(OemUtf8, FullTable) {
    EXPECT_EQ(OemToUtf8("\xC9\xCD\xBB"), "╔═╗");
    EXPECT_EQ(OemToUtf8("\xB0\xB1\xB2\xDB"), "░▒▓█");
    EXPECT_EQ(OemToUtf8("\x8F\xE0\xA8\xA2\xA5\xE2 \xF0\xF1 \xFC"), "Привет Ёё №");
    EXPECT_EQ(OemToUtf8("\xF9\xFA\xFB\xFE\xFF"), "∙·√■\u00A0");
    EXPECT_EQ(OemToUtf8(""), "");

    // Wherever CP1251 has the character, the view and the conversion agree.
    for (int b = 0; b < 256; ++b) {
        if (OemHasNoCounterpart(b)) continue;
        EXPECT_EQ(Utf8ToAnsi(OemToUtf8(Byte(b))), OemToAnsi(Byte(b))) << std::hex << b;
    }
    // Every byte is one character, and no two bytes share one.
    std::set<std::string> seen;
    for (int b = 0; b < 256; ++b) seen.insert(OemToUtf8(Byte(b)));
    EXPECT_EQ(seen.size(), 256u);
}

TEST(OemUtf8, BackToCp866WithQuestionMarks) {
    const std::string all = AllBytes();
    EXPECT_EQ(Utf8ToOem(OemToUtf8(all)), all);
    EXPECT_EQ(Utf8ToOem("€—日😀"), "????");
    EXPECT_EQ(Utf8ToOem("a\xFF"
                        "b"),
              "a?b");  // malformed
}

// The lossless pair pelmar-tool uses: every stored byte survives, the shared characters keep the
// usual mapping (so casing and the CP1251 rules of the bases still hold), and 0x8D never appears in
// memory (the bases turn it into a space).
TEST(OemAnsi, LosslessPair) {
    const std::string all = AllBytes();
    std::string usual;
    for (int b = 0; b < 256; ++b) usual += static_cast<char>(OemToAnsiByte(b));
    SetLosslessOem(true);
    const std::string memory = OemToAnsi(all);
    const std::string back = AnsiToOem(memory);
    SetLosslessOem(false);
    EXPECT_EQ(back, all);
    EXPECT_EQ(std::set<char>(memory.begin(), memory.end()).size(), 256u);
    for (int b = 0; b < 256; ++b) {
        if (b == 0x7F) {
            EXPECT_EQ(static_cast<uint8_t>(memory[b]), 0x8D);
        } else if (!OemHasNoCounterpart(b) || b == 0xF9) {
            EXPECT_EQ(memory[b], usual[b]) << std::hex << b;
        } else {
            EXPECT_NE(static_cast<uint8_t>(memory[b]), 0x8D) << std::hex << b;
        }
    }
    EXPECT_EQ(OemToAnsi("\xC9\xCD"), "\x2B\x3D");  // off again: the usual substitutes
}

TEST(AnsiUtf8, AllBytesRoundTrip) {
    const std::string all = AllBytes();
    EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(all)), all);
    EXPECT_EQ(AnsiToUtf8("\xCF\xF0\xE8\xE2\xE5\xF2 \xA8\xB8 \xB9 \x96 \x88"), "Привет Ёё № – €");
    EXPECT_EQ(AnsiToUtf8("\x98"), "\xC2\x98");
}

TEST(AnsiUtf8, UnmappableAndMalformedBecomeQuestionMarks) {
    EXPECT_EQ(Utf8ToAnsi("日本"), "??");
    EXPECT_EQ(Utf8ToAnsi("😀x"), "?x");
    EXPECT_EQ(Utf8ToAnsi("╔"), "?");
    EXPECT_EQ(Utf8ToAnsi("\xFF"), "?");
    EXPECT_EQ(Utf8ToAnsi("a\x80z"), "a?z");
    EXPECT_EQ(Utf8ToAnsi("\xD0"), "?");                 // cut short at the end
    EXPECT_EQ(Utf8ToAnsi("\xD0x"), "?x");               // missing continuation
    EXPECT_EQ(Utf8ToAnsi("\xE2\x80"), "??");            // cut short at the end
    EXPECT_EQ(Utf8ToAnsi("\xC0\xAF"), "??");            // overlong '/'
    EXPECT_EQ(Utf8ToAnsi("\xE0\x80\xAF"), "???");       // overlong '/'
    EXPECT_EQ(Utf8ToAnsi("\xED\xA0\x80"), "???");       // surrogate
    EXPECT_EQ(Utf8ToAnsi("\xF4\x90\x80\x80"), "????");  // beyond U+10FFFF
    EXPECT_EQ(Utf8ToAnsi(std::string("\0", 1)), std::string("\0", 1));
}

TEST(AnsiCase, UpperAndLowerPairs) {
    EXPECT_EQ(AnsiUpperCase("abcxyz"), "ABCXYZ");
    EXPECT_EQ(AnsiLowerCase("ABCXYZ"), "abcxyz");
    for (int i = 0; i < 32; ++i) {
        EXPECT_EQ(static_cast<uint8_t>(AnsiUpper(static_cast<char>(0xE0 + i))), 0xC0 + i);
        EXPECT_EQ(static_cast<uint8_t>(AnsiLower(static_cast<char>(0xC0 + i))), 0xE0 + i);
    }
    const std::string upper = "\xA8\xAA\xAF\xB2\xA1\xA5\x80\x81\x8A\x8C\x8D\x8E\x8F\xA3\xBD";
    const std::string lower = "\xB8\xBA\xBF\xB3\xA2\xB4\x90\x83\x9A\x9C\x9D\x9E\x9F\xBC\xBE";
    EXPECT_EQ(AnsiUpperCase(lower), upper);
    EXPECT_EQ(AnsiLowerCase(upper), lower);

    // Everything else is left alone, and casing is consistent over all bytes.
    int changedByUpper = 0;
    for (int b = 0; b < 256; ++b) {
        const char c = static_cast<char>(b);
        EXPECT_EQ(AnsiUpper(AnsiLower(c)), AnsiUpper(c)) << std::hex << b;
        EXPECT_EQ(AnsiLower(AnsiUpper(c)), AnsiLower(c)) << std::hex << b;
        if (AnsiUpper(c) != c) ++changedByUpper;
    }
    EXPECT_EQ(changedByUpper, 26 + 32 + 15);
    EXPECT_EQ(AnsiUpper('\xB5'), '\xB5');  // µ has no CP1251 capital
    EXPECT_EQ(AnsiUpper('['), '[');
    EXPECT_EQ(AnsiLower('\xD7'), '\xF7');
}

TEST(AnsiCase, CompareText) {
    EXPECT_EQ(AnsiCompareText("Hello", "hELLO"), 0);
    EXPECT_EQ(AnsiCompareText("\xCF\xF0\xE8\xE2\xE5\xF2", "\xEF\xD0\xC8\xC2\xC5\xD2"), 0);  // Привет / пРИВЕТ
    EXPECT_TRUE(AnsiSameText("\xA8\xEB\xEA\xE0", "\xB8\xCB\xCA\xC0"));
    EXPECT_FALSE(AnsiSameText("\xE5", "\xB8"));  // е is not ё
    EXPECT_LT(AnsiCompareText("abc", "abd"), 0);
    EXPECT_GT(AnsiCompareText("abd", "ABC"), 0);
    EXPECT_LT(AnsiCompareText("ab", "abc"), 0);
    EXPECT_GT(AnsiCompareText("abc", "AB"), 0);
    EXPECT_EQ(AnsiCompareText("", ""), 0);

    // Alphabetical order: Latin before Cyrillic, Ё between Е and Ж, digits and marks before letters.
    std::vector<std::string> words = {"\xC6\xF3\xEA",      // Жук
                                      "\xB8\xEB\xEA\xE0",  // ёлка
                                      "\xC5\xEB\xFC",      // Ель
                                      "zebra",
                                      "Apple",
                                      "_x",
                                      "9",
                                      "\xDF",   // Я
                                      "\xE0"};  // а
    std::sort(words.begin(), words.end(),
              [](const std::string& a, const std::string& b) { return AnsiCompareText(a, b) < 0; });
    const std::vector<std::string> expected = {
        "9", "_x", "Apple", "zebra", "\xE0", "\xC5\xEB\xFC", "\xB8\xEB\xEA\xE0", "\xC6\xF3\xEA", "\xDF"};
    EXPECT_EQ(words, expected);
}

}  // namespace
}  // namespace pelmar
