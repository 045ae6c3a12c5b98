#include "areas/ui/AreaMngr.h"

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "areas/AreaEdits.h"
#include "areas/AreaLifetime.h"
#include "areas/AreaTreeRows.h"
#include "areas/gizmo.h"
#include "areas/ui/EchoPropsForm.h"
#include "core/Codepage.h"
#include "core/Settings.h"
#include "core/ui/FitContents.h"
#include "core/ui/MessageBox.h"
#include "core/ui/QtText.h"
#include "core/ui/SlotGuard.h"
#include "import/ui/LinkedGroupDialog.h"
#include "platform/Registry.h"
#include "reader/MainWindowServices.h"

namespace pelmar::ui {

namespace {

constexpr int kIdRole = Qt::UserRole;

// Items keep the entry's ID, not its address: a linked group's refresh frees its areas, and a stale
// item must find nothing rather than freed memory.
TAreaInfo* EntryOf(const QVariant& id) {
    const QString text = id.toString();
    return text.isEmpty() ? nullptr : AreaRegistry().FindAreaById(text.toStdString());
}

QIcon ListIcon(const TAreaInfo& entry) {
    if (entry.Zilo == ZiloLinkedGroup) return QIcon::fromTheme(QStringLiteral("emblem-symbolic-link"));
    if (entry.Kind == AreaKindFolder) return QIcon::fromTheme(QStringLiteral("folder"));
    return QIcon::fromTheme(QStringLiteral("mail-folder-inbox"),
                            QIcon::fromTheme(QStringLiteral("text-x-generic")));
}

}  // namespace

// ---- tree ----------------------------------------------------------------------------------------

TAreaMngrTree::TAreaMngrTree(TAreaMngr* owner, QWidget* parent) : QTreeWidget(parent), owner_(owner) {
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DropOnly);
}

void TAreaMngrTree::dragEnterEvent(QDragEnterEvent* event) {
    if (event->source() == owner_->List)
        event->acceptProposedAction();
    else
        event->ignore();
}

void TAreaMngrTree::dragMoveEvent(QDragMoveEvent* event) {
    QTreeWidgetItem* item = itemAt(event->position().toPoint());
    TAreaInfo* target = item ? EntryOf(item->data(0, kIdRole)) : nullptr;
    if (event->source() == owner_->List && target != nullptr && target != owner_->CurrentFolder)
        event->acceptProposedAction();
    else
        event->ignore();
}

void TAreaMngrTree::dropEvent(QDropEvent* event) {
    QTreeWidgetItem* item = itemAt(event->position().toPoint());
    TAreaInfo* target = item ? EntryOf(item->data(0, kIdRole)) : nullptr;
    event->ignore();  // the list's items are moved by hand, never copied by the view
    if (event->source() == owner_->List && target != nullptr) owner_->DropOn(target);
}

// ---- window --------------------------------------------------------------------------------------

