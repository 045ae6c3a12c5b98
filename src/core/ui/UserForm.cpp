#include "core/ui/UserForm.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/Codepage.h"
#include "core/Settings.h"
#include "core/ui/MessageBox.h"
#include "core/ui/QtText.h"
#include "settings/UserAdmin.h"
#include "core/ui/SlotGuard.h"

namespace pelmar::ui {

namespace {
QLineEdit* PasswordEdit(QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setEchoMode(QLineEdit::Password);
    edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    return edit;
}
}  // namespace

TUserForm::TUserForm(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
    setWindowTitle(QStringLiteral("Пользователь"));
    setModal(true);
    NameLabel = new QLabel(QStringLiteral("Имя пользователя:"), this);
    NameEdit = new QLineEdit(this);
    NameEdit->setObjectName(QStringLiteral("NameEdit"));
    NameEdit->setMinimumWidth(240);
    UsePasswordCheck = new QCheckBox(QStringLiteral("Использовать пароль"), this);
    UsePasswordCheck->setObjectName(QStringLiteral("UsePasswordCheck"));
    IsAdminCheck = new QCheckBox(QStringLiteral("Права администратора"), this);
    PasswordGroup = new QGroupBox(QStringLiteral("Пароль"), this);
    PasswordGroup->setObjectName(QStringLiteral("PasswordGroup"));
    PasswordLabel1 = new QLabel(QStringLiteral("Введите пароль:"), PasswordGroup);
    PasswordLabel2 = new QLabel(QStringLiteral("Еще раз для \nпроверки:"), PasswordGroup);
    PasswordEdit1 = PasswordEdit(PasswordGroup);
    PasswordEdit1->setObjectName(QStringLiteral("PasswordEdit1"));
    PasswordEdit2 = PasswordEdit(PasswordGroup);
    PasswordEdit2->setObjectName(QStringLiteral("PasswordEdit2"));
    auto* passwords = new QFormLayout(PasswordGroup);
    passwords->addRow(PasswordLabel1, PasswordEdit1);
    passwords->addRow(PasswordLabel2, PasswordEdit2);
    OwnFolderCheck = new QCheckBox(QStringLiteral("У пользователя свой рабочий каталог"), this);
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Отмена"), this);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(NameLabel);
    layout->addWidget(NameEdit);
    layout->addWidget(UsePasswordCheck);
    layout->addWidget(IsAdminCheck);
    layout->addWidget(PasswordGroup);
    layout->addWidget(OwnFolderCheck);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    ShowInfoBox = [this](const std::string& text) { ShowInfo(text, this); };
    GuardedConnect(NameEdit, &QLineEdit::textChanged, this, [this] { UpdateControls(); });
    GuardedConnect(UsePasswordCheck, &QCheckBox::toggled, this, [this] { UpdateControls(); });
    GuardedConnect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(); });
    GuardedConnect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    UpdateControls();
}

void TUserForm::SetEditing(const std::string& name) {
    NameEdit->setText(ToQt(name));
    NameEdit->setReadOnly(true);
    NameEdit->setEnabled(false);
    OwnFolderCheck->hide();
    UpdateControls();
}

void TUserForm::UpdateControls() {
    const std::string name = FromQt(NameEdit->text());
    // An existing profile is shown read-only and was valid when it was made.
    OKButton->setEnabled(NameEdit->isReadOnly() ? !name.empty() : IsAcceptableProfileName(name));
    const bool password = UsePasswordCheck->isChecked();
    PasswordGroup->setEnabled(password);
    PasswordLabel1->setEnabled(password);
    PasswordLabel2->setEnabled(password);
}

void TUserForm::showEvent(QShowEvent* event) {
    UpdateControls();
    QDialog::showEvent(event);
}

void TUserForm::OKButtonClick() {
    if (!OKButton->isEnabled()) return;
    if (UsePasswordCheck->isChecked() && PasswordEdit1->text() != PasswordEdit2->text()) {
        if (ShowInfoBox) ShowInfoBox(Utf8ToAnsi("Введенные пароли не совпадают!"));
        return;
    }
    accept();
}

std::string TUserForm::UserName() const {
    return FromQt(NameEdit->text());
}

bool TUserForm::OwnFolder() const {
    return OwnFolderCheck->isChecked();
}

void TUserForm::SetOwnFolder(bool own) {
    OwnFolderCheck->setChecked(own);
}

void TUserForm::ShowValues(const TProfileValues& values) {
    UsePasswordCheck->setChecked(values.UsePassword);
    IsAdminCheck->setChecked(values.IsAdmin);
    if (values.HasMagic) {
        PasswordEdit1->setText(ToQt(values.Magic));
        PasswordEdit2->setText(ToQt(values.Magic));
    }
    UpdateControls();
}

void TUserForm::TakeValues(TProfileValues& values) const {
    values.UsePassword = UsePasswordCheck->isChecked();
    values.IsAdmin = IsAdminCheck->isChecked();
    values.Magic = FromQt(PasswordEdit1->text());
}

