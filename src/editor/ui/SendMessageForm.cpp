#include "editor/ui/SendMessageForm.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "areas/gizmo.h"
#include "core/Settings.h"
#include "core/ui/MessageBox.h"
#include "core/ui/QtText.h"
#include "core/ui/SlotGuard.h"
#include "core/ui/VirtualKeys.h"
#include "editor/StorableText.h"
#include "editor/UUCode.h"
#include "editor/ui/AfterSendRunner.h"
#include "editor/ui/DraftKeeper.h"
#include "editor/ui/FlagsForm.h"
#include "editor/ui/SpellChecker.h"
#include "msgbase/MessageBase.h"
#include "platform/Codepage.h"
#include "platform/Registry.h"
#include "reader/ui/HelpWindow.h"

namespace pelmar::ui {

namespace {

std::vector<TSendMessageForm*>& EditorList() {
    static std::vector<TSendMessageForm*> list;
    return list;
}

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

std::string A(const char* utf8) {
    return Utf8ToAnsi(utf8);
}

std::string ToCr(std::string text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i] == '\n' ? '\r' : text[i];
    }
    return out;
}

// The body control shows line ends as '\n'.
QString BodyToQt(const std::string& cp1251) {
    QString s = ToQt(cp1251);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QChar('\r'), QChar('\n'));
    return s;
}

// A home that was never set up has no templates at all: letters take the defaults then.
std::string Template(const std::string& name) {
    return TemplateNames().empty() ? DefaultTemplate(name) : ReadTemplate(name);
}

// The body: whatever is pasted or dropped in is cleaned like an inserted file.
class TBodyEdit : public QPlainTextEdit {
public:
    using QPlainTextEdit::QPlainTextEdit;

protected:
    void insertFromMimeData(const QMimeData* source) override {
        if (source == nullptr || !source->hasText()) return;
        insertPlainText(BodyToQt(CleanInsertedText(FromQt(source->text()))));
    }
};

}  // namespace

std::function<bool(QWidget*, std::vector<TAreaInfo*>&)> TSendMessageForm::ChooseAreas;
std::function<std::vector<std::string>(const std::string&)> TSendMessageForm::FindAddressesByName;
std::function<bool(QWidget*, std::string&, std::vector<std::string>&)> TSendMessageForm::PickAddressee;

const std::vector<TSendMessageForm*>& Editors() {
    return EditorList();
}

void DropAreaFromEditors(TAreaInfo& entry) {
    // A copy: an editor in edit mode closes itself and leaves the list.
    const auto editors = EditorList();
    for (TSendMessageForm* e : editors) e->DropDestination(entry);
}

TSendMessageForm::TSendMessageForm(QWidget* owner) : QWidget(owner, Qt::Window) {
    setAttribute(Qt::WA_DeleteOnClose);
    EditorList().push_back(this);
    robotNames_ = TemplateLines(Template(tpl::RobotNames));
    BuildWidgets();
    if (Settings.EditPlacement) RestorePosition();
}

