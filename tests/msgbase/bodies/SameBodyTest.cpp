// The same stored text reads the same from all four formats: line ends (CR, CR LF), control lines
// in the text, the end of the text.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/Settings.h"
#include "msgbase/FidoBase.h"
#include "msgbase/Hudson.h"
#include "msgbase/Jam.h"
#include "msgbase/Squish.h"
#include "msgbase/hudson/HudsonBuilder.h"
#include "msgbase/jam/JamBuilder.h"
#include "msgbase/squish/SquishLayout.h"
#include "support/TestSupport.h"

namespace pelmar::test {
namespace {

namespace fs = std::filesystem;

struct TBodyRow {
    const char* Name;
    std::string Stored;
    std::string Text;
    std::vector<std::string> Kludges;
};

const TBodyRow Rows[] = {
    {"CrLfAtTheEnd", "Hell\r\n", "Hell\r", {}},
    {"NoLineEndAtTheEnd", "Hell", "Hell\r", {}},
    {"CrLfLines", "Line 1\r\nLine 2\r\n", "Line 1\rLine 2\r", {}},
    {"CrLines", "Line 1\r\rLine 3\r", "Line 1\r\rLine 3\r", {}},
    {"TrailingControlLine", "Text\r\x01PATH: 5020/1\r", "Text\r", {"PATH: 5020/1"}},
    {"TrailingControlLineCrLf", "Text\r\n\x01PATH: 5020/1\r\n", "Text\r", {"PATH: 5020/1"}},
    {"LeadingControlLinesCrLf",
     "\x01MSGID: 2:5020/1 1\r\n\x01PID: X\r\nBody\r\n",
     "Body\r",
     {"MSGID: 2:5020/1 1", "PID: X"}},
    {"TextAfterAControlLine",
     "A\rSEEN-BY: 5020/1\r\x01PATH: 2\rafter\r",
     "A\rSEEN-BY: 5020/1\rafter\r",
     {"PATH: 2"}},
    {"ControlLinesWithoutLineEnds", "Body\r\x01PATH: 1\x01Via x", "Body\r", {"PATH: 1", "Via x"}},
    {"EmptyText", "", "", {}},
};

class SameBodyTest : public ::testing::TestWithParam<TBodyRow> {
protected:
    void SetUp() override {
        Settings = TSettings{};
        Settings.TextInWindowsCodePage = true;  // bytes as stored, so the rows are plain ASCII
    }
    void TearDown() override { Settings = TSettings{}; }

    void Expect(TMessageBase& base, const char* format) {
        SCOPED_TRACE(format);
        base.Open();
        ASSERT_TRUE(base.Active);
        ASSERT_TRUE(base.First());
        base.ReadMessage(base.Current);
        EXPECT_EQ(base.Text, GetParam().Text);
        EXPECT_EQ(base.Kludges, GetParam().Kludges);
        EXPECT_EQ(base.RtfText, RtfEscape(GetParam().Text));
    }

    TempDir Dir;
};

TEST_P(SameBodyTest, ReadsAlikeInEveryFormat) {
    const std::string& stored = GetParam().Stored;

    fs::create_directories(Dir.Path() / "msg");
    std::string header(TFidoBase::HeaderSize, '\0');
    header.replace(144, 19, "01 Jan 26  10:20:30");
    WriteFile(Dir.Path() / "msg" / "2.msg", header + stored + '\0');
    TFidoBase fido;
    fido.SetPath((Dir.Path() / "msg").string());
    Expect(fido, "*.MSG");

    TSquishBuilder squishFiles;
    TRawMessage raw;
    raw.Body = stored;
    squishFiles.Add(raw);
    squishFiles.Save(Dir.File("sq"));
    TSquish squish;
    squish.SetPath(Dir.File("sq"));
    Expect(squish, "Squish");

    TJamBuilder jamFiles;
    TBuildMessage message;
    message.Text = stored;
    jamFiles.Add(message);
    jamFiles.Write(Dir.File("jam"));
    TJAM jam;
    jam.SetPath(Dir.File("jam"));
    Expect(jam, "JAM");

    HudBase hudsonFiles;
    HudMsg record;
    record.Num = 1;
    record.Text = stored;
    hudsonFiles.Msgs.push_back(record);
    fs::create_directories(Dir.Path() / "hudson");
    hudsonFiles.Write(Dir.Path() / "hudson");
    THudson hudson;
    hudson.SetPath(BoardPath(1, Dir.Path() / "hudson"));
    Expect(hudson, "Hudson");
}

INSTANTIATE_TEST_SUITE_P(Bodies, SameBodyTest, ::testing::ValuesIn(Rows),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace pelmar::test
