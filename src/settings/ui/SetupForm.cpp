#include "settings/ui/SetupForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cmath>
#include <utility>
#include <vector>

#include "areas/AreaLifetime.h"
#include "areas/gizmo.h"
#include "core/Codepage.h"
#include "core/Settings.h"
#include "core/ui/DosFonts.h"
#include "core/ui/MessageBox.h"
#include "core/ui/QtText.h"
#include "core/ui/UserForm.h"
#include "msgbase/MessageBase.h"
#include "msgbase/RtfRender.h"
#include "nodelist/NodelistNames.h"
#include "platform/Registry.h"
#include "reader/MainWindowServices.h"
#include "reader/ui/HelpWindow.h"
#include "reader/ui/RtfReader.h"
#include "settings/ui/AutoForm.h"
#include "core/ui/SlotGuard.h"
#include "settings/ui/TosserPage.h"

namespace pelmar::ui {

namespace {

TPluginSettings*& Plugins() {
    static TPluginSettings* plugins = nullptr;
    return plugins;
}

QColor ToColor(const TRgb& rgb) {
    return QColor(rgb.R, rgb.G, rgb.B);
}

// The colours the grid offers are those the view writes text in.
QColor PaletteColor(int index) {
    return ToColor(RtfPalette[static_cast<size_t>(index & 15)]);
}

const char* const kSizes[] = {"8", "9", "10", "11", "12", "13", "14", "16", "18", "20", "24", "28"};

// The size list's value; `fallback` when nothing readable is chosen.
int ChosenSize(const QComboBox* combo, int fallback) {
    bool ok = false;
    const int size = combo->currentText().trimmed().toInt(&ok);
    return ok && size > 0 ? size : fallback;
}

void PresetSize(QComboBox* combo, int size) {
    combo->setEditText(QString::number(size));
    const int found = combo->findText(QString::number(size));
    combo->setCurrentIndex(found);
    if (found < 0) combo->setEditText(QString::number(size));
}

// A stored family the system lacks shows the system's own font of that kind.
QFont PresetFamily(const std::string& family, QFontDatabase::SystemFont fallback) {
    const QString name = ToQt(family);
    for (const QString& known : QFontDatabase::families()) {
        if (known.compare(name, Qt::CaseInsensitive) == 0) return QFont(known);
    }
    return QFontDatabase::systemFont(fallback);
}

QStringList Lines(const QListWidget* list) {
    QStringList lines;
    for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
    return lines;
}

std::vector<std::string> ListToStrings(const QListWidget* list) {
    std::vector<std::string> lines;
    for (const QString& line : Lines(list)) lines.push_back(FromQt(line));
    return lines;
}

void FillList(QListWidget* list, const std::vector<std::string>& lines) {
    list->clear();
    for (const std::string& line : lines) list->addItem(ToQt(line));
}

QPushButton* Button(const QString& caption, QWidget* parent) {
    return new QPushButton(caption, parent);
}

int Selected(const QListWidget* list) {
    return list->currentItem() != nullptr && list->currentItem()->isSelected() ? list->currentRow() : -1;
}

int SelectedRow(const QTreeWidget* view) {
    QTreeWidgetItem* item = view->currentItem();
    return item != nullptr && item->isSelected() ? view->indexOfTopLevelItem(item) : -1;
}

}  // namespace

// Sixteen colour cells: the left button picks the text colour, the right one the background.
class TColorGrid : public QWidget {
public:
    explicit TColorGrid(QWidget* parent) : QWidget(parent) { setFixedSize(4 * kCell + 1, 4 * kCell + 1); }

    int Foreground = 0;
    int Background = 15;
    std::function<void()> Picked;