TAreaMngr::TAreaMngr(TAreaInfo& root, QWidget* parent) : QWidget(parent, Qt::Tool), root_(root) {
    setWindowTitle(QStringLiteral("Эхоконференции"));
    ToolBar = new QToolBar(this);
    ToolBar->setObjectName(QStringLiteral("ToolBar"));
    UpAction =
        ToolBar->addAction(QIcon::fromTheme(QStringLiteral("go-up")), QStringLiteral("На уровень выше"));
    UpAction->setObjectName(QStringLiteral("UpAction"));
    CreateAction =
        ToolBar->addAction(QIcon::fromTheme(QStringLiteral("folder-new")), QStringLiteral("Создать"));
    CreateAction->setObjectName(QStringLiteral("CreateAction"));
    DeleteAction =
        ToolBar->addAction(QIcon::fromTheme(QStringLiteral("edit-delete")), QStringLiteral("Удалить"));
    DeleteAction->setObjectName(QStringLiteral("DeleteAction"));
    PropertiesAction = ToolBar->addAction(QIcon::fromTheme(QStringLiteral("document-properties")),
                                          QStringLiteral("Свойства"));
    PropertiesAction->setObjectName(QStringLiteral("PropertiesAction"));
    ImportMenu = new QMenu(this);
    ImportMenu->setObjectName(QStringLiteral("ImportMenu"));
    const QString importCaptions[] = {
        QStringLiteral("FastEcho 1.46+ (FASTECHO.CFG)"), QStringLiteral("Squish 1.11+ (SQUISH.CFG)"),
        QStringLiteral("T-Mail (T-MAIL.CTL)"),           QStringLiteral("Универсальный (AREAS.BBS)"),
        QStringLiteral("husky / hpt (fidoconfig)"),      QStringLiteral("CrashMail (crashmail.prefs)")};
    const int importKinds[] = {LinkKindFastEcho, LinkKindSquish,     LinkKindTMail,
                               LinkKindAreasBbs, LinkKindFidoConfig, LinkKindCrashMail};
    // Menu order as the user knows it: FastEcho, Squish, AREAS.BBS, T-Mail, then the Linux tossers.
    for (int i : {0, 1, 3, 2, 4, 5}) {
        const int kind = importKinds[i];
        GuardedConnect(ImportMenu->addAction(importCaptions[i]), &QAction::triggered, this,
                [this, kind] { AddLinkedGroup(kind); });
    }
    ImportAction = ToolBar->addAction(QIcon::fromTheme(QStringLiteral("document-import")),
                                      QStringLiteral("Импорт конфигурации"));
    ImportAction->setObjectName(QStringLiteral("ImportAction"));
    ImportAction->setMenu(ImportMenu);
    if (auto* button = qobject_cast<QToolButton*>(ToolBar->widgetForAction(ImportAction)))
        button->setPopupMode(QToolButton::InstantPopup);
    FilterAction =
        ToolBar->addAction(QIcon::fromTheme(QStringLiteral("view-filter")), QStringLiteral("Фильтр"));
    FilterAction->setObjectName(QStringLiteral("FilterAction"));
    FilterAction->setToolTip(QStringLiteral("Фильтр"));
    FilterAction->setStatusTip(
        QStringLiteral("Позволяет указать, какие именно области будут добавлены при автоимпорте"));
    for (QAction* action : {UpAction, CreateAction, DeleteAction, PropertiesAction})
        action->setToolTip(action->text());
    ImportAction->setToolTip(QStringLiteral("Импорт конфигурации"));
    if (!Settings.TBBack) ToolBar->setStyleSheet(QStringLiteral("QToolBar { background: none; }"));

    Tree = new TAreaMngrTree(this, this);
    Tree->setObjectName(QStringLiteral("Tree"));
    Tree->setHeaderHidden(true);
    List = new QListWidget(this);
    List->setObjectName(QStringLiteral("List"));
    List->setSelectionMode(QAbstractItemView::ExtendedSelection);
    List->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    List->setDragEnabled(true);
    List->setDragDropMode(QAbstractItemView::DragOnly);
    List->setContextMenuPolicy(Qt::ActionsContextMenu);
    List->addAction(CreateAction);
    List->addAction(DeleteAction);
    List->addAction(PropertiesAction);
    auto* importItem = new QAction(QStringLiteral("Импорт"), List);
    importItem->setMenu(ImportMenu);
    List->addAction(importItem);
    List->addAction(FilterAction);
    Splitter = new QSplitter(Qt::Horizontal, this);
    Splitter->setObjectName(QStringLiteral("Splitter"));
    Splitter->addWidget(Tree);
    Splitter->addWidget(List);
    Splitter->setStretchFactor(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(ToolBar);
    layout->addWidget(Splitter, 1);
    resize(600, 400);

    RunProperties = [this](TAreaInfo& entry) { return EditAreaProperties(entry, this); };
    RunLinkedGroup = [this](TAreaInfo& group) { return EditLinkedGroup(group, this) == 1; };
    RunFilter = [this](TAreaInfo& group) { return EditImportFilter(group, this); };

    GuardedConnect(UpAction, &QAction::triggered, this, [this] { GoUp(); });
    GuardedConnect(CreateAction, &QAction::triggered, this, [this] { CreateFolder(); });
    GuardedConnect(DeleteAction, &QAction::triggered, this, [this] { DeleteSelected(); });
    GuardedConnect(PropertiesAction, &QAction::triggered, this, [this] { ShowProperties(); });
    GuardedConnect(FilterAction, &QAction::triggered, this, [this] { ShowFilter(); });
    GuardedConnect(Tree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item != nullptr) SelectFolder(EntryOf(item->data(0, kIdRole)));
    });
    GuardedConnect(List, &QListWidget::itemSelectionChanged, this, [this] { UpdateActions(); });
    GuardedConnect(List, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) { ItemRenamed(item); });
    GuardedConnect(List, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        TAreaInfo* entry = EntryOf(item->data(kIdRole));
        if (entry != nullptr && entry->Kind == AreaKindFolder && entry->Zilo == ZiloOrdinary)
            SelectFolder(entry);
        else
            ShowProperties();
    });
    LoadLayout();
    BuildTree();
}

