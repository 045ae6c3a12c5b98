// pelmar-tool dump on messages declaring their character set.
#include <gtest/gtest.h>

#include <filesystem>

#include "msgbase/FidoBase.h"
#include "msgbase/JamRecords.h"
#include "msgbase/jam/JamBuilder.h"
#include "support/Json.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

namespace fs = std::filesystem;

TEST(DumpCharset, BodiesByTheDeclaration) {
    test::TempDir dir;
    const fs::path area = dir.Path() / "area";
    fs::create_directories(area);
    const auto write = [&](const char* name, const std::string& from, const std::string& body) {
        std::string header(TFidoBase::HeaderSize, '\0');
        header.replace(0, from.size(), from);
        header.replace(144, 19, "01 Jan 26  10:20:30");
        test::WriteFile(area / name, header + body + '\0');
    };
    // UTF-8 declared; then the DOS code page without a declaration.
    write("2.msg", "Ivan",
          "\x01"
          "CHRS: UTF-8 4\r\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, \xD1\x8D\xD1\x85\xD0\xBE "
          "\xE2\x82\xAC\r");
    write("3.msg", "Petr", "\x8F\xE0\xA8\xA2\xA5\xE2 \xC9\xCD\xBB\r");
    std::string out;
    const std::string command =
        "'" + test::ToolPath() + "' dump --kind msg '" + area.string() + "' 2>/dev/null";
    ASSERT_EQ(test::RunCommand(command, &out), 0) << out;
    EXPECT_NE(out.find("\"text\": \"Привет, эхо €\""), std::string::npos) << out;
    EXPECT_NE(out.find("\"text\": \"Привет ╔═╗\""), std::string::npos) << out;
}

// Stored bytes in a declared set, and the text the dump must show: characters CP1251 lacks included,
// and UTF-8 sequences holding the byte 0x8D (the soft CR of 8-bit sets) kept whole.
struct TDeclaredRow {
    const char* Name;
    const char* Chrs;
    std::string Stored;
    std::string Text;
};

const TDeclaredRow kDeclaredRows[] = {
    {"Utf8", "CHRS: UTF-8 4", "\xD1\x97 \xC4\x9F \xF0\x9F\x98\x80\r\n\xD1\x8D\xD1\x85\xD0\xBE\r",
     "ї ğ 😀\nэхо"},
    {"Koi8U", "CHRS: KOI8-U 2", "\xB7\xA7 \xAD\xA4 \x80\x81\r", "Її ґє ─│"},
    {"Latin1", "CHRS: LATIN-1 2", "\xE9t\xE9 \xFC\xDF\r", "été üß"},
    {"Cp866", "CHRS: CP866 2", "\x8F\xE0\xA8\xA2\xA5\xE2 \xC9\xCD\xBB\r", "Привет ╔═╗"},
    {"Undeclared", "", "\x8F\xE0\xA8\xA2\xA5\xE2 \xC9\xCD\xBB\r", "Привет ╔═╗"},
};

std::vector<test::TJson> Dump(const std::string& kind, const fs::path& base,
                              const std::string& options = "") {
    std::string out;
    const std::string command = "'" + test::ToolPath() + "' dump --kind " + kind + " '" + base.string() +
                                "'" + options + " 2>/dev/null";
    EXPECT_EQ(test::RunCommand(command, &out), 0) << out;
    return test::ParseJsonLines(out);
}

TEST(DumpCharset, BodiesStraightToUnicodeInMsgAndJam) {
    test::TempDir dir;
    const fs::path area = dir.Path() / "area";
    fs::create_directories(area);
    test::TJamBuilder jam;
    int number = 1;
    for (const TDeclaredRow& row : kDeclaredRows) {
        const std::string chrs = *row.Chrs ? "\x01" + std::string(row.Chrs) + "\r" : "";
        std::string header(TFidoBase::HeaderSize, '\0');
        header.replace(0, 4, "Ivan");
        header.replace(144, 19, "01 Jan 26  10:20:30");
        test::WriteFile(area / (std::to_string(number++) + ".msg"), header + chrs + row.Stored + '\0');

        test::TBuildMessage message;
        message.Subfields = {{JamSfSenderName, "Ivan"}};
        if (*row.Chrs) message.Subfields.push_back({JamSfFtsKludge, row.Chrs});
        message.Text = row.Stored;
        jam.Add(message);
    }
    jam.Write((dir.Path() / "jam").string());

    for (const auto& [kind, base] : {std::pair{"msg", area}, std::pair{"jam", dir.Path() / "jam"}}) {
        const auto lines = Dump(kind, base);
        ASSERT_EQ(lines.size(), std::size(kDeclaredRows)) << kind;
        for (size_t i = 0; i < lines.size(); ++i)
            EXPECT_EQ(lines[i]["text"].String, kDeclaredRows[i].Text) << kind << " " << kDeclaredRows[i].Name;
    }
}

TEST(DumpCharset, JamNamesAndSubjectStraightToUnicode) {
    test::TempDir dir;
    test::TJamBuilder jam;
    test::TBuildMessage utf8;
    utf8.Subfields = {{JamSfSenderName, "\xC4\x9E\xC3\xBCl"},                   // "Ğül"
                      {JamSfReceiverName, "\xD0\x87\xD0\xB6\xD0\xB0\xD0\xBA"},  // "Їжак"
                      {JamSfSubject, "\xD1\x8D\xF0\x9F\x98\x80"},               // "э😀"
                      {JamSfFtsKludge, "CHRS: UTF-8 4"}};
    utf8.Text = "x\r";
    jam.Add(utf8);
    // The DOS code page without a declaration, after it: nothing of the first message carries over.
    test::TBuildMessage dos;
    dos.Subfields = {{JamSfSenderName, "\x8F\xA5\xE2\xE0"}, {JamSfSubject, "\xC9\xCD\xBB"}};
    dos.Text = "y\r";
    jam.Add(dos);
    jam.Write((dir.Path() / "jam").string());

    for (const std::string command : {"", " --headers"}) {
        const auto lines = Dump("jam", dir.Path() / "jam", command);
        ASSERT_EQ(lines.size(), 2u) << command;
        EXPECT_EQ(lines[0]["from"].String, "Ğül") << command;
        EXPECT_EQ(lines[0]["to"].String, "Їжак") << command;
        EXPECT_EQ(lines[0]["subject"].String, "э😀") << command;
        EXPECT_EQ(lines[1]["from"].String, "Петр") << command;
        EXPECT_EQ(lines[1]["subject"].String, "╔═╗") << command;
    }
}

}  // namespace
}  // namespace pelmar
