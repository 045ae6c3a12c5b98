// The rich text of message bodies: document frame, line colours, emphasis and escaping.
#include <gtest/gtest.h>

#include <string>

#include "core/Settings.h"
#include "msgbase/MessageBase.h"
#include "msgbase/RtfRender.h"

namespace pelmar {
namespace {

const std::string kDefaultHeader =
    "{\\rtf1\\deftab720{\\fonttbl{\\f0\\fnil FixedSys;}{\\f1\\froman\\fcharset2{\\*\\fname Symbol;}MT "
    "Symbol;}{\\f2\\fswiss MS Sans Serif;}}{\\colortbl;\r\n\r\n"
    "\\red127\\green0\\blue0;\r\n\\red0\\green127\\blue0;\r\n\\red127\\green127\\blue0;\r\n"
    "\\red0\\green0\\blue127;\r\n\\red127\\green0\\blue127;\r\n\\red0\\green127\\blue127;\r\n"
    "\\red127\\green127\\blue127;\r\n\r\n"
    "\\red192\\green192\\blue192;\r\n\\red255\\green0\\blue0;\r\n\\red0\\green255\\blue0;\r\n"
    "\\red255\\green255\\blue0;\r\n\\red0\\green0\\blue255;\r\n\\red255\\green0\\blue255;\r\n"
    "\\red0\\green255\\blue255;\r\n\\red255\\green255\\blue255;}\r\n"
    "\\pard\\f0\\fs20\\cf0\\highlight15\r\n";

// `escaped` must outlive the result.
TRenderInput Input(const std::string& escaped) {
    TRenderInput input;
    input.RtfText = escaped;
    input.FixFont = "FixedSys";
    input.VarFont = "MS Sans Serif";
    input.ColorTable = DefaultColorTable;
    return input;
}
// A temporary would be gone before the input is rendered.
TRenderInput Input(std::string&& escaped) = delete;

// The coloured text between the frame and the closing brace.
std::string Body(const TRenderInput& input) {
    const std::string document = RenderRtfDocument(input);
    if (document.compare(0, kDefaultHeader.size(), kDefaultHeader) != 0 || document.back() != '}')
        return "<frame differs>" + document;
    return document.substr(kDefaultHeader.size(), document.size() - kDefaultHeader.size() - 1);
}

TEST(RtfRender, DefaultFrameIsExact) {
    const std::string empty;
    EXPECT_EQ(RenderRtfDocument(Input(empty)), kDefaultHeader + "}");
}

struct TLineCase {
    const char* Name;
    std::string Text;  // body, CR line ends
    std::string Expected;
};

class RtfRenderLines : public ::testing::TestWithParam<TLineCase> {};

TEST_P(RtfRenderLines, ColoursAndEmphasis) {
    const std::string escaped = RtfEscape(GetParam().Text);
    EXPECT_EQ(Body(Input(escaped)), GetParam().Expected) << GetParam().Name;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, RtfRenderLines, ::testing::Values(
    TLineCase{"tearline", "hi\r--- Plm 1.0", "hi\\par\\cf2\\highlight15 --- Plm 1.0\\cf0\\highlight15"},
    TLineCase{"bare dashes", "hi\r---\rx", "hi\\par ---\\par x"},
    TLineCase{"dashes on the first line", "--- x\rb", "--- x\\par b"},
    TLineCase{"origin", "a\r * Origin: x (2:5020/1)",
              "a\\par\\cf5\\highlight15  * Origin: x (2:5020/1)\\cf0\\highlight15"},
    TLineCase{"origin-like", "a\r *x", "a\\par\\cf5\\highlight15  *x\\cf0\\highlight15"},
    TLineCase{"star without the space", "a\r* x", "a\\par * x"},
    TLineCase{"odd quote", "a\rAB> text", "a\\par\\cf6\\highlight15 AB> text\\cf0\\highlight15"},
    TLineCase{"even quote", "a\rAB>> text", "a\\par\\cf4\\highlight15 AB>> text\\cf0\\highlight15"},
    TLineCase{"fourth letter before the sign", "a\rsee a > b", "a\\par see a > b"},
    TLineCase{"short prefix", "a\ra > b", "a\\par\\cf6\\highlight15 a > b\\cf0\\highlight15"},
    TLineCase{"underline", "this is _very_ good", "this is {\\ul very} good"},
    TLineCase{"inner underscore", "_very_good_", "{\\ul very_good}"},
    TLineCase{"digit clears", "_abc1_", "_abc1_"},
    TLineCase{"bold Cyrillic", "*\xC2\xED\xE8\xEC\xE0\xED\xE8\xE5*", "{\\b \xC2\xED\xE8\xEC\xE0\xED\xE8\xE5}"},
    TLineCase{"underscores inside bold", "*_ab_*", "{\\b _ab_}"},
    TLineCase{"a space ends every marker", "_a *b_ c*", "_a *b_ c*"},
    TLineCase{"underline at the end of a quote", "x\r> _end_",
              "x\\par\\cf6\\highlight15 > _end_\\cf0\\highlight15"},
    TLineCase{"underline at the end of a plain line", "x\r_end_", "x\\par {\\ul end}"},
    TLineCase{"braces and backslashes", "a{b}c\\d", "a\\{b\\}c\\\\d"},
    // The first line has no delimiting space of its own: the colour code must not swallow digits.
    TLineCase{"quote with digits first", "10 > 5\rx", "\\cf6\\highlight15 10 > 5\\cf0\\highlight15\\par x"},
    TLineCase{"escaped backslash before par", "x\\par y\r> q",
              "x\\\\par y\\par\\cf6\\highlight15 > q\\cf0\\highlight15"},
    TLineCase{"empty lines", "\r\r", "\\par \\par "}));
// clang-format on

TEST(RtfRender, FontAndSizeFollowTheSettings) {
    const std::string escaped = "x";
    TRenderInput input = Input(escaped);
    input.FontIndex = 2;
    input.VarSize = 12;
    input.OemView = true;
    const std::string document = RenderRtfDocument(input);
    EXPECT_NE(document.find("{\\f0\\fnil\\cpg866 FixedSys;}"), std::string::npos);
    EXPECT_NE(document.find("{\\f2\\fswiss\\cpg866 MS Sans Serif;}"), std::string::npos);
    EXPECT_NE(document.find("\\pard\\f2\\fs24\\cf0\\highlight15\r\n"), std::string::npos);
}

TEST(RtfRender, ColourBytesOverFifteenTakeTheirDefaults) {
    const std::string escaped = RtfEscape("a\r> q");
    TRenderInput input = Input(escaped);
    input.ColorTable = {200, 16, 2, 15, 5, 15, 255, 99, 4, 15, 9, 15};
    const std::string document = RenderRtfDocument(input);
    EXPECT_NE(document.find("\\pard\\f0\\fs20\\cf0\\highlight15\r\n"), std::string::npos);
    EXPECT_NE(document.find("a\\par\\cf6\\highlight15 > q\\cf0\\highlight15}"), std::string::npos);
    EXPECT_EQ(ColorTableIndex(input.ColorTable, 2), 2);
    EXPECT_EQ(ColorTableIndex(input.ColorTable, 7), 15);
}

TEST(RtfRender, PlainDocumentIsExact) {
    const std::string escaped = RtfEscape("> q\r_u_ {x}");
    TRenderInput input = Input(escaped);
    input.FontIndex = 2;
    input.OemView = true;
    EXPECT_EQ(
        RenderPlainRtfDocument(input),
        "{\\rtf1\\ansi\\deff0\\deftab720{\\fonttbl{\\f0\\fnil\\cpg866 FixedSys;}{\\f1\\froman\\fcharset2"
        "{\\*\\fname Symbol;}MT Symbol;}{\\f2\\fswiss\\cpg866 MS Sans Serif;}}\r\n"
        "\\deflang1033\\pard\\plain\\f2\\fs16\r\n> q\\par _u_ \\{x\\}}");
}

TEST(RtfRender, BaseRendersWithTheGlobalSettings) {
    struct TSettingsGuard {
        TSettings Saved = Settings;
        ~TSettingsGuard() { Settings = Saved; }
    } guard;
    Settings.FixFont = "Mono";
    Settings.FixSize = 7;
    // Any concrete format will do; only the fields matter.
    struct TFields : TMessageBase {
        int32_t Count() override { return 0; }
        void GetAttrText(std::string&) override {}
        bool CheckCurrent() override { return false; }
        double ChangeStamp() override { return 0; }
        int32_t ChangeCounter() override { return 0; }
        void Open() override {}
        void Close() override {}
        void CreateBase() override {}
        bool First() override { return false; }
        bool Next() override { return false; }
        void ReadHeader() override {}
        void ReadMsgId() override {}
        void ReadMessage(int32_t) override {}
        void Seek(int32_t) override {}
        bool DeleteCurrent(int32_t*, uint32_t*) override { return false; }
        void MarkRead() override {}
        void NewMessage() override {}
        bool WriteMessage() override { return false; }
        void PrepareRewrite() override {}
        bool IsValid() override { return false; }
        void ReadToAndRead() override {}
        int32_t FileStamp() override { return 0; }
        bool FileStampIs(int32_t) override { return false; }
    } base;
    base.RtfText = "x";
    std::string coloured, plain;
    base.RenderRtf(coloured);
    base.RenderPlainRtf(plain);
    EXPECT_NE(coloured.find("{\\f0\\fnil Mono;}"), std::string::npos);
    EXPECT_NE(coloured.find("\\fs14\\cf0"), std::string::npos);
    EXPECT_EQ(plain.substr(plain.size() - 3), "\nx}");
}

}  // namespace
}  // namespace pelmar
