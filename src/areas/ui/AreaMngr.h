#pragma once
// The area manager window ("Эхоконференции"): the tree of folders, areas and linked groups on the
// left, the children of the chosen entry on the right.
#include <QDialog>
#include <QTreeWidget>
#include <QWidget>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

class QAction;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QPushButton;
class QSplitter;
class QToolBar;

namespace pelmar {
class TAreaInfo;
}

namespace pelmar::ui {

class TAreaMngr;

// The tree accepts the list's items dropped on a node.
class TAreaMngrTree : public QTreeWidget {
    Q_OBJECT

public:
    TAreaMngrTree(TAreaMngr* owner, QWidget* parent);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    TAreaMngr* owner_;
};

class TAreaMngr : public QWidget {
    Q_OBJECT

public:
    // Works on `root` (the area manager's root entry).
    explicit TAreaMngr(TAreaInfo& root, QWidget* parent = nullptr);
    ~TAreaMngr() override;

private:
    // The tree is part of this window: it accepts drops from the list.
    friend class TAreaMngrTree;
    TAreaMngrTree* Tree;
    QListWidget* List;
    QSplitter* Splitter;
    QToolBar* ToolBar;
    QAction* UpAction;
    QAction* CreateAction;
    QAction* DeleteAction;
    QAction* PropertiesAction;
    QAction* ImportAction;
    QAction* FilterAction;
    QMenu* ImportMenu;

public:
    TAreaInfo* CurrentFolder = nullptr;

    // Rebuilds this window's tree from the model and selects the top node.
    void BuildTree();
    // Makes the entry's node current (the list shows its children).
    void SelectFolder(TAreaInfo* entry);
    void UpdateActions();

    // The commands.
    void GoUp();
    TAreaInfo* CreateFolder();
    void DeleteSelected();
    void ShowProperties();
    TAreaInfo* AddLinkedGroup(int linkKind);
    void ShowFilter();
    // The selected list entries in list order.
    std::vector<TAreaInfo*> SelectedEntries() const;
    // Drops the selected list entries on the entry (a node of this tree).
    void DropOn(TAreaInfo* target);

    // Called after every change of the tree's shape or captions; the main window rebuilds its tree.
    std::function<void()> TreeChanged;
    // Replaceable for tests: running the dialogs of an ordinary entry, a linked group, a filter.
    std::function<bool(TAreaInfo&)> RunProperties;
    std::function<bool(TAreaInfo&)> RunLinkedGroup;
    std::function<bool(TAreaInfo&)> RunFilter;

    static std::string LayoutKey();

protected:
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QTreeWidgetItem* AddTreeNode(QTreeWidgetItem* parent, TAreaInfo& entry);
    void AddTreeChildren(QTreeWidgetItem* node, TAreaInfo& entry);
    QListWidgetItem* AddListItem(TAreaInfo& entry);
    void FillList();
    void ItemRenamed(QListWidgetItem* item);
    void NotifyChanged();
    // This window's node of the entry, or null.
    QTreeWidgetItem* NodeOf(const TAreaInfo& entry) const;
    void ForgetNodes(TAreaInfo& entry);
    void SaveLayout();
    void LoadLayout();

    TAreaInfo& root_;
    bool filling_ = false;
    // The tree's nodes by area ID.
    std::unordered_map<std::string, QTreeWidgetItem*> nodes_;
};

// The single area manager window of the running program, created on first use and shown again
// later; closing only hides it.
TAreaMngr* ShowAreaManager(QWidget* parent);  // null without an area manager

// The area selection dialog of the editor ("Послать сообщение").
class TAreaPostForm : public QDialog {
    Q_OBJECT

public:
    explicit TAreaPostForm(TAreaInfo& root, QWidget* parent = nullptr);

private:
    QListWidget* TargetList;
    QPushButton* AddButton;
    QPushButton* RemoveButton;
    QPushButton* OKButton;

public:
    void SetTargets(const std::vector<TAreaInfo*>& targets);
    // Makes the entry's node of the area list current; false when the list does not show it.
    bool SelectInTree(const TAreaInfo& entry);
    std::vector<TAreaInfo*> Targets() const;
    void UpdateButtons();
    void AddSelected();
    void RemoveSelected();

private:
    TAreaInfo* SelectedTreeEntry() const;
    QTreeWidget* AreaTree;
    // The area list's nodes by area ID.
    std::unordered_map<std::string, QTreeWidgetItem*> nodes_;
};

}  // namespace pelmar::ui
