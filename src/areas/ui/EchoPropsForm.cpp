#include "areas/ui/EchoPropsForm.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "areas/AreaEdits.h"
#include "areas/gizmo.h"
#include "core/Codepage.h"
#include "core/Settings.h"
#include "core/ui/MessageBox.h"
#include "core/ui/QtText.h"
#include "import/ui/FileChooser.h"
#include "platform/Registry.h"
#include "reader/MainWindowServices.h"
#include "core/ui/SlotGuard.h"

namespace pelmar::ui {

namespace {

constexpr int kFido = 1;
constexpr int kJam = 2;
constexpr int kHudson = 3;
constexpr int kSquish = 4;

QWidget* Page(const QString& caption, QWidget* field, QWidget* extra = nullptr,
              const QString& extraCaption = {}) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(caption, page));
    layout->addWidget(field);
    if (extra != nullptr) {
        layout->addWidget(new QLabel(extraCaption, page));
        layout->addWidget(extra);
    }
    layout->addStretch();
    return page;
}

// The own addresses, the stored one preselected (added when it is no longer among them).
void FillAkas(QComboBox* combo, const std::string& current, const QString& anyCaption = {}) {
    if (!anyCaption.isEmpty()) combo->addItem(anyCaption, QString());
    for (const std::string& aka : Settings.SelfAKA) combo->addItem(ToQt(aka), ToQt(aka));
    const int found = combo->findData(ToQt(current));
    if (found >= 0) {
        combo->setCurrentIndex(found);
    } else if (anyCaption.isEmpty() && !current.empty()) {
        combo->addItem(ToQt(current), ToQt(current));
        combo->setCurrentIndex(combo->count() - 1);
    } else {
        combo->setCurrentIndex(anyCaption.isEmpty() ? -1 : 0);
    }
}

std::string ChosenAka(const QComboBox* combo) {
    return combo->currentIndex() < 0 ? std::string() : FromQt(combo->currentData().toString());
}

// A base file typed or chosen with its extension stands for the base (name without extension).
std::string BaseOfField(const std::string& path, std::initializer_list<const char*> extensions) {
    const std::string base = BaseNameOfFile(path);
    if (base.size() == path.size()) return path;
    const std::string extension = path.substr(base.size());
    for (const char* known : extensions) {
        if (AnsiSameText(extension, known)) return base;
    }
    return path;
}

}  // namespace

std::string TEchoPropsForm::MemoryKey() {
    return "\\" + Settings.BaseKey + "\\AreaManager";
}

TEchoPropsForm::TEchoPropsForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
    setWindowTitle(QStringLiteral("Свойства конференции"));
    setModal(true);
    Pages = new QTabWidget(this);

    auto* general = new QWidget;
    auto* form = new QFormLayout(general);
    NameEdit = new QLineEdit(general);
    NameEdit->setReadOnly(true);
    DescriptionEdit = new QLineEdit(general);
    DescriptionEdit->setObjectName(QStringLiteral("DescriptionEdit"));
    MsgCountLabel = new QLabel(general);
    form->addRow(QStringLiteral("Имя: "), NameEdit);
    form->addRow(QStringLiteral("Описание:"), DescriptionEdit);
    form->addRow(QStringLiteral("Всего сообщений:"), MsgCountLabel);
    auto* kindBox = new QGroupBox(QStringLiteral("Тип"), general);
    auto* kindLayout = new QVBoxLayout(kindBox);
    KindGroup = new QButtonGroup(this);
    const QString kinds[] = {QStringLiteral("Папка"), QStringLiteral("FIDO (*.msg)"), QStringLiteral("JAM"),
                             QStringLiteral("Hudson"), QStringLiteral("Squish")};
    for (int i = 0; i < 5; ++i) {
        auto* radio = new QRadioButton(kinds[i], kindBox);
        KindGroup->addButton(radio, i);
        kindLayout->addWidget(radio);
    }
    form->addRow(kindBox);
    AreaNameEdit = new QLineEdit(general);
    AreaNameEdit->setObjectName(QStringLiteral("AreaNameEdit"));
    form->addRow(QStringLiteral("Название конференции:"), AreaNameEdit);
    AkaCombo = new QComboBox(general);
    AkaCombo->setObjectName(QStringLiteral("AkaCombo"));
    form->addRow(QStringLiteral("Использовать АКА:"), AkaCombo);
    NetmailCheck = new QCheckBox(QStringLiteral("Нетмейл"), general);
    NetmailCheck->setObjectName(QStringLiteral("NetmailCheck"));
    form->addRow(NetmailCheck);
    Pages->addTab(general, QStringLiteral("Общие"));

    FidoDir = new TFileChooser(TFileChooser::TMode::Directory, {});
    FidoDir->setObjectName(QStringLiteral("FidoDir"));
    JamFile =
        new TFileChooser(TFileChooser::TMode::ExistingFile, QStringLiteral("Файлы JAM-базы (*.jhr)|*.jhr"));
    JamFile->setObjectName(QStringLiteral("JamFile"));
    HudsonDir = new TFileChooser(TFileChooser::TMode::Directory, {});
    HudsonDir->setObjectName(QStringLiteral("HudsonDir"));
    HudsonBoardEdit = new QLineEdit(QStringLiteral("1"));
    HudsonBoardEdit->setObjectName(QStringLiteral("HudsonBoardEdit"));
    SquishFile = new TFileChooser(TFileChooser::TMode::ExistingFile,
                                  QStringLiteral("Файлы Squish-базы (*.sqd)|*.sqd"));
    SquishFile->setObjectName(QStringLiteral("SquishFile"));
    pageOfKind_[kFido] = Pages->addTab(
        Page(QStringLiteral("Укажите каталог, в котором находятся файлы конференции:"), FidoDir), "FIDO");
    pageOfKind_[kJam] =
        Pages->addTab(Page(QStringLiteral("Укажите главный файл JAM-базы (*.JHR):"), JamFile), "JAM");
    pageOfKind_[kHudson] =
        Pages->addTab(Page(QStringLiteral("Путь к Hudson-базе:"), HudsonDir, HudsonBoardEdit,
                           QStringLiteral("Номер конференции в базе (1-200):")),
                      "Hudson");
    pageOfKind_[kSquish] = Pages->addTab(
        Page(QStringLiteral("Укажите главный файл Squish-базы (*.SQD):"), SquishFile), "Squish");

    // A chosen base file names the base: the extension goes.
    for (TFileChooser* chooser : {JamFile, SquishFile}) {
        auto browse = chooser->Browse;
        chooser->Browse = [browse](const QString& current) {
            const QString chosen = browse ? browse(current) : QString();
            return chosen.isEmpty() ? chosen : QString::fromStdString(BaseNameOfFile(chosen.toStdString()));
        };
    }

    TRegistry reg;
    if (reg.OpenKey(MemoryKey(), false) && reg.GetDataType("HudsonPath") == RegDataType::rdString)
        HudsonDir->SetPath(reg.ReadString("HudsonPath"));

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Pages);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    ShowErrorBox = [this](const std::string& text) { ShowError(text, this); };
    GuardedConnect(KindGroup, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on) UpdatePages();
    });
    GuardedConnect(buttons, &QDialogButtonBox::accepted, this, [this] { OKButtonClick(); });
    GuardedConnect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    SetKind(0);
}

