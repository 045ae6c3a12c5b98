#include "reader/ui/SearchForm.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include "areas/AreaTreeRows.h"
#include "areas/gizmo.h"
#include "reader/ui/AreaChooserTree.h"
#include "core/ui/QtText.h"
#include "core/ui/SlotGuard.h"

namespace pelmar::ui {

TSearchForm::TSearchForm(TAreaInfo& root, std::unordered_set<std::string>& marked, QWidget* parent)
    : QDialog(parent), marked_(marked) {
    setObjectName(QStringLiteral("SearchForm"));
    setWindowTitle(QStringLiteral("Поиск"));
    auto* layout = new QVBoxLayout(this);

    auto* find = new QGroupBox(QStringLiteral("Поиск"), this);
    auto* findLayout = new QVBoxLayout(find);
    findLayout->addWidget(new QLabel(QStringLiteral("Образец:"), find));
    Edit1 = new QLineEdit(find);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    findLayout->addWidget(Edit1);
    CheckBox1 = new QCheckBox(QStringLiteral("Учитывать регистр"), find);
    CheckBox2 = new QCheckBox(QStringLiteral("Искать в тексте письма"), find);
    findLayout->addWidget(CheckBox1);
    findLayout->addWidget(CheckBox2);
    layout->addWidget(find);

    auto* areas = new QGroupBox(QStringLiteral("Области"), this);
    auto* areasLayout = new QVBoxLayout(areas);
    areasLayout->addWidget(new QLabel(QStringLiteral("Пометьте щелчком мыши области для поиска:"), areas));
    AreaTree = new TAreaChooserTree(areas);
    AreaTree->setObjectName(QStringLiteral("AreaTree"));
    AreaTree->Fill(root, QStringLiteral("Все"));
    areasLayout->addWidget(AreaTree);
    layout->addWidget(areas, 1);

    auto* buttons = new QDialogButtonBox(this);
    SearchButton = buttons->addButton(QStringLiteral("Поиск"), QDialogButtonBox::AcceptRole);
    SearchButton->setObjectName(QStringLiteral("SearchButton"));
    SearchButton->setDefault(true);
    buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    GuardedConnect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    GuardedConnect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    SearchButton->setEnabled(false);
    GuardedConnect(Edit1, &QLineEdit::textChanged, this,
            [this](const QString& text) { SearchButton->setEnabled(!text.isEmpty()); });
    GuardedConnect(AreaTree, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int) {
        if (!updating_) ToggleMark(item);
    });
    ShowMarks();
    resize(420, 480);
}

void TSearchForm::SetQuery(const std::string& text, bool caseSensitive, bool inText) {
    Edit1->setText(ToQt(text));
    CheckBox1->setChecked(caseSensitive);
    CheckBox2->setChecked(inText);
}

std::string TSearchForm::Text() const {
    return FromQt(Edit1->text());
}

bool TSearchForm::CaseSensitive() const {
    return CheckBox1->isChecked();
}

bool TSearchForm::InText() const {
    return CheckBox2->isChecked();
}

void TSearchForm::ToggleMark(QTreeWidgetItem* item) {
    TAreaInfo* area = TAreaChooserTree::AreaOf(item);
    if (area == nullptr) return;
    const bool mark = marked_.count(area->ID) == 0;
    // The item and every row below it in the tree; linked groups keep their areas unmarked.
    const auto apply = [this, mark](const TAreaInfo& entry) {
        if (mark)
            marked_.insert(entry.ID);
        else
            marked_.erase(entry.ID);
    };
    if (area->Zilo == ZiloOrdinary) {
        apply(*area);
        for (const TAreaTreeRow& row : AreaTreeRows(*area, TAreaTreeKind::Reading)) apply(*row.Entry);
    }
    ShowMarks();
}

void TSearchForm::ShowMarks() {
    updating_ = true;
    for (QTreeWidgetItemIterator it(AreaTree); *it != nullptr; ++it) {
        const TAreaInfo* area = TAreaChooserTree::AreaOf(*it);
        (*it)->setCheckState(0,
                             area != nullptr && marked_.count(area->ID) != 0 ? Qt::Checked : Qt::Unchecked);
    }
    updating_ = false;
}

}  // namespace pelmar::ui