    void Set(int foreground, int background) {
        Foreground = foreground & 15;
        Background = background & 15;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        for (int i = 0; i < 16; ++i) {
            const QRect cell((i % 4) * kCell, (i / 4) * kCell, kCell, kCell);
            painter.fillRect(cell, PaletteColor(i));
            painter.setPen(Qt::gray);
            painter.drawRect(cell.adjusted(0, 0, -1, -1));
            painter.setPen(PaletteColor(15 - i));
            if (i == Foreground) painter.drawText(cell, Qt::AlignLeft | Qt::AlignTop, QStringLiteral(" FG"));
            if (i == Background)
                painter.drawText(cell, Qt::AlignRight | Qt::AlignBottom, QStringLiteral("BG "));
        }
    }
    void mousePressEvent(QMouseEvent* event) override {
        const QPoint at = event->position().toPoint();
        const int column = at.x() / kCell;
        const int row = at.y() / kCell;
        if (column < 0 || column > 3 || row < 0 || row > 3) return;
        const int index = row * 4 + column;
        if (event->button() == Qt::LeftButton)
            Foreground = index;
        else if (event->button() == Qt::RightButton)
            Background = index;
        else
            return;
        update();
        if (Picked) Picked();
    }

private:
    static constexpr int kCell = 28;
};

void SetPluginSettings(TPluginSettings* plugins) {
    Plugins() = plugins;
}

TSetupForm::TSetupForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Настройка Пелмара"));
    setModal(true);
    PageControl = new QTabWidget(this);
    // Every page name in view: the dialog is as wide as the tabs need, without scroll arrows.
    PageControl->setUsesScrollButtons(false);
    PageControl->setElideMode(Qt::ElideNone);
    PageControl->addTab(BuildPersonalPage(), QStringLiteral("Личное"));
    PageControl->addTab(BuildAddressPage(), QStringLiteral("Адреса"));
    PageControl->addTab(BuildNodelistPage(), QStringLiteral("Списки узлов"));
    PageControl->addTab(BuildViewPage(), QStringLiteral("Вид"));
    PageControl->addTab(BuildMessagesPage(), QStringLiteral("Сообщения"));
    PageControl->addTab(BuildColorsPage(), QStringLiteral("Цвета"));
    PageControl->addTab(BuildReplacePage(), QStringLiteral("Замены"));
    PageControl->addTab(BuildExtraPage(), QStringLiteral("Дополнительно"));
    TosserPage = new TTosserPage;
    TosserPage->setObjectName(QStringLiteral("TosserPage"));
    PageControl->addTab(TosserPage, QStringLiteral("Тоссер"));
    PageControl->addTab(BuildPluginsPage(), QStringLiteral("Модули"));

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    QPushButton* help = buttons->addButton(QStringLiteral("&Справка"), QDialogButtonBox::HelpRole);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PageControl);
    layout->addWidget(buttons);
    GuardedConnect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    GuardedConnect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    GuardedConnect(help, &QPushButton::clicked, this, [this] { OpenHelpTopic(HelpSettings, this); });

    ChooseNodelistFiles = [this] {
        std::vector<std::string> files;
        const QStringList chosen =
            QFileDialog::getOpenFileNames(this, QStringLiteral("Выберите файл со списком узлов"), QString(),
                                          QString::fromStdString(NodelistDialogFilter()));
        for (const QString& file : chosen) files.push_back(file.toStdString());
        return files;
    };
    RunChangeForm = [this](TReplacement& row) {
        TChangeForm form(this);
        form.SetPair(row.What, row.With);
        if (form.exec() != QDialog::Accepted) return false;
        row = {form.What(), form.With()};
        return true;
    };
    RunAutoForm = [this](TAutoTypeEntry& entry, int editing) {
        TAutoForm form(autoType_, editing, this);
        if (editing >= 0) form.SetEntry(entry);
        if (form.exec() != QDialog::Accepted) return false;
        entry = form.Entry();
        return true;
    };
    EditAttributes = [this](uint16_t& attr) {
        QDialog dialog(this);
        dialog.setWindowTitle(QStringLiteral("Атрибуты"));
        auto* grid = new QGridLayout(&dialog);
        std::vector<QCheckBox*> boxes;
        for (int bit = 0; bit < AttrCount; ++bit) {
            auto* box = new QCheckBox(ToQt(AttrNames[bit]), &dialog);
            box->setChecked((attr & (1u << bit)) != 0);
            grid->addWidget(box, bit / 4, bit % 4);
            boxes.push_back(box);
        }
        auto* ok = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
        grid->addWidget(ok, (AttrCount + 3) / 4, 0, 1, 4);
        GuardedConnect(ok, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
        GuardedConnect(ok, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
        if (dialog.exec() != QDialog::Accepted) return false;
        uint16_t chosen = 0;
        for (int bit = 0; bit < AttrCount; ++bit) {
            if (boxes[bit]->isChecked()) chosen |= static_cast<uint16_t>(1u << bit);
        }
        attr = chosen;
        return true;
    };
    RunUsers = [this] { RunUsersDialog(this); };

    LoadValues();
    resize(700, 500);  // every page tab in view
}

TSetupForm::~TSetupForm() = default;

void TSetupForm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        static const int topics[] = {210, 250, 260, 270, 310, 280, 300, 200, 200};
        const int page = PageControl->currentIndex();
        OpenHelpTopic(page >= 0 && page < 9 ? topics[page] : HelpSettings, this);
        return;
    }
    QDialog::keyPressEvent(event);
}

// ---- pages ---------------------------------------------------------------------------------------

QWidget* TSetupForm::BuildPersonalPage() {
    auto* page = new QWidget;
    auto* personal = new QGroupBox(QStringLiteral("Личная информация"), page);
    Edit1 = new QLineEdit(personal);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    auto* personalForm = new QFormLayout(personal);
    personalForm->addRow(QStringLiteral("Имя и фамилия:"), Edit1);
    auto* users = new QGroupBox(QStringLiteral("Пользователи"), page);
    CheckBox7 = new QCheckBox(QStringLiteral("Задействовать многопользовательские возмножности"), users);
    CheckBox7->setObjectName(QStringLiteral("CheckBox7"));
    CheckBox8 =
        new QCheckBox(QStringLiteral("Диалог с запросом имени пользователя при входе в программу"), users);
    CheckBox8->setObjectName(QStringLiteral("CheckBox8"));
    CheckBox9 =
        new QCheckBox(QStringLiteral("Разрешить вход под именем \"Пользователь по умолчанию\""), users);
    CheckBox9->setObjectName(QStringLiteral("CheckBox9"));
    BitBtn3 = Button(QStringLiteral("Пользователи"), users);
    BitBtn3->setObjectName(QStringLiteral("BitBtn3"));
    auto* usersLayout = new QVBoxLayout(users);
    usersLayout->addWidget(CheckBox7);
    usersLayout->addWidget(CheckBox8);
    usersLayout->addWidget(CheckBox9);
    usersLayout->addWidget(BitBtn3, 0, Qt::AlignRight);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(personal);
    layout->addWidget(users);
    layout->addStretch();
    GuardedConnect(CheckBox7, &QCheckBox::toggled, this, [this] { UpdateControls(); });
    GuardedConnect(BitBtn3, &QPushButton::clicked, this, [this] {
        if (RunUsers) RunUsers();
    });
    return page;
}