TAreaMngr::~TAreaMngr() = default;

std::string TAreaMngr::LayoutKey() {
    return "\\" + Settings.BaseKey + "\\AreaManager";
}

void TAreaMngr::SaveLayout() {
    TRegistry reg;
    if (!reg.OpenKey(LayoutKey(), true)) return;
    reg.WriteBinaryData("Placement", saveGeometry().toStdString());
    reg.WriteBinaryData("Splitter", Splitter->saveState().toStdString());
}

void TAreaMngr::LoadLayout() {
    TRegistry reg;
    if (!reg.OpenKey(LayoutKey(), false)) return;
    try {
        if (reg.GetDataType("Placement") == RegDataType::rdBinary)
            restoreGeometry(QByteArray::fromStdString(reg.ReadBinaryData("Placement")));
        if (reg.GetDataType("Splitter") == RegDataType::rdBinary)
            Splitter->restoreState(QByteArray::fromStdString(reg.ReadBinaryData("Splitter")));
    } catch (const ERegistryError&) {
    }
}

void TAreaMngr::showEvent(QShowEvent* event) {
    // The tree may have changed while hidden (import wizard, linked-group refresh on load).
    BuildTree();
    QWidget::showEvent(event);
}

void TAreaMngr::hideEvent(QHideEvent* event) {
    // Keep what was built here even if the program does not end normally. A failed save is told,
    // unless the settings store told it just now.
    Guarded(
        [this] {
            TRegistryStore& store = TRegistryStore::Instance();
            const uint64_t reported = store.ReportCount();
            SaveLayout();
            TAreaManager* manager = AreaManager();
            if (manager == nullptr || &manager->Root() != &root_) return;
            if (manager->SaveAreas() || store.ReportCount() != reported) return;
            ShowError(FromQt(QStringLiteral("Список областей не сохранён: ")) + store.LastError(), this);
        },
        this);
    QWidget::hideEvent(event);
}

QTreeWidgetItem* TAreaMngr::AddTreeNode(QTreeWidgetItem* parent, TAreaInfo& entry) {
    auto* node = new QTreeWidgetItem(parent, QStringList(ToQt(entry.Name)));
    node->setData(0, kIdRole, QString::fromStdString(entry.ID));
    node->setIcon(0, QIcon::fromTheme(entry.Zilo == ZiloLinkedGroup ? QStringLiteral("emblem-symbolic-link")
                                                                    : QStringLiteral("folder")));
    nodes_[entry.ID] = node;
    return node;
}

void TAreaMngr::AddTreeChildren(QTreeWidgetItem* node, TAreaInfo& entry) {
    std::vector<QTreeWidgetItem*> made;
    for (const TAreaTreeRow& row : AreaTreeRows(entry, TAreaTreeKind::Manager))
        made.push_back(
            AddTreeNode(row.Parent < 0 ? node : made[static_cast<size_t>(row.Parent)], *row.Entry));
}