TSendMessageForm::~TSendMessageForm() {
    if (Settings.EditPlacement) StorePosition();
    auto& list = EditorList();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

namespace {
std::string PositionKey() {
    return "\\" + Settings.BaseKey + "\\SendMessageForm";
}
}  // namespace

// Position only: every editor opens where the last one was closed.
void TSendMessageForm::RestorePosition() {
    try {
        TRegistry reg;
        if (!reg.OpenKey(PositionKey(), false) || !reg.ValueExists("Left") || !reg.ValueExists("Top")) return;
        const QPoint place(reg.ReadInteger("Left"), reg.ReadInteger("Top"));
        // A place from another screen layout would leave the window out of reach.
        if (QGuiApplication::screenAt(place) == nullptr) return;
        move(place);
    } catch (const std::exception&) {
        // A damaged value keeps the default place.
    }
}

void TSendMessageForm::StorePosition() const {
    try {
        TRegistry reg;
        if (!reg.OpenKey(PositionKey(), true)) return;
        reg.WriteInteger("Left", x());
        reg.WriteInteger("Top", y());
    } catch (const std::exception&) {
        // Nothing to tell the user while the window goes away; the next editor opens at the default.
    }
}

void TSendMessageForm::BuildWidgets() {
    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(0, 0, 0, 0);
    toolbar_ = new QToolBar(this);
    top->addWidget(toolbar_);
    auto add = [this](const char* text, const char* hint, const char* icon, auto slot) {
        QAction* a = toolbar_->addAction(QIcon::fromTheme(QString::fromLatin1(icon)), U(text));
        a->setToolTip(U(hint));
        GuardedConnect(a, &QAction::triggered, this, [this, slot] { slot(); });
        return a;
    };
    SendAction = add("Послать", "Отправить письмо (F2)", "mail-send",
                     [this] { Send((QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier) != 0); });
    QFont bold = SendAction->font();
    bold.setBold(true);
    SendAction->setFont(bold);
    toolbar_->addSeparator();
    undo_ = add("Отменить", "Отменяет последнее изменение в редакторе", "edit-undo",
                [this] { RichEdit1->undo(); });
    redo_ = add("Повторить", "Повторить", "edit-redo", [this] { RichEdit1->redo(); });
    toolbar_->addSeparator();
    cut_ = add("Вырезать", "Вырезать текст", "edit-cut", [this] { RichEdit1->cut(); });
    copy_ = add("Копировать", "Копировать текст в буфер обмена", "edit-copy", [this] { RichEdit1->copy(); });
    paste_ = add("Вставить", "Вставить текст из буфера обмена", "edit-paste", [this] { RichEdit1->paste(); });
    toolbar_->addSeparator();
    insertFile_ =
        add("Вставить файл", "Вставить текстовый файл", "document-open", [this] { InsertTextFile(); });
    cutMarker_ = add("Покусать", "\"Покусать\"", "edit-cut", [this] { CutMarker(); });
    toolbar_->addSeparator();
    uuToggle_ = add("UUEncode", "Вставить файл как uuencode", "mail-attachment",
                    [this] { UUPanel->setVisible(!UUPanel->isVisible()); });
    toolbar_->addSeparator();
    spell_ = add("Орфография", "Проверить орфографию", "tools-check-spelling",
                 [this] { CheckBodySpelling(this, RichEdit1, true); });
    toolbar_->addSeparator();
    add("Главное окно", "Переключиться в главное окно", "go-home", [this] {
        if (QWidget* w = parentWidget()) {
            w->show();
            w->raise();
            w->activateWindow();
        }
    });
    add("Сохранить", "Сохранить непосланные письма", "document-save", [] { SaveDrafts(true); });
    toolbar_->addSeparator();
    add("Сброс", "Сбросить письмо (Esc)", "edit-delete", [this] { close(); });

    auto* header = new QWidget(this);
    auto* form = new QFormLayout(header);
    Edit1 = new QLineEdit(header);
    ComboBox1 = new QComboBox(header);
    SpeedButton3 = new QToolButton(header);
    SpeedButton3->setCheckable(true);
    SpeedButton3->setText(QStringLiteral("A"));
    SpeedButton3->setToolTip(U("Автовыбор AKA"));
    auto* fromRow = new QHBoxLayout;
    fromRow->addWidget(Edit1, 1);
    fromRow->addWidget(ComboBox1);
    fromRow->addWidget(SpeedButton3);
    form->addRow(U("От:"), fromRow);
    Edit2 = new QLineEdit(header);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    ComboBox2 = new QComboBox(header);
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    ComboBox2->setEditable(true);
    ComboBox2->setInsertPolicy(QComboBox::InsertAlphabetically);
    // A whole point address ("2:5020/1234.56") shows, whatever the box held when it was laid out.
    ComboBox2->setMinimumContentsLength(16);
    ComboBox2->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    ToButton = new QToolButton(header);
    ToButton->setObjectName(QStringLiteral("ToButton"));
    ToButton->setText(QStringLiteral("..."));
    ToButton->setToolTip(U("Адресная книга"));
    auto* toRow = new QHBoxLayout;
    toRow->addWidget(Edit2, 1);
    toRow->addWidget(ToButton);
    toRow->addWidget(ComboBox2);
    form->addRow(U("Кому:"), toRow);
    Edit3 = new QLineEdit(header);
    Edit3->setObjectName(QStringLiteral("Edit3"));
    SubjectFileButton = new QToolButton(header);
    SubjectFileButton->setText(QStringLiteral("..."));
    auto* subjectRow = new QHBoxLayout;
    subjectRow->addWidget(Edit3, 1);
    subjectRow->addWidget(SubjectFileButton);
    form->addRow(U("Тема:"), subjectRow);
    ComboEdit1 = new QLineEdit(header);
    ComboEdit1->setObjectName(QStringLiteral("ComboEdit1"));
    ComboEdit1->setReadOnly(true);
    DestButton = new QToolButton(header);
    DestButton->setObjectName(QStringLiteral("DestButton"));
    DestButton->setText(QStringLiteral("..."));
    auto* destRow = new QHBoxLayout;
    destRow->addWidget(ComboEdit1, 1);
    destRow->addWidget(DestButton);
    form->addRow(U("Послать в:"), destRow);
    ComboEdit2 = new QLineEdit(header);
    ComboEdit2->setReadOnly(true);
    auto* flagsButton = new QToolButton(header);
    flagsButton->setText(QStringLiteral("..."));
    auto* flagsRow = new QHBoxLayout;
    flagsRow->addWidget(ComboEdit2, 1);
    flagsRow->addWidget(flagsButton);
    form->addRow(U("Флаги:"), flagsRow);
    Button1 = new QPushButton(U("Начать редактирование"), header);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2 = new QPushButton(U("--- Тирлайн"), header);
    Button3 = new QPushButton(U("* Ориджин"), header);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    buttons->addWidget(Button3);
    buttons->addStretch();
    SpeedButton1 = new QToolButton(header);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setArrowType(Qt::UpArrow);
    SpeedButton1->setToolTip(U("Свернуть заголовок письма"));
    SpeedButton1->hide();
    buttons->addWidget(SpeedButton1);
    form->addRow(buttons);
    top->addWidget(header);
    HeaderGroup = header;
    HeaderGroup->setObjectName(QStringLiteral("HeaderGroup"));
    CollapsedGroup = new QWidget(this);
    auto* collapsedRow = new QHBoxLayout(CollapsedGroup);
    CollapsedLabel = new QLabel(CollapsedGroup);
    CollapsedLabel->setObjectName(QStringLiteral("CollapsedLabel"));
    SpeedButton2 = new QToolButton(CollapsedGroup);
    SpeedButton2->setArrowType(Qt::DownArrow);
    SpeedButton2->setToolTip(U("Развернуть заголовок письма"));
    collapsedRow->addWidget(CollapsedLabel, 1);
    collapsedRow->addWidget(SpeedButton2);
    CollapsedGroup->hide();
    top->addWidget(CollapsedGroup);
    GuardedConnect(ToButton, &QToolButton::clicked, this, [this] { PickFromAddressBook(); });
    GuardedConnect(SpeedButton1, &QToolButton::clicked, this, [this] { SetHeaderCollapsed(true); });
    GuardedConnect(SpeedButton2, &QToolButton::clicked, this, [this] { SetHeaderCollapsed(false); });
    GuardedConnect(SubjectFileButton, &QToolButton::clicked, this, [this] {
        const QStringList files =
            QFileDialog::getOpenFileNames(this, U("Выберите файл(ы)"), QString(), U("Все файлы (*)"));
        if (files.isEmpty()) return;
        QString subject;
        for (const QString& f : files) subject += f + QChar(' ');
        Edit3->setText(subject);
    });
    BuildUUPanel(top);

    RichEdit1 = new TBodyEdit(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (!Settings.FixFont.empty()) fixed.setFamilies({ToQt(Settings.FixFont), fixed.family()});
    fixed.setStyleHint(QFont::Monospace);
    fixed.setPointSize(std::clamp(Settings.FixSize, 6, 48));
    RichEdit1->setFont(fixed);
    RichEdit1->setLineWrapMode(QPlainTextEdit::NoWrap);
    RichEdit1->setReadOnly(true);
    RichEdit1->installEventFilter(this);
    Button1->installEventFilter(this);
    top->addWidget(RichEdit1, 1);
    auto* status = new QStatusBar(this);
    StatusPanel0 = new QLabel(status);
    status->addWidget(StatusPanel0);
    top->addWidget(status);

    const int columns = QFontMetrics(fixed).horizontalAdvance(QChar('X')) * 84;
    resize(columns + 40, 600);

    for (QLineEdit* e : {Edit1, Edit2, Edit3}) {
        GuardedConnect(e, &QLineEdit::textChanged, this, [this] { HeaderChanged(); });
        e->installEventFilter(this);
    }
    ComboBox2->installEventFilter(this);
    GuardedConnect(ComboBox1, &QComboBox::currentIndexChanged, this, [this] { HeaderChanged(); });
    GuardedConnect(ComboBox2, &QComboBox::currentTextChanged, this, [this] { HeaderChanged(); });
    GuardedConnect(SpeedButton3, &QToolButton::toggled, this, [this](bool down) { AutoAkaToggled(down); });
    GuardedConnect(DestButton, &QToolButton::clicked, this, [this] { ChooseDestinations(); });
    GuardedConnect(flagsButton, &QToolButton::clicked, this, [this] { EditFlags(); });
    GuardedConnect(Button1, &QPushButton::clicked, this, [this] { StartEditing(); });
    GuardedConnect(Button2, &QPushButton::clicked, this,
                   [this] { ShowListMenu(Button2, tpl::TearlineList, TearlineIndex); });
    GuardedConnect(Button3, &QPushButton::clicked, this,
                   [this] { ShowListMenu(Button3, tpl::OriginList, OriginIndex); });
    GuardedConnect(RichEdit1, &QPlainTextEdit::textChanged, this, [this] { UpdateCommandStates(); });
    GuardedConnect(RichEdit1, &QPlainTextEdit::undoAvailable, this, [this] { UpdateCommandStates(); });
    GuardedConnect(RichEdit1, &QPlainTextEdit::redoAvailable, this, [this] { UpdateCommandStates(); });
    GuardedConnect(RichEdit1, &QPlainTextEdit::cursorPositionChanged, this,
                   [this] { StatusPanel0->setText(QString::fromLatin1(CaretPanelText().c_str())); });
    GuardedConnect(RichEdit1, &QPlainTextEdit::selectionChanged, this, [this] {
        StatusPanel0->setText(QString::fromLatin1(CaretPanelText().c_str()));
        UpdateCommandStates();
    });
    // The clipboard's own notice keeps "paste" current.
    GuardedConnect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this] { ClipboardChanged(); });
    ClipboardChanged();
}

