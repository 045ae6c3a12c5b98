// The message pane on the JAM area a tosser wrote: text in both code pages and in pseudographics,
// colours, control lines, links, header labels; and the code-page switch after a failed read.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolButton>
#include <filesystem>
#include <stdexcept>

#include "core/Codepage.h"
#include "core/Settings.h"
#include "msgbase/FidoBase.h"
#include "msgbase/Jam.h"
#include "msgbase/RtfRender.h"
#include "reader/ui/MessageViewPane.h"
#include "support/TestSupport.h"

namespace pelmar::ui {
namespace {

class MessageViewPaneTest : public ::testing::Test {
protected:
    void SetUp() override {
        Settings = TSettings{};
        for (const char* ext : {".jhr", ".jdt", ".jdx", ".jlr"})
            test::CopyFixture(std::string("crashmail/bases/rutest") + ext, dir.Path());
        jam.SetPath(dir.File("rutest"));
        jam.Open();
        ASSERT_TRUE(jam.Active);
        pane.resize(700, 500);
        pane.show();
    }
    void TearDown() override { Settings = TSettings{}; }

    QString Text() const { return pane.TextView()->toPlainText(); }

    // Opens `fido` on a *.MSG area holding one message with these stored text bytes.
    void OpenOneMessage(TFidoBase& fido, const std::string& storedText) {
        const std::filesystem::path area = dir.Path() / "msg";
        std::filesystem::create_directories(area);
        std::string header(TFidoBase::HeaderSize, '\0');
        header.replace(144, 19, "01 Jan 26  10:20:30");
        test::WriteFile(area / "2.msg", header + storedText + '\0');
        fido.SetPath(area.string());
        fido.Open();
        ASSERT_TRUE(fido.First());
    }

    QTextCharFormat FormatAt(const QString& needle) const {
        const int index = Text().indexOf(needle);
        EXPECT_GE(index, 0) << needle.toStdString();
        QTextCursor cursor(pane.TextView()->document());
        cursor.setPosition(index + 1);
        return cursor.charFormat();
    }

