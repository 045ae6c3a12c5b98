#include "editor/ui/FlagsForm.h"
#include "core/ui/FitContents.h"
#include "core/ui/SlotGuard.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace pelmar::ui {

TFlagsForm::TFlagsForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8("Флаги"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QString::fromUtf8("Укажите флаги письма:"), this));
    CheckList = new QListWidget(this);
    for (const char* item :
         {"Письмо было написано здесь (Local)", "Удалить после посылки (KillSent)",
          "Письмо уже послано (Sent)", "Письмо с атрибутом Crash", "Письмо с атрибутом Direct",
          "Письмо должно быть прочитано (RqRcpt)", "Путь письма будет прослежен (RqAudit)",
          "Это подтверждение о прочтении (RetRcpt)", "Файл прицеплен (FileAttach)"}) {
        auto* row = new QListWidgetItem(QString::fromUtf8(item), CheckList);
        row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
        row->setCheckState(Qt::Unchecked);
    }
    // Every flag's whole caption, without scrolling.
    FitViewToContents(CheckList, CheckList->count());
    layout->addWidget(CheckList);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(QString::fromUtf8("Отмена"));
    GuardedConnect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    GuardedConnect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void TFlagsForm::SetAttributes(uint16_t attributes) {
    for (int bit = 0; bit < CheckList->count(); ++bit)
        CheckList->item(bit)->setCheckState((attributes >> bit) & 1 ? Qt::Checked : Qt::Unchecked);
}

uint16_t TFlagsForm::Attributes() const {
    uint16_t word = 0;
    for (int bit = 0; bit < CheckList->count(); ++bit)
        if (CheckList->item(bit)->checkState() == Qt::Checked) word |= static_cast<uint16_t>(1u << bit);
    return word;
}

bool EditAttributes(uint16_t& attributes, QWidget* parent) {
    TFlagsForm form(parent);
    form.SetAttributes(attributes);
    if (form.exec() != QDialog::Accepted) return false;
    attributes = form.Attributes();
    return true;
}

}  // namespace pelmar::ui