QWidget* TSetupForm::BuildAddressPage() {
    auto* page = new QWidget;
    auto* own = new QGroupBox(QStringLiteral("Личные адреса"), page);
    Edit2 = new QLineEdit(own);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    ListBox1 = new QListWidget(own);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    Button1 = Button(QStringLiteral("Добавить"), own);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2 = Button(QStringLiteral("Удалить"), own);
    SpeedButton1 = new QToolButton(own);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setArrowType(Qt::UpArrow);
    SpeedButton2 = new QToolButton(own);
    SpeedButton2->setArrowType(Qt::DownArrow);
    auto* ownLayout = new QGridLayout(own);
    ownLayout->addWidget(new QLabel(QStringLiteral("Адрес:"), own), 0, 0);
    ownLayout->addWidget(Edit2, 0, 1);
    ownLayout->addWidget(Button1, 0, 2);
    ownLayout->addWidget(ListBox1, 1, 0, 3, 2);
    ownLayout->addWidget(Button2, 1, 2);
    ownLayout->addWidget(SpeedButton1, 2, 2);
    ownLayout->addWidget(SpeedButton2, 3, 2);
    UplinksGroup = new QGroupBox(QStringLiteral("Адреса боссов/аплинков"), page);
    Edit3 = new QLineEdit(UplinksGroup);
    ListBox2 = new QListWidget(UplinksGroup);
    Button3 = Button(QStringLiteral("Добавить"), UplinksGroup);
    Button4 = Button(QStringLiteral("Удалить"), UplinksGroup);
    auto* upLayout = new QGridLayout(UplinksGroup);
    upLayout->addWidget(Edit3, 0, 0);
    upLayout->addWidget(Button3, 0, 1);
    upLayout->addWidget(ListBox2, 1, 0);
    upLayout->addWidget(Button4, 1, 1);
    UplinksGroup->setVisible(false);  // kept only so the stored list survives
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(own);
    layout->addWidget(UplinksGroup);
    GuardedConnect(Edit2, &QLineEdit::textChanged, this, [this] { UpdateControls(); });
    GuardedConnect(Edit3, &QLineEdit::textChanged, this, [this] { UpdateControls(); });
    GuardedConnect(ListBox1, &QListWidget::itemSelectionChanged, this, [this] { UpdateControls(); });
    GuardedConnect(ListBox2, &QListWidget::itemSelectionChanged, this, [this] { UpdateControls(); });
    GuardedConnect(Button1, &QPushButton::clicked, this, [this] { AddAddress(); });
    GuardedConnect(Button2, &QPushButton::clicked, this, [this] {
        delete ListBox1->takeItem(Selected(ListBox1));
        UpdateControls();
    });
    GuardedConnect(Button3, &QPushButton::clicked, this, [this] {
        if (!CanAddAddress(FromQt(Edit3->text()), ListToStrings(ListBox2))) return;
        ListBox2->addItem(Edit3->text());
        Edit3->clear();
        UpdateControls();
    });
    GuardedConnect(Button4, &QPushButton::clicked, this, [this] {
        delete ListBox2->takeItem(Selected(ListBox2));
        UpdateControls();
    });
    GuardedConnect(SpeedButton1, &QToolButton::clicked, this, [this] { MoveAddress(-1); });
    GuardedConnect(SpeedButton2, &QToolButton::clicked, this, [this] { MoveAddress(1); });
    return page;
}

QWidget* TSetupForm::BuildNodelistPage() {
    auto* page = new QWidget;
    ListBox3 = new QListWidget(page);
    Button5 = Button(QStringLiteral("Добавить..."), page);
    Button6 = Button(QStringLiteral("Удалить"), page);
    CheckBox3 = new QCheckBox(QStringLiteral("Проверять и компилировать список узлов при запуске"), page);
    CheckBox3->setObjectName(QStringLiteral("CheckBox3"));
    auto* layout = new QGridLayout(page);
    layout->addWidget(new QLabel(QStringLiteral("Файлы со списками узлов"), page), 0, 0);
    layout->addWidget(ListBox3, 1, 0, 3, 1);
    layout->addWidget(Button5, 1, 1);
    layout->addWidget(Button6, 2, 1);
    layout->addWidget(CheckBox3, 4, 0, 1, 2);
    layout->setRowStretch(3, 1);  // the list takes the page's height, the caption stays on top
    GuardedConnect(ListBox3, &QListWidget::itemSelectionChanged, this, [this] { UpdateControls(); });
    GuardedConnect(Button5, &QPushButton::clicked, this, [this] {
        if (ChooseNodelistFiles) AddNodelistFiles(ChooseNodelistFiles());
    });
    GuardedConnect(Button6, &QPushButton::clicked, this, [this] {
        delete ListBox3->takeItem(Selected(ListBox3));
        UpdateControls();
    });
    return page;
}

