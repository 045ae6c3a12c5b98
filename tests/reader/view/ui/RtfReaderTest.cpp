// The view's RTF reader against the renderer: what the rendering says is what the document holds.
#include <gtest/gtest.h>

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <string>

#include "core/Codepage.h"
#include "core/Settings.h"
#include "msgbase/MessageBase.h"
#include "msgbase/RtfRender.h"
#include "reader/ui/RtfReader.h"

namespace pelmar::ui {
namespace {

std::string Render(const std::string& escaped, bool coloured, bool oem = false) {
    TRenderInput input;
    input.RtfText = escaped;
    input.FixFont = "FixedSys";
    input.VarFont = "MS Sans Serif";
    input.ColorTable = DefaultColorTable;
    input.OemView = oem;
    return coloured ? RenderRtfDocument(input) : RenderPlainRtfDocument(input);
}

QString Expected(const std::string& body, bool oem = false) {
    std::string text = oem ? OemToUtf8(body) : AnsiToUtf8(body);
    for (char& c : text) {
        if (c == '\r') c = '\n';
    }
    return QString::fromStdString(text);
}

// The format of the character at `index` of the plain text.
QTextCharFormat FormatAt(QTextDocument& document, const QString& needle) {
    const int index = document.toPlainText().indexOf(needle);
    EXPECT_GE(index, 0) << needle.toStdString();
    QTextCursor cursor(&document);
    cursor.setPosition(index + 1);
    return cursor.charFormat();
}

QColor Palette(int index) {
    const TRgb rgb = RtfPalette[static_cast<size_t>(index)];
    return QColor(rgb.R, rgb.G, rgb.B);
}

struct TRoundTrip {
    std::string Body;
    // What the coloured view shows when emphasis consumed markers; empty: the body itself.
    std::string Shown;
};

class RtfRoundTrip : public ::testing::TestWithParam<TRoundTrip> {};

TEST_P(RtfRoundTrip, PlainTextEqualsTheBody) {
    const TRoundTrip& row = GetParam();
    QTextDocument plain;
    ReadRtf(Render(RtfEscape(row.Body), false), plain);
    EXPECT_EQ(plain.toPlainText(), Expected(row.Body)) << "plain";
    QTextDocument coloured;
    ReadRtf(Render(RtfEscape(row.Body), true), coloured);
    EXPECT_EQ(coloured.toPlainText(), Expected(row.Shown.empty() ? row.Body : row.Shown)) << "coloured";
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Bodies, RtfRoundTrip, ::testing::Values(
    TRoundTrip{"10 > 5\rnext", ""},
    TRoundTrip{"2:5020/1 wrote\r> quoted 42\r>> deeper", ""},
    TRoundTrip{"{braces} and \\backslashes\\ and \\par not a break\r\\\\ \\{ \\}", ""},
    TRoundTrip{"*_ab_* _a *b_ c* _very_good_ this is _very_ good *bold*",
               "_ab_ _a *b_ c* very_good this is very good bold"},
    TRoundTrip{"\r\r\rempty lines above\r", ""},
    TRoundTrip{"\xC2\xED\xE8\xEC\xE0\xED\xE8\xE5 *\xC2\xED\xE8\xEC\xE0\xED\xE8\xE5*\r> \xEF\xF0\xE8\xE2\xE5\xF2",
               "\xC2\xED\xE8\xEC\xE0\xED\xE8\xE5 \xC2\xED\xE8\xEC\xE0\xED\xE8\xE5\r> \xEF\xF0\xE8\xE2\xE5\xF2"},
    TRoundTrip{"text\r--- Plm 1.0\r * Origin: x (2:5020/1)", ""},
    TRoundTrip{"> _end_ of a quote\r> _end_", "> end of a quote\r> _end_"},
    TRoundTrip{"tab\there; semicolons; \\'41 stays", ""}));
// clang-format on

TEST(RtfReader, ColoursAndEmphasisReachTheDocument) {
    const std::string body = "plain _under_ *bold*\r> quoted line\r--- tear";
    QTextDocument document;
    ReadRtf(Render(RtfEscape(body), true), document);

    const QTextCharFormat plain = FormatAt(document, "plain");
    EXPECT_FALSE(plain.font().bold());
    EXPECT_FALSE(plain.font().underline());
    EXPECT_EQ(plain.background().color(), Palette(15));
    EXPECT_DOUBLE_EQ(plain.font().pointSizeF(), 10.0);

    EXPECT_TRUE(FormatAt(document, "under").font().underline());
    EXPECT_TRUE(FormatAt(document, "bold").font().bold());
    EXPECT_EQ(FormatAt(document, "quoted").foreground().color(), Palette(6));
    EXPECT_EQ(FormatAt(document, "tear").foreground().color(), Palette(2));
}

TEST(RtfReader, AutomaticColourUsesTheOption) {
    QTextDocument document;
    TRtfReadOptions options;
    options.AutoColor = Qt::darkGreen;
    ReadRtf(Render("x", true), document, options);
    EXPECT_EQ(FormatAt(document, "x").foreground().color(), QColor(Qt::darkGreen));
}

TEST(RtfReader, DosCodePageRunsAreDecodedAsCp866) {
    // Box drawing and Cyrillic as the DOS code page stores them.
    const std::string body = "\xC9\xCD\xBB \x8F\xE0\xA8\xA2\xA5\xE2\r\xC8\xCD\xBC";
    QTextDocument document;
    ReadRtf(Render(RtfEscape(body), true, true), document);
    EXPECT_EQ(document.toPlainText(), QString::fromUtf8("╔═╗ Привет\n╚═╝"));
}

TEST(RtfReader, KludgesAppendedByTheViewKeepTheirColour) {
    std::string document = Render(RtfEscape("body"), true);
    document.pop_back();
    document += "\\cf9\\highlight15 " + RtfEscape("\rMSGID: 2:5020/1 12345678") + "}";
    QTextDocument text;
    ReadRtf(document, text);
    EXPECT_EQ(text.toPlainText(), QString("body\nMSGID: 2:5020/1 12345678"));
    EXPECT_EQ(FormatAt(text, "MSGID").foreground().color(), Palette(9));
}

TEST(RtfReader, SavedDocumentInWindowsCodePage) {
    QTextDocument document;
    ReadRtf("{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\fnil Mono;}}\\f0 \xCF\xF0\xE8\xE2\xE5\xF2\\'21}",
            document);
    EXPECT_EQ(document.toPlainText(), QString::fromUtf8("Привет!"));
}

// Inputs no renderer writes: the reader stays bounded and keeps what text it can.
TEST(RtfReader, SurvivesMalformedInput) {
    struct TCase {
        std::string Rtf;
        QString Text;
    };
    const std::string deep(100000, '{');
    const TCase cases[] = {
        {"", ""},
        {"}}}}a", "a"},
        {"{\\rtf1 unterminated \\", "unterminated "},
        {"{\\fs99999999999999999 big}", "big"},
        {"{\\cf-5\\highlight70000 x}", "x"},
        {"{\\" + std::string(1000, 'a') + " y}", "y"},
        {"{\\'zz\\'4}", "zz4"},
        {deep + "deep", "deep"},
        {"{\\fonttbl" + std::string(5000, ';') + "}z", "z"},
        {"{\\colortbl" + std::string(5000, ';') + "}\\cf4000 c", "c"},
    };
    for (const TCase& c : cases) {
        QTextDocument document;
        ReadRtf(c.Rtf, document);
        EXPECT_EQ(document.toPlainText(), c.Text) << c.Rtf.substr(0, 40);
    }
}

}  // namespace
}  // namespace pelmar::ui