void TSendMessageForm::SetFromName(const std::string& v) {
    Edit1->setText(ToQt(v));
}
void TSendMessageForm::SetToName(const std::string& v) {
    Edit2->setText(ToQt(v));
}
void TSendMessageForm::SetSubject(const std::string& v) {
    Edit3->setText(ToQt(v));
}
void TSendMessageForm::SetDestAddress(const std::string& v) {
    const QString text = ToQt(v);
    if (!text.isEmpty() && ComboBox2->findText(text) < 0) ComboBox2->addItem(text);
    ComboBox2->setEditText(text);
}
void TSendMessageForm::SelectAka(const std::string& aka) {
    if (aka.empty()) return;
    int i = ComboBox1->findText(ToQt(aka));
    if (i < 0) {
        ComboBox1->addItem(ToQt(aka));
        i = ComboBox1->count() - 1;
    }
    ComboBox1->setCurrentIndex(i);
}
void TSendMessageForm::BuildUUPanel(QLayout* into) {
    auto* box = new QGroupBox(QStringLiteral("UUEncode"), this);
    auto* grid = new QGridLayout(box);
    UUFileLabel = new QLabel(U("(Нет)"), box);
    UUSizeLabel = new QLabel(box);
    UUCountLabel = new QLabel(box);
    SpinEdit1 = new QSpinBox(box);
    SpinEdit1->setObjectName(QStringLiteral("SpinEdit1"));
    SpinEdit1->setRange(10, 10000);
    SpinEdit1->setSingleStep(20);
    SpinEdit1->setValue(300);
    BrowseBtn = new QPushButton(U("Выбрать файл..."), box);
    InsertBtn = new QPushButton(U("Вставить"), box);
    ClearBtn = new QPushButton(U("Очистить"), box);
    grid->addWidget(new QLabel(U("Файл:"), box), 0, 0);
    grid->addWidget(UUFileLabel, 0, 1, 1, 3);
    grid->addWidget(new QLabel(U("Размер файла:"), box), 1, 0);
    grid->addWidget(UUSizeLabel, 1, 1);
    grid->addWidget(new QLabel(U("Число секций:"), box), 1, 2);
    grid->addWidget(UUCountLabel, 1, 3);
    grid->addWidget(new QLabel(U("Число строк в секции:"), box), 2, 0);
    grid->addWidget(SpinEdit1, 2, 1);
    grid->addWidget(BrowseBtn, 3, 1);
    grid->addWidget(InsertBtn, 3, 2);
    grid->addWidget(ClearBtn, 3, 3);
    UUPanel = box;
    box->hide();
    into->addWidget(box);
    GuardedConnect(BrowseBtn, &QPushButton::clicked, this, [this] {
        const QString path =
            QFileDialog::getOpenFileName(this, U("Вставить UUEncode"), QString(), U("Все файлы (*)"));
        if (!path.isEmpty()) ChooseUUFile(path);
    });
    GuardedConnect(InsertBtn, &QPushButton::clicked, this, [this] { InsertUU(); });
    GuardedConnect(ClearBtn, &QPushButton::clicked, this, [this] { ClearUU(); });
}