int TEchoPropsForm::Kind() const {
    return KindGroup->checkedId() < 0 ? 0 : KindGroup->checkedId();
}

void TEchoPropsForm::SetKind(int kind) {
    if (kind < 0 || kind > kSquish) kind = 0;
    KindGroup->button(kind)->setChecked(true);
    UpdatePages();
}

void TEchoPropsForm::UpdatePages() {
    const int kind = Kind();
    for (int k = kFido; k <= kSquish; ++k) Pages->setTabVisible(pageOfKind_[k], k == kind);
    NetmailCheck->setEnabled(kind != AreaKindFolder);
}

void TEchoPropsForm::LoadFrom(const TAreaInfo& entry) {
    NameEdit->setText(ToQt(entry.Name));
    DescriptionEdit->setText(ToQt(entry.Description));
    MsgCountLabel->setText(QString::number(entry.MsgCount.load()));
    AreaNameEdit->setText(ToQt(entry.AreaName));
    FillAkas(AkaCombo, entry.UseAKA);
    NetmailCheck->setChecked(entry.IsNetmail);
    switch (entry.Kind) {
        case kFido:
            FidoDir->SetPath(entry.Path);
            break;
        case kJam:
            JamFile->SetPath(entry.Path);
            break;
        case kHudson:
            if (const auto location = SplitHudsonPath(entry.Path)) {
                HudsonDir->SetPath(location->Directory);
                HudsonBoardEdit->setText(QString::number(location->Board));
            } else if (!entry.Path.empty()) {
                // A damaged board character: show the directory, leave the board for the user.
                HudsonDir->SetPath(entry.Path.substr(1));
                HudsonBoardEdit->clear();
            }
            break;
        case kSquish:
            SquishFile->SetPath(entry.Path);
            break;
        default:
            break;
    }
    SetKind(entry.Kind);
}

std::string TEchoPropsForm::ChosenPath(const std::string& previous) const {
    switch (Kind()) {
        case kFido:
            return FidoDir->Path();
        case kJam:
            return BaseOfField(JamFile->Path(), {".jhr", ".jdt", ".jdx", ".jlr"});
        case kHudson: {
            const auto board = ParseHudsonBoard(FromQt(HudsonBoardEdit->text()));
            return board ? HudsonAreaPath(*board, HudsonDir->Path()) : std::string();
        }
        case kSquish:
            return BaseOfField(SquishFile->Path(), {".sqd", ".sqi", ".sql"});
        default:
            return previous;
    }
}