QWidget* TSetupForm::BuildViewPage() {
    auto* page = new QWidget;
    auto* view = new QGroupBox(QStringLiteral("Просмотр"), page);
    CheckBox1 = new QCheckBox(QStringLiteral("Раскрашивать текст писем при просмотре"), view);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox2 = new QCheckBox(QStringLiteral("Показывать служебные поля в письмах"), view);
    CheckBox2->setObjectName(QStringLiteral("CheckBox2"));
    CheckBox11 =
        new QCheckBox(QStringLiteral("Автоматически переносить длинные строчки в тексте письма"), view);
    CheckBox11->setObjectName(QStringLiteral("CheckBox11"));
    CheckBox10 =
        new QCheckBox(QStringLiteral("Использовать фон на панели кнопок (требует перезапуск)"), view);
    CheckBox10->setObjectName(QStringLiteral("CheckBox10"));
    CheckBox16 = new QCheckBox(QStringLiteral("Запоминать положение окна редактирования"), view);
    CheckBox16->setObjectName(QStringLiteral("CheckBox16"));
    CheckBox4 = new QCheckBox(QStringLiteral("Выделять фидошные адреса как ссылки"), view);
    CheckBox4->setObjectName(QStringLiteral("CheckBox4"));
    auto* viewLayout = new QVBoxLayout(view);
    for (QCheckBox* box : {CheckBox1, CheckBox2, CheckBox11, CheckBox10, CheckBox16, CheckBox4})
        viewLayout->addWidget(box);
    NotifyPersonalBox = new QCheckBox(QStringLiteral("Сообщать о новой личной почте"), view);
    NotifyPersonalBox->setObjectName(QStringLiteral("NotifyPersonalBox"));
    viewLayout->addWidget(NotifyPersonalBox);

    auto* fontTabs = new QTabWidget(page);
    auto* ansi = new QWidget;
    auto* fonts = new QGroupBox(QStringLiteral("Шрифты"), ansi);
    FontComboBox1 = new QFontComboBox(fonts);
    FontComboBox1->setObjectName(QStringLiteral("FontComboBox1"));
    FontComboBox1->setWritingSystem(QFontDatabase::Cyrillic);
    FontComboBox1->setFontFilters(QFontComboBox::ScalableFonts | QFontComboBox::ProportionalFonts);
    FontComboBox2 = new QFontComboBox(fonts);
    FontComboBox2->setObjectName(QStringLiteral("FontComboBox2"));
    FontComboBox2->setFontFilters(QFontComboBox::MonospacedFonts);
    ComboBox1 = new QComboBox(fonts);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox2 = new QComboBox(fonts);
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    for (QComboBox* sizes : {ComboBox1, ComboBox2}) {
        sizes->setEditable(true);
        for (const char* size : kSizes) sizes->addItem(QString::fromLatin1(size));
    }
    VarSample = new QLabel(QStringLiteral("Пример"), fonts);
    FixSample = new QLabel(QStringLiteral("Пример"), fonts);
    auto* fontLayout = new QGridLayout(fonts);
    fontLayout->addWidget(new QLabel(QStringLiteral("Пропорциональный шрифт:"), fonts), 0, 0);
    fontLayout->addWidget(FontComboBox1, 1, 0);
    fontLayout->addWidget(new QLabel(QStringLiteral("Размер:"), fonts), 0, 1);
    fontLayout->addWidget(ComboBox1, 1, 1);
    fontLayout->addWidget(VarSample, 1, 2);
    fontLayout->addWidget(new QLabel(QStringLiteral("Моноширинный шрифт:"), fonts), 2, 0);
    fontLayout->addWidget(FontComboBox2, 3, 0);
    fontLayout->addWidget(new QLabel(QStringLiteral("Размер:"), fonts), 2, 1);
    fontLayout->addWidget(ComboBox2, 3, 1);
    fontLayout->addWidget(FixSample, 3, 2);
    (new QVBoxLayout(ansi))->addWidget(fonts);
    fontTabs->addTab(ansi, QStringLiteral("ANSI"));
    auto* dos = new QWidget;
    ComboBox3 = new QComboBox(dos);
    ComboBox3->setObjectName(QStringLiteral("ComboBox3"));
    for (std::string_view name : DosFontNames)
        ComboBox3->addItem(QString::fromLatin1(name.data(), name.size()));
    // The word is stored in CP866 so that it reads right in the OEM font.
    DosSample = new QLabel(QString::fromStdString(OemToUtf8(AnsiToOem(Utf8ToAnsi("Пример")))), dos);
    auto* dosLayout = new QFormLayout(dos);
    dosLayout->addRow(QStringLiteral("Шрифт с псевдографикой размера:"), ComboBox3);
    dosLayout->addRow(DosSample);
    fontTabs->addTab(dos, QStringLiteral("DOS"));

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(view);
    layout->addWidget(fontTabs);
    GuardedConnect(FontComboBox1, &QFontComboBox::currentFontChanged, this,
            [this](const QFont& font) { ShowFontSample(VarSample, font, ComboBox1); });
    GuardedConnect(ComboBox1, &QComboBox::currentTextChanged, this,
            [this] { ShowFontSample(VarSample, FontComboBox1->currentFont(), ComboBox1); });
    GuardedConnect(FontComboBox2, &QFontComboBox::currentFontChanged, this,
            [this](const QFont& font) { ShowFontSample(FixSample, font, ComboBox2); });
    GuardedConnect(ComboBox2, &QComboBox::currentTextChanged, this,
            [this] { ShowFontSample(FixSample, FontComboBox2->currentFont(), ComboBox2); });
    GuardedConnect(ComboBox3, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index < 0) return;
        DosSample->setFont(
            TDosFonts::Font(QStringLiteral("DOS ") +
                            QString::fromLatin1(DosFontNames[index].data(), DosFontNames[index].size())));
    });
    return page;
}

void TSetupForm::ShowFontSample(QLabel* sample, const QFont& family, const QComboBox* size) {
    QFont font = family;
    font.setPointSize(ChosenSize(size, 12));
    sample->setFont(font);
}

QWidget* TSetupForm::BuildMessagesPage() {
    auto* page = new QWidget;
    ListBox6 = new QListWidget(page);
    ComboEdit1 = new QLineEdit(page);
    ComboEdit2 = new QLineEdit(page);
    ComboEdit1->setReadOnly(true);
    ComboEdit2->setReadOnly(true);
    auto* netButton = new QToolButton(page);
    auto* echoButton = new QToolButton(page);
    netButton->setText(QStringLiteral("..."));
    echoButton->setText(QStringLiteral("..."));
    ListView2 = new QTreeWidget(page);
    ListView2->setRootIsDecorated(false);
    ListView2->setHeaderLabels({QStringLiteral("Клавиша"), QStringLiteral("Текст")});
    ListView2->header()->resizeSection(0, 150);
    ListView2->header()->resizeSection(1, 170);
    Button12 = Button(QStringLiteral("Добавить..."), page);
    Button13 = Button(QStringLiteral("Изменить..."), page);
    Button14 = Button(QStringLiteral("Удалить"), page);
    CheckBox5 =
        new QCheckBox(QStringLiteral("Автоматически проверять орфографию при отправлении писем"), page);
    CheckBox5->setObjectName(QStringLiteral("CheckBox5"));
    auto* layout = new QGridLayout(page);
    layout->addWidget(new QLabel(QStringLiteral("Netmail-область:"), page), 0, 0);
    layout->addWidget(ListBox6, 1, 0, 1, 3);
    layout->addWidget(new QLabel(QStringLiteral("Флаги письма по умолчанию:"), page), 2, 0, 1, 3);
    layout->addWidget(new QLabel(QStringLiteral("нетмейл:"), page), 3, 0);
    layout->addWidget(ComboEdit1, 3, 1);
    layout->addWidget(netButton, 3, 2);
    layout->addWidget(new QLabel(QStringLiteral("эхомейл:"), page), 4, 0);
    layout->addWidget(ComboEdit2, 4, 1);
    layout->addWidget(echoButton, 4, 2);
    layout->addWidget(new QLabel(QStringLiteral("Автоввод"), page), 5, 0);
    layout->addWidget(ListView2, 6, 0, 3, 2);
    layout->addWidget(Button12, 6, 2);
    layout->addWidget(Button13, 7, 2);
    layout->addWidget(Button14, 8, 2);
    layout->addWidget(CheckBox5, 9, 0, 1, 3);
    GuardedConnect(netButton, &QToolButton::clicked, this, [this] {
        uint16_t attr = netmailDef_;
        if (EditAttributes && EditAttributes(attr)) SetNetmailAttr(attr);
    });
    GuardedConnect(echoButton, &QToolButton::clicked, this, [this] {
        uint16_t attr = echomailDef_;
        if (EditAttributes && EditAttributes(attr)) SetEchomailAttr(attr);
    });
    GuardedConnect(ListView2, &QTreeWidget::itemSelectionChanged, this, [this] { UpdateControls(); });
    GuardedConnect(Button12, &QPushButton::clicked, this, [this] {
        TAutoTypeEntry entry;
        if (RunAutoForm && RunAutoForm(entry, -1)) AddAutoType(entry);
    });
    GuardedConnect(Button13, &QPushButton::clicked, this, [this] {
        const int row = SelectedRow(ListView2);
        if (row < 0) return;
        TAutoTypeEntry entry = autoType_[row];
        if (RunAutoForm && RunAutoForm(entry, row)) ReplaceAutoType(row, entry);
    });
    GuardedConnect(Button14, &QPushButton::clicked, this, [this] { DeleteAutoType(SelectedRow(ListView2)); });
    return page;
}

