#include "reader/ui/AreaTreeModel.h"

#include <QIcon>
#include <algorithm>
#include <vector>

#include "areas/AreaTreeRows.h"
#include "areas/gizmo.h"
#include "core/ui/QtText.h"
#include "reader/AreaMarks.h"
#include "reader/ui/Icons.h"

namespace pelmar::ui {

struct TAreaTreeModel::TNode {
    TAreaInfo* Area = nullptr;
    TNode* Parent = nullptr;
    std::vector<std::unique_ptr<TNode>> Children;
    QString Caption;
    int Overlay = OverlayNone;
    bool Personal = false;

    int Row() const {
        if (Parent == nullptr) return 0;
        const auto& siblings = Parent->Children;
        for (size_t i = 0; i < siblings.size(); ++i) {
            if (siblings[i].get() == this) return static_cast<int>(i);
        }
        return 0;
    }
};

TAreaTreeModel::TAreaTreeModel(QObject* parent)
    : QAbstractItemModel(parent), root_(std::make_unique<TNode>()) {}

TAreaTreeModel::~TAreaTreeModel() = default;

void TAreaTreeModel::Unlink(TNode& node) {
    // Iterative: area trees are shallow, but nothing here relies on it.
    std::vector<TNode*> stack{&node};
    while (!stack.empty()) {
        TNode* n = stack.back();
        stack.pop_back();
        if (n->Area != nullptr) {
            const auto it = nodes_.find(n->Area);
            if (it != nodes_.end() && it->second == n) nodes_.erase(it);
        }
        for (auto& child : n->Children) stack.push_back(child.get());
    }
}

void TAreaTreeModel::Clear() {
    beginResetModel();
    nodes_.clear();
    root_->Children.clear();
    endResetModel();
}

void TAreaTreeModel::AddSubtree(TNode& parent, TAreaInfo& area) {
    const std::vector<TAreaTreeRow> rows = AreaTreeRows(area, TAreaTreeKind::Reading);
    std::vector<TNode*> made;
    made.reserve(rows.size());
    for (const TAreaTreeRow& row : rows) {
        TNode* above = row.Parent < 0 ? &parent : made[static_cast<size_t>(row.Parent)];
        auto node = std::make_unique<TNode>();
        node->Area = row.Entry;
        node->Parent = above;
        node->Caption = ToQt(row.Entry->Name);
        nodes_[row.Entry] = node.get();
        made.push_back(node.get());
        above->Children.push_back(std::move(node));
    }
}

void TAreaTreeModel::Build(TAreaInfo& root) {
    beginResetModel();
    nodes_.clear();
    root_->Children.clear();
    AddSubtree(*root_, root);
    endResetModel();
}

TAreaTreeModel::TNode* TAreaTreeModel::NodeOfArea(const TAreaInfo* area) const {
    const auto it = nodes_.find(area);
    return it == nodes_.end() ? nullptr : it->second;
}

void TAreaTreeModel::AddNode(TAreaInfo& entry) {
    if (HasNode(&entry)) return;
    TNode* parent = NodeOfArea(entry.ShownParent());
    if (parent == nullptr) parent = root_.get();
    const QModelIndex parentIndex = IndexOfNode(parent);
    const int row = static_cast<int>(parent->Children.size());
    beginInsertRows(parentIndex, row, row);
    auto node = std::make_unique<TNode>();
    node->Area = &entry;
    node->Parent = parent;
    node->Caption = ToQt(entry.Name);
    nodes_[&entry] = node.get();
    TNode* added = node.get();
    parent->Children.push_back(std::move(node));
    // The entry's own shown children come with it (a linked group's folders).
    AddSubtree(*added, entry);
    endInsertRows();
}

void TAreaTreeModel::DeleteNode(TAreaInfo& entry) {
    TNode* node = NodeOfArea(&entry);
    if (node == nullptr || node->Parent == nullptr) return;
    TNode* parent = node->Parent;
    const int row = node->Row();
    beginRemoveRows(IndexOfNode(parent), row, row);
    Unlink(*node);
    parent->Children.erase(parent->Children.begin() + row);
    endRemoveRows();
}

void TAreaTreeModel::SetMark(TAreaInfo& area, const TAreaMark& mark) {
    TNode* node = NodeOfArea(&area);
    if (node == nullptr) return;
    const QString caption = ToQt(mark.Caption);
    if (node->Caption == caption && node->Overlay == mark.Overlay && node->Personal == mark.HasPersonal)
        return;
    node->Caption = caption;
    node->Overlay = mark.Overlay;
    node->Personal = mark.HasPersonal;
    const QModelIndex index = IndexOfNode(node);
    emit dataChanged(index, index);
}

QModelIndex TAreaTreeModel::IndexOf(const TAreaInfo* area) const {
    TNode* node = NodeOfArea(area);
    return node == nullptr ? QModelIndex() : IndexOfNode(node);
}

TAreaInfo* TAreaTreeModel::AreaAt(const QModelIndex& index) {
    if (!index.isValid()) return nullptr;
    return reinterpret_cast<TAreaInfo*>(index.data(AreaRole).value<quintptr>());
}

TAreaTreeModel::TNode* TAreaTreeModel::NodeOf(const QModelIndex& index) const {
    if (!index.isValid()) return root_.get();
    return static_cast<TNode*>(index.internalPointer());
}

QModelIndex TAreaTreeModel::IndexOfNode(const TNode* node) const {
    if (node == nullptr || node == root_.get() || node->Parent == nullptr) return {};
    return createIndex(node->Row(), 0, const_cast<TNode*>(node));
}

QModelIndex TAreaTreeModel::index(int row, int column, const QModelIndex& parent) const {
    const TNode* p = NodeOf(parent);
    if (column != 0 || row < 0 || row >= static_cast<int>(p->Children.size())) return {};
    return createIndex(row, 0, p->Children[static_cast<size_t>(row)].get());
}

QModelIndex TAreaTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid()) return {};
    return IndexOfNode(NodeOf(child)->Parent);
}

int TAreaTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0) return 0;
    return static_cast<int>(NodeOf(parent)->Children.size());
}

int TAreaTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant TAreaTreeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const TNode* node = NodeOf(index);
    switch (role) {
        case Qt::DisplayRole:
            return node->Caption;
        case Qt::DecorationRole:
            return AreaTreeIcon(node->Area != nullptr && node->Area->Kind != AreaKindFolder);
        case Qt::StatusTipRole:
            return node->Area != nullptr ? ToQt(TAreaMarks::HintText(*node->Area)) : QString();
        case OverlayRole:
            return node->Overlay;
        case PersonalRole:
            return node->Personal;
        case AreaRole:
            return QVariant::fromValue(reinterpret_cast<quintptr>(node->Area));
        default:
            return {};
    }
}

Qt::ItemFlags TAreaTreeModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

}  // namespace pelmar::ui
