#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "core/Codepage.h"
#include "editor/Quote.h"
#include "editor/UUCode.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

std::string Bytes(size_t size, uint32_t seed = 1) {
    std::mt19937 rng(seed);
    std::string data(size, '\0');
    for (char& c : data) c = static_cast<char>(rng());
    return data;
}

std::vector<std::string> Encode(const std::string& data, int lines, const std::string& name = "a.bin") {
    std::vector<std::string> sections;
    EncodeBytesToSections(data, name, 1234, lines, sections);
    return sections;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    for (std::string_view l : SplitTextLines(text)) out.emplace_back(l);
    return out;
}

std::string Sum(const std::string& lfLines) {
    return std::to_string(UUCrc(lfLines)) + "/" + std::to_string(lfLines.size());
}

TEST(UUEncode, ChecksumIsXmodemCrc) {
    EXPECT_EQ(UUCrc("123456789"), 0x31C3);
    EXPECT_EQ(UUCrc(""), 0);
    EXPECT_EQ(UUCrc("6789", UUCrc("12345")), 0x31C3);
}

TEST(UUEncode, EmptyFileLayout) {
    const auto sections = Encode("", 10, "e.bin");
    ASSERT_EQ(sections.size(), 1u);
    EXPECT_EQ(sections[0], "filetime 1234\r\nsize 0\r\nbegin 644 e.bin\r\n`\r\nend\r\n\r\nsum -r/size " +
                               Sum("begin 644 e.bin\n`\nend\n") + " entire input file\r\n");
}

TEST(UUEncode, FullLineAndGroupCharacters) {
    const auto lines = Lines(Encode(std::string(45, '\0'), 10)[0]);
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[3], "M" + std::string(60, '`'));
    EXPECT_EQ(lines[4], "`");
    EXPECT_EQ(lines[5], "end");
    // A nonzero middle value with zero low bits is a blank, only zero is the grave accent.
    EXPECT_EQ(Lines(Encode(std::string("\x04\x00\x00", 3), 10)[0])[3], "#! ``");
    EXPECT_EQ(Lines(Encode(std::string("\x00\x10\x00", 3), 10)[0])[3], "#`! `");
    EXPECT_EQ(Lines(Encode(std::string("\x00\x00\x00", 3), 10)[0])[3], "#````");
    // A short final group reuses the bytes of the group before it.
    EXPECT_EQ(Lines(Encode("abcd", 10)[0])[3], "$86)C9&)C");
}

TEST(UUEncode, SectionsAndSums) {
    const std::string data = Bytes(1000);
    const auto sections = Encode(data, 10, "big.zip");
    ASSERT_EQ(sections.size(), 3u);
    for (size_t k = 0; k < 3; ++k) {
        const auto lines = Lines(sections[k]);
        EXPECT_EQ(lines[0], "section " + std::to_string(k + 1) + " of 3 of file big.zip by Pelmar 1.0");
        EXPECT_EQ(lines[1], "");
    }
    const auto first = Lines(sections[0]);
    EXPECT_EQ(first[2], "filetime 1234");
    EXPECT_EQ(first[3], "size 1000");
    EXPECT_EQ(first[4], "begin 644 big.zip");
    for (int i = 5; i < 15; ++i) EXPECT_EQ(first[i][0], 'M');
    EXPECT_EQ(first[15], "`");
    std::string lf = "begin 644 big.zip\n";
    for (int i = 5; i <= 15; ++i) lf += first[i] + "\n";
    EXPECT_EQ(first[17], "sum -r/size " + Sum(lf) + " section (from \"begin\" to last encoded line)");
    EXPECT_EQ(first.size(), 18u);

    const auto middle = Lines(sections[1]);
    EXPECT_NE(middle.back().find("section (from first to last encoded line)"), std::string::npos);

    const auto last = Lines(sections[2]);
    ASSERT_EQ(last.size(), 10u);
    EXPECT_EQ(last[2][0], 'M');
    EXPECT_EQ(last[3][0], 'M');
    EXPECT_EQ(last[4][0], static_cast<char>(10 + 32));
    EXPECT_EQ(last[5], "`");
    EXPECT_EQ(last[6], "end");
    lf.clear();
    for (int i = 2; i <= 6; ++i) lf += last[i] + "\n";
    EXPECT_EQ(last[8], "sum -r/size " + Sum(lf) + " section (from first encoded line to \"end\")");
    std::string whole = "begin 644 big.zip\n";
    for (const auto& s : sections) {
        const auto ls = Lines(s);
        for (const auto& l : ls) {
            if (!l.empty() && (l[0] == 'M' || l[0] == '`' || l[0] == '*' || l == "end")) whole += l + "\n";
        }
    }
    EXPECT_EQ(last[9], "sum -r/size " + Sum(whole) + " entire input file");
}