QWidget* TSetupForm::BuildColorsPage() {
    auto* page = new QWidget;
    ListBox5 = new QListWidget(page);
    ListBox5->setObjectName(QStringLiteral("ListBox5"));
    for (const char* entry :
         {"Текст письма", "Тирлайн", "Ориджин", "Цитирование 1", "Цитирование 2", "Служебные поля"})
        ListBox5->addItem(QString::fromUtf8(entry));
    ColorGrid1 = new TColorGrid(page);
    RichEdit2 = new QTextEdit(page);
    RichEdit2->setObjectName(QStringLiteral("RichEdit2"));
    RichEdit2->setReadOnly(true);
    auto* layout = new QGridLayout(page);
    layout->addWidget(new QLabel(QStringLiteral("Цвета"), page), 0, 0);
    layout->addWidget(ListBox5, 1, 0);
    layout->addWidget(ColorGrid1, 1, 1);
    layout->addWidget(new QLabel(QStringLiteral("Пример"), page), 2, 0);
    layout->addWidget(RichEdit2, 3, 0, 1, 2);
    GuardedConnect(ListBox5, &QListWidget::currentRowChanged, this, [this](int row) { SelectColorEntry(row); });
    ColorGrid1->Picked = [this] { ColorsPicked(ColorGrid1->Foreground, ColorGrid1->Background); };
    return page;
}

QWidget* TSetupForm::BuildReplacePage() {
    auto* page = new QWidget;
    ListView1 = new QTreeWidget(page);
    ListView1->setRootIsDecorated(false);
    ListView1->setHeaderLabels({QStringLiteral("Заменять что"), QStringLiteral("На что")});
    ListView1->header()->resizeSection(0, 150);
    Button7 = Button(QStringLiteral("Добавить..."), page);
    Button8 = Button(QStringLiteral("Изменить..."), page);
    Button9 = Button(QStringLiteral("Удалить"), page);
    auto* layout = new QGridLayout(page);
    layout->addWidget(new QLabel(QStringLiteral("Заменять в тексте письма"), page), 0, 0);
    layout->addWidget(ListView1, 1, 0, 4, 1);
    layout->addWidget(Button7, 1, 1);
    layout->addWidget(Button8, 2, 1);
    layout->addWidget(Button9, 3, 1);
    layout->setRowStretch(4, 1);
    GuardedConnect(ListView1, &QTreeWidget::itemSelectionChanged, this, [this] { UpdateControls(); });
    GuardedConnect(Button7, &QPushButton::clicked, this, [this] {
        TReplacement row;
        if (RunChangeForm && RunChangeForm(row)) AddReplacement(row);
    });
    GuardedConnect(Button8, &QPushButton::clicked, this, [this] {
        const int row = SelectedRow(ListView1);
        if (row < 0) return;
        TReplacement value = replacements_[row];
        if (RunChangeForm && RunChangeForm(value)) ReplaceReplacement(row, value);
    });
    GuardedConnect(Button9, &QPushButton::clicked, this, [this] {
        const int row = SelectedRow(ListView1);
        if (row < 0) return;
        replacements_.erase(replacements_.begin() + row);
        FillReplaceList();
    });
    return page;
}

QWidget* TSetupForm::BuildExtraPage() {
    auto* page = new QWidget;
    auto* letters = new QGroupBox(QStringLiteral("Письма"), page);
    CheckBox12 = new QCheckBox(QStringLiteral("Автосохранение каждые "), letters);
    CheckBox12->setObjectName(QStringLiteral("CheckBox12"));
    RxSpinEdit1 = new QSpinBox(letters);
    RxSpinEdit1->setObjectName(QStringLiteral("RxSpinEdit1"));
    RxSpinEdit1->setRange(1, 200);
    auto* lettersLayout = new QHBoxLayout(letters);
    lettersLayout->addWidget(CheckBox12);
    lettersLayout->addWidget(RxSpinEdit1);
    lettersLayout->addWidget(new QLabel(QStringLiteral("минут"), letters));
    lettersLayout->addStretch();
    auto* flags = new QGroupBox(QStringLiteral("Флаги"), page);
    CheckBox13 = new QCheckBox(QStringLiteral("при написании письма нетмейла создавать флаг"), flags);
    CheckBox13->setObjectName(QStringLiteral("CheckBox13"));
    Edit4 = new QLineEdit(flags);
    Edit4->setObjectName(QStringLiteral("Edit4"));
    CheckBox14 = new QCheckBox(QStringLiteral("при написании письма эхомейла создавать флаг"), flags);
    CheckBox14->setObjectName(QStringLiteral("CheckBox14"));
    Edit5 = new QLineEdit(flags);
    Edit5->setObjectName(QStringLiteral("Edit5"));
    auto* flagsLayout = new QGridLayout(flags);
    flagsLayout->addWidget(CheckBox13, 0, 0);
    flagsLayout->addWidget(Edit4, 0, 1);
    flagsLayout->addWidget(CheckBox14, 1, 0);
    flagsLayout->addWidget(Edit5, 1, 1);
    CheckBox15 = new QCheckBox(QStringLiteral("Кеширование"), page);
    CheckBox15->setObjectName(QStringLiteral("CheckBox15"));
    RxSpinEdit2 = new QSpinBox(page);
    RxSpinEdit2->setObjectName(QStringLiteral("RxSpinEdit2"));
    RxSpinEdit2->setRange(1, 2000);
    auto* cache = new QHBoxLayout;
    cache->addWidget(CheckBox15);
    cache->addWidget(new QLabel(QStringLiteral("Кешировать до "), page));
    cache->addWidget(RxSpinEdit2);
    cache->addWidget(new QLabel(QStringLiteral("конференций"), page));
    cache->addStretch();
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(letters);
    layout->addWidget(flags);
    layout->addLayout(cache);
    layout->addStretch();
    for (QCheckBox* box : {CheckBox12, CheckBox13, CheckBox14, CheckBox15})
        GuardedConnect(box, &QCheckBox::toggled, this, [this] { UpdateControls(); });
    return page;
}

