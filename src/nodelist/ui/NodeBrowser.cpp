#include "nodelist/ui/NodeBrowser.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

#include "core/ui/FitContents.h"
#include "core/ui/MessageBox.h"
#include "core/ui/QtText.h"
#include "nodelist/ui/ContactForm.h"
#include "nodelist/ui/NodeFind.h"
#include "core/ui/SlotGuard.h"

namespace pelmar::ui {

namespace {

const char* const kColumnTitles[TNodeRows::kColumns] = {"Адрес",   "Имя",          "Станция", "Место",
                                                        "Телефон", "Время работы", "Файл"};
const int kColumnWidths[TNodeRows::kColumns] = {100, 200, 120, 100, 100, 100, 70};

}  // namespace

TNodeTableModel::TNodeTableModel(TNodeList& list, int hourOffset, QObject* parent)
    : QAbstractTableModel(parent), list_(list), rows_(list, hourOffset) {}

int TNodeTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : list_.RecordCount();
}

int TNodeTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : TNodeRows::kColumns;
}

std::string TNodeTableModel::Text(int row, int column) const {
    if (rows_.Cached(row) == nullptr) {
        // The view asks for the rows it paints from top to bottom: read a screenful from here on.
        rows_.Fill(row, row + kPage - 1);
    }
    return rows_.Text(row, column);
}

QVariant TNodeTableModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    return ToQt(Text(index.row(), index.column()));
}

QVariant TNodeTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
        section >= TNodeRows::kColumns)
        return {};
    return QString::fromUtf8(kColumnTitles[section]);
}

TNodeBrowser::TNodeBrowser(TNodeList& list, TAddressBook& book, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowCloseButtonHint | Qt::WindowTitleHint), list_(list), book_(book) {
    setWindowTitle(QStringLiteral("Список узлов"));
    setSizeGripEnabled(true);
    QuickSearchEdit = new QLineEdit(this);
    QuickSearchEdit->setObjectName(QStringLiteral("QuickSearchEdit"));
    Model = new TNodeTableModel(list_, TNodeRows::LocalHourOffset(), this);
    ListView1 = new QTableView(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setModel(Model);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setShowGrid(false);
    ListView1->setWordWrap(false);
    ListView1->setSortingEnabled(false);
    ListView1->horizontalHeader()->setSectionsClickable(false);
    ListView1->horizontalHeader()->setHighlightSections(false);
    ListView1->verticalHeader()->hide();
    // Every row has the same height: the view then never measures rows it does not show.
    ListView1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    ListView1->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    for (int c = 0; c < TNodeRows::kColumns; ++c) ListView1->setColumnWidth(c, kColumnWidths[c]);
    // The rows are read only when shown, so typical texts decide these widths: a long city name, a
    // long international phone number; the list file's path takes what the window has left.
    ListView1->setColumnWidth(
        3, std::max(kColumnWidths[3], TextWidth(ListView1, QStringLiteral("Saint Petersburg"))));
    ListView1->setColumnWidth(
        4, std::max(kColumnWidths[4], TextWidth(ListView1, QStringLiteral("7-3452-123-456-789"))));
    ListView1->setColumnWidth(
        6, std::max(kColumnWidths[6], TextWidth(ListView1, QStringLiteral("/fido/NODELIST.339"))));
    ListView1->horizontalHeader()->setStretchLastSection(true);

    FindButton = new QPushButton(QStringLiteral("Найти человека"), this);
    FindNextButton = new QPushButton(QStringLiteral("Искать дальше"), this);
    FindNextButton->setObjectName(QStringLiteral("FindNextButton"));
    AddToBookButton = new QPushButton(QStringLiteral("Добавить в адресную книгу"), this);
    AddToBookButton->setObjectName(QStringLiteral("AddToBookButton"));
    SendButton = new QPushButton(QStringLiteral("Послать письмо"), this);
    SendButton->setObjectName(QStringLiteral("SendButton"));
    CloseButton = new QPushButton(QStringLiteral("Закрыть"), this);

    auto* search = new QHBoxLayout;
    search->addWidget(new QLabel(QStringLiteral("Быстрый поиск по имени:"), this));
    search->addWidget(QuickSearchEdit, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(FindButton);
    buttons->addWidget(FindNextButton);
    buttons->addWidget(AddToBookButton);
    buttons->addWidget(SendButton);
    buttons->addStretch();
    buttons->addWidget(CloseButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(search);
    layout->addWidget(ListView1, 1);
    layout->addLayout(buttons);
    resize(960, 520);

    GuardedConnect(QuickSearchEdit, &QLineEdit::textChanged, this,
            [this](const QString& t) { QuickSearchChange(t); });
    GuardedConnect(ListView1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { UpdateButtons(); });
    GuardedConnect(FindButton, &QPushButton::clicked, this, [this] { FindButtonClick(); });
    GuardedConnect(FindNextButton, &QPushButton::clicked, this, [this] { FindNextButtonClick(); });
    GuardedConnect(AddToBookButton, &QPushButton::clicked, this, [this] { AddToBookButtonClick(); });
    GuardedConnect(SendButton, &QPushButton::clicked, this, [this] { SendButtonClick(); });
    GuardedConnect(CloseButton, &QPushButton::clicked, this, &QDialog::reject);
    UpdateButtons();
}

int TNodeBrowser::SelectedRow() const {
    const auto rows = ListView1->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TNodeBrowser::SelectRow(int row) {
    if (row < 0 || row >= Model->rowCount()) {
        ListView1->clearSelection();
        ListView1->selectionModel()->setCurrentIndex({}, QItemSelectionModel::NoUpdate);
    } else {
        const QModelIndex index = Model->index(row, 0);
        ListView1->selectionModel()->setCurrentIndex(
            index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        ListView1->scrollTo(index, QAbstractItemView::PositionAtCenter);
    }
    UpdateButtons();
}

void TNodeBrowser::QuickSearchChange(const QString& text) {
    try {
        SelectRow(list_.FirstIndexForPrefix(FromQt(text)));
    } catch (const std::exception& e) {
        ShowError(e.what(), this);
    }
}

void TNodeBrowser::FindButtonClick() {
    TNodeFind find(search_.NamePart, search_.AddressMask, this);
    if (find.exec() != QDialog::Accepted) return;
    Search(find.NamePart(), find.AddressMask());
}

void TNodeBrowser::Search(const std::string& namePart, const std::string& mask) {
    SelectRow(search_.Start(list_, namePart, mask));
}

void TNodeBrowser::FindNextButtonClick() {
    SelectRow(search_.Step(list_));
}

void TNodeBrowser::AddToBookButtonClick() {
    const int row = SelectedRow();
    if (row < 0) return;
    const std::string name = Model->Text(row, 1);
    const int known = book_.IndexOf(name);
    TContactForm form(&list_, this);
    form.SetDraft(PresetFromNode(list_, book_, name, Model->Text(row, 2)));
    if (form.exec() != QDialog::Accepted) return;
    StoreContact(book_, form.Draft(), known);
}

void TNodeBrowser::SendButtonClick() {
    const int row = SelectedRow();
    if (row < 0 || !SendLetter) return;
    SendLetter(Model->Text(row, 1), Model->Text(row, 0));
}

void TNodeBrowser::UpdateButtons() {
    const bool selected = SelectedRow() >= 0;
    AddToBookButton->setEnabled(selected);
    SendButton->setEnabled(selected && static_cast<bool>(SendLetter));
    FindNextButton->setEnabled(search_.SearchFound);
}

}  // namespace pelmar::ui