TEST(UUEncode, InputEndingAtASectionBoundary) {
    const auto sections = Encode(Bytes(900), 10);
    ASSERT_EQ(sections.size(), 3u);
    const auto second = Lines(sections[1]);
    EXPECT_EQ(second[second.size() - 4], "end");
    EXPECT_NE(second[second.size() - 2].find("from first encoded line to \"end\""), std::string::npos);
    const auto third = Lines(sections[2]);
    ASSERT_EQ(third.size(), 7u);
    EXPECT_EQ(third[2], "`");
    EXPECT_EQ(third[3], "end");
    EXPECT_NE(third[6].find("entire input file"), std::string::npos);
}

TEST(UUDecode, RoundTripsOverSizesAndLineCounts) {
    std::mt19937 rng(3);
    for (size_t size : {0u, 1u, 2u, 3u, 44u, 45u, 46u, 449u, 450u, 451u, 1000u, 20000u}) {
        for (int lines : {0, 1, 3, 10}) {
            SCOPED_TRACE(std::to_string(size) + " bytes, " + std::to_string(lines) + " lines");
            const std::string data = Bytes(size, static_cast<uint32_t>(size));
            auto sections = Encode(data, lines, "f.dat");
            std::shuffle(sections.begin(), sections.end(), rng);
            TUUDecoder decoder;
            for (const auto& s : sections) EXPECT_TRUE(decoder.AddText("Some text\r\n" + s + "--- x\r\n"));
            ASSERT_EQ(decoder.Files().size(), 1u);
            const TFileInfo& file = decoder.Files()[0];
            ASSERT_TRUE(file.Complete());
            std::string joined;
            for (const auto& [k, sec] : file.Sections) joined += sec.Data;
            EXPECT_EQ(joined, data);
        }
    }
}

TEST(UUDecode, SectionsOutOfOrderAndDuplicates) {
    const auto sections = Encode(Bytes(600), 10, "p.rar");
    ASSERT_EQ(sections.size(), 2u);
    TUUDecoder decoder;
    EXPECT_TRUE(decoder.AddText(sections[1]));
    ASSERT_EQ(decoder.Files().size(), 1u);
    EXPECT_EQ(decoder.Files()[0].SectionsDone, 1);
    EXPECT_FALSE(decoder.Files()[0].Complete());
    EXPECT_TRUE(decoder.AddText(sections[0]));
    EXPECT_EQ(decoder.Files()[0].SectionsDone, 2);
    EXPECT_TRUE(decoder.Files()[0].Complete());
    EXPECT_TRUE(decoder.AddText(sections[0]));  // already there: ignored, no second file
    EXPECT_EQ(decoder.Files().size(), 1u);

    const auto single = Encode("hello", 10, "one.txt");
    TUUDecoder twice;
    EXPECT_TRUE(twice.AddText(single[0]));
    EXPECT_FALSE(twice.AddText(single[0] + Encode("other", 10, "two.txt")[0]));
    ASSERT_EQ(twice.Files().size(), 1u);
    EXPECT_EQ(twice.Files()[0].Sections.at(0).Data, "hello");
}

TEST(UUDecode, BadCharacterStopsTheSection) {
    auto lines = Lines(Encode(Bytes(135), 0)[0]);
    lines[4] = "Mabc";
    std::string text;
    for (const auto& l : lines) text += l + "\r";
    TUUDecoder decoder;
    decoder.AddText(text);
    ASSERT_EQ(decoder.Files().size(), 1u);
    EXPECT_EQ(decoder.Files()[0].Sections.at(0).Data, Bytes(135).substr(0, 45));
}