QWidget* TSetupForm::BuildPluginsPage() {
    auto* page = new QWidget;
    RxCheckListBox1 = new QListWidget(page);
    RxCheckListBox1->setObjectName(QStringLiteral("RxCheckListBox1"));
    StaticText1 = new QLabel(page);
    StaticText1->setObjectName(QStringLiteral("StaticText1"));
    StaticText1->setWordWrap(true);
    Button10 = Button(QStringLiteral("Настройка..."), page);
    Button10->setObjectName(QStringLiteral("Button10"));
    Button11 = Button(QStringLiteral("О модуле..."), page);
    auto* layout = new QGridLayout(page);
    layout->addWidget(new QLabel(QStringLiteral("Список модулей"), page), 0, 0);
    layout->addWidget(RxCheckListBox1, 1, 0, 3, 1);
    layout->addWidget(Button10, 1, 1);
    layout->addWidget(Button11, 2, 1);
    layout->addWidget(StaticText1, 4, 0, 1, 2);
    layout->setRowStretch(3, 1);
    GuardedConnect(RxCheckListBox1, &QListWidget::currentRowChanged, this, [this](int row) {
        std::vector<TPluginLine> lines = Plugins() ? Plugins()->Lines() : std::vector<TPluginLine>();
        StaticText1->setText(row >= 0 && row < static_cast<int>(lines.size()) ? ToQt(lines[row].Description)
                                                                              : QString());
        UpdateControls();
    });
    GuardedConnect(Button10, &QPushButton::clicked, this, [this] {
        if (Plugins() && RxCheckListBox1->currentRow() >= 0)
            Plugins()->ShowSetup(RxCheckListBox1->currentRow(), this);
    });
    GuardedConnect(Button11, &QPushButton::clicked, this, [this] {
        if (Plugins() && RxCheckListBox1->currentRow() >= 0)
            Plugins()->ShowAbout(RxCheckListBox1->currentRow(), this);
    });
    return page;
}

// ---- values --------------------------------------------------------------------------------------

namespace {

// The controls that each show one setting as it is stored: the dialog is filled from the settings
// and OK writes them back through this one table.
struct TBindings {
    std::vector<std::pair<QCheckBox*, bool TSettings::*>> Checks;
    std::vector<std::pair<QLineEdit*, std::string TSettings::*>> Texts;
    std::vector<std::pair<QSpinBox*, int32_t TSettings::*>> Numbers;
    std::vector<std::pair<QListWidget*, std::vector<std::string> TSettings::*>> Lists;

    void Load(const TSettings& s) const {
        for (const auto& [box, field] : Checks) box->setChecked(s.*field);
        for (const auto& [edit, field] : Texts) edit->setText(ToQt(s.*field));
        for (const auto& [spin, field] : Numbers) spin->setValue(s.*field);
        for (const auto& [list, field] : Lists) FillList(list, s.*field);
    }
    void Store(TSettings& s) const {
        for (const auto& [box, field] : Checks) s.*field = box->isChecked();
        for (const auto& [edit, field] : Texts) s.*field = FromQt(edit->text());
        for (const auto& [spin, field] : Numbers) s.*field = spin->value();
        for (const auto& [list, field] : Lists) s.*field = ListToStrings(list);
    }
};

}  // namespace

// The dialog's controls as the table lists them.
struct TSetupFormBindings {
    static TBindings Of(const TSetupForm& f);
};

TBindings TSetupFormBindings::Of(const TSetupForm& f) {
    return {{{f.CheckBox1, &TSettings::ColourText},
             {f.CheckBox2, &TSettings::ShowKludges},
             {f.CheckBox3, &TSettings::AutoCompile},
             {f.CheckBox4, &TSettings::UseURLs},
             {f.CheckBox5, &TSettings::AutoSpell},
             {f.CheckBox7, &TSettings::UseLogin},
             {f.CheckBox8, &TSettings::UseDialog},
             {f.CheckBox9, &TSettings::AllowDefault},
             {f.CheckBox10, &TSettings::TBBack},
             {f.CheckBox11, &TSettings::LineWrap},
             {f.NotifyPersonalBox, &TSettings::NotifyPersonal},
             {f.CheckBox12, &TSettings::AutoSave},
             {f.CheckBox13, &TSettings::bNetFlag},
             {f.CheckBox14, &TSettings::bEchoFlag},
             {f.CheckBox15, &TSettings::UseCache},
             {f.CheckBox16, &TSettings::EditPlacement}},
            {{f.Edit4, &TSettings::NetFlag}, {f.Edit5, &TSettings::EchoFlag}},
            {{f.RxSpinEdit1, &TSettings::SaveTime}, {f.RxSpinEdit2, &TSettings::CacheMax}},
            {{f.ListBox1, &TSettings::SelfAKA},
             {f.ListBox2, &TSettings::Uplinks},
             {f.ListBox3, &TSettings::NodeListFiles}}};
}

