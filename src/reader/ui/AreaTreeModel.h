#pragma once
// The area tree of the main window as a Qt item model over the area manager's shown tree.
//
// Each node refers to its area; the model finds the node of an area in its own map, which loses an
// area's entry when its node goes (DeleteNode comes before every deletion of an area, see
// DeleteEntry). Captions and marks come from TAreaMarks and are pushed in by the window.
#include <QAbstractItemModel>
#include <memory>
#include <unordered_map>
#include <vector>

namespace pelmar {
class TAreaInfo;
struct TAreaMark;
}  // namespace pelmar

namespace pelmar::ui {

class TAreaTreeModel : public QAbstractItemModel {
    Q_OBJECT

public:
    enum Roles {
        OverlayRole = Qt::UserRole + 1,  // int, OverlayNone..OverlayNoBase
        PersonalRole,                    // bool: blue text
        AreaRole,                        // TAreaInfo* as quintptr
    };

    explicit TAreaTreeModel(QObject* parent = nullptr);
    ~TAreaTreeModel() override;

    // Replaces every node by the shown children of `root`, recursively, without linked groups.
    void Build(TAreaInfo& root);
    // Removes every node.
    void Clear();
    // Adds a node for `entry` under its shown parent's node (top level when the parent has none).
    void AddNode(TAreaInfo& entry);
    // Removes entry's node with everything below it.
    void DeleteNode(TAreaInfo& entry);
    // New caption and marks of an area that has a node.
    void SetMark(TAreaInfo& area, const TAreaMark& mark);

    bool HasNode(const TAreaInfo* area) const { return nodes_.count(area) != 0; }
    // How many areas have a node.
    size_t NodeCount() const { return nodes_.size(); }
    QModelIndex IndexOf(const TAreaInfo* area) const;
    static TAreaInfo* AreaAt(const QModelIndex& index);

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    struct TNode;
    TNode* NodeOf(const QModelIndex& index) const;
    TNode* NodeOfArea(const TAreaInfo* area) const;
    QModelIndex IndexOfNode(const TNode* node) const;
    void AddSubtree(TNode& parent, TAreaInfo& area);
    void Unlink(TNode& node);

    std::unique_ptr<TNode> root_;
    std::unordered_map<const TAreaInfo*, TNode*> nodes_;
};

}  // namespace pelmar::ui
