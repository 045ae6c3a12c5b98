// Dates, serials and the small text helpers of the message model.
#include <gtest/gtest.h>

#include <set>

#include "core/Errors.h"
#include "msgbase/MessageBase.h"

namespace pelmar {
namespace {

struct TFields {
    int Year, Month, Day, Hour, Minute, Second;
};

TFields Decode(TDateTime value) {
    TFields f{};
    DecodeDateTime(value, f.Year, f.Month, f.Day, f.Hour, f.Minute, f.Second);
    return f;
}

void ExpectDate(TDateTime value, TFields expected, const std::string& what) {
    const TFields f = Decode(value);
    EXPECT_EQ(f.Year, expected.Year) << what;
    EXPECT_EQ(f.Month, expected.Month) << what;
    EXPECT_EQ(f.Day, expected.Day) << what;
    EXPECT_EQ(f.Hour, expected.Hour) << what;
    EXPECT_EQ(f.Minute, expected.Minute) << what;
    EXPECT_EQ(f.Second, expected.Second) << what;
}

TEST(FtsDate, ReadsEveryLayout) {
    const struct {
        const char* Text;
        TFields Expected;
    } rows[] = {
        {"01 Jan 86  02:34:56", {1986, 1, 1, 2, 34, 56}},
        {"01 Jan 79  00:00:00", {2079, 1, 1, 0, 0, 0}},  // below the threshold 80: 20YY
        {"31 Dec 80  23:59:59", {1980, 12, 31, 23, 59, 59}},
        {"04 Dec 25 09:00:00", {2025, 12, 4, 9, 0, 0}},     // one space before the time
        {"Mon  1 Jan 86 02:34", {1986, 1, 1, 2, 34, 0}},    // SEAdog
        {"Thu 15 Feb 69 10:20", {2069, 2, 15, 10, 20, 0}},  // SEAdog threshold is 70
        {"Sat 15 Feb 70 10:20", {1970, 2, 15, 10, 20, 0}},
        {"24-12-2025 18:30:15", {2025, 12, 24, 18, 30, 15}},
        {"", {1970, 1, 1, 0, 0, 0}},
        {"garbage", {1970, 1, 1, 0, 0, 0}},
        {"01 Jan 86  xx:yy:zz", {1986, 1, 1, 0, 0, 0}},  // fields that do not parse take defaults
        {"01 Jan 86  02:34:56 trailing text", {1986, 1, 1, 2, 34, 56}},
    };
    for (const auto& row : rows) ExpectDate(ParseFtsDate(row.Text), row.Expected, row.Text);
}

TEST(FtsDate, RejectsUnknownMonthsAndFieldsOutOfRange) {
    for (const char* text : {"01 Foo 86  02:34:56", "01 jan 86  02:34:56", "32 Jan 86  02:34:56",
                             "29 Feb 87  00:00:00", "01 Jan 86  24:00:00", "01-13-2025 00:00:00"}) {
        EXPECT_THROW(ParseFtsDate(text), EConvertError) << text;
    }
    EXPECT_NO_THROW(ParseFtsDate("29 Feb 88  00:00:00"));
}

TEST(FtsDate, WritesNineteenCharactersThatReadBack) {
    const TDateTime date = EncodeDateTime(2026, 3, 7, 5, 6, 9);
    const std::string text = FormatFtsDate(date);
    EXPECT_EQ(text, "07 Mar 26  05:06:09");
    EXPECT_EQ(ParseFtsDate(text), date);
}

TEST(DateArithmetic, MatchesKnownValues) {
    EXPECT_EQ(JulianDay(1970, 1, 1), 2440588);
    EXPECT_EQ(JulianDay(2000, 2, 29), 2451604);
    EXPECT_EQ(EncodeDateTime(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDateTime(1970, 1, 1), 25569.0);

    EXPECT_EQ(DateTimeToUnix(EncodeDateTime(1970, 1, 1)), 0);
    EXPECT_EQ(DateTimeToUnix(EncodeDateTime(2001, 9, 9, 1, 46, 40)), 1000000000);
    ExpectDate(UnixToDateTime(1000000000), {2001, 9, 9, 1, 46, 40}, "unix");
    ExpectDate(UnixToDateTime(-1), {1969, 12, 31, 23, 59, 59}, "before 1970");

    // The stamp another writer left in a *.MSG header for 04 Dec 25 09:00:00.
    uint16_t dosDate = 0, dosTime = 0;
    DateTimeToDos(EncodeDateTime(2025, 12, 4, 9, 0, 0), dosDate, dosTime);
    EXPECT_EQ(dosDate, 0x5B84);
    EXPECT_EQ(dosTime, 0x4800);
    ExpectDate(DosToDateTime(0x5B84, 0x4800 | 0x0005), {2025, 12, 4, 9, 0, 10}, "dos");
    EXPECT_THROW(DosToDateTime(0, 0), EConvertError);  // month 0
}

TEST(DateArithmetic, DecodeRoundsToTheSecond) {
    const TDateTime almostMidnight = EncodeDateTime(2024, 2, 28, 23, 59, 59) + 0.9 / 86400;
    ExpectDate(almostMidnight, {2024, 2, 29, 0, 0, 0}, "carry into the next day");
}

TEST(MsgIdSerial, StrictlyIncreasesAndFormatsAsEightHexDigits) {
    uint32_t previous = NewMsgIdSerial();
    for (int i = 0; i < 50; ++i) {
        const uint32_t next = NewMsgIdSerial();
        EXPECT_EQ(next, previous + 1);  // far faster than one per second
        previous = next;
    }
    EXPECT_EQ(FormatMsgId("2:5020/1.5", 0x1a2b3c4d), "2:5020/1.5 1a2b3c4d");
    EXPECT_EQ(FormatMsgId("2:5020/1", 0xab), "2:5020/1 000000ab");
}

TEST(Attributes, NamesInBitOrderAndBack) {
    EXPECT_EQ(AttrText(0), "");
    EXPECT_EQ(AttrText(AttrLocal | AttrCrash), "Local Crash ");
    EXPECT_EQ(AttrText(0x1FF), "Local KillSent Sent Crash Direct RqRcpt ReqAudit RetRcpt FileAttach ");
    uint16_t attr = 0;
    ASSERT_TRUE(ParseAttrText("crash, Local  fileattach", attr));
    EXPECT_EQ(attr, AttrCrash | AttrLocal | AttrFileAttach);
    EXPECT_FALSE(ParseAttrText("Local Hold", attr));
}

TEST(TextHelpers, CleanEscapeAndLineKinds) {
    EXPECT_EQ(CleanText("a\r\nb\nc\x8D"
                        "d"),
              "a\rbc d");
    EXPECT_EQ(RtfEscape("{a}\\b\rc\xC0"), "\\{a\\}\\\\b\\par c\xC0");
    EXPECT_TRUE(IsOriginLine(" * Origin: x (1:2/3)"));
    EXPECT_FALSE(IsOriginLine("* Origin: x"));
    EXPECT_FALSE(IsOriginLine(" * origin: x"));
    EXPECT_TRUE(IsTearLine("---"));
    EXPECT_FALSE(IsTearLine(" ---"));
    // Stored text is CP866, memory CP1251: "Привет" both ways, byte for byte.
    const std::string ansi = "\xCF\xF0\xE8\xE2\xE5\xF2";
    const std::string oem = "\x8F\xE0\xA8\xA2\xA5\xE2";
    EXPECT_EQ(ToOem(ansi), oem);
    EXPECT_EQ(ToAnsi(oem), ansi);
}

TEST(Addresses, EchomailAddressFromIdValues) {
    EXPECT_EQ(EchoAddress("2:5020/1.5 1a2b3c4d"), "2:5020/1.5");
    EXPECT_EQ(EchoAddress("somewhere.org 12345678"), "");
    EXPECT_EQ(EchoAddress("2:5020/0 1"), "");
    EXPECT_EQ(EchoAddress(""), "");
    EXPECT_EQ(EchoAddress("2:5020/7@fidonet 0000f001"), "2:5020/7");
}

}  // namespace
}  // namespace pelmar