void TSetupForm::LoadValues() {
    const TSettings& s = Settings;
    Edit1->setText(ToQt(s.FullName));
    TSetupFormBindings::Of(*this).Load(s);
    TosserPage->Load(s);
    FontComboBox1->setCurrentFont(PresetFamily(s.VarFont, QFontDatabase::GeneralFont));
    FontComboBox2->setCurrentFont(PresetFamily(s.FixFont, QFontDatabase::FixedFont));
    PresetSize(ComboBox1, s.VarSize);
    PresetSize(ComboBox2, s.FixSize);
    ComboBox3->setCurrentIndex(s.DosFont >= 0 && s.DosFont < static_cast<int>(DosFontNames.size()) ? s.DosFont
                                                                                                   : 0);

    ListBox6->clear();
    netmailIds_.clear();
    for (TAreaInfo* area : NetmailAreas()) {
        ListBox6->addItem(ToQt(area->PathName()));
        netmailIds_.push_back(area->ID);
        if (area->ID == s.NetmailArea) ListBox6->setCurrentRow(ListBox6->count() - 1);
    }
    SetNetmailAttr(s.NetmailDef);
    SetEchomailAttr(s.EchomailDef);
    autoType_ = s.AutoTypeTable;
    FillAutoTypeList();

    replacements_ = IsTemplateStoreOpen()
                        ? ReplacementsFromTemplates(ReadTemplate("change1"), ReadTemplate("change2"))
                        : std::vector<TReplacement>();
    FillReplaceList();

    RxCheckListBox1->clear();
    pluginActive_.clear();
    if (Plugins()) {
        for (const TPluginLine& line : Plugins()->Lines()) {
            auto* item = new QListWidgetItem(ToQt(line.Caption), RxCheckListBox1);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(line.Active ? Qt::Checked : Qt::Unchecked);
            pluginActive_.push_back(line.Active);
        }
    }

    // Cancel must leave the stored table untouched, so the colours are edited in a copy.
    colors_ = s.ColorTable;
    colorEntry_ = -1;
    ListBox5->setCurrentRow(0);
    UpdateControls();
}

void TSetupForm::UpdateControls() {
    const bool addable = CanAddAddress(FromQt(Edit2->text()), ListToStrings(ListBox1));
    Button1->setEnabled(addable);
    Button3->setEnabled(CanAddAddress(FromQt(Edit3->text()), ListToStrings(ListBox2)));
    Button2->setEnabled(ListBox1->count() > 0 && Selected(ListBox1) >= 0);
    Button4->setEnabled(ListBox2->count() > 0 && Selected(ListBox2) >= 0);
    Button6->setEnabled(ListBox3->count() > 0 && Selected(ListBox3) >= 0);
    SpeedButton1->setEnabled(CanMoveUp(ListBox1->count(), Selected(ListBox1)));
    SpeedButton2->setEnabled(CanMoveDown(ListBox1->count(), Selected(ListBox1)));
    Button8->setEnabled(SelectedRow(ListView1) >= 0);
    Button9->setEnabled(SelectedRow(ListView1) >= 0);
    Button13->setEnabled(SelectedRow(ListView2) >= 0);
    Button14->setEnabled(SelectedRow(ListView2) >= 0);
    const int plugin = RxCheckListBox1->currentRow();
    Button11->setEnabled(plugin >= 0);
    bool hasSetup = false;
    if (plugin >= 0 && Plugins()) {
        const std::vector<TPluginLine> lines = Plugins()->Lines();
        hasSetup = plugin < static_cast<int>(lines.size()) && lines[plugin].HasSetup;
    }
    Button10->setEnabled(hasSetup);
    const TLoginEnabling login = LoginEnabling(Settings.IsAdmin, CheckBox7->isChecked());
    CheckBox7->setEnabled(login.UseLogin);
    CheckBox8->setEnabled(login.Dependants);
    CheckBox9->setEnabled(login.Dependants);
    BitBtn3->setEnabled(login.Dependants);
    RxSpinEdit1->setEnabled(CheckBox12->isChecked());
    Edit4->setEnabled(CheckBox13->isChecked());
    Edit5->setEnabled(CheckBox14->isChecked());
    RxSpinEdit2->setEnabled(CheckBox15->isChecked());
}

void TSetupForm::AddAddress() {
    if (!CanAddAddress(FromQt(Edit2->text()), ListToStrings(ListBox1))) return;
    ListBox1->addItem(Edit2->text());
    Edit2->clear();
    UpdateControls();
}

void TSetupForm::MoveAddress(int delta) {
    const int row = Selected(ListBox1);
    if (delta < 0 ? !CanMoveUp(ListBox1->count(), row) : !CanMoveDown(ListBox1->count(), row)) return;
    QListWidgetItem* item = ListBox1->takeItem(row);
    ListBox1->insertItem(row + delta, item);
    ListBox1->setCurrentItem(item);
    item->setSelected(true);
    UpdateControls();
}

void TSetupForm::AddNodelistFiles(const std::vector<std::string>& files) {
    std::vector<std::string> list = ListToStrings(ListBox3);
    // File names are bytes on disk; the list shows them as text.
    std::vector<std::string> asText;
    for (const std::string& file : files) asText.push_back(Utf8ToAnsi(file));
    AddListedFiles(list, asText);
    FillList(ListBox3, list);
    UpdateControls();
}

void TSetupForm::FillReplaceList() {
    ListView1->clear();
    for (const TReplacement& row : replacements_)
        new QTreeWidgetItem(ListView1, QStringList{ToQt(row.What), ToQt(row.With)});
    UpdateControls();
}

void TSetupForm::AddReplacement(const TReplacement& row) {
    if (row.What.empty()) return;
    replacements_.push_back(row);
    FillReplaceList();
}

void TSetupForm::ReplaceReplacement(int row, const TReplacement& value) {
    if (row < 0 || row >= static_cast<int>(replacements_.size()) || value.What.empty()) return;
    replacements_[row] = value;
    FillReplaceList();
}

void TSetupForm::FillAutoTypeList() {
    ListView2->clear();
    for (const TAutoTypeEntry& entry : autoType_) {
        QString text = ToQt(entry.Text);
        text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        new QTreeWidgetItem(ListView2, QStringList{ToQt(ShortCutToText(entry.ShortCut)), text});
    }
    UpdateControls();
}

