#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "editor/Quote.h"

namespace pelmar {
namespace {

TEST(QuoteLine, RecognisesPrefixesAndSplitsThem) {
    struct Row {
        const char* line;
        bool quote;
        const char* text;
        const char* prefix;
    };
    const Row rows[] = {
        {"", false, "", ""},
        {">", true, "", ">>"},
        {"AB> text", true, "text", "AB>>"},
        {" > > text", true, "text", " > >>"},
        {"ABCD>x", true, "x", "ABCD>>"},
        {"ABCDE> x", false, "ABCDE> x", ""},
        {"no quote here", false, "no quote here", ""},
        {"a b c d>", true, "", "a b c d>>"},
        {"    >>   far", true, "far", "    >>>"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.line);
        EXPECT_EQ(IsQuoteLine(r.line), r.quote);
        std::string text, prefix;
        SplitQuote(r.line, text, prefix);
        EXPECT_EQ(text, r.text);
        EXPECT_EQ(prefix, r.prefix);
    }
}

TEST(QuoteLine, FirstWordLengthCountsLeadingBlanks) {
    const std::pair<const char*, int> rows[] = {
        {"", 0}, {"a", 0}, {"word rest", 4}, {"  ab cd", 4}, {"word", 3}, {"    ", 3},
    };
    for (const auto& [text, expected] : rows) EXPECT_EQ(FirstWordLength(text), expected) << text;
}

TEST(WrapQuoted, WrapsAtTheWidthAndCutsLongWords) {
    EXPECT_EQ(WrapQuoted(" IP>", ""), "");
    EXPECT_EQ(WrapQuoted(" IP>", "short"), " IP> short");

    std::string paragraph;
    for (int i = 0; i < 40; ++i) paragraph += "word ";
    paragraph.pop_back();  // 199 characters
    const std::string wrapped = WrapQuoted(" IP>", paragraph);
    size_t start = 0;
    int lines = 0;
    while (start <= wrapped.size()) {
        size_t end = wrapped.find("\r\n", start);
        if (end == std::string::npos) end = wrapped.size();
        const std::string line = wrapped.substr(start, end - start);
        ASSERT_EQ(line.rfind(" IP> ", 0), 0u) << line;
        EXPECT_LE(line.size() - 5, 74u) << line;
        ++lines;
        start = end + 2;
    }
    EXPECT_GE(lines, 3);
    EXPECT_NE(wrapped.substr(wrapped.size() - 2), "\r\n");

    const std::string longWord(160, 'x');
    EXPECT_EQ(WrapQuoted(" IP>", longWord), " IP> \r\n IP> " + std::string(74, 'x') + "\r\n IP> " +
                                                std::string(74, 'x') + "\r\n IP> " + std::string(12, 'x'));
}

TEST(WrapQuoted, PrefixLeavingNoRoomKeepsTheParagraphWhole) {
    for (size_t length : {58u, 59u, 78u, 79u, 200u}) {
        const std::string prefix(length - 1, ' ');
        const std::string full = prefix + ">";
        const std::string paragraph(300, 'y');
        const std::string out = WrapQuoted(full, paragraph);
        if (78 - static_cast<int>(length) < 20) {
            EXPECT_EQ(out, full + " " + paragraph) << length;
        } else {
            EXPECT_NE(out.find("\r\n"), std::string::npos) << length;
        }
    }
}

TEST(BuildReplyQuote, QuotesJoinsAndKeepsBlankLines) {
    struct Row {
        const char* name;
        std::string text;
        const char* from;
        std::string expected;
    };
    const std::string line75 = std::string(71, 'a') + " bcd";  // 75 characters
    const Row rows[] = {
        {"example", "Hello\r\rAB> quoted\r", "Ivan Petrov", " IP> Hello\r\n\r\nAB>> quoted"},
        {"lf and crlf ends", "Hello\n\r\nAB> quoted", "Ivan Petrov", " IP> Hello\r\n\r\nAB>> quoted"},
        {"one-word name", "x", "Ivan", " I> x"},
        {"four-word name", "x", "ivan van der berg", " ivd> x"},
        {"five before mark", "ABCDE> x", "Ivan Petrov", " IP> ABCDE> x"},
        // A 75-character line wraps its last word; a following 4-character word joins it there.
        {"joined at threshold", line75 + "\rfour five", "Xavier Young",
         " XY> " + std::string(71, 'a') + "\r\n XY> bcd four five"},
        {"kept apart below", line75 + "\rfor five", "Xavier Young",
         " XY> " + std::string(71, 'a') + "\r\n XY> bcd\r\n XY> for five"},
        {"blank between blocks", "A> one\r\r\rB> two", "X", "A>> one\r\n\r\n\r\nB>> two"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(BuildReplyQuote(r.text, {}, r.from, false), r.expected) << r.name;
    }
}

TEST(BuildReplyQuote, KludgesFollowTheBodyOnlyWhenAsked) {
    const std::vector<std::string> kludges = {"MSGID: 2:5020/1 12345678", "PID: X"};
    EXPECT_EQ(BuildReplyQuote("Hi", kludges, "Ivan Petrov", false), " IP> Hi");
    EXPECT_EQ(BuildReplyQuote("Hi", kludges, "Ivan Petrov", true),
              " IP> Hi\r\n IP> @MSGID: 2:5020/1 12345678\r\n IP> @PID: X");
}

TEST(BuildReplyQuote, HostileInputStaysLinearAndSmall) {
    // Thousands of blanks before ">" make a prefix wider than the line; many such lines.
    std::string hostile;
    for (int i = 0; i < 200; ++i) hostile += std::string(5000, ' ') + "> " + std::string(100, 'z') + " q\r";
    // Processor time, not the wall clock: a busy machine must not fail the test.
    const std::clock_t start = std::clock();
    const std::string out = BuildReplyQuote(hostile, {}, "Ivan Petrov", false);
    const std::clock_t used = std::clock() - start;
    EXPECT_LT(out.size(), hostile.size() * 2);
    EXPECT_LT(used, CLOCKS_PER_SEC);
}

}  // namespace
}  // namespace pelmar