QTreeWidgetItem* TAreaMngr::NodeOf(const TAreaInfo& entry) const {
    const auto it = nodes_.find(entry.ID);
    return it == nodes_.end() ? nullptr : it->second;
}

void TAreaMngr::ForgetNodes(TAreaInfo& entry) {
    nodes_.erase(entry.ID);
    for (TAreaInfo* e = entry.NextInTree(); e != nullptr && e->IsDescendantOf(&entry); e = e->NextInTree())
        nodes_.erase(e->ID);
}

void TAreaMngr::BuildTree() {
    const std::string current = CurrentFolder ? CurrentFolder->ID : std::string();
    nodes_.clear();
    Tree->blockSignals(true);
    Tree->clear();
    auto* top = new QTreeWidgetItem(Tree, QStringList(QStringLiteral("Все конференции")));
    top->setData(0, kIdRole, QString::fromStdString(root_.ID));
    top->setIcon(0, QIcon::fromTheme(QStringLiteral("folder-open")));
    nodes_[root_.ID] = top;
    AddTreeChildren(top, root_);
    top->setExpanded(true);
    Tree->blockSignals(false);
    // The shown folders' whole names, never cut by the splitter's first position.
    FitViewToContents(Tree);
    TAreaInfo* keep = current.empty() ? nullptr : AreaRegistry().FindAreaById(current);
    if (keep == nullptr || (keep != &root_ && !keep->IsDescendantOf(&root_)))
        keep = CurrentFolder ? &root_ : nullptr;
    CurrentFolder = nullptr;
    if (keep != nullptr)
        SelectFolder(keep);
    else {
        FillList();
        UpdateActions();
    }
}

void TAreaMngr::SelectFolder(TAreaInfo* entry) {
    CurrentFolder = entry;
    if (QTreeWidgetItem* node = entry != nullptr ? NodeOf(*entry) : nullptr) {
        if (Tree->currentItem() != node) {
            Tree->blockSignals(true);
            Tree->setCurrentItem(node);
            Tree->blockSignals(false);
        }
    }
    FillList();
    UpdateActions();
}

QListWidgetItem* TAreaMngr::AddListItem(TAreaInfo& entry) {
    auto* item = new QListWidgetItem(ListIcon(entry), ToQt(entry.Name), List);
    item->setData(kIdRole, QString::fromStdString(entry.ID));
    item->setFlags(item->flags() | Qt::ItemIsEditable | Qt::ItemIsDragEnabled);
    return item;
}

void TAreaMngr::FillList() {
    filling_ = true;
    List->clear();
    if (CurrentFolder != nullptr) {
        for (int i = 0; i < CurrentFolder->ChildCount(); ++i) AddListItem(*CurrentFolder->Child(i));
    }
    filling_ = false;
}

void TAreaMngr::UpdateActions() {
    const bool folder = CurrentFolder != nullptr && CurrentFolder->Zilo != ZiloLinkedGroup;
    const std::vector<TAreaInfo*> selected = SelectedEntries();
    UpAction->setEnabled(CurrentFolder != nullptr && CurrentFolder->Parent() != nullptr);
    CreateAction->setEnabled(folder);
    DeleteAction->setEnabled(folder && !selected.empty());
    PropertiesAction->setEnabled(!selected.empty());
    ImportAction->setEnabled(folder);
    FilterAction->setEnabled(selected.size() == 1 && selected.front()->Zilo == ZiloLinkedGroup);
}