    test::ScopedHome home;
    test::TempDir dir;
    TJAM jam;
    TMessageViewPane pane;
};

constexpr int32_t kFirst = 0;  // "Привет всем!"
constexpr int32_t kQuotes = 1;
constexpr int32_t kBoxes = 4;  // braces, emphasis, a URL, an address, box drawing

TEST_F(MessageViewPaneTest, CyrillicQuotesAndHeader) {
    const TShownMessage shown = pane.ShowMessage(jam, kQuotes, {});
    EXPECT_TRUE(Text().startsWith(QString::fromUtf8(" ИП> Привет всем!"))) << Text().toStdString();
    EXPECT_EQ(FormatAt(QString::fromUtf8("ИП>>")).foreground().color(),
              QColor(RtfPalette[4].R, RtfPalette[4].G, RtfPalette[4].B));
    EXPECT_EQ(FormatAt(QString::fromUtf8("ИП> Привет")).foreground().color(),
              QColor(RtfPalette[6].R, RtfPalette[6].G, RtfPalette[6].B));
    EXPECT_TRUE(pane.ValueLabel(0)->FullText().endsWith(QStringLiteral(" [2:5020/3.7]")))
        << pane.ValueLabel(0)->FullText().toStdString();
    EXPECT_EQ(pane.ValueLabel(2)->FullText().toStdString(), AnsiToUtf8(shown.Subject));
    EXPECT_FALSE(pane.ValueLabel(4)->FullText().isEmpty());
    EXPECT_EQ(pane.TextView()->textCursor().position(), 0);
}

TEST_F(MessageViewPaneTest, ControlLinesFollowTheSetting) {
    Settings.ShowKludges = true;
    pane.ShowMessage(jam, kFirst, {});
    ASSERT_TRUE(Text().contains(QStringLiteral("MSGID: "))) << Text().toStdString();
    EXPECT_EQ(FormatAt(QStringLiteral("MSGID: ")).foreground().color(), QColor(255, 0, 0));
    Settings.ShowKludges = false;
    pane.ShowMessage(jam, kFirst, {});
    EXPECT_FALSE(Text().contains(QStringLiteral("MSGID: ")));
}

TEST_F(MessageViewPaneTest, LinksBoxDrawingAndEmphasis) {
    Settings.ShowKludges = false;
    pane.ShowMessage(jam, kBoxes, {});
    EXPECT_TRUE(Text().contains(QStringLiteral("Braces { } and backslash \\ stay literal.")));
    EXPECT_TRUE(FormatAt(QStringLiteral("very")).font().underline());
    EXPECT_TRUE(FormatAt(QStringLiteral("bold")).font().bold());
    EXPECT_EQ(FormatAt(QStringLiteral("example.org")).anchorHref(), QStringLiteral("http://example.org/"));
    EXPECT_EQ(FormatAt(QStringLiteral("5020/10.15")).anchorHref(), QStringLiteral("2:5020/10.15"));
    // The DOS code page converted for the Windows view: frames become look-alikes.
    EXPECT_FALSE(Text().contains(QString::fromUtf8("╔")));

    const TShownMessage shown = pane.ShowMessage(jam, kBoxes, {2, true});
    EXPECT_TRUE(Text().contains(QString::fromUtf8("╔════╗\n║ box║\n╚════╝"))) << Text().toStdString();
    EXPECT_TRUE(FormatAt(QString::fromUtf8("║ box")).font().fixedPitch());
    // Commands after a pseudographics read see Windows text.
    EXPECT_NE(shown.Text.find("Braces"), std::string::npos);
    EXPECT_FALSE(Settings.TextInWindowsCodePage);
    EXPECT_FALSE(jam.OemView);
}

TEST_F(MessageViewPaneTest, AClickOnALinkIsReportedAndADragIsNot) {
    pane.ShowMessage(jam, kBoxes, {});
    QStringList clicked;
    QObject::connect(&pane, &TMessageViewPane::LinkClicked, [&](const QString& link) { clicked << link; });
    TMessageText* view = pane.TextView();
    QTextCursor cursor(view->document());
    cursor.setPosition(Text().indexOf(QStringLiteral("example.org")) + 2);
    const QPoint at = view->cursorRect(cursor).center();
    const auto send = [&](QEvent::Type type, QPoint point, Qt::MouseButtons buttons) {
        QMouseEvent event(type, point, view->viewport()->mapToGlobal(point), Qt::LeftButton, buttons,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(view->viewport(), &event);
    };
    send(QEvent::MouseButtonPress, at, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, at, Qt::NoButton);
    EXPECT_EQ(clicked, QStringList{QStringLiteral("http://example.org/")});
    send(QEvent::MouseButtonPress, at, Qt::LeftButton);
    send(QEvent::MouseMove, at + QPoint(30, 0), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, at, Qt::NoButton);
    EXPECT_EQ(clicked.size(), 1);
}

TEST_F(MessageViewPaneTest, WithoutUseUrlsAddressesAreNotLinks) {
    Settings.UseURLs = false;
    pane.ShowMessage(jam, kBoxes, {});
    EXPECT_TRUE(FormatAt(QStringLiteral("5020/10.15")).anchorHref().isEmpty());
    EXPECT_FALSE(FormatAt(QStringLiteral("example.org")).anchorHref().isEmpty());
}

TEST_F(MessageViewPaneTest, DeletedAndCleared) {
    pane.ShowMessage(jam, kFirst, {});
    pane.ShowDeleted();
    EXPECT_EQ(Text(), QStringLiteral("Сообщение было удалено"));
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(pane.ValueLabel(i)->FullText().isEmpty());
    pane.Clear();
    EXPECT_TRUE(Text().isEmpty());
}

TEST_F(MessageViewPaneTest, LongValuesGetTheirHint) {
    pane.ShowMessage(jam, kFirst, {});
    THintLabel* label = pane.ValueLabel(2);
    label->resize(20, label->height());
    EXPECT_EQ(label->toolTip(), label->FullText());
    label->resize(2000, label->height());
    EXPECT_TRUE(label->toolTip().isEmpty());
}

TEST_F(MessageViewPaneTest, ButtonsCarryTheirHints) {
    EXPECT_EQ(pane.NavigationButton(TNavigation::PrevInThread)->toolTip(),
              QStringLiteral("Предыдущее письмо в нити обсуждения"));
    EXPECT_EQ(pane.NavigationButton(TNavigation::Next)->toolTip(), QStringLiteral("Следующее письмо"));
    int clicked = -1;
    QObject::connect(&pane, &TMessageViewPane::NavigationClicked,
                     [&](TNavigation which) { clicked = static_cast<int>(which); });
    pane.NavigationButton(TNavigation::NextUnread)->click();
    EXPECT_EQ(clicked, static_cast<int>(TNavigation::NextUnread));
}

TEST_F(MessageViewPaneTest, DeclaredCharsetsReadByTheirDeclarationInEveryMode) {
    TFidoBase fido;
    ASSERT_NO_FATAL_FAILURE(OpenOneMessage(fido,
                                           "\x01"
                                           "CHRS: UTF-8 4\r\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, "
                                           "\xD1\x8D\xD1\x85\xD0\xBE\r"));
    Settings.ShowKludges = false;
    for (const TViewMode mode : {TViewMode{2, false}, TViewMode{0, false}, TViewMode{2, true}}) {
        const TShownMessage shown = pane.ShowMessage(fido, fido.Current, mode);
        EXPECT_EQ(Text(), QString::fromUtf8("Привет, эхо\n")) << mode.FontMode << mode.PseudoGraphics;
        EXPECT_EQ(shown.Text, "\xCF\xF0\xE8\xE2\xE5\xF2, \xFD\xF5\xEE\r");
    }
}

// Byte 0x8D is the letter "Н" in the DOS code page; only converted text treats it as a soft line end.
TEST_F(MessageViewPaneTest, CapitalEnOfTheDosCodePageStaysInEveryMode) {
    TFidoBase fido;
    ASSERT_NO_FATAL_FAILURE(OpenOneMessage(fido, "\x8D\xA0\xA7\xA2\xA0\xAD\xA8\xA5 \x8D\xAE\xAC\xA5\xE0\r"));
    Settings.ShowKludges = false;
    for (const TViewMode mode : {TViewMode{2, false}, TViewMode{2, true}}) {
        pane.ShowMessage(fido, fido.Current, mode);
        EXPECT_EQ(Text(), QString::fromUtf8("Название Номер\n")) << mode.PseudoGraphics;
    }
}

TEST_F(MessageViewPaneTest, PrintsTheTextAsOneDocumentWithItsTitle) {
    pane.ShowMessage(jam, kFirst, {});
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString file = QString::fromStdString(dir.File("out.pdf"));
    printer.setOutputFileName(file);
    pane.Print(printer, QStringLiteral("A-B: subject"));
    EXPECT_EQ(printer.docName(), QStringLiteral("A-B: subject"));
    EXPECT_GT(QFileInfo(file).size(), 1000);
}

TEST_F(MessageViewPaneTest, AFailedPseudographicsReadRestoresTheCodePageSwitch) {
    EXPECT_THROW(pane.ShowMessage(jam, 1000, {2, true}), std::exception);
    EXPECT_FALSE(Settings.TextInWindowsCodePage);
    EXPECT_FALSE(jam.OemView);
}

}  // namespace
}  // namespace pelmar::ui
