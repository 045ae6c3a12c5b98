// A message declaring UTF-8 or KOI8-R reads as Windows text from every format; without a
// declaration the DOS code page as always; the Windows switch keeps the stored bytes.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/Settings.h"
#include "msgbase/FidoBase.h"
#include "msgbase/Hudson.h"
#include "msgbase/Jam.h"
#include "msgbase/JamRecords.h"
#include "msgbase/Squish.h"
#include "msgbase/hudson/HudsonBuilder.h"
#include "msgbase/jam/JamBuilder.h"
#include "msgbase/squish/SquishLayout.h"
#include "support/TestSupport.h"

namespace pelmar::test {
namespace {

namespace fs = std::filesystem;

struct TDeclaredRow {
    const char* Name;
    std::string Chrs;  // the control line, empty for none
    std::string Stored;
    std::string Text;  // CP1251
};

// "Привет, эхо" in each set ("э" holds the byte 0x8D in UTF-8, a soft CR in CP1251).
const TDeclaredRow Rows[] = {
    {"Utf8", "CHRS: UTF-8 4", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, \xD1\x8D\xD1\x85\xD0\xBE\r",
     "\xCF\xF0\xE8\xE2\xE5\xF2, \xFD\xF5\xEE\r"},
    {"Koi8r", "CHRS: KOI8-R 2", "\xF0\xD2\xC9\xD7\xC5\xD4, \xDC\xC8\xCF\r",
     "\xCF\xF0\xE8\xE2\xE5\xF2, \xFD\xF5\xEE\r"},
    {"Cp866", "CHRS: CP866 2", "\x8F\xE0\xA8\xA2\xA5\xE2, \xED\xE5\xAE\r",
     "\xCF\xF0\xE8\xE2\xE5\xF2, \xFD\xF5\xEE\r"},
    {"Undeclared", "", "\x8F\xE0\xA8\xA2\xA5\xE2, \xED\xE5\xAE\r",
     "\xCF\xF0\xE8\xE2\xE5\xF2, \xFD\xF5\xEE\r"},
};

class DeclaredBodyTest : public ::testing::TestWithParam<TDeclaredRow> {
protected:
    void SetUp() override { Settings = TSettings{}; }
    void TearDown() override { Settings = TSettings{}; }

    void Expect(TMessageBase& base, const char* format) {
        SCOPED_TRACE(format);
        base.Open();
        ASSERT_TRUE(base.Active);
        ASSERT_TRUE(base.First());
        base.ReadMessage(base.Current);
        EXPECT_EQ(base.Text, GetParam().Text);
        Settings.TextInWindowsCodePage = true;
        base.ReadMessage(base.Current);
        EXPECT_NE(base.Text.find(GetParam().Stored.substr(0, 6)), std::string::npos) << "stored bytes kept";
        Settings.TextInWindowsCodePage = false;
    }

    TempDir Dir;
};

TEST_P(DeclaredBodyTest, EveryFormatFollowsTheDeclaration) {
    const TDeclaredRow& row = GetParam();
    const std::string inText = row.Chrs.empty() ? row.Stored : "\x01" + row.Chrs + "\r" + row.Stored;

    fs::create_directories(Dir.Path() / "msg");
    std::string header(TFidoBase::HeaderSize, '\0');
    header.replace(144, 19, "01 Jan 26  10:20:30");
    WriteFile(Dir.Path() / "msg" / "2.msg", header + inText + '\0');
    TFidoBase fido;
    fido.SetPath((Dir.Path() / "msg").string());
    Expect(fido, "*.MSG");

    TSquishBuilder squishFiles;
    TRawMessage raw;
    if (!row.Chrs.empty()) raw.Kludges = {row.Chrs};
    raw.Body = row.Stored;
    squishFiles.Add(raw);
    squishFiles.Save(Dir.File("sq"));
    TSquish squish;
    squish.SetPath(Dir.File("sq"));
    Expect(squish, "Squish");

    // JAM keeps the declaration in a header subfield.
    TJamBuilder jamFiles;
    TBuildMessage message;
    if (!row.Chrs.empty()) message.Subfields.push_back({JamSfFtsKludge, row.Chrs});
    message.Text = row.Stored;
    jamFiles.Add(message);
    jamFiles.Write(Dir.File("jam"));
    TJAM jam;
    jam.SetPath(Dir.File("jam"));
    Expect(jam, "JAM");

    HudBase hudsonFiles;
    HudMsg record;
    record.Num = 1;
    record.Text = inText;
    hudsonFiles.Msgs.push_back(record);
    fs::create_directories(Dir.Path() / "hudson");
    hudsonFiles.Write(Dir.Path() / "hudson");
    THudson hudson;
    hudson.SetPath(BoardPath(1, Dir.Path() / "hudson"));
    Expect(hudson, "Hudson");
}

TEST(DeclaredHeader, JamNamesAndSubjectFollowTheDeclaration) {
    Settings = TSettings{};
    TempDir dir;
    TJamBuilder files;
    TBuildMessage message;
    message.Subfields = {{JamSfSenderName, "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD"},  // "Иван" in UTF-8
                         {JamSfReceiverName, "All"},
                         {JamSfSubject, "\xD1\x8D\xD1\x85\xD0\xBE"},  // "эхо"
                         {JamSfFtsKludge, "CHRS: UTF-8 4"}};
    message.Text = "x\r";
    files.Add(message);
    files.Write(dir.File("jam"));
    TJAM jam;
    jam.SetPath(dir.File("jam"));
    jam.Open();
    ASSERT_TRUE(jam.First());
    jam.ReadHeader();
    EXPECT_EQ(jam.FromName, "\xC8\xE2\xE0\xED");
    EXPECT_EQ(jam.Subject, "\xFD\xF5\xEE");
    EXPECT_EQ(jam.ToName, "All");
    jam.ReadMessage(0);
    EXPECT_EQ(jam.FromName, "\xC8\xE2\xE0\xED");
}

TEST(DeclaredHeader, SquishNamesAndSubjectFollowTheDeclaration) {
    Settings = TSettings{};
    TempDir dir;
    TSquishBuilder files;
    TRawMessage raw;
    raw.From = "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD";  // "Иван" in UTF-8
    raw.Subject = "\xD1\x8D\xD1\x85\xD0\xBE";         // "эхо"
    raw.Kludges = {"CHRS: UTF-8 4"};
    files.Add(raw);
    files.Save(dir.File("sq"));
    TSquish squish;
    squish.SetPath(dir.File("sq"));
    squish.Open();
    ASSERT_TRUE(squish.First());
    squish.ReadHeader();
    EXPECT_EQ(squish.FromName, "\xC8\xE2\xE0\xED");
    EXPECT_EQ(squish.Subject, "\xFD\xF5\xEE");
    EXPECT_EQ(squish.ToName, "All");
    squish.ReadMessage(0);
    EXPECT_EQ(squish.FromName, "\xC8\xE2\xE0\xED");
    EXPECT_EQ(squish.Subject, "\xFD\xF5\xEE");
}

INSTANTIATE_TEST_SUITE_P(Sets, DeclaredBodyTest, ::testing::ValuesIn(Rows),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace pelmar::test
