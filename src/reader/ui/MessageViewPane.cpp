#include "reader/ui/MessageViewPane.h"

#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLocale>
#include <QMouseEvent>
#include <QPrinter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolButton>
#include <QVBoxLayout>
#include <optional>
#include <utility>

#include "core/Codepage.h"
#include "core/Settings.h"
#include "core/ui/DosFonts.h"
#include "core/ui/QtText.h"
#include "msgbase/Charset.h"
#include "msgbase/MessageBase.h"
#include "msgbase/RtfRender.h"
#include "reader/ViewLinks.h"
#include "reader/ui/RtfReader.h"
#include "reader/MessageDates.h"
#include "core/ui/SlotGuard.h"

namespace pelmar::ui {

THintLabel::THintLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    // The label may be narrower than its text: the hint then carries the rest.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setMinimumWidth(1);
}

void THintLabel::SetFullText(const QString& text) {
    full_ = text;
    setText(text);
    UpdateHint();
}

void THintLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    UpdateHint();
}

void THintLabel::UpdateHint() {
    const int needed = fontMetrics().horizontalAdvance(full_);
    setToolTip(needed > contentsRect().width() ? full_ : QString());
}

TMessageText::TMessageText(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    // Nothing shown here is ever undone; recording the link marks would cost as much as making them.
    setUndoRedoEnabled(false);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    viewport()->setMouseTracking(true);
}

void TMessageText::mousePressEvent(QMouseEvent* event) {
    pressedAnchor_ = event->button() == Qt::LeftButton ? anchorAt(event->position().toPoint()) : QString();
    QPlainTextEdit::mousePressEvent(event);
}

void TMessageText::mouseMoveEvent(QMouseEvent* event) {
    const bool overLink = !anchorAt(event->position().toPoint()).isEmpty();
    viewport()->setCursor(overLink ? Qt::PointingHandCursor : Qt::IBeamCursor);
    // A drag that started on a link selects text instead of following it.
    if (event->buttons() & Qt::LeftButton) pressedAnchor_.clear();
    QPlainTextEdit::mouseMoveEvent(event);
}

void TMessageText::mouseReleaseEvent(QMouseEvent* event) {
    QPlainTextEdit::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || pressedAnchor_.isEmpty()) return;
    const QString anchor = anchorAt(event->position().toPoint());
    const QString pressed = std::exchange(pressedAnchor_, QString());
    if (anchor == pressed) emit LinkClicked(anchor);
}

namespace {

struct TButtonInfo {
    TNavigation Which;
    const char* Name;
    const char* Hint;
    const char* Icon;
    QStyle::StandardPixmap Fallback;  // desktops without an icon theme
};

// Left of the labels, then right of them.
const TButtonInfo kButtons[] = {
    {TNavigation::PrevInThread, "SpeedButton1", "Предыдущее письмо в нити обсуждения", "go-up",
     QStyle::SP_ArrowUp},
    {TNavigation::PrevUnread, "SpeedButton5", "Предыдущее непрочитанное", "go-first",
     QStyle::SP_MediaSkipBackward},
    {TNavigation::Prev, "SpeedButton2", "Предыдущее письмо", "go-previous", QStyle::SP_ArrowLeft},
    {TNavigation::NextInThread, "SpeedButton3", "Следующее письмо в нити обсуждения", "go-down",
     QStyle::SP_ArrowDown},
    {TNavigation::NextUnread, "SpeedButton6", "Следующее непрочитанное", "go-last",
     QStyle::SP_MediaSkipForward},
    {TNavigation::Next, "SpeedButton4", "Следующее письмо", "go-next", QStyle::SP_ArrowRight},
};

QColor ToColor(const TRgb& rgb) {
    return QColor(rgb.R, rgb.G, rgb.B);
}

}  // namespace