std::vector<TAreaInfo*> TAreaMngr::SelectedEntries() const {
    const QList<QListWidgetItem*> selected = List->selectedItems();
    if (selected.size() == 1) {
        TAreaInfo* entry = EntryOf(selected.front()->data(kIdRole));
        return entry != nullptr ? std::vector<TAreaInfo*>{entry} : std::vector<TAreaInfo*>{};
    }
    std::vector<std::pair<int, TAreaInfo*>> rows;
    if (!selected.isEmpty()) {
        // The list shows the folder's children: they are found by ID through one map of them rather
        // than by a walk of the whole registry, under its lock, per selected item. An item the folder
        // no longer holds (moved, freed by a refresh) is looked up the long way.
        std::unordered_map<std::string, TAreaInfo*> children;
        if (CurrentFolder != nullptr) {
            children.reserve(static_cast<size_t>(CurrentFolder->ChildCount()));
            for (int i = 0; i < CurrentFolder->ChildCount(); ++i) {
                TAreaInfo* child = CurrentFolder->Child(i);
                children.emplace(child->ID, child);
            }
        }
        for (QListWidgetItem* item : selected) {
            const std::string id = item->data(kIdRole).toString().toStdString();
            const auto it = children.find(id);
            TAreaInfo* entry = it != children.end() ? it->second : EntryOf(item->data(kIdRole));
            if (entry != nullptr) rows.emplace_back(List->row(item), entry);
        }
    }
    // In list order, as the items stand.
    std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<TAreaInfo*> entries;
    entries.reserve(rows.size());
    for (const auto& row : rows) entries.push_back(row.second);
    return entries;
}

void TAreaMngr::NotifyChanged() {
    if (TreeChanged) TreeChanged();
}

void TAreaMngr::GoUp() {
    if (CurrentFolder != nullptr && CurrentFolder->Parent() != nullptr) SelectFolder(CurrentFolder->Parent());
}

TAreaInfo* TAreaMngr::CreateFolder() {
    if (CurrentFolder == nullptr || CurrentFolder->Zilo == ZiloLinkedGroup) return nullptr;
    TAreaFields fields;
    // Siblings become registry keys, so a second "-----" would merge with the first at save.
    fields.Name = UniqueChildName(*CurrentFolder, "-----");
    TAreaInfo* entry = CurrentFolder->AddChild(fields);
    if (QTreeWidgetItem* parentNode = NodeOf(*CurrentFolder)) {
        AddTreeNode(parentNode, *entry);
        parentNode->setExpanded(true);
    }
    filling_ = true;
    QListWidgetItem* item = AddListItem(*entry);
    filling_ = false;
    NotifyChanged();
    List->clearSelection();
    List->setCurrentItem(item);
    if (isVisible()) List->editItem(item);
    return entry;
}

void TAreaMngr::ItemRenamed(QListWidgetItem* item) {
    if (filling_) return;
    TAreaInfo* entry = EntryOf(item->data(kIdRole));
    if (entry == nullptr) return;
    const std::string name = FromQt(item->text());
    if (name == entry->Name) return;
    if (!RenameEntry(*entry, name)) {
        filling_ = true;
        item->setText(ToQt(entry->Name));
        filling_ = false;
        return;
    }
    if (QTreeWidgetItem* node = NodeOf(*entry)) node->setText(0, ToQt(name));
    NotifyChanged();
}

void TAreaMngr::DeleteSelected() {
    if (!DeleteAction->isEnabled()) return;
    const std::vector<TAreaInfo*> entries = SelectedEntries();
    // The main window lets go of the area it lists before anything below it is freed.
    if (TAreaTreeView* view = AreaTreeView()) view->ClearSelection();
    {
        const TTreeUpdateScope update;
        for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
            TAreaInfo* entry = *it;
            delete NodeOf(*entry);
            ForgetNodes(*entry);
            // Also takes the main window's nodes of the subtree (a linked group's areas have theirs
            // under the group's parent).
            DeleteEntry(*entry);
        }
    }
    // A find-next position may point into what was freed.
    MainWindowServices().ResetSearch();
    FillList();
    UpdateActions();
    NotifyChanged();
}