void TSetupForm::AddAutoType(const TAutoTypeEntry& entry) {
    if (!IsAutoTypeShortcut(entry.ShortCut) || ShortcutTaken(autoType_, entry.ShortCut)) return;
    autoType_.push_back(entry);
    FillAutoTypeList();
}

void TSetupForm::ReplaceAutoType(int row, const TAutoTypeEntry& entry) {
    if (row < 0 || row >= static_cast<int>(autoType_.size())) return;
    if (!IsAutoTypeShortcut(entry.ShortCut) || ShortcutTaken(autoType_, entry.ShortCut, row)) return;
    autoType_[row] = entry;
    FillAutoTypeList();
}

void TSetupForm::DeleteAutoType(int row) {
    if (row < 0 || row >= static_cast<int>(autoType_.size())) return;
    autoType_.erase(autoType_.begin() + row);
    FillAutoTypeList();
}

void TSetupForm::SetNetmailAttr(uint16_t attr) {
    netmailDef_ = attr;
    ComboEdit1->setText(ToQt(AttrText(attr)));
}

void TSetupForm::SetEchomailAttr(uint16_t attr) {
    echomailDef_ = attr;
    ComboEdit2->setText(ToQt(AttrText(attr)));
}

void TSetupForm::SelectColorEntry(int entry) {
    if (colorEntry_ >= 0) {
        colors_[2 * colorEntry_] = static_cast<uint8_t>(ColorGrid1->Foreground);
        colors_[2 * colorEntry_ + 1] = static_cast<uint8_t>(ColorGrid1->Background);
    }
    if (entry < 0 || entry >= 6) return;
    colorEntry_ = entry;
    ColorGrid1->Set(colors_[2 * entry], colors_[2 * entry + 1]);
    RedrawPreview();
}

void TSetupForm::ColorsPicked(int foreground, int background) {
    ColorGrid1->Set(foreground, background);
    if (colorEntry_ < 0) return;
    colors_[2 * colorEntry_] = static_cast<uint8_t>(ColorGrid1->Foreground);
    colors_[2 * colorEntry_ + 1] = static_cast<uint8_t>(ColorGrid1->Background);
    RedrawPreview();
}

void TSetupForm::RedrawPreview() {
    // The sample goes through the view's own rendering, so the preview is what the view will show.
    static const std::string sample = Utf8ToAnsi(
        "Текст письма \\par >> Цитирование 2 \\par > Цитирование 1 \\par --- Tearline \\par  * Origin: "
        "Просто так \\par ");
    TRenderInput input;
    input.RtfText = sample;
    input.FontIndex = MainWindowServices().ViewFontMode();
    input.FixFont = Settings.FixFont;
    input.VarFont = Settings.VarFont;
    input.FixSize = Settings.FixSize;
    input.VarSize = Settings.VarSize;
    input.ColorTable = colors_;
    const std::string rtf =
        PreviewRtf(RenderRtfDocument(input), colors_, {"MSGID: 2:0/0.0 ffffffff", "GIF: PELMAR"});
    const QColor background =
        ToColor(ViewPalette[static_cast<size_t>(ColorTableIndex(colors_, 2 * ceText + 1))]);
    QPalette palette = RichEdit2->palette();
    palette.setColor(QPalette::Base, background);
    RichEdit2->setPalette(palette);
    TRtfReadOptions options;
    options.AutoColor = background.lightness() < 128 ? QColor(Qt::white) : QColor(Qt::black);
    ReadRtf(rtf, *RichEdit2->document(), options);
    RichEdit2->moveCursor(QTextCursor::Start);
}

bool TSetupForm::WriteBack() {
    TSettings& s = Settings;
    SelectColorEntry(colorEntry_);  // the grid's last pick belongs to the entry being edited
    TRegistryBatch batch;
    // 1. The scan compares message recipients with the user's name while it counts.
    const std::string fullName = FromQt(Edit1->text());
    TAreaManager* manager = AreaManager();
    ChangeWhileScanWaits(manager ? &manager->Root() : nullptr, [&] { s.FullName = fullName; });
    s.VarFont = FromQt(FontComboBox1->currentFont().family());
    s.FixFont = FromQt(FontComboBox2->currentFont().family());
    s.VarSize = ChosenSize(ComboBox1, 10);
    s.FixSize = ChosenSize(ComboBox2, 10);
    TSetupFormBindings::Of(*this).Store(s);
    TosserPage->Store(s);
    s.AutoTypeTable = autoType_;
    s.ColorTable = colors_;
    // 2.
    std::string change1;
    std::string change2;
    ReplacementsToTemplates(replacements_, change1, change2);
    if (IsTemplateStoreOpen()) {
        WriteTemplate("change1", change1);
        WriteTemplate("change2", change2);
    }
    // 3.
    s.NetmailDef = netmailDef_;
    s.EchomailDef = echomailDef_;
    s.DosFont = ComboBox3->currentIndex() < 0 ? 0 : ComboBox3->currentIndex();
    const int netmail = Selected(ListBox6);
    s.NetmailArea =
        netmail >= 0 && netmail < static_cast<int>(netmailIds_.size()) ? netmailIds_[netmail] : std::string();
    // 4.
    const bool saved = SaveSettings();
    const bool committed = batch.Commit();
    // 5.
    if (Plugins()) {
        for (int i = 0; i < RxCheckListBox1->count() && i < static_cast<int>(pluginActive_.size()); ++i) {
            const bool checked = RxCheckListBox1->item(i)->checkState() == Qt::Checked;
            if (checked != pluginActive_[i]) Plugins()->SetActive(i, checked);
        }
    }
    return saved && committed;
}

bool RunSettingsDialog(QWidget* owner) {
    TSetupForm form(owner);
    if (const QScreen* screen = form.screen())
        form.move(screen->availableGeometry().center() - form.rect().center());
    if (form.exec() != QDialog::Accepted) return false;
    form.WriteBack();
    return true;
}

}  // namespace pelmar::ui