TEST(UUDecode, HostileHeadersAreIgnored) {
    const char* headers[] = {
        "section 1 of 2000000000 of file x.bin by y",
        "section 0 of 3 of file x.bin",
        "section 4 of 3 of file x.bin",
        "section x of 3 of file x.bin",
        "section 2 3 of file x.bin",
        "section 2 of 0 of file x.bin",
        "section 99999999999999999999 of 3 of file x.bin",
    };
    for (const char* header : headers) {
        TUUDecoder decoder;
        EXPECT_TRUE(decoder.AddText(std::string(header) + "\r\rbegin 644 x.bin\r#86)C\r`\rend\r"));
        for (const auto& f : decoder.Files()) EXPECT_LE(f.SectionCount, UUMaxSections) << header;
    }
    // Many headers, each needing a search or a lookup, stay linear.
    std::string many;
    for (int i = 0; i < 50000; ++i)
        many += "section 1 of 2 of file f\rsection 2 of 3 of file g" + std::to_string(i) + "\r";
    // Processor time, not the wall clock: a busy machine must not fail the test.
    const std::clock_t start = std::clock();
    TUUDecoder crowd;
    crowd.AddText(many);
    EXPECT_LT(std::clock() - start, 2 * CLOCKS_PER_SEC);

    TUUDecoder decoder;
    decoder.AddText("section 3 of 10000 of file many.bin by x\r\r#86)C\r`\rend\r");
    ASSERT_EQ(decoder.Files().size(), 1u);
    EXPECT_EQ(decoder.Files()[0].SectionCount, 10000);
    EXPECT_EQ(decoder.Files()[0].Sections.size(), 1u);
}

TEST(UUDecode, ProposesOnlySafeNames) {
    const std::pair<std::string, std::string> rows[] = {
        {"a.zip", "a.zip"},
        {"../../.bashrc", "bashrc"},
        {"/x", "x"},
        {"C:\\dos\\y.arj", "y.arj"},
        {"..", "file.bin"},
        {"", "file.bin"},
        {"a\x01\x1b[2Jb", "a[2Jb"},
        {"dir/", "file.bin"},
        {" .hidden ", "hidden"},
        {std::string(300, 'a'), std::string(255, 'a')},
    };
    for (const auto& [announced, safe] : rows) EXPECT_EQ(SafeFileName(announced), safe) << announced;
}

TEST(UUDecode, FailedSaveIsReportedAndKeepsTheEntry) {
    test::TempDir dir;
    TUUDecoder decoder;
    decoder.AddText(Encode("payload", 0, "p.bin")[0]);
    std::string error;
    EXPECT_FALSE(decoder.Save(0, dir.File("missing/p.bin"), error));
    EXPECT_FALSE(error.empty());
    ASSERT_EQ(decoder.Files().size(), 1u);
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_FALSE(decoder.Save(0, "/dev/full", error));
        EXPECT_EQ(decoder.Files().size(), 1u);
    }
    EXPECT_TRUE(decoder.Save(0, dir.File("p.bin"), error)) << error;
    EXPECT_EQ(test::ReadFile(dir.File("p.bin")), "payload");
    EXPECT_TRUE(decoder.Files().empty());
}

TEST(UUEncode, FileInputIsCheckedAndCapped) {
    test::TempDir dir;
    std::vector<std::string> sections;
    EXPECT_THROW(EncodeFileToSections(dir.File("none"), 10, sections), EUUError);
    EXPECT_THROW(EncodeFileToSections(dir.Path().string(), 10, sections), EUUError);
    {
        std::ofstream big(dir.File("big"), std::ios::binary);
        big.seekp(static_cast<std::streamoff>(UUMaxEncodeSize));
        big.put('x');
    }
    EXPECT_THROW(EncodeFileToSections(dir.File("big"), 10, sections), EUUError);
    test::WriteFile(dir.File("small.txt"), "abc");
    EncodeFileToSections(dir.File("small.txt"), 10, sections);
    ASSERT_EQ(sections.size(), 1u);
    EXPECT_NE(sections[0].find("begin 644 small.txt\r\n"), std::string::npos);
}

TEST(UUEncode, CyrillicFileNameDecodesBack) {
    test::TempDir dir;
    test::WriteFile(dir.File("отчёт №1 ✓.zip"), "data");
    std::vector<std::string> sections;
    EncodeFileToSections(dir.File("отчёт №1 ✓.zip"), 10, sections);
    TUUDecoder decoder;
    for (const std::string& section : sections) decoder.AddText(section);
    ASSERT_EQ(decoder.Files().size(), 1u);
    // The check mark has no CP1251 counterpart.
    EXPECT_EQ(AnsiToUtf8(SafeFileName(decoder.Files()[0].Name)), "отчёт №1 _.zip");
}

}  // namespace
}  // namespace pelmar