bool TSendMessageForm::ChooseUUFile(const QString& path) {
    std::vector<std::string> sections;
    try {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        EncodeFileToSections(path.toStdString(), SpinEdit1->value(), sections);
        QApplication::restoreOverrideCursor();
    } catch (const std::exception& e) {
        QApplication::restoreOverrideCursor();
        ShowError(e.what(), this);
        return false;
    }
    UUSections = std::move(sections);
    UUPending = true;
    UUFileLabel->setText(path);
    UUSizeLabel->setText(QString::number(QFileInfo(path).size()) + U(" байт"));
    UUCountLabel->setText(QString::number(UUSections.size()));
    UpdateCommandStates();
    return true;
}

void TSendMessageForm::InsertUU() {
    if (!Commands().UUInsert || UUSections.empty()) return;
    UUPending = false;
    UUSplit = UUSections.size() > 1;
    RichEdit1->insertPlainText(BodyToQt(UUSections.front()));
    if (!UUSplit) {
        UUFileLabel->setText(U("(Нет)"));
        UUSizeLabel->clear();
        UUCountLabel->clear();
    }
    UpdateCommandStates();
}

void TSendMessageForm::InsertAtCaret(const std::string& text) {
    RichEdit1->insertPlainText(BodyToQt(text));
}

void TSendMessageForm::ClearUU() {
    UUPending = false;
    UUSections.clear();
    UUFileLabel->setText(U("(Нет)"));
    UUSizeLabel->clear();
    UUCountLabel->clear();
    UpdateCommandStates();
}

std::string TSendMessageForm::FromName() const {
    return FromQt(Edit1->text());
}
std::string TSendMessageForm::ToName() const {
    return FromQt(Edit2->text());
}
std::string TSendMessageForm::Subject() const {
    return FromQt(Edit3->text());
}
std::string TSendMessageForm::DestAddress() const {
    return FromQt(ComboBox2->currentText());
}
std::string TSendMessageForm::SelectedAka() const {
    return ComboBox1->currentIndex() < 0 ? std::string() : FromQt(ComboBox1->currentText());
}
std::string TSendMessageForm::BodyText() const {
    return ToCr(FromQt(RichEdit1->toPlainText()));
}
bool TSendMessageForm::DestAddressShown() const {
    return std::any_of(Destinations.begin(), Destinations.end(), [](TAreaInfo* a) { return a->IsNetmail; });
}

