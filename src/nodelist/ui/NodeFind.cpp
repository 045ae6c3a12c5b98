#include "nodelist/ui/NodeFind.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/Address.h"
#include "core/ui/QtText.h"
#include "core/ui/SlotGuard.h"

namespace pelmar::ui {

TNodeFind::TNodeFind(const std::string& namePart, const std::string& mask, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Поиск узла/человека"));
    NameEdit = new QLineEdit(ToQt(namePart), this);
    AddressEdit = new QLineEdit(ToQt(mask), this);
    AddressEdit->setObjectName(QStringLiteral("AddressEdit"));
    NameEdit->setMinimumWidth(240);
    SearchButton = new QPushButton(QStringLiteral("Поиск"), this);
    SearchButton->setObjectName(QStringLiteral("SearchButton"));
    SearchButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Отмена"), this);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Имя человека:"), NameEdit);
    form->addRow(QStringLiteral("Адрес узла:"), AddressEdit);
    auto* note = new QLabel(QStringLiteral("вы можете использовать \"*\" в адресе"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(SearchButton);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    GuardedConnect(AddressEdit, &QLineEdit::textChanged, this, [this] { UpdateButtons(); });
    GuardedConnect(SearchButton, &QPushButton::clicked, this, &QDialog::accept);
    GuardedConnect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    UpdateButtons();
}

std::string TNodeFind::NamePart() const {
    return FromQt(NameEdit->text());
}

std::string TNodeFind::AddressMask() const {
    return FromQt(AddressEdit->text());
}

void TNodeFind::UpdateButtons() {
    const std::string mask = AddressMask();
    SearchButton->setEnabled(mask.empty() || IsValidAddressMask(mask));
}

}  // namespace pelmar::ui