bool TEchoPropsForm::ApplyTo(TAreaInfo& entry) {
    const int kind = Kind();
    if (kind == kHudson && !ParseHudsonBoard(FromQt(HudsonBoardEdit->text()))) return false;
    const std::string path = ChosenPath(entry.Path);
    // The main window lets go of the area before its base changes under it.
    TAreaInfo* listed = MainWindowServices().CurrentArea();
    const bool shown = listed != nullptr && (listed == &entry || listed->IsDescendantOf(&entry));
    if ((kind != entry.Kind || path != entry.Path) && shown && AreaTreeView() != nullptr)
        AreaTreeView()->ClearSelection();
    const std::string description = FromQt(DescriptionEdit->text());
    const std::string areaName = FromQt(AreaNameEdit->text());
    const std::string aka = ChosenAka(AkaCombo);
    const bool netmail = kind != AreaKindFolder && NetmailCheck->isChecked();
    entry.Change([&](TAreaInfo& e) {
        e.Description = description;
        e.AreaName = areaName;
        e.Kind = kind;
        e.Path = path;
        e.UseAKA = aka;
        e.IsNetmail = netmail;
    });
    if (kind == kHudson) {
        TRegistry reg;
        if (reg.OpenKey(MemoryKey(), true)) reg.WriteString("HudsonPath", HudsonDir->Path());
    }
    return true;
}

void TEchoPropsForm::OKButtonClick() {
    if (Kind() == kHudson && !ParseHudsonBoard(FromQt(HudsonBoardEdit->text()))) {
        if (ShowErrorBox) ShowErrorBox(Utf8ToAnsi("Номер конференции в базе должен быть от 1 до 200."));
        Pages->setCurrentIndex(pageOfKind_[kHudson]);
        HudsonBoardEdit->setFocus();
        return;
    }
    accept();
}

TImportFilterForm::TImportFilterForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
    setWindowTitle(QStringLiteral("Фильтр"));
    setModal(true);
    IncludeAkaCombo = new QComboBox(this);
    IncludeAkaCombo->setObjectName(QStringLiteral("IncludeAkaCombo"));
    IncludeMaskEdit = new QLineEdit(this);
    IncludeMaskEdit->setObjectName(QStringLiteral("IncludeMaskEdit"));
    ExcludeAkaCombo = new QComboBox(this);
    ExcludeAkaCombo->setObjectName(QStringLiteral("ExcludeAkaCombo"));
    ExcludeMaskEdit = new QLineEdit(this);
    auto* include = new QGroupBox(QStringLiteral("Импортировать область, ТОЛЬКО если:"), this);
    auto* includeForm = new QFormLayout(include);
    includeForm->addRow(QStringLiteral("используется АКА:"), IncludeAkaCombo);
    includeForm->addRow(QStringLiteral("и название области:"), IncludeMaskEdit);
    auto* exclude = new QGroupBox(QStringLiteral("НЕ импортировать область, если:"), this);
    auto* excludeForm = new QFormLayout(exclude);
    excludeForm->addRow(QStringLiteral("используется АКА:"), ExcludeAkaCombo);
    excludeForm->addRow(QStringLiteral("и название области:"), ExcludeMaskEdit);
    auto* help =
        new QLabel(QStringLiteral("В названиях можно использовать символы маски * и ?. Несколько масок "
                                  "разделяются знаком \";\", например: su.hardw.*;pvt.exch.*"),
                   this);
    help->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(include);
    layout->addWidget(exclude);
    layout->addWidget(help);
    layout->addWidget(buttons);
    setMinimumWidth(380);
    GuardedConnect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    GuardedConnect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void TImportFilterForm::LoadFrom(const TAreaInfo& group) {
    FillAkas(IncludeAkaCombo, group.AKAInclude, QStringLiteral("<любая>"));
    FillAkas(ExcludeAkaCombo, group.AKAExclude, QStringLiteral("<любая>"));
    IncludeMaskEdit->setText(ToQt(group.WildInclude));
    ExcludeMaskEdit->setText(ToQt(group.WildExclude));
}

void TImportFilterForm::ApplyTo(TAreaInfo& group) const {
    const std::string wildInclude = FromQt(IncludeMaskEdit->text());
    const std::string wildExclude = FromQt(ExcludeMaskEdit->text());
    const std::string akaInclude = ChosenAka(IncludeAkaCombo);
    const std::string akaExclude = ChosenAka(ExcludeAkaCombo);
    group.Change([&](TAreaInfo& g) {
        g.WildInclude = wildInclude;
        g.WildExclude = wildExclude;
        g.AKAInclude = akaInclude;
        g.AKAExclude = akaExclude;
    });
}

bool EditAreaProperties(TAreaInfo& entry, QWidget* parent) {
    TEchoPropsForm form(parent);
    form.LoadFrom(entry);
    if (form.exec() != QDialog::Accepted) return false;
    return form.ApplyTo(entry);
}

bool EditImportFilter(TAreaInfo& group, QWidget* parent) {
    TImportFilterForm form(parent);
    form.LoadFrom(group);
    if (form.exec() != QDialog::Accepted) return false;
    form.ApplyTo(group);
    if (!group.RefreshLinkedGroup())
        ShowError(Utf8ToAnsi("Не удалось прочитать файл конфигурации ") + group.Path, parent);
    return true;
}

}  // namespace pelmar::ui