void TSendMessageForm::ShowEditor() {
    if (Mode == TEditorMode::Edit || Mode == TEditorMode::Draft) {
        if (Mode == TEditorMode::Edit) {
            for (const auto& aka : Settings.SelfAKA)
                if (ComboBox1->findText(ToQt(aka)) < 0) ComboBox1->addItem(ToQt(aka));
            // The message stays in its area and keeps its addressee.
            DestButton->hide();
            ToButton->hide();
        }
        editing_ = true;
        Button1->hide();
        Button2->hide();
        Button3->hide();
        RichEdit1->setPlainText(BodyToQt(EditContext.Body));
        OpenBody();
    } else {
        ComboBox1->clear();
        for (const auto& aka : Settings.SelfAKA) ComboBox1->addItem(ToQt(aka));
        if (ComboBox1->count() > 0) ComboBox1->setCurrentIndex(0);
        Edit1->setText(ToQt(Settings.FullName));
        Edit2->setFocus();
    }
    RefreshDestinations();
    ComboEdit2->setText(ToQt(AttrText(Attributes)));
    if (!editing_) ShowPreview();
    SpeedButton3->setChecked(Settings.AutoAKA);
    AutoAkaToggled(Settings.AutoAKA);
    UpdateCommandStates();
    show();
    if (Mode == TEditorMode::ReadReceipt) activateWindow();
}

void TSendMessageForm::HeaderChanged() {
    UpdateCommandStates();
    if (!editing_) SchedulePreview();
}

// Typing in the header re-expands at most once per event-loop turn, however large the quote.
void TSendMessageForm::SchedulePreview() {
    if (previewPending_) return;
    previewPending_ = true;
    QTimer::singleShot(0, this, [this] { FlushPreview(); });
}

void TSendMessageForm::FlushPreview() {
    if (!previewPending_) return;
    previewPending_ = false;
    if (!editing_) Guarded([this] { ShowPreview(); });
}

TTemplateInput TSendMessageForm::BuildTemplateInput() const {
    TTemplateInput in;
    in.Mode = Mode;
    for (TAreaInfo* a : Destinations) in.Destinations.push_back({a->ID, a->AreaName});
    if (Reply.SourceArea != nullptr)
        in.OrigArea = TTemplateArea{Reply.SourceArea->ID, Reply.SourceArea->AreaName};
    in.TearlineIndex = TearlineIndex;
    in.OriginIndex = OriginIndex;
    in.QuotedText = Reply.QuotedText;
    in.OrigDate = Reply.Date;
    in.OrigTime = Reply.Time;
    in.OrigFrom = Reply.FromName;
    in.OrigTo = Reply.ToName;
    in.ForwardFrom = Forward.From;
    in.ForwardTo = Forward.To;
    in.ForwardSubject = Forward.Subject;
    in.ForwardTime = Forward.Time;
    in.ForwardDate = Forward.Date;
    in.ForwardText = Forward.Text;
    // The letter being confirmed; a reply names its source's date through OrigDate and OrigTime.
    if (Mode == TEditorMode::ReadReceipt) in.LetterDateTime = Reply.DateTime;
    TSendState s;
    s.FromName = FromName();
    s.SelectedAKA = SelectedAka();
    s.DestAddress = DestAddress();
    s.DestAddressVisible = DestAddressShown();
    s.ToName = ToName();
    CollectHeaderValues(s, robotNames_, in);
    return in;
}

void TSendMessageForm::ShowPreview() {
    ++expansions_;
    const TExpandedTemplate expanded = ExpandTemplateWithCursor(BuildTemplateInput(), Template);
    RichEdit1->setPlainText(BodyToQt(PreviewText(expanded, cursorOffset_)));
}

void TSendMessageForm::OpenBody() {
    RichEdit1->setReadOnly(false);
    if (Settings.AutoSpell && TSpellChecker::Instance().Available())
        new TSpellHighlighter(RichEdit1->document());
    RichEdit1->setBackgroundRole(QPalette::Base);
}

void TSendMessageForm::StartEditing() {
    if (editing_) return;
    FlushPreview();
    editing_ = true;
    Button1->hide();
    Button2->hide();
    Button3->hide();
    OpenBody();
    SpeedButton1->show();
    UpdateCommandStates();
    RichEdit1->setFocus();
    QTextCursor c = RichEdit1->textCursor();
    c.setPosition(std::min(cursorOffset_, RichEdit1->document()->characterCount() - 1));
    RichEdit1->setTextCursor(c);
}

TEditorCommands TSendMessageForm::Commands() const {
    TEditorState s;
    s.Editing = editing_;
    s.IsEditMessage = Mode == TEditorMode::Edit;
    s.CanUndo = RichEdit1->document()->isUndoAvailable();
    s.CanRedo = RichEdit1->document()->isRedoAvailable();
    s.HasSelection = RichEdit1->textCursor().hasSelection();
    s.CanPaste = canPaste_;
    s.DestinationCount = Destinations.size();
    s.AnyNetmail = DestAddressShown();
    s.SelectedAka = SelectedAka();
    s.DestAddress = DestAddress();
    s.Attributes = Attributes;
    s.Subject = Subject();
    s.UUPending = UUPending;
    s.UUSplit = UUSplit;
    s.UUSectionCount = UUSections.size();
    s.ReadReceipt = Mode == TEditorMode::ReadReceipt;
    return EvaluateCommands(s);
}

int TSendMessageForm::ClipboardReadsForTesting = 0;

void TSendMessageForm::ClipboardChanged() {
    ++ClipboardReadsForTesting;
    const QClipboard* clip = QGuiApplication::clipboard();
    canPaste_ = clip != nullptr && !clip->text().isEmpty();
    UpdateCommandStates();
}