void TAreaMngr::ShowProperties() {
    const std::vector<TAreaInfo*> selected = SelectedEntries();
    if (selected.empty()) return;
    TAreaInfo& entry = *selected.front();
    const std::string id = entry.ID;
    const bool changed = entry.Zilo == ZiloLinkedGroup ? RunLinkedGroup(entry) : RunProperties(entry);
    if (!changed) return;
    // A refreshed group has new areas; list items find their entries again by ID.
    FillList();
    for (int i = 0; i < List->count(); ++i) {
        if (List->item(i)->data(kIdRole).toString().toStdString() == id) List->setCurrentRow(i);
    }
    NotifyChanged();
}

TAreaInfo* TAreaMngr::AddLinkedGroup(int linkKind) {
    if (CurrentFolder == nullptr || CurrentFolder->Zilo == ZiloLinkedGroup) return nullptr;
    static const char* const baseNames[] = {"FastEcho",  "Squish",     "TMail",
                                            "Areas.BBS", "Fidoconfig", "CrashMail"};
    if (linkKind < LinkKindFastEcho || linkKind > LinkKindCrashMail) return nullptr;
    TAreaInfo* group = nullptr;
    {
        const TAreaLock lock(*CurrentFolder);
        TAreaFields fields;
        fields.Name = UniqueChildName(*CurrentFolder, baseNames[linkKind]);
        fields.Zilo = ZiloLinkedGroup;
        fields.Kind = linkKind;
        group = CurrentFolder->AddChild(fields);
    }
    filling_ = true;
    QListWidgetItem* item = AddListItem(*group);
    filling_ = false;
    List->clearSelection();
    List->setCurrentItem(item);
    item->setSelected(true);
    List->scrollToItem(item);
    if (QTreeWidgetItem* parentNode = NodeOf(*CurrentFolder)) AddTreeNode(parentNode, *group);
    UpdateActions();
    NotifyChanged();
    return group;
}

void TAreaMngr::ShowFilter() {
    const std::vector<TAreaInfo*> selected = SelectedEntries();
    if (selected.size() != 1 || selected.front()->Zilo != ZiloLinkedGroup) return;
    if (RunFilter(*selected.front())) NotifyChanged();
}

void TAreaMngr::DropOn(TAreaInfo* target) {
    if (target == nullptr || target == CurrentFolder) return;
    const std::vector<TAreaInfo*> moved = MoveEntries(SelectedEntries(), *target, [&](TAreaInfo& entry) {
        QTreeWidgetItem* node = NodeOf(entry);
        QTreeWidgetItem* targetNode = NodeOf(*target);
        if (node == nullptr || targetNode == nullptr) return;
        if (QTreeWidgetItem* parent = node->parent()) parent->removeChild(node);
        targetNode->addChild(node);
    });
    for (TAreaInfo* entry : moved) {
        // A name made unique on the way shows in the node too.
        if (QTreeWidgetItem* node = NodeOf(*entry)) node->setText(0, ToQt(entry->Name));
    }
    if (moved.empty()) return;
    FillList();
    UpdateActions();
    NotifyChanged();
}

TAreaMngr* ShowAreaManager(QWidget* parent) {
    static QPointer<TAreaMngr> window;
    TAreaManager* manager = AreaManager();
    if (manager == nullptr) return nullptr;
    if (window.isNull()) window = new TAreaMngr(manager->Root(), parent);
    window->show();
    window->raise();
    window->activateWindow();
    return window.data();
}

// ---- area selection dialog -----------------------------------------------------------------------