TUsersForm::TUsersForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Пользователи"));
    setModal(true);
    UserList = new QListWidget(this);
    UserList->setObjectName(QStringLiteral("UserList"));
    AddButton = new QPushButton(QStringLiteral("Добавить"), this);
    EditButton = new QPushButton(QStringLiteral("Изменить"), this);
    EditButton->setObjectName(QStringLiteral("EditButton"));
    DeleteButton = new QPushButton(QStringLiteral("Удалить"), this);
    CloseButton = new QPushButton(QStringLiteral("Закрыть"), this);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(AddButton);
    buttons->addWidget(EditButton);
    buttons->addWidget(DeleteButton);
    buttons->addStretch();
    buttons->addWidget(CloseButton);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(UserList, 1);
    layout->addLayout(buttons);
    resize(360, 260);

    RunUserForm = [](TUserForm& form) { return form.exec(); };
    ShowInfoBox = [this](const std::string& text) { ShowInfo(text, this); };
    ShowErrorBox = [this](const std::string& text) { ShowError(text, this); };
    AskYesNoBox = [this](const std::string& text) { return AskYesNo(text, this); };
    GuardedConnect(UserList, &QListWidget::itemSelectionChanged, this, [this] { UpdateButtons(); });
    GuardedConnect(UserList, &QListWidget::itemDoubleClicked, this, [this] { EditButtonClick(); });
    GuardedConnect(AddButton, &QPushButton::clicked, this, [this] { AddButtonClick(); });
    GuardedConnect(EditButton, &QPushButton::clicked, this, [this] { EditButtonClick(); });
    GuardedConnect(DeleteButton, &QPushButton::clicked, this, [this] { DeleteButtonClick(); });
    GuardedConnect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
    FillList();
}

void TUsersForm::FillList() {
    UserList->clear();
    for (const std::string& name : ListProfiles()) UserList->addItem(ToQt(name));
    UpdateButtons();
}

void TUsersForm::showEvent(QShowEvent* event) {
    FillList();
    QDialog::showEvent(event);
}

void TUsersForm::UpdateButtons() {
    const bool selected = UserList->currentItem() != nullptr && UserList->currentItem()->isSelected();
    EditButton->setEnabled(selected);
    DeleteButton->setEnabled(selected);
}

void TUsersForm::AddButtonClick() {
    TUserForm form(this);
    form.SetOwnFolder(true);
    if (RunUserForm(form) != QDialog::Accepted) return;
    const std::string name = form.UserName();
    std::vector<std::string> existing;
    for (int i = 0; i < UserList->count(); ++i) existing.push_back(FromQt(UserList->item(i)->text()));
    // The store may hold profiles made since the list was read.
    for (const std::string& stored : ListProfiles()) existing.push_back(stored);
    switch (CheckNewProfileName(name, existing)) {
        case TProfileNameCheck::Ok:
            break;
        case TProfileNameCheck::Exists:
            ShowInfoBox(Utf8ToAnsi("Такой пользователь уже существует!"));
            return;
        case TProfileNameCheck::Invalid:
            return;
    }
    UserList->addItem(ToQt(name));
    const bool ownFolder = form.OwnFolder();
    TProfileValues values;
    form.TakeValues(values);
    values.DataFolder = ownFolder ? ProfileFolder(Settings.ProgramFolder, name) : Settings.DataFolder;
    if (!WriteProfile(name, values, true)) return;  // the store has reported it
    if (ownFolder && !CreateProfileFolder(Settings.ProgramFolder, name))
        ShowErrorBox(Utf8ToAnsi("Не удалось создать каталог ") + Utf8ToAnsi(values.DataFolder));
}

void TUsersForm::EditButtonClick() {
    QListWidgetItem* item = UserList->currentItem();
    if (item == nullptr) return;
    const std::string name = FromQt(item->text());
    const TProfileValues stored = ReadProfile(name);
    TUserForm form(this);
    form.SetEditing(name);
    form.ShowValues(stored);
    if (RunUserForm(form) != QDialog::Accepted) return;
    TProfileValues values = stored;
    form.TakeValues(values);
    WriteProfile(name, values, false);
}

void TUsersForm::DeleteButtonClick() {
    QListWidgetItem* item = UserList->currentItem();
    if (item == nullptr) return;
    const std::string name = FromQt(item->text());
    if (!AskYesNoBox(Utf8ToAnsi("Вы действительно хотите удалить пользователя ") + name + "?")) return;
    delete UserList->takeItem(UserList->row(item));
    const TDeleteResult result = DeleteProfile(name, Settings.ProgramFolder);
    if (result.FolderRefused)
        ShowErrorBox(Utf8ToAnsi("Каталог пользователя не удален: это не обычный каталог в рабочей папке."));
    UpdateButtons();
}

void RunUsersDialog(QWidget* parent) {
    TUsersForm form(parent);
    form.exec();
}

}  // namespace pelmar::ui