void TSendMessageForm::UpdateCommandStates() {
    const TEditorCommands c = Commands();
    undo_->setEnabled(c.Undo);
    redo_->setEnabled(c.Redo);
    cut_->setEnabled(c.Cut);
    copy_->setEnabled(c.Copy);
    cutMarker_->setEnabled(c.CutMarker);
    paste_->setEnabled(c.Paste);
    insertFile_->setEnabled(c.InsertFile);
    spell_->setEnabled(c.Spell);
    uuToggle_->setEnabled(c.UUToggle);
    BrowseBtn->setEnabled(c.UUBrowse);
    SpinEdit1->setEnabled(c.UUBrowse);
    InsertBtn->setEnabled(c.UUInsert);
    ClearBtn->setEnabled(c.UUClear);
    SendAction->setEnabled(c.Send);
    SubjectFileButton->setVisible(c.SubjectFileButton);
    ComboBox2->setVisible(c.DestAddressVisible);
    setWindowTitle(ToQt(c.Caption));
}

std::string TSendMessageForm::CaretPanelText() const {
    const QTextCursor c = RichEdit1->textCursor();
    if (c.hasSelection()) return {};
    return CaretText(c.blockNumber(), c.positionInBlock());
}

void TSendMessageForm::SetHeaderCollapsed(bool collapsed) {
    CollapsedLabel->setText(ToQt(CollapsedHeader(FromName(), ToName(), Subject())));
    HeaderGroup->setVisible(!collapsed);
    CollapsedGroup->setVisible(collapsed);
}

void TSendMessageForm::RefreshDestinations() {
    std::string text;
    for (TAreaInfo* a : Destinations) text += a->Name + " ";
    ComboEdit1->setText(ToQt(text));
    if (!Destinations.empty() && !Destinations.front()->UseAKA.empty()) {
        const int i = ComboBox1->findText(ToQt(Destinations.front()->UseAKA));
        if (i >= 0) ComboBox1->setCurrentIndex(i);
    }
}

void TSendMessageForm::DropDestination(TAreaInfo& area) {
    auto gone = [&area](const TAreaInfo* a) { return a == &area || a->IsDescendantOf(&area); };
    const bool hit = std::any_of(Destinations.begin(), Destinations.end(), gone);
    if (Reply.SourceArea != nullptr && gone(Reply.SourceArea)) Reply.SourceArea = nullptr;
    if (!hit) return;
    std::erase_if(Destinations, gone);
    std::erase_if(onlyParts_, [&](const auto& p) { return gone(p.first); });
    if (Mode == TEditorMode::Edit) {
        // Closed, but deleted only later: a preview still pending from the last keystroke must not
        // run over what is left of it.
        previewPending_ = false;
        Discard();
        return;
    }
    RefreshDestinations();
    HeaderChanged();
}

void TSendMessageForm::AutoAkaToggled(bool down) {
    Settings.AutoAKA = down;
    ComboBox1->setEnabled(!down);
    if (down) {
        const int i = ChooseAkaFor(DestAddress(), [this] {
            std::vector<std::string> list;
            for (int k = 0; k < ComboBox1->count(); ++k) list.push_back(FromQt(ComboBox1->itemText(k)));
            return list;
        }());
        if (i >= 0) ComboBox1->setCurrentIndex(i);
    }
}

void TSendMessageForm::ToEnter() {
    if (!DestAddressShown()) {
        Edit3->setFocus();
        return;
    }
    if (IsRobotName(ToName(), robotNames_) && !SelectedAka().empty()) {
        SetDestAddress(BossAddress(SelectedAka()));
        Edit3->setFocus();
        return;
    }
    std::vector<std::string> found;
    if (FindAddressesByName) found = FindAddressesByName(ToName());
    ComboBox2->clear();
    for (const auto& a : found) ComboBox2->addItem(ToQt(a));
    if (found.empty()) {
        ComboBox2->setFocus();
    } else {
        ComboBox2->setCurrentIndex(0);
        Edit3->setFocus();
    }
}

void TSendMessageForm::PickFromAddressBook() {
    std::string name;
    std::vector<std::string> addresses;
    if (!PickAddressee || !PickAddressee(this, name, addresses)) return;
    SetToName(name);
    ComboBox2->clear();
    for (const auto& a : addresses) ComboBox2->addItem(ToQt(a));
    if (!DestAddressShown()) {
        Edit3->setFocus();
    } else if (addresses.empty()) {
        ComboBox2->setFocus();
    } else {
        ComboBox2->setCurrentIndex(0);
        HeaderChanged();
        Edit3->setFocus();
    }
}

void TSendMessageForm::LeaveDestAddress() {
    if (!SelectedAka().empty()) {
        const std::string completed = CompleteAddress(DestAddress(), SelectedAka());
        if (completed != DestAddress()) SetDestAddress(completed);
        HeaderChanged();
    }
    if (SpeedButton3->isChecked()) AutoAkaToggled(true);
}

