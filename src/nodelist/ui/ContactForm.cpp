#include "nodelist/ui/ContactForm.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/ui/QtText.h"
#include "nodelist/NodeList.h"
#include "core/ui/SlotGuard.h"

namespace pelmar::ui {

TContactForm::TContactForm(TNodeList* list, QWidget* parent) : QDialog(parent), list_(list) {
    setWindowTitle(QStringLiteral("Адресная книга"));
    NameEdit = new QLineEdit(this);
    NameEdit->setObjectName(QStringLiteral("NameEdit"));
    AddressEdit = new QLineEdit(this);
    AddressEdit->setObjectName(QStringLiteral("AddressEdit"));
    AddressList = new QListWidget(this);
    AddressList->setMinimumHeight(100);
    AddButton = new QPushButton(QStringLiteral("Добавить"), this);
    AddButton->setObjectName(QStringLiteral("AddButton"));
    DeleteButton = new QPushButton(QStringLiteral("Удалить"), this);
    FindButton = new QPushButton(QStringLiteral("..."), this);
    FindButton->setToolTip(QStringLiteral("Поиск человека по списку узлов"));
    FindButton->setFixedWidth(FindButton->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 24);
    FindButton->setEnabled(list_ != nullptr);
    NotesEdit = new QLineEdit(this);
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Отмена"), this);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Имя:"), this), 0, 0);
    grid->addWidget(NameEdit, 0, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Адреса:"), this), 1, 0, Qt::AlignTop);
    auto* input = new QHBoxLayout;
    input->addWidget(AddressEdit);
    input->addWidget(FindButton);
    grid->addLayout(input, 1, 1);
    grid->addWidget(AddButton, 1, 2);
    grid->addWidget(AddressList, 2, 1);
    grid->addWidget(DeleteButton, 2, 2, Qt::AlignTop);
    grid->addWidget(new QLabel(QStringLiteral("Заметки:"), this), 3, 0);
    grid->addWidget(NotesEdit, 3, 1, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    setMinimumWidth(380);

    GuardedConnect(NameEdit, &QLineEdit::textChanged, this, [this] { UpdateButtons(); });
    GuardedConnect(AddressEdit, &QLineEdit::textChanged, this, [this] { UpdateButtons(); });
    GuardedConnect(AddressList, &QListWidget::currentRowChanged, this, [this] { UpdateButtons(); });
    GuardedConnect(AddButton, &QPushButton::clicked, this, [this] { AddButtonClick(); });
    GuardedConnect(DeleteButton, &QPushButton::clicked, this, [this] {
        delete AddressList->takeItem(AddressList->currentRow());
        UpdateButtons();
    });
    GuardedConnect(FindButton, &QPushButton::clicked, this, [this] { FindButtonClick(); });
    GuardedConnect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(); });
    GuardedConnect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    UpdateButtons();
}

void TContactForm::SetDraft(const TContactDraft& draft) {
    NameEdit->setText(ToQt(draft.Name));
    AddressList->clear();
    for (const auto& address : draft.Addresses) AddressList->addItem(ToQt(address));
    NotesEdit->setText(ToQt(draft.Notes));
    UpdateButtons();
}

TContactDraft TContactForm::Draft() const {
    return {FromQt(NameEdit->text()), Addresses(), FromQt(NotesEdit->text())};
}

std::vector<std::string> TContactForm::Addresses() const {
    std::vector<std::string> addresses;
    for (int i = 0; i < AddressList->count(); ++i) addresses.push_back(FromQt(AddressList->item(i)->text()));
    return addresses;
}

void TContactForm::AddButtonClick() {
    const std::string text = FromQt(AddressEdit->text());
    if (!CanAddAddress(Addresses(), text)) return;
    AddressList->addItem(ToQt(text));
    AddressEdit->clear();
    UpdateButtons();
}

void TContactForm::FindButtonClick() {
    if (list_ == nullptr) return;
    std::vector<std::string> found;
    list_->FindAddressesByName(FromQt(NameEdit->text()), found);
    AddressList->clear();
    for (const auto& address : found) AddressList->addItem(ToQt(address));
    UpdateButtons();
}

void TContactForm::OKButtonClick() {
    if (NameEdit->text().isEmpty()) return;
    AddButtonClick();  // a typed address counts even without "Добавить"
    accept();
}

void TContactForm::UpdateButtons() {
    AddButton->setEnabled(CanAddAddress(Addresses(), FromQt(AddressEdit->text())));
    DeleteButton->setEnabled(AddressList->currentRow() >= 0);
    OKButton->setEnabled(!NameEdit->text().isEmpty());
}

}  // namespace pelmar::ui
