#include "nodelist/ui/AddressBookForm.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/TextUtils.h"
#include "core/ui/QtText.h"
#include "nodelist/AddressBook.h"
#include "nodelist/NodeList.h"
#include "nodelist/NodeSearch.h"
#include "nodelist/ui/ContactForm.h"
#include "nodelist/ui/NodeBrowser.h"
#include "core/ui/SlotGuard.h"

namespace pelmar::ui {

TAddressBookForm::TAddressBookForm(TAddressBook& book, TNodeList* list, TMode mode, QWidget* parent)
    : QDialog(parent), book_(book), list_(list), mode_(mode) {
    setWindowTitle(QStringLiteral("Адресная книга"));
    ListView1 = new QTreeWidget(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setColumnCount(3);
    ListView1->setHeaderLabels({QStringLiteral("Имя"), QStringLiteral("Адрес"), QStringLiteral("Заметки")});
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->header()->setSectionsClickable(false);
    ListView1->setColumnWidth(0, 150);
    ListView1->setColumnWidth(1, 150);
    ListView1->setColumnWidth(2, 100);
    AddButton = new QPushButton(QStringLiteral("Добавить"), this);
    AddButton->setObjectName(QStringLiteral("AddButton"));
    EditButton = new QPushButton(QStringLiteral("Изменить"), this);
    DeleteButton = new QPushButton(QStringLiteral("Удалить"), this);
    DeleteButton->setObjectName(QStringLiteral("DeleteButton"));
    NodesButton = new QPushButton(QStringLiteral("Список узлов"), this);
    NodesButton->setObjectName(QStringLiteral("NodesButton"));
    NodesButton->setEnabled(list_ != nullptr);
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    CloseButton = new QPushButton(QStringLiteral("Закрыть"), this);
    CloseButton->setObjectName(QStringLiteral("CloseButton"));

    auto* side = new QVBoxLayout;
    side->addWidget(AddButton);
    side->addWidget(EditButton);
    side->addWidget(DeleteButton);
    side->addSpacing(12);
    side->addWidget(NodesButton);
    side->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(ListView1, 1);
    top->addLayout(side);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(OKButton);
    bottom->addWidget(CloseButton);
    // Managing only: no OK, and "Закрыть" in the middle.
    if (mode_ == TMode::Manager) {
        OKButton->hide();
        bottom->addStretch();
    } else {
        OKButton->setDefault(true);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(bottom);
    resize(560, 360);

    GuardedConnect(ListView1, &QTreeWidget::itemSelectionChanged, this, [this] { UpdateButtons(); });
    GuardedConnect(ListView1, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (OKButton->isVisibleTo(this) && OKButton->isEnabled()) OKButtonClick();
    });
    GuardedConnect(AddButton, &QPushButton::clicked, this, [this] { AddButtonClick(); });
    GuardedConnect(EditButton, &QPushButton::clicked, this, [this] { EditButtonClick(); });
    GuardedConnect(DeleteButton, &QPushButton::clicked, this, [this] { DeleteButtonClick(); });
    GuardedConnect(NodesButton, &QPushButton::clicked, this, [this] { NodesButtonClick(); });
    GuardedConnect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(); });
    GuardedConnect(CloseButton, &QPushButton::clicked, this, &QDialog::reject);
    FillRows();
}

int TAddressBookForm::SelectedRow() const {
    const auto* item = ListView1->currentItem();
    if (item == nullptr || !item->isSelected()) return -1;
    return ListView1->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(item));
}

void TAddressBookForm::FillRows() {
    const int selected = SelectedRow();
    ListView1->clear();
    for (int i = 0; i < book_.Count(); ++i) {
        auto* item = new QTreeWidgetItem(ListView1);
        item->setText(0, ToQt(book_.Name(i)));
        item->setText(1, ToQt(JoinList(book_.Addresses(i))));
        item->setText(2, ToQt(book_.Notes(i)));
    }
    if (selected >= 0 && selected < book_.Count())
        ListView1->setCurrentItem(ListView1->topLevelItem(selected));
    UpdateButtons();
}

void TAddressBookForm::AddButtonClick() {
    TContactForm form(list_, this);
    if (form.exec() != QDialog::Accepted) return;
    const int index = StoreContact(book_, form.Draft(), -1);
    FillRows();
    ListView1->setCurrentItem(ListView1->topLevelItem(index));
}

void TAddressBookForm::EditButtonClick() {
    const int row = SelectedRow();
    if (row < 0) return;
    TContactForm form(list_, this);
    form.SetDraft(DraftOf(book_, row));
    if (form.exec() != QDialog::Accepted) return;
    StoreContact(book_, form.Draft(), row);
    FillRows();
}

void TAddressBookForm::DeleteButtonClick() {
    const int row = SelectedRow();
    if (row < 0) return;
    book_.Delete(row);
    delete ListView1->takeTopLevelItem(row);
    UpdateButtons();
}

void TAddressBookForm::NodesButtonClick() {
    if (list_ == nullptr) return;
    TNodeBrowser browser(*list_, book_, this);
    if (SendLetter) {
        browser.SendLetter = [this, &browser](const std::string& toName, const std::string& address) {
            letter_.emplace(toName, address);
            browser.accept();
        };
        browser.UpdateButtons();
    }
    browser.exec();
    FillRows();  // the browser may have added people
    if (letter_) reject();
}

void TAddressBookForm::OKButtonClick() {
    const int row = SelectedRow();
    if (row < 0) return;
    result_ = row;
    accept();
}

void TAddressBookForm::UpdateButtons() {
    const bool selected = SelectedRow() >= 0;
    EditButton->setEnabled(selected);
    DeleteButton->setEnabled(selected);
    OKButton->setEnabled(selected);
}

}  // namespace pelmar::ui