bool TSendMessageForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut && watched == ComboBox2) {
        Guarded([this] { LeaveDestAddress(); });
        return false;
    }
    if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (watched == RichEdit1) return BodyKey(key);
    if (watched == Button1) return StartEditingKey(key);
    const bool enter = (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
                       (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (!enter) return false;
    if (watched == Edit1)
        Edit2->setFocus();
    else if (watched == Edit2)
        Guarded([this] { ToEnter(); });
    else if (watched == ComboBox2) {
        LeaveDestAddress();
        Edit3->setFocus();
    } else if (watched == Edit3 && Button1->isVisible())
        Button1->setFocus();
    return true;
}

// "Начать редактирование" has the focus after Enter in the subject: Enter there starts editing,
// and a typed character starts it too and goes into the letter instead of being lost on the button.
bool TSendMessageForm::StartEditingKey(QKeyEvent* key) {
    if (editing_) return false;
    const bool enter = (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
                       (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (enter) {
        StartEditing();
        return true;
    }
    const QString text = key->text();
    const bool typed = !text.isEmpty() && text.at(0).isPrint() && key->key() != Qt::Key_Space &&
                       (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) == 0;
    if (!typed) return false;
    StartEditing();
    QCoreApplication::sendEvent(RichEdit1, key);
    return true;
}

bool TSendMessageForm::BodyKey(QKeyEvent* key) {
    if (RichEdit1->isReadOnly()) return false;
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && key->modifiers() == Qt::NoModifier) {
        const std::string line = FromQt(RichEdit1->textCursor().block().text());
        RichEdit1->textCursor().insertBlock();
        const std::string next = QuoteContinuation(line);
        if (!next.empty()) RichEdit1->insertPlainText(ToQt(next));
        return true;
    }
    if (isActiveWindow() || QApplication::activeWindow() == nullptr) {
        const auto texts =
            AutoTypeTexts(Settings.AutoTypeTable, VirtualKeyOf(key->key()), ShiftStateOf(key->modifiers()));
        for (const auto& t : texts) RichEdit1->insertPlainText(BodyToQt(CleanInsertedText(t)));
        if (!texts.empty()) return true;
    }
    return false;
}

void TSendMessageForm::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() == Qt::NoModifier && event->key() == Qt::Key_F2) {
        if (Commands().Send) Guarded([this] { Send(); });
        return;
    }
    if (event->modifiers() == Qt::NoModifier && event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    if (event->modifiers() == Qt::NoModifier && event->key() == Qt::Key_F1) {
        OpenHelpTopic(HelpEditor, this);
        return;
    }
    QWidget::keyPressEvent(event);
}

void TSendMessageForm::ShowListMenu(QPushButton* button, const std::string& section, int& index) {
    QMenu menu(this);
    const auto lines = TemplateLines(Template(section));
    for (size_t k = 0; k < lines.size(); ++k) {
        QAction* a = menu.addAction(ToQt(lines[k]));
        GuardedConnect(a, &QAction::triggered, this, [this, &index, k] {
            index = static_cast<int>(k);
            SchedulePreview();
        });
    }
    menu.exec(button->mapToGlobal(QPoint(0, button->height())));
}

void TSendMessageForm::InsertTextFile() {
    const QString path = QFileDialog::getOpenFileName(this, U("Вставить файл"), QString(),
                                                      U("Текстовые файлы (*.txt);;Все файлы (*)"));
    if (!path.isEmpty()) InsertTextFileFrom(path);
}

namespace {

// At most `limit` + 1 bytes of a regular file: a device or a pipe has no size to trust and may never
// end (or, opened without O_NONBLOCK, never start). False with the reason for the user.
bool ReadRegularFile(const QString& path, size_t limit, std::string& bytes, std::string& error) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = A("Не удалось открыть файл ") + FromQt(path) + ": " + std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        error = A("Вставить можно только обычный файл: ") + FromQt(path);
        return false;
    }
    bytes.clear();
    char buffer[65536];
    while (bytes.size() <= limit) {
        const ssize_t got = ::read(fd, buffer, std::min(sizeof buffer, limit + 1 - bytes.size()));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error = A("Не удалось прочитать файл ") + FromQt(path) + ": " + std::strerror(errno);
            ::close(fd);
            return false;
        }
        if (got == 0) break;
        bytes.append(buffer, static_cast<size_t>(got));
    }
    ::close(fd);
    return true;
}

}  // namespace

bool TSendMessageForm::InsertTextFileFrom(const QString& path) {
    std::string bytes, error;
    if (!ReadRegularFile(path, MaxInsertFileSize, bytes, error)) {
        ShowError(error, this);
        return false;
    }
    if (bytes.size() > MaxInsertFileSize) {
        ShowError(A("Файл слишком велик для вставки в письмо (больше 1 Мб)"), this);
        return false;
    }
    const std::string text =
        Template(tpl::FileInsertBegin) + CleanInsertedText(bytes) + Template(tpl::FileInsertEnd);
    QTextCursor c = RichEdit1->textCursor();
    c.setPosition(c.selectionStart());
    RichEdit1->setTextCursor(c);
    RichEdit1->insertPlainText(BodyToQt(text));
    return true;
}

void TSendMessageForm::CutMarker() {
    RichEdit1->textCursor().insertText(BodyToQt(Template(tpl::Cut)));
}

void TSendMessageForm::EditFlags() {
    EditAttributes(Attributes, this);
    ComboEdit2->setText(ToQt(AttrText(Attributes)));
    HeaderChanged();
}

void TSendMessageForm::ChooseDestinations() {
    std::vector<TAreaInfo*> chosen = Destinations;
    if (!ChooseAreas || !ChooseAreas(this, chosen)) return;
    Destinations = std::move(chosen);
    onlyParts_.clear();
    RefreshDestinations();
    HeaderChanged();
}

