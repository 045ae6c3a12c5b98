#include "reader/ui/AreaChooserTree.h"

#include <QHeaderView>
#include <vector>

#include "areas/AreaTitles.h"
#include "areas/AreaTreeRows.h"
#include "areas/gizmo.h"
#include "core/ui/QtText.h"
#include "reader/ui/Icons.h"

namespace pelmar::ui {

namespace {
constexpr int kAreaRole = Qt::UserRole + 1;
}

TAreaChooserTree::TAreaChooserTree(QWidget* parent) : QTreeWidget(parent) {
    setObjectName(QStringLiteral("AreaTree"));
    setHeaderHidden(true);
    setColumnCount(1);
}

void TAreaChooserTree::Fill(TAreaInfo& root, const QString& allCaption) {
    clear();
    if (allCaption.isEmpty()) {
        AddChildren(invisibleRootItem(), root);
    } else {
        auto* all = new QTreeWidgetItem(this, QStringList(allCaption));
        all->setData(0, kAreaRole, QVariant::fromValue(static_cast<void*>(&root)));
        all->setIcon(0, AreaTreeIcon(false));
        AddChildren(all, root);
    }
    expandAll();
}

void TAreaChooserTree::AddChildren(QTreeWidgetItem* parent, TAreaInfo& area) {
    std::vector<QTreeWidgetItem*> made;
    const std::vector<TAreaTreeRow> rows = AreaTreeRows(area, TAreaTreeKind::Reading);
    // Two linked groups may both hold a NETMAIL: their group tells them apart.
    const std::vector<std::string> captions = AreaRowCaptions(rows);
    for (size_t i = 0; i < rows.size(); ++i) {
        const TAreaTreeRow& row = rows[i];
        QTreeWidgetItem* above = row.Parent < 0 ? parent : made[static_cast<size_t>(row.Parent)];
        auto* item = new QTreeWidgetItem(above, QStringList(ToQt(captions[i])));
        item->setData(0, kAreaRole, QVariant::fromValue(static_cast<void*>(row.Entry)));
        item->setIcon(0, AreaTreeIcon(row.Entry->Kind != AreaKindFolder));
        made.push_back(item);
    }
}

TAreaInfo* TAreaChooserTree::AreaOf(const QTreeWidgetItem* item) {
    return item == nullptr ? nullptr : static_cast<TAreaInfo*>(item->data(0, kAreaRole).value<void*>());
}

QTreeWidgetItem* TAreaChooserTree::ItemOf(const TAreaInfo* area) const {
    for (QTreeWidgetItemIterator it(const_cast<TAreaChooserTree*>(this)); *it != nullptr; ++it)
        if (AreaOf(*it) == area) return *it;
    return nullptr;
}

}  // namespace pelmar::ui