TMessageViewPane::TMessageViewPane(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("MessageView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    BuildHeader();
    layout->addWidget(Panel6);

    RichEdit1 = new TMessageText(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setLineWrapMode(Settings.LineWrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    RichEdit1->setContextMenuPolicy(Qt::CustomContextMenu);
    GuardedConnect(RichEdit1, &TMessageText::LinkClicked, this, &TMessageViewPane::LinkClicked);
    layout->addWidget(RichEdit1, 1);
}

void TMessageViewPane::BuildHeader() {
    Panel6 = new QWidget(this);
    Panel6->setObjectName(QStringLiteral("Panel6"));
    Panel6->setAutoFillBackground(true);
    auto* row = new QHBoxLayout(Panel6);
    row->setContentsMargins(2, 2, 2, 2);

    auto makeButtons = [this](QWidget* panel, int from) {
        auto* column = new QVBoxLayout(panel);
        column->setContentsMargins(0, 0, 0, 0);
        column->setSpacing(0);
        for (int i = from; i < from + 3; ++i) {
            const TButtonInfo& info = kButtons[i];
            auto* button = new QToolButton(panel);
            button->setObjectName(QString::fromLatin1(info.Name));
            button->setToolTip(QString::fromUtf8(info.Hint));
            button->setIcon(
                QIcon::fromTheme(QString::fromLatin1(info.Icon), style()->standardIcon(info.Fallback)));
            button->setAutoRaise(true);
            button->setIconSize(QSize(12, 12));
            GuardedConnect(button, &QToolButton::clicked, this,
                    [this, which = info.Which] { emit NavigationClicked(which); });
            column->addWidget(button);
            buttons_[static_cast<size_t>(i)] = button;
        }
    };
    Panel7 = new QWidget(Panel6);
    Panel7->setObjectName(QStringLiteral("Panel7"));
    makeButtons(Panel7, 0);
    Panel8 = new QWidget(Panel6);
    Panel8->setObjectName(QStringLiteral("Panel8"));
    makeButtons(Panel8, 3);

    auto* labels = new QWidget(Panel6);
    auto* grid = new QGridLayout(labels);
    grid->setContentsMargins(4, 0, 4, 0);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(1);
    auto caption = [labels](const char* name, const char* text) {
        auto* label = new QLabel(QString::fromUtf8(text), labels);
        label->setObjectName(QString::fromLatin1(name));
        label->setTextFormat(Qt::PlainText);
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
        return label;
    };
    auto value = [this, labels](int index, const char* name) {
        auto* label = new THintLabel(labels);
        label->setObjectName(QString::fromLatin1(name));
        values_[static_cast<size_t>(index)] = label;
        return label;
    };
    // The "Кому:" column starts at half the panel's width: two halves of equal stretch.
    grid->addWidget(caption("Label1", "От:"), 0, 0);
    grid->addWidget(value(0, "Label4"), 0, 1);
    grid->addWidget(caption("Label3", "Кому:"), 0, 2);
    grid->addWidget(value(1, "Label6"), 0, 3);
    grid->addWidget(caption("Label2", "Тема:"), 1, 0);
    grid->addWidget(value(2, "Label5"), 1, 1, 1, 3);
    grid->addWidget(caption("Label7", "Флаги:"), 2, 0);
    grid->addWidget(value(3, "Label8"), 2, 1);
    grid->addWidget(caption("Label9", "Дата:"), 2, 2);
    grid->addWidget(value(4, "Label10"), 2, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);

    row->addWidget(Panel7);
    row->addWidget(labels, 1);
    row->addWidget(Panel8);
    ResetHeaderColor();
}

QToolButton* TMessageViewPane::NavigationButton(TNavigation which) const {
    for (size_t i = 0; i < std::size(kButtons); ++i) {
        if (kButtons[i].Which == which) return buttons_[i];
    }
    return nullptr;
}

THintLabel* TMessageViewPane::ValueLabel(int index) const {
    return index >= 0 && index < static_cast<int>(values_.size()) ? values_[static_cast<size_t>(index)]
                                                                  : nullptr;
}

void TMessageViewPane::ResetHeaderColor() {
    QPalette palette = Panel6->palette();
    palette.setColor(QPalette::Window, this->palette().color(QPalette::Button));
    Panel6->setPalette(palette);
}

void TMessageViewPane::DarkenHeader() {
    QPalette palette = Panel6->palette();
    palette.setColor(QPalette::Window, this->palette().color(QPalette::Button).darker(125));
    Panel6->setPalette(palette);
}

void TMessageViewPane::ClearLabels() {
    for (THintLabel* label : values_) label->SetFullText(QString());
}

void TMessageViewPane::Clear() {
    RichEdit1->clear();
    ClearLabels();
}

void TMessageViewPane::ShowDeleted() {
    RichEdit1->setPlainText(QStringLiteral("Сообщение было удалено"));
    ClearLabels();
}

void TMessageViewPane::FillLabels(const TShownMessage& message, const std::string& attrText) {
    values_[0]->SetFullText(ToQt(SenderText(message)));
    values_[1]->SetFullText(ToQt(AddresseeText(message)));
    values_[2]->SetFullText(ToQt(message.Subject));
    values_[3]->SetFullText(ToQt(attrText));
    values_[4]->SetFullText(ToQt(MessageDateTimeText(message.Date)));
}

namespace {

// Restores the base's OemView however the read ends.
class TOemViewScope {
public:
    TOemViewScope(TMessageBase& base, bool value) : base_(base) { base_.OemView = value; }
    ~TOemViewScope() { base_.OemView = false; }
    TOemViewScope(const TOemViewScope&) = delete;
    TOemViewScope& operator=(const TOemViewScope&) = delete;

private:
    TMessageBase& base_;
};

}  // namespace

TShownMessage TMessageViewPane::ShowMessage(TMessageBase& base, int32_t position, const TViewMode& mode) {
    std::string document;
    bool dosBytes = mode.PseudoGraphics;
    {
        std::optional<TCodePageSwitchScope> rawBytes;
        if (dosBytes) rawBytes.emplace(true);
        TOemViewScope oem(base, dosBytes);
        base.FontIndex = mode.FontMode;
        base.ReadMessage(position);
        // A message declaring another character set has no DOS bytes to show as they are: it is
        // read by its declaration and only shown in the DOS face.
        const TCharset declared = DeclaredCharset(base.Kludges);
        if (dosBytes && declared != TCharset::Unknown && declared != TCharset::Cp866) {
            dosBytes = false;
            rawBytes.reset();
            base.OemView = false;
            base.ReadMessage(position);
        }
        if (Settings.ColourText)
            base.RenderRtf(document);
        else
            base.RenderPlainRtf(document);
    }
    if (!document.empty() && document.back() == '}') document.pop_back();
    if (Settings.ShowKludges && !base.Kludges.empty()) {
        document += "\\cf" + std::to_string(ColorTableIndex(Settings.ColorTable, 2 * ceKludge));
        document += "\\highlight" + std::to_string(ColorTableIndex(Settings.ColorTable, 2 * ceKludge + 1));
        document += ' ';
        // Pseudographics mode shows the control lines as stored, like the text.
        document += RtfEscape(KludgeViewText(base.Text, base.Kludges));
    }
    document += '}';

    const QColor background =
        ToColor(ViewPalette[static_cast<size_t>(ColorTableIndex(Settings.ColorTable, 1))]);
    QPalette palette = RichEdit1->palette();
    palette.setColor(QPalette::Base, background);
    RichEdit1->setPalette(palette);
    RichEdit1->setLineWrapMode(Settings.LineWrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);

    TRtfReadOptions options;
    // The automatic colour is the window text; against the view's own background it must stay legible.
    options.AutoColor = background.lightness() < 128 ? QColor(Qt::white) : QColor(Qt::black);
    RichEdit1->setUpdatesEnabled(false);
    ReadRtf(document, *RichEdit1->document(), options);

    if (dosBytes) {
        // Later commands (reply, plug-ins) see Windows text.
        base.Text = OemToAnsi(base.Text);
        for (std::string& line : base.Kludges) line = OemToAnsi(line);
    }
    MarkLinks(Settings.UseURLs);
    if (mode.PseudoGraphics) ApplyDosFont();
    ShowFromStart();
    RichEdit1->setUpdatesEnabled(true);

    TShownMessage shown = TakeShownMessage(base);
    std::string attrText;
    base.GetAttrText(attrText);
    FillLabels(shown, attrText);
    return shown;
}

void TMessageViewPane::MarkLinks(bool ftnAddresses) {
    QTextDocument* doc = RichEdit1->document();
    // The text control always ended in a paragraph mark; the scan never looks at the last character.
    const QString text = doc->toPlainText() + QLatin1Char('\n');
    const std::u16string_view view(reinterpret_cast<const char16_t*>(text.utf16()),
                                   static_cast<size_t>(text.size()));
    const QColor linkColor = RichEdit1->palette().color(QPalette::Link);
    // One edit for all marks: the layout is told once.
    QTextCursor batch(doc);
    batch.beginEditBlock();
    auto mark = [&](const TTextRange& range) {
        QTextCursor cursor(doc);
        cursor.setPosition(static_cast<int>(range.Start));
        cursor.setPosition(static_cast<int>(range.Start + range.Length), QTextCursor::KeepAnchor);
        QTextCharFormat format;
        format.setAnchor(true);
        format.setAnchorHref(cursor.selectedText());
        format.setFontUnderline(true);
        format.setForeground(linkColor);
        cursor.mergeCharFormat(format);
    };
    for (const TTextRange& range : FindUrls(view)) mark(range);
    if (ftnAddresses) {
        for (const TTextRange& range : FindFtnAddresses(view)) mark(range);
    }
    batch.endEditBlock();
}

void TMessageViewPane::ApplyDosFont() {
    QTextCursor cursor(RichEdit1->document());
    cursor.select(QTextCursor::Document);
    const QFont dos = TDosFonts::Font(Settings.DosFont);
    QTextCharFormat format;
    // Only what the face says (family, pixel size, pitch): links keep their underline.
    format.setFont(dos, QTextCharFormat::FontPropertiesSpecifiedOnly);
    cursor.mergeCharFormat(format);
}

void TMessageViewPane::ShowFromStart() {
    QTextCursor cursor(RichEdit1->document());
    cursor.movePosition(QTextCursor::Start);
    RichEdit1->setTextCursor(cursor);
    RichEdit1->verticalScrollBar()->setValue(0);
    RichEdit1->horizontalScrollBar()->setValue(0);
}

void TMessageViewPane::Print(QPrinter& printer, const QString& title) const {
    printer.setDocName(title);
    RichEdit1->document()->print(&printer);
}

void TMessageViewPane::CopySelection() {
    RichEdit1->copy();
}

void TMessageViewPane::SelectAll() {
    RichEdit1->selectAll();
}

}  // namespace pelmar::ui