TAreaPostForm::TAreaPostForm(TAreaInfo& root, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
    setWindowTitle(QStringLiteral("Послать сообщение"));
    setModal(true);
    TargetList = new QListWidget(this);
    TargetList->setObjectName(QStringLiteral("TargetList"));
    AreaTree = new QTreeWidget(this);
    AreaTree->setHeaderHidden(true);
    AddButton = new QPushButton(QStringLiteral("Добавить"), this);
    AddButton->setObjectName(QStringLiteral("AddButton"));
    RemoveButton = new QPushButton(QStringLiteral("Удалить"), this);
    RemoveButton->setObjectName(QStringLiteral("RemoveButton"));
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Отмена"), this);
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("Послать письмо в области:"), this));
    left->addWidget(TargetList);
    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel(QStringLiteral("Список разделов"), this));
    right->addWidget(AreaTree);
    auto* middle = new QVBoxLayout;
    middle->addStretch();
    middle->addWidget(AddButton);
    middle->addWidget(RemoveButton);
    middle->addStretch();
    auto* lists = new QHBoxLayout;
    lists->addLayout(left);
    lists->addLayout(middle);
    lists->addLayout(right);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(lists);
    layout->addLayout(buttons);
    resize(560, 360);

    std::vector<QTreeWidgetItem*> made;
    for (const TAreaTreeRow& row : AreaTreeRows(root, TAreaTreeKind::Reading)) {
        QTreeWidgetItem* above =
            row.Parent < 0 ? AreaTree->invisibleRootItem() : made[static_cast<size_t>(row.Parent)];
        auto* node = new QTreeWidgetItem(above, QStringList(ToQt(row.Entry->Name)));
        node->setData(0, kIdRole, QString::fromStdString(row.Entry->ID));
        nodes_[row.Entry->ID] = node;
        made.push_back(node);
    }
    GuardedConnect(AreaTree, &QTreeWidget::currentItemChanged, this, [this] { UpdateButtons(); });
    GuardedConnect(AreaTree, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (AddButton->isEnabled()) AddSelected();
    });
    GuardedConnect(TargetList, &QListWidget::currentItemChanged, this, [this] { UpdateButtons(); });
    GuardedConnect(AddButton, &QPushButton::clicked, this, [this] { AddSelected(); });
    GuardedConnect(RemoveButton, &QPushButton::clicked, this, [this] { RemoveSelected(); });
    GuardedConnect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    GuardedConnect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    UpdateButtons();
}

TAreaInfo* TAreaPostForm::SelectedTreeEntry() const {
    QTreeWidgetItem* item = AreaTree->currentItem();
    return item ? EntryOf(item->data(0, kIdRole)) : nullptr;
}

void TAreaPostForm::SetTargets(const std::vector<TAreaInfo*>& targets) {
    TargetList->clear();
    for (TAreaInfo* area : targets) {
        auto* item = new QListWidgetItem(ToQt(area->PathName()), TargetList);
        item->setData(kIdRole, QString::fromStdString(area->ID));
    }
    UpdateButtons();
}

bool TAreaPostForm::SelectInTree(const TAreaInfo& entry) {
    const auto it = nodes_.find(entry.ID);
    if (it == nodes_.end()) return false;
    AreaTree->setCurrentItem(it->second);
    return true;
}

std::vector<TAreaInfo*> TAreaPostForm::Targets() const {
    std::vector<TAreaInfo*> targets;
    for (int i = 0; i < TargetList->count(); ++i) {
        if (TAreaInfo* area = EntryOf(TargetList->item(i)->data(kIdRole))) targets.push_back(area);
    }
    return targets;
}

void TAreaPostForm::UpdateButtons() {
    TAreaInfo* entry = SelectedTreeEntry();
    bool listed = false;
    for (TAreaInfo* target : Targets()) listed = listed || target == entry;
    AddButton->setEnabled(entry != nullptr && entry->Kind > AreaKindFolder && !listed);
    RemoveButton->setEnabled(TargetList->currentItem() != nullptr);
    OKButton->setEnabled(TargetList->count() > 0);
}

void TAreaPostForm::AddSelected() {
    UpdateButtons();
    if (!AddButton->isEnabled()) return;
    TAreaInfo* entry = SelectedTreeEntry();
    auto* item = new QListWidgetItem(ToQt(entry->PathName()), TargetList);
    item->setData(kIdRole, QString::fromStdString(entry->ID));
    UpdateButtons();
}

void TAreaPostForm::RemoveSelected() {
    delete TargetList->currentItem();
    UpdateButtons();
}

}  // namespace pelmar::ui
