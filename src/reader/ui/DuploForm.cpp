#include "reader/ui/DuploForm.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/ui/QtText.h"
#include "core/ui/SlotGuard.h"

namespace pelmar::ui {

TDuploForm::TDuploForm(const QString& from, const QString& to, const QString& subject,
                       std::vector<TContact> contacts, QWidget* parent)
    : QDialog(parent), contacts_(std::move(contacts)) {
    setObjectName(QStringLiteral("DuploForm"));
    setWindowTitle(QStringLiteral("Размножить письмо"));
    auto* layout = new QVBoxLayout(this);
    auto* letter = new QGroupBox(QStringLiteral("Письмо "), this);
    auto* letterLayout = new QVBoxLayout(letter);
    // Caption and value stand apart like columns.
    for (const QString& line : {QStringLiteral("От: \t") + from, QStringLiteral("Кому: \t") + to,
                                QStringLiteral("Тема: \t") + subject}) {
        auto* label = new QLabel(
            line.section(QLatin1Char('\t'), 0, 0) + QStringLiteral("  ") + line.section(QLatin1Char('\t'), 1),
            letter);
        label->setTextFormat(Qt::PlainText);
        letterLayout->addWidget(label);
    }
    layout->addWidget(letter);

    auto* also = new QGroupBox(QStringLiteral("послать также:"), this);
    auto* alsoLayout = new QVBoxLayout(also);
    ListView1 = new QTreeWidget(also);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setRootIsDecorated(false);
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setHeaderLabels({QStringLiteral("Имя"), QStringLiteral("Адрес"), QStringLiteral("Заметки")});
    ListView1->header()->resizeSection(0, 200);
    ListView1->header()->resizeSection(1, 100);
    ListView1->header()->resizeSection(2, 150);
    for (const TContact& contact : contacts_) {
        QStringList addresses;
        for (const std::string& address : contact.Addresses) addresses << ToQt(address);
        ListView1->addTopLevelItem(new QTreeWidgetItem(
            QStringList{ToQt(contact.Name), addresses.join(QStringLiteral(", ")), ToQt(contact.Notes)}));
    }
    alsoLayout->addWidget(ListView1);
    layout->addWidget(also, 1);

    auto* buttons = new QDialogButtonBox(this);
    SendButton = buttons->addButton(QStringLiteral("Послать"), QDialogButtonBox::AcceptRole);
    SendButton->setDefault(true);
    buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    SendButton->setEnabled(false);
    GuardedConnect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    GuardedConnect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    GuardedConnect(ListView1, &QTreeWidget::itemSelectionChanged, this,
            [this] { SendButton->setEnabled(!ListView1->selectedItems().isEmpty()); });
    resize(520, 400);
}

std::vector<TContact> TDuploForm::Chosen() const {
    std::vector<TContact> chosen;
    for (int i = 0; i < ListView1->topLevelItemCount(); ++i)
        if (ListView1->topLevelItem(i)->isSelected()) chosen.push_back(contacts_[static_cast<size_t>(i)]);
    return chosen;
}

}  // namespace pelmar::ui