TSendState TSendMessageForm::BuildSendState() const {
    TSendState s;
    s.Destinations = Destinations;
    s.Attributes = Attributes;
    s.ReplyMsgId = Reply.MsgId;
    s.EditContext = EditContext;
    s.IsEditMessage = Mode == TEditorMode::Edit;
    s.AutoAKA = SpeedButton3->isChecked();
    s.FromName = FromName();
    s.SelectedAKA = SelectedAka();
    s.DestAddress = DestAddress();
    s.DestAddressVisible = DestAddressShown();
    s.ToName = ToName();
    s.Subject = Subject();
    s.Body = BodyText();
    s.Template = BuildTemplateInput();
    s.OnlyParts = onlyParts_;
    s.UUSplit = UUSplit;
    s.UUSections = UUSections;
    return s;
}

namespace {

std::vector<TUnstorableChar> Unstorable(const QString& text) {
    return UnstorableCharacters(text.toStdString(), StoredTextCodePage);
}

// The distinct characters, at most `limit` of them, for the question.
QString ListCharacters(const std::vector<TUnstorableChar>& found, size_t limit) {
    std::vector<char32_t> listed;
    QString text;
    for (const TUnstorableChar& c : found) {
        if (std::find(listed.begin(), listed.end(), c.Char) != listed.end()) continue;
        if (listed.size() == limit) return text + QStringLiteral(" …");
        listed.push_back(c.Char);
        if (!text.isEmpty()) text += QChar(' ');
        text += QString::fromUcs4(&c.Char, 1);
    }
    return text;
}

}  // namespace

bool TSendMessageForm::ConfirmStorableText() {
    const std::vector<TUnstorableChar> inBody = Unstorable(RichEdit1->toPlainText());
    std::vector<TUnstorableChar> all = inBody;
    for (const QLineEdit* field : {Edit1, Edit2, Edit3}) {
        const std::vector<TUnstorableChar> inField = Unstorable(field->text());
        all.insert(all.end(), inField.begin(), inField.end());
    }
    // The marks' cursors follow the text as it is edited; the next send marks afresh.
    QList<QTextEdit::ExtraSelection> marks;
    for (const TUnstorableChar& c : inBody) {
        QTextEdit::ExtraSelection mark;
        mark.cursor = QTextCursor(RichEdit1->document());
        mark.cursor.setPosition(static_cast<int>(c.Offset));
        mark.cursor.setPosition(static_cast<int>(c.Offset + c.Length), QTextCursor::KeepAnchor);
        mark.format.setBackground(QColor(255, 170, 170));
        marks.append(mark);
    }
    RichEdit1->setExtraSelections(marks);
    if (all.empty()) return true;

    const QString text =
        U("В письме есть знаки, которых нет в кодировке области: ") + ListCharacters(all, 16) + QChar('\n') +
        (inBody.empty() ? U("Они в заголовке письма.") : U("В тексте письма они выделены.")) + QChar('\n') +
        U("В записанном письме на их месте будет «?».");
    QMessageBox box(QMessageBox::Question, U("Пелмар"), text, QMessageBox::Yes | QMessageBox::No, this);
    box.button(QMessageBox::Yes)->setText(U("Отправить с «?» на их месте"));
    box.button(QMessageBox::No)->setText(U("Вернуться к письму"));
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    if (box.exec() == QMessageBox::Yes) return true;
    if (!inBody.empty() && editing_) {
        QTextCursor caret = RichEdit1->textCursor();
        caret.setPosition(static_cast<int>(inBody.front().Offset));
        RichEdit1->setTextCursor(caret);
        RichEdit1->setFocus();
    }
    return false;
}

bool TSendMessageForm::Send(bool skipSpelling) {
    if (!Commands().Send) return false;
    if (Settings.AutoSpell && !skipSpelling && !CheckBodySpelling(this, RichEdit1, false)) return false;
    if (!ConfirmStorableText()) return false;
    TSendState state = BuildSendState();
    TSendResult result;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        struct Restore {
            ~Restore() { QApplication::restoreOverrideCursor(); }
        } restore;
        result = SendMessages(state, Template);
    }
    // The tosser's scan, once for the whole letter, in the background.
    if (result.Written > 0 && !state.IsEditMessage) AfterSendRunner().Request();
    if (!KeepFailedDestinations(state, result)) {
        // Only what was not written stays; the draft stays too, so a crash does not lose it.
        Destinations = state.Destinations;
        onlyParts_ = state.OnlyParts;
        RefreshDestinations();
        UpdateCommandStates();
        // The stored draft still lists the areas just written: a crash before the next save would
        // post there twice.
        SaveDrafts(true);
        ShowError(result.Summary(), this);
        return false;
    }
    Discard();
    return true;
}

void TSendMessageForm::Discard() {
    discarding_ = true;
    close();
}

void TSendMessageForm::closeEvent(QCloseEvent* event) {
    if (!discarding_ && !AskYesNo(A("Сбросить письмо?"), this)) {
        event->ignore();
        return;
    }
    DeleteDraft(DraftNumber);
    DraftNumber = -1;
    // Gone from the list at once: a save before the deferred delete must not store it again.
    auto& list = EditorList();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    event->accept();
}

}  // namespace pelmar::ui
