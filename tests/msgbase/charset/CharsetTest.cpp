// Messages in each declared character set: the control line read, the body into CP1251 and UTF-8.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Settings.h"
#include "msgbase/Charset.h"

namespace pelmar {
namespace {

struct TDeclaredCase {
    const char* Kludge;  // the CHRS line as stored among the control lines
    TCharset Charset;
    std::string Stored;
    std::string Ansi;  // CP1251
    std::string Utf8;
};

// "Привет, мир", "Ёлка ї", "café ±" and a box corner, each in the set the line declares.
// clang-format off
const TDeclaredCase kDeclared[] = {
    {"CHRS: CP866 2", TCharset::Cp866,
     "\x8F\xE0\xA8\xA2\xA5\xE2, \xAC\xA8\xE0 \xF0\xAB\xAA\xA0 \xF5 \xC9",
     "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0 \xA8\xEB\xEA\xE0 \xBF +",
     "Привет, мир Ёлка ї ╔"},
    {"CHRS: IBM PC 2", TCharset::Cp866, "\x8F\xE0\xA8\xA2\xA5\xE2", "\xCF\xF0\xE8\xE2\xE5\xF2", "Привет"},
    {"CHRS: CP1251 2", TCharset::Cp1251,
     "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0 \xA8\xEB\xEA\xE0 \xBF",
     "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0 \xA8\xEB\xEA\xE0 \xBF",
     "Привет, мир Ёлка ї"},
    {"CHRS: KOI8-R 2", TCharset::Koi8R,
     "\xF0\xD2\xC9\xD7\xC5\xD4, \xCD\xC9\xD2 \xB3\xCC\xCB\xC1 \xA5",
     "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0 \xA8\xEB\xEA\xE0 ?",
     "Привет, мир Ёлка ╔"},
    {"CHRS: KOI8-U 2", TCharset::Koi8U, "\xB3\xCC\xCB\xC1 \xA7", "\xA8\xEB\xEA\xE0 \xBF", "Ёлка ї"},
    {"CHRS: LATIN-1 2", TCharset::Latin1, "caf\xE9 \xB1", "caf? \xB1", "café ±"},
    {"CHRS: CP437 2", TCharset::Cp437, "caf\x82 \xF1 \xC9", "caf? \xB1 ?", "café ± ╔"},
    {"CHRS: ISO-8859-5 3", TCharset::Iso88595, "\xBF\xE0\xD8\xD2\xD5\xE2 \xA1", "\xCF\xF0\xE8\xE2\xE5\xF2 \xA8",
     "Привет Ё"},
    {"CHRS: UTF-8 4", TCharset::Utf8,
     "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, caf\xC3\xA9 \xE2\x82\xAC \xE2\x95\x94",
     "\xCF\xF0\xE8\xE2\xE5\xF2, caf? \x88 ?",
     "Привет, café € ╔"},
    {"CHRS: ASCII 1", TCharset::Ascii, "plain \xE9", "plain ?", "plain \xEF\xBF\xBD"},
    // Nothing declared, or something unknown: the DOS code page, as before.
    {"PID: Plm 1.0", TCharset::Unknown, "\x8F\xE0\xA8\xA2\xA5\xE2", "\xCF\xF0\xE8\xE2\xE5\xF2", "Привет"},
    {"CHRS: EBCDIC 2", TCharset::Unknown, "\x8F\xE0\xA8\xA2\xA5\xE2", "\xCF\xF0\xE8\xE2\xE5\xF2", "Привет"},
};
// clang-format on

class CharsetDeclared : public ::testing::TestWithParam<TDeclaredCase> {};

TEST_P(CharsetDeclared, ConvertsByTheDeclaration) {
    const TDeclaredCase& c = GetParam();
    const std::vector<std::string> kludges = {"MSGID: 2:5020/1 12345678", c.Kludge, "TZUTC: 0300"};
    const TCharset charset = DeclaredCharset(kludges);
    EXPECT_EQ(charset, c.Charset) << c.Kludge;
    EXPECT_EQ(CharsetToAnsi(charset, c.Stored), c.Ansi) << c.Kludge;
    EXPECT_EQ(CharsetToUtf8(charset, c.Stored), c.Utf8) << c.Kludge;
}

INSTANTIATE_TEST_SUITE_P(Sets, CharsetDeclared, ::testing::ValuesIn(kDeclared));

TEST(Charset, NamesAsWritten) {
    struct TName {
        const char* Value;
        TCharset Charset;
    };
    const TName names[] = {
        {"cp866", TCharset::Cp866},      {"IBMPC 2", TCharset::Cp866},  {"+7_FIDO 2", TCharset::Cp866},
        {"koi8r", TCharset::Koi8R},      {"UTF-8 4  ", TCharset::Utf8}, {"utf8", TCharset::Utf8},
        {"LATIN-1 2", TCharset::Latin1}, {"CP8662", TCharset::Unknown}, {"", TCharset::Unknown},
        {"2", TCharset::Unknown},
    };
    for (const TName& name : names) EXPECT_EQ(ParseCharsetName(name.Value), name.Charset) << name.Value;
}

TEST(Charset, FirstDeclarationWinsAndTheLeadingControlByteIsAllowed) {
    EXPECT_EQ(DeclaredCharset({"\x01"
                               "CHRS: KOI8-R 2",
                               "CHRS: CP866 2"}),
              TCharset::Koi8R);
    EXPECT_EQ(DeclaredCharset({"CHARSET: UTF-8"}), TCharset::Utf8);
    EXPECT_EQ(DeclaredCharset({}), TCharset::Unknown);
}

TEST(Charset, MalformedUtf8BecomesReplacementCharacters) {
    const std::string bad =
        "a\xC0\xAF"
        "b\xED\xA0\x80"
        "c\xF0\x9F\x98"
        "d\xE2\x82\xAC";
    EXPECT_EQ(CharsetToUtf8(TCharset::Utf8, bad),
              "a\xEF\xBF\xBD\xEF\xBF\xBD"
              "b\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
              "c\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
              "d\xE2\x82\xAC");
    EXPECT_EQ(CharsetToAnsi(TCharset::Utf8, bad), "a??b???c???d\x88");
}

TEST(Charset, StoredTextFollowsItsDeclarationUnderTheDosSwitch) {
    const std::string utf8 =
        "\x01MSGID: 2:5020/1 1\r\x01"
        "CHRS: UTF-8 4\r\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82\r";
    EXPECT_EQ(DeclaredCharsetInStored(utf8), TCharset::Utf8);
    EXPECT_EQ(DeclaredCharsetInStored("text\r\x01PID: x\r"), TCharset::Unknown);
    EXPECT_EQ(DeclaredCharsetInStored(std::string("\0\x01"
                                                  "CHRS: UTF-8 4",
                                                  15)),
              TCharset::Unknown);
    EXPECT_EQ(DeclaredBodyToAnsi(utf8, {}),
              "\x01MSGID: 2:5020/1 1\r\x01"
              "CHRS: UTF-8 4\r\xCF\xF0\xE8\xE2\xE5\xF2\r");
    // A declaration the format keeps apart from the text (JAM subfields) wins.
    EXPECT_EQ(DeclaredBodyToAnsi("\xF0\xD2\xC9\xD7\xC5\xD4", {"CHRS: KOI8-R 2"}), "\xCF\xF0\xE8\xE2\xE5\xF2");
    // Nothing declared: CP866 as always.
    EXPECT_EQ(DeclaredBodyToAnsi("\x8F\xE0\xA8\xA2\xA5\xE2", {}), "\xCF\xF0\xE8\xE2\xE5\xF2");
    // The explicit Windows choice shows the bytes as stored.
    Settings.TextInWindowsCodePage = true;
    EXPECT_EQ(DeclaredBodyToAnsi(utf8, {}), utf8);
    Settings.TextInWindowsCodePage = false;
}

}  // namespace
}  // namespace pelmar
