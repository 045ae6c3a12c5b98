#include "reader/ui/MainFrame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QTimerEvent>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <utility>

#include "areas/AreaLifetime.h"
#include "areas/ScanThread.h"
#include "areas/ui/AreaMngr.h"
#include "core/Codepage.h"
#include "core/Settings.h"
#include "core/ui/MessageBox.h"
#include "core/ui/QtText.h"
#include "core/ui/SingleInstance.h"
#include "core/ui/SlotGuard.h"
#include "core/ui/Splash.h"
#include "editor/ui/DraftKeeper.h"
#include "editor/ui/EditorOpeners.h"
#include "editor/ui/EditorWiring.h"
#include "editor/ui/SendMessageForm.h"
#include "editor/ui/TemplEditForm.h"
#include "editor/ui/UUDecodeForm.h"
#include "import/ui/WizardForm.h"
#include "msgbase/MessageBase.h"
#include "platform/Registry.h"
#include "plugins/PluginManager.h"
#include "reader/Navigation.h"
#include "reader/ui/AboutBox.h"
#include "reader/ui/AreaTreeDelegate.h"
#include "reader/ui/AreaTreeModel.h"
#include "reader/ui/DesktopNotifier.h"
#include "reader/ui/ErrorReportForm.h"
#include "reader/ui/HeaderControl.h"
#include "reader/ui/Icons.h"
#include "reader/ui/MainCommands.h"
#include "reader/ui/MainDialogs.h"
#include "reader/ui/MessageListModel.h"
#include "reader/ui/MessageRowDelegate.h"
#include "reader/ui/MessageViewPane.h"
#include "reader/ui/PersonalMailNotices.h"
#include "reader/ui/ReadInputGuard.h"
#include "reader/ui/ReadingController.h"
#include "reader/ui/StatusPanel.h"
#include "settings/ui/SetupForm.h"

namespace pelmar::ui {

TMainFrame* MainFrame = nullptr;

// The small turning picture at the right end of the toolbars; it carries no function.
class TAnimation : public QWidget {
public:
    explicit TAnimation(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("Animate1"));
        setFixedSize(28, 28);
    }
    void Start() {
        if (timer_ == 0) timer_ = startTimer(120);
    }
    void Stop() {
        if (timer_ != 0) killTimer(timer_);
        timer_ = 0;
    }

protected:
    void timerEvent(QTimerEvent*) override {
        if (!isVisible()) return;
        angle_ = (angle_ + 30) % 360;
        update();
    }
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF box = QRectF(rect()).adjusted(4, 4, -4, -4);
        painter.setPen(QPen(palette().color(QPalette::Mid), 2));
        painter.drawEllipse(box);
        painter.setPen(QPen(palette().color(QPalette::Highlight), 3, Qt::SolidLine, Qt::RoundCap));
        painter.drawArc(box, -angle_ * 16, 90 * 16);
    }

private:
    int timer_ = 0;
    int angle_ = 0;
};

namespace {

// Commands this build can run; the others stay visible and disabled until their windows exist.
constexpr TCommand kAvailable[] = {
    TCommand::BuildThreads, TCommand::FontProportional, TCommand::FontMonospace, TCommand::FontPseudoGraphics,
    TCommand::MainWindow, TCommand::Exit, TCommand::ShowMenu, TCommand::ShowToolbars,
    TCommand::WindowListMenu, TCommand::AddressBook, TCommand::NodeList,
    // The message pane's commands.
    TCommand::Delete, TCommand::Save, TCommand::Print, TCommand::TextCopy, TCommand::TextSelectAll,
    TCommand::TakeTearline, TCommand::TakeOrigin, TCommand::SelectAll, TCommand::SelectNone,
    TCommand::InvertSelection, TCommand::SelectRead, TCommand::SelectPersonal, TCommand::CodingDos,
    TCommand::CodingWindows, TCommand::NextUnread, TCommand::PrevUnread, TCommand::MarkUnread,
    TCommand::MarkAreaRead,
    // Setting the program up.
    TCommand::AreasDialog, TCommand::Settings, TCommand::TemplateEditor, TCommand::GoldedImport,
    // Windows and help.
    TCommand::About, TCommand::ErrorReport,
    // The editor.
    TCommand::NewLetter, TCommand::Reply, TCommand::ReplyNetmail, TCommand::Forward, TCommand::Edit,
    TCommand::UUDecode};

QString IdleText() {
    return QStringLiteral("Пелмар ") + QStringLiteral(PELMAR_VERSION_TEXT);
}

std::string Bytes(const QByteArray& data) {
    return std::string(data.constData(), static_cast<size_t>(data.size()));
}

QByteArray Blob(const std::string& bytes) {
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

bool OnWayland() {
    return QGuiApplication::platformName().startsWith(QStringLiteral("wayland"));
}

// Unread personal mail of every area below `root` (a linked group's own counters hold no count).
int64_t PersonalUnreadBelow(const TAreaInfo& root) {
    int64_t total = 0;
    std::vector<const TAreaInfo*> pending{&root};
    while (!pending.empty()) {
        const TAreaInfo* area = pending.back();
        pending.pop_back();
        if (area != &root && area->Zilo == ZiloOrdinary) total += std::max(area->PersonalUnread.load(), 0);
        for (int i = 0; i < area->ChildCount(); ++i) pending.push_back(area->Child(i));
    }
    return total;
}

// The listed entry without MSGID at the base's `position` whose header is still the announced one.
TMessageClass* EntryWithoutMsgId(TMessageClass& root, const TNewPersonalMail& mail) {
    return root.FindBelow([&mail](const TMessageClass& entry) {
        return entry.Position == mail.Position && entry.MsgId.empty() && entry.FromName == mail.FromName &&
               entry.Subject == mail.Subject;
    });
}

}  // namespace

// ---- Creation and destruction ----------------------------------------------------------------

TMainFrame::TMainFrame(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("MainFrame"));
    setWindowTitle(QStringLiteral("Пелмар"));
    PrepareIconTheme();
    resize(1100, 720);
    list_.SetObserver(this);
    list_.IdleText = FromQt(IdleText());
    inputGuard_ = new TReadInputGuard(this);
    InstallEditorHooks();
    nodelistWindows_.SendLetter = [this](const std::string& toName, const std::string& address) {
        Guarded([&] { OpenNetmailTo(this, address, toName); });
    };

    commands_ = new TMainCommands(*this);
    for (std::size_t i = 0; i < CommandCount; ++i)
        commandState_.SetAvailable(static_cast<TCommand>(i), false);
    for (const TCommand command : kAvailable) commandState_.SetAvailable(command, true);
    dialogs_ = new TMainDialogs(*this);
    for (const TCommand command : TMainDialogs::Commands()) commandState_.SetAvailable(command, true);

    // Dock971: the four toolbars and the animation at the right end.
    commands_->DockToolbars(*this);
    CreateAnimation();
    CreatePanes();
    CreateStatusBar();
    ConnectCommands();

    commands_->Action(TCommand::BuildThreads)->setChecked(Settings.BuildThreads);
    RestoreLayout();
    // The saved widths stand; the subject takes what they leave of the list, the date fits its text.
    ExHeaderControl1->FitTo(MessageView);
    UpdateCommandStates();
    draftKeeper_ = new TDraftKeeper(this);
    CreateNotifier(new TDesktopNotifier(this));

    MainFrame = this;
    SetAreaTreeView(this);
    InstallMainWindowServices(this);
    QCoreApplication::instance()->installEventFilter(this);
}

TMainFrame::~TMainFrame() {
    QCoreApplication::instance()->removeEventFilter(this);
    // The widgets go after this body; nothing they signal may reach the half-destroyed window.
    for (QObject* sender :
         std::initializer_list<QObject*>{AreaTree->selectionModel(), MessageView->selectionModel(),
                                         ExHeaderControl1, MessageView->horizontalScrollBar(), commands_}) {
        QObject::disconnect(sender, nullptr, this, nullptr);
    }
    if (AreaTreeView() == this) SetAreaTreeView(nullptr);
    if (&MainWindowServices() == this) InstallMainWindowServices(nullptr);
    Guarded([this] {
        if (list_.CurrentArea != nullptr) list_.LeaveArea(nullptr);
    });
    // A window that never appeared has no placement worth keeping.
    if (shown_) StoreLayout();
    areaModel_->Clear();
    // The list and its cache are freed after this body; nothing of that reaches the window.
    list_.SetObserver(nullptr);
    if (MainFrame == this) MainFrame = nullptr;
}

void TMainFrame::CreateAnimation() {
    ToolWindow971 = new QToolBar(QStringLiteral("ToolWindow971"), this);
    ToolWindow971->setObjectName(QStringLiteral("ToolWindow971"));
    ToolWindow971->setMovable(false);
    ToolWindow971->toggleViewAction()->setVisible(false);
    auto* spacer = new QWidget(ToolWindow971);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    ToolWindow971->addWidget(spacer);
    animation_ = new TAnimation(ToolWindow971);
    ToolWindow971->addWidget(animation_);
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this] { UpdateAnimation(); });
    addToolBar(Qt::TopToolBarArea, ToolWindow971);
    ToolWindow971->hide();
}

void TMainFrame::CreatePanes() {
    RxSplitter1 = new QSplitter(Qt::Horizontal, this);
    RxSplitter1->setObjectName(QStringLiteral("RxSplitter1"));
    RxSplitter1->setChildrenCollapsible(false);

    // Left: the area tree.
    Panel2 = new QWidget(RxSplitter1);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    auto* leftLayout = new QVBoxLayout(Panel2);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    AreaTree = new QTreeView(Panel2);
    AreaTree->setObjectName(QStringLiteral("AreaTree"));
    areaModel_ = new TAreaTreeModel(this);
    AreaTree->setModel(areaModel_);
    AreaTree->setItemDelegate(new TAreaTreeDelegate(AreaTree));
    AreaTree->setHeaderHidden(true);
    AreaTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    AreaTree->setSelectionMode(QAbstractItemView::SingleSelection);
    AreaTree->setUniformRowHeights(true);
    AreaTree->setMouseTracking(true);
    AreaTree->viewport()->setAttribute(Qt::WA_Hover);
    AreaTree->setAllColumnsShowFocus(true);
    {
        // The selection stays visible while the tree has no focus.
        QPalette palette = AreaTree->palette();
        palette.setColor(QPalette::Inactive, QPalette::Highlight,
                         palette.color(QPalette::Active, QPalette::Highlight));
        palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                         palette.color(QPalette::Active, QPalette::HighlightedText));
        AreaTree->setPalette(palette);
    }
    leftLayout->addWidget(AreaTree);

    // Right: header and list above, message pane below.
    RxSplitter2 = new QSplitter(Qt::Vertical, RxSplitter1);
    RxSplitter2->setObjectName(QStringLiteral("RxSplitter2"));
    RxSplitter2->setChildrenCollapsible(false);
    Panel4 = new QWidget(RxSplitter2);
    Panel4->setObjectName(QStringLiteral("Panel4"));
    auto* listLayout = new QVBoxLayout(Panel4);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->setSpacing(0);
    ExHeaderControl1 = new THeaderControl(Panel4);
    ExHeaderControl1->setObjectName(QStringLiteral("ExHeaderControl1"));
    ExHeaderControl1->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    listLayout->addWidget(ExHeaderControl1);
    MessageView = new QListView(Panel4);
    MessageView->setObjectName(QStringLiteral("MessageView"));
    listModel_ = new TMessageListModel(list_, this);
    MessageView->setModel(listModel_);
    MessageView->setItemDelegate(new TMessageRowDelegate(*ExHeaderControl1, MessageView));
    MessageView->setUniformItemSizes(true);
    MessageView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    MessageView->setSelectionBehavior(QAbstractItemView::SelectRows);
    MessageView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    MessageView->setDragEnabled(true);
    MessageView->setDragDropMode(QAbstractItemView::DragOnly);
    MessageView->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    MessageView->setContextMenuPolicy(Qt::CustomContextMenu);
    // Presses on the list's viewport reach eventFilter through the application-wide filter.
    listLayout->addWidget(MessageView);

    Panel5 = new QWidget(RxSplitter2);
    Panel5->setObjectName(QStringLiteral("Panel5"));
    auto* paneLayout = new QVBoxLayout(Panel5);
    paneLayout->setContentsMargins(0, 0, 0, 0);
    paneLayout->setSpacing(0);
    messagePane_ = new TMessageViewPane(Panel5);
    paneLayout->addWidget(messagePane_, 1);
    RichEdit1 = messagePane_->TextView();
    CreateReading();

    RxSplitter1->setStretchFactor(0, 0);
    RxSplitter1->setStretchFactor(1, 1);
    RxSplitter2->setStretchFactor(0, 0);
    RxSplitter2->setStretchFactor(1, 1);
    RxSplitter1->setSizes({200, 700});
    RxSplitter2->setSizes({300, 300});
    setCentralWidget(RxSplitter1);

    GuardedConnect(AreaTree->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                   [this] { TreeSelectionChanged(); });
    // Enter on the area that has the focus frame opens it, also when nothing is selected (after the
    // start, or after the open area was left).
    GuardedConnect(AreaTree, &QAbstractItemView::activated, this, [this](const QModelIndex& index) {
        if (!AreaTree->selectionModel()->isSelected(index))
            AreaTree->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
    });
    GuardedConnect(MessageView->selectionModel(), &QItemSelectionModel::currentChanged, this,
                   [this](const QModelIndex& current) { ListCurrentChanged(current); });
    GuardedConnect(MessageView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                   [this] { UpdateCommandStates(); });
    GuardedConnect(MessageView, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        commands_->PopupListMenu(MessageView->viewport()->mapToGlobal(pos));
    });
    GuardedConnect(RichEdit1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        commands_->PopupTextMenu(RichEdit1->viewport()->mapToGlobal(pos));
    });
    GuardedConnect(ExHeaderControl1, &THeaderControl::SortClicked, this,
                   [this](int section) { HeaderSortClicked(section); });
    GuardedConnect(ExHeaderControl1, &QHeaderView::sectionResized, this, [this] { HeaderResized(); });
    GuardedConnect(ExHeaderControl1, &QHeaderView::sectionMoved, this, [this] { HeaderResized(); });
    GuardedConnect(MessageView->horizontalScrollBar(), &QScrollBar::valueChanged, ExHeaderControl1,
                   [this](int value) { ExHeaderControl1->setOffset(value); });
}

void TMainFrame::CreateStatusBar() {
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->setSizeGripEnabled(true);
    auto* progress = new QLabel(statusBar());
    progress->setFixedWidth(52);
    progress->setAlignment(Qt::AlignCenter);
    progress->setFrameStyle(QFrame::NoFrame);
    auto* state = new QLabel(IdleText(), statusBar());
    state->setFixedWidth(250);
    state->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* text = new TStatusPanel(QStringLiteral("Ok"), statusBar());
    text->setMinimumWidth(50);
    text->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    statusBar()->addWidget(progress, 0);
    statusBar()->addWidget(state, 0);
    statusBar()->addWidget(text, 1);
    panels_ = {progress, state, text};
    statusBar()->setContextMenuPolicy(Qt::CustomContextMenu);
    GuardedConnect(statusBar(), &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        QMenu* menu = createPopupMenu();
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(statusBar()->mapToGlobal(pos));
    });
}

void TMainFrame::ConnectCommands() {
    GuardedConnect(commands_, &TMainCommands::Triggered, this,
                   [this](TCommand command) { Execute(command); });
    GuardedConnect(commands_, &TMainCommands::WindowListRequested, this, [this] { FillWindowList(); });
    // "MainWindow" is a hidden menu item; its key works through one shortcut of the application, so
    // it brings this window up from every other window (editors, node browser, template editor).
    // A modal dialog keeps it, as it keeps every other key. The command runs directly: its menu item
    // is hidden, and Qt disables a hidden action.
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), this);
    f10->setObjectName(QStringLiteral("MainWindowShortcut"));
    f10->setContext(Qt::ApplicationShortcut);
    GuardedConnect(f10, &QShortcut::activated, this, [this] { Execute(TCommand::MainWindow); });
}

QLabel* TMainFrame::StatusPanel(int index) const {
    if (index < 0 || index >= kStatusPanels) return nullptr;
    return panels_[static_cast<size_t>(index)];
}

std::string TMainFrame::LayoutKey() {
    return "\\" + Settings.BaseKey + "\\MainFrame";
}

// ---- Layout kept between runs ------------------------------------------------------------------

void TMainFrame::RestoreLayout() {
    TRegistry reg;
    if (!reg.OpenKey(LayoutKey(), false)) return;
    const auto integer = [&reg](const char* name, int fallback) {
        try {
            return reg.ValueExists(name) ? static_cast<int>(reg.ReadInteger(name)) : fallback;
        } catch (const ERegistryError&) {
            return fallback;
        }
    };
    const auto blob = [&reg](const char* name) {
        try {
            return Blob(reg.ReadBinaryData(name));
        } catch (const ERegistryError&) {
            return QByteArray();
        }
    };
    // Wayland lets no client place its window: only size and state come back there.
    const QByteArray geometry = blob("Placement");
    if (OnWayland() || geometry.isEmpty() || !restoreGeometry(geometry)) {
        const int width = integer("Width", 0), height = integer("Height", 0);
        if (width >= 200 && height >= 150 && width <= 20000 && height <= 20000) resize(width, height);
        if (integer("Maximized", 0) != 0) setWindowState(windowState() | Qt::WindowMaximized);
    }
    const QByteArray state = blob("State");
    if (!state.isEmpty() && restoreState(state)) {
        // The toolbars come back as they were hidden or shown; the menu mark follows them.
        commands_->Action(TCommand::ShowToolbars)->setChecked(!commands_->ToolbarsHidden());
    }
    const QByteArray sections = blob("ExHeaderControl1.Sections");
    if (!sections.isEmpty()) ExHeaderControl1->restoreState(sections);
    if (ExHeaderControl1->count() != 5 || ExHeaderControl1->visualIndex(0) != 0) {
        ExHeaderControl1->moveSection(ExHeaderControl1->visualIndex(0), 0);
    }
    const int panel2 = integer("Panel2.Width", 0), panel4 = integer("Panel4.Height", 0);
    if (panel2 > 0) RxSplitter1->setSizes({panel2, std::max(width() - panel2, 100)});
    if (panel4 > 0) RxSplitter2->setSizes({panel4, std::max(height() - panel4, 100)});
    if (integer("N22.Checked", 0) != 0) commands_->Action(TCommand::FontMonospace)->setChecked(true);
    if (integer("N57.Checked", 0) != 0) commands_->Action(TCommand::FontPseudoGraphics)->setChecked(true);
    if (integer("N21.Checked", 0) != 0) commands_->Action(TCommand::FontProportional)->setChecked(true);
}

void TMainFrame::StoreLayout() {
    TRegistry reg;
    if (!reg.OpenKey(LayoutKey(), true)) return;
    reg.WriteBinaryData("Placement", Bytes(saveGeometry()));
    const QRect normal = isMaximized() || isFullScreen() ? normalGeometry() : geometry();
    reg.WriteInteger("Width", normal.width());
    reg.WriteInteger("Height", normal.height());
    reg.WriteBool("Maximized", isMaximized());
    reg.WriteBinaryData("State", Bytes(saveState()));
    reg.WriteInteger("Panel2.Width", Panel2->width());
    reg.WriteInteger("Panel4.Height", Panel4->height());
    reg.WriteBinaryData("ExHeaderControl1.Sections", Bytes(ExHeaderControl1->saveState()));
    reg.WriteBool("N21.Checked", commands_->Action(TCommand::FontProportional)->isChecked());
    reg.WriteBool("N22.Checked", commands_->Action(TCommand::FontMonospace)->isChecked());
    reg.WriteBool("N57.Checked", commands_->Action(TCommand::FontPseudoGraphics)->isChecked());
}

// ---- First show and closing ----------------------------------------------------------------

void TMainFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_) return;
    shown_ = true;
    Guarded([this] { FormShow(); });
}

void TMainFrame::FormShow() {
    const bool toolbarsShown = commands_->Action(TCommand::ShowToolbars)->isChecked();
    ToolWindow971->setVisible(!NoAnimation && toolbarsShown);
    UpdateAnimation();
    BuildAreaTree();
    treeChangeSuppressed_ = false;
    HeaderResized();
    AreaTree->selectionModel()->clearSelection();
    // The stored display mode.
    for (const TCommand mode :
         {TCommand::FontProportional, TCommand::FontMonospace, TCommand::FontPseudoGraphics}) {
        if (commands_->Action(mode)->isChecked()) DisplayModeClick(mode);
    }
    UpdateCommandStates();
    RefreshAreaCounters();
    DestroySplash();
    std::vector<QPointer<QWidget>> drafts;
    Guarded([this, &drafts] {
        for (TSendMessageForm* editor : RestoreDrafts(this)) drafts.emplace_back(editor);
    });
    activateWindow();
    AreaTree->setFocus();
    // The restored letters were shown before this window reached the screen: they come up in front
    // of it once it is there, and again when the desktop first gives it the focus, the last letter
    // focused.
    if (!drafts.empty()) {
        const auto raise = [drafts] {
            for (const QPointer<QWidget>& editor : drafts) BringToFront(editor.data());
        };
        QTimer::singleShot(0, this, raise);
        auto* once = new QObject(this);
        GuardedConnect(qApp, &QGuiApplication::focusWindowChanged, once,
                       [this, once, raise](QWindow* focused) {
                           if (focused == nullptr || focused != windowHandle()) return;
                           once->deleteLater();
                           raise();
                       });
    }
    // Asked once the window is on screen, so the question is not hidden behind it.
    if (Settings.AutoCompile) QTimer::singleShot(0, this, [this] { Guarded([this] { CheckNodelist(); }); });
    // Without a single area there is nothing to read: the area manager comes up in front.
    if (const TAreaManager* manager = AreaManager(); manager != nullptr && manager->Root().ChildCount() == 0)
        QTimer::singleShot(0, this, [this] { Guarded([this] { ShowAreas(); }); });
}

void TMainFrame::ShowAreas() {
    if (TAreaMngr* window = ShowAreaManager(this)) window->TreeChanged = [this] { BuildAreaTree(); };
}

void TMainFrame::CheckNodelist() {
    TNodelistWindows::TProgress progress;
    progress.Begin = [this] {
        ShowProgress();
        StatusText(2, Utf8ToAnsi("Компиляция списка узлов..."));
    };
    progress.Percent = [this](int percent) { SetProgressPercent(percent); };
    progress.End = [this] {
        HideProgress();
        StatusText(2, "Ok");
    };
    nodelistWindows_.CheckNodelist(this, Settings.NodeListFiles, progress);
}

void TMainFrame::closeEvent(QCloseEvent* event) {
    if (reading_) {
        // Held back by the read; closing runs once it is over.
        event->ignore();
        return;
    }
    // The editors are still open here; an empty list is never written on this path. The editors are
    // this window's children and go with it: when their letters cannot be stored the user may stay.
    if (!KeepLettersForExit(unattendedClose_ ? TExitKind::Unattended : TExitKind::Asked, this)) {
        event->ignore();
        return;
    }
    Guarded([this] { ClearSelection(); });
    event->accept();
    // The program runs until this window closes, whatever other windows are open. exit, not quit:
    // quit would first close every other window, and each open editor would ask whether to drop its
    // letter (a "yes" deleting the draft just saved, a "no" keeping the program running).
    QCoreApplication::exit(0);
}

void TMainFrame::CloseUnattended() {
    unattendedClose_ = true;
    close();
}

// ---- Area tree --------------------------------------------------------------------------------

void TMainFrame::BuildAreaTree() {
    // The nodes are made anew: the selected area is found again by its identity afterwards.
    const QModelIndexList selected = AreaTree->selectionModel()->selectedIndexes();
    const TAreaInfo* was = selected.isEmpty() ? nullptr : TAreaTreeModel::AreaAt(selected.first());
    if (was == nullptr) was = list_.CurrentArea;
    const std::string selectedId = was != nullptr ? was->ID : std::string();
    const bool suppressed = treeChangeSuppressed_;
    treeChangeSuppressed_ = true;
    BeginUpdate();
    marks_.Clear();
    if (TAreaManager* manager = AreaManager()) {
        areaModel_->Build(manager->Root());
    } else {
        areaModel_->Clear();
    }
    AreaTree->expandAll();
    // The counters live with the areas: the new nodes show them at once.
    RefreshAreaCounters();
    TAreaInfo* area = selectedId.empty() ? nullptr : AreaRegistry().FindAreaById(selectedId);
    const QModelIndex index = area != nullptr ? areaModel_->IndexOf(area) : QModelIndex();
    if (index.isValid()) {
        AreaTree->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        AreaTree->scrollTo(index);
    }
    EndUpdate();
    treeChangeSuppressed_ = suppressed;
    // An area that has no node any more is not left listed.
    if (list_.CurrentArea != nullptr && !index.isValid()) ClearSelection();
    // New areas and areas given another base are counted now, not a pass later.
    if (TScanThread* scan = ScanThread()) scan->RequestCount();
}

void TMainFrame::ApplyMark(TAreaInfo& area) {
    if (const TAreaMark* mark = marks_.Find(&area)) areaModel_->SetMark(area, *mark);
}

void TMainFrame::RefreshAreaCounters() {
    TAreaManager* manager = AreaManager();
    if (manager == nullptr) return;
    marksStale_ = false;
    for (TAreaInfo* area : marks_.RefreshAreaCounters(manager->Root())) ApplyMark(*area);
    UpdateTitle();
}

void TMainFrame::ScanPassFinished(const TScanReport& report) {
    Guarded([this, &report] {
        RefreshAreaCounters();
        if (!report.WatchNote.empty()) SetStatusText(report.WatchNote);
        const TAreaInfo* open = list_.CurrentArea;
        const auto& counted = report.CountedAreaIds;
        if (open != nullptr && std::find(counted.begin(), counted.end(), open->ID) != counted.end())
            TakeOpenAreaChanges();
        AnnouncePersonalMail(report.NewPersonal);
    });
}

void TMainFrame::TakeOpenAreaChanges() {
    WhenIdle([this] {
        if (list_.CurrentArea == nullptr) return;
        const QRect view = MessageView->viewport()->rect();
        const int firstShown = MessageView->indexAt(view.topLeft()).row();
        const QModelIndex bottom = MessageView->indexAt(view.bottomLeft());
        const int lastShown = bottom.isValid() ? bottom.row() : listModel_->rowCount() - 1;
        // Rows inserted above the view would push what the user is reading down: the entry at the top
        // stays at the top.
        const TMessageClass* topEntry = firstShown >= 0 ? listModel_->EntryAt(firstShown) : nullptr;
        const TBaseChangesOutcome outcome = list_.TakeBaseChanges(firstShown, lastShown);
        if (outcome.Busy) {
            // A tosser is half-way through its write: ask again in a moment (its last write may
            // bring no further file event once the lock is let go).
            if (openAreaRetry_ == nullptr) {
                openAreaRetry_ = new QTimer(this);
                openAreaRetry_->setObjectName(QStringLiteral("OpenAreaRetry"));
                openAreaRetry_->setSingleShot(true);
                openAreaRetry_->setInterval(1000);
                connect(openAreaRetry_, &QTimer::timeout, this,
                        [this] { Guarded([this] { TakeOpenAreaChanges(); }); });
            }
            if (!openAreaRetry_->isActive()) openAreaRetry_->start();
        }
        if (!outcome.Error.empty()) SetStatusText(outcome.Error);
        if (outcome.Errors > 0) ReadError(ReadErrorText(outcome.FirstError, outcome.Errors), outcome.Errors);
        const int topRow = outcome.FullReread ? outcome.TopRow : list_.RowOf(topEntry);
        if (outcome.SelectRow >= 0) SelectRow(outcome.SelectRow);
        if (topRow >= 0 && (outcome.FullReread || topRow != firstShown))
            MessageView->scrollTo(listModel_->index(topRow), QAbstractItemView::PositionAtTop);
        if (outcome.CurrentChanged) ShowCurrentMessage();
        UpdateCommandStates();
    });
}

void TMainFrame::UpdateAreaNode(TAreaInfo& area) {
    for (TAreaInfo* changed : marks_.UpdateAreaNode(area)) ApplyMark(*changed);
    UpdateTitle();
}

bool TMainFrame::TreeVisible() const {
    return AreaTree->isVisible();
}

void TMainFrame::BeginUpdate() {
    if (updateDepth_++ == 0) AreaTree->setUpdatesEnabled(false);
}

void TMainFrame::EndUpdate() {
    if (updateDepth_ <= 0 || --updateDepth_ != 0) return;
    AreaTree->setUpdatesEnabled(true);
    if (marksStale_) RefreshAreaCounters();
}

int TMainFrame::ViewFontMode() {
    return readingController_ != nullptr ? readingController_->Mode.FontMode : TViewMode{}.FontMode;
}

bool TMainFrame::HasNode(const TAreaInfo& entry) const {
    return areaModel_->HasNode(&entry);
}

void TMainFrame::DeleteNode(TAreaInfo& entry) {
    TAreaInfo* listed = list_.CurrentArea;
    if (listed != nullptr && (listed == &entry || listed->IsDescendantOf(&entry))) ClearSelection();
    areaModel_->DeleteNode(entry);
    // Marks are kept by address and the removed areas are freed next: a new area may take the
    // address of one of them. Forget every mark and compute them all again once the change is done.
    marks_.Clear();
    marksStale_ = true;
    if (updateDepth_ == 0) RefreshAreaCounters();
}

void TMainFrame::AddNode(TAreaInfo& entry) {
    areaModel_->AddNode(entry);
    if (TScanThread* scan = ScanThread()) scan->RequestCount();
    const QModelIndex index = areaModel_->IndexOf(&entry);
    if (!index.isValid()) return;
    AreaTree->expand(index.parent());
    // Applied whether or not the kept mark differs: the node starts with the bare name.
    for (TAreaInfo* changed : marks_.UpdateAreaNode(entry)) ApplyMark(*changed);
    ApplyMark(entry);
}

void TMainFrame::ClearSelection() {
    const bool suppressed = treeChangeSuppressed_;
    treeChangeSuppressed_ = true;
    AreaTree->selectionModel()->clearSelection();
    AreaTree->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    treeChangeSuppressed_ = suppressed;
    // Leaving the listed area does not wait for the first show.
    if (list_.CurrentArea != nullptr) OpenSelectedArea();
}

void TMainFrame::TreeSelectionChanged() {
    if (treeChangeSuppressed_) return;
    AreaTree->viewport()->update();
    OpenSelectedArea();
}

// ---- Reading an area ---------------------------------------------------------------------------

void TMainFrame::OpenSelectedArea() {
    if (reading_) return;
    const QModelIndexList selected = AreaTree->selectionModel()->selectedIndexes();
    TAreaInfo* area = selected.isEmpty() ? nullptr : TAreaTreeModel::AreaAt(selected.first());
    if (area == list_.CurrentArea) return;
    const QModelIndex row = MessageView->selectionModel()->currentIndex();
    const TMessageClass* shown = row.isValid() && MessageView->selectionModel()->isSelected(row)
                                     ? listModel_->EntryAt(row.row())
                                     : nullptr;
    ClearMessagePane();
    MessageView->selectionModel()->clear();
    TReadOutcome outcome;
    RunRead([&] { outcome = list_.OpenArea(area, shown); });
    if (list_.Base != nullptr) list_.Base->FontIndex = ViewFontMode();
    // Opening found out before the scan whether the base opens: the node's mark follows now.
    if (area != nullptr) {
        const TAreaMark* mark = marks_.Find(area);
        if (mark == nullptr || mark->Failure != area->OpenFailure.load()) UpdateAreaNode(*area);
    }
    SelectRow(outcome.SelectRow);
    UpdateCommandStates();
}

bool TMainFrame::RunRead(const std::function<void()>& read) {
    if (reading_) return false;
    reading_ = true;
    std::string error;
    inputGuard_->Begin();
    MessageView->setUpdatesEnabled(false);
    struct TEnd {
        TMainFrame& Frame;
        ~TEnd() {
            Frame.MessageView->setUpdatesEnabled(true);
            Frame.inputGuard_->End();
            Frame.reading_ = false;
            while (Frame.waitDepth_ > 0) Frame.EndWait();
        }
    };
    {
        TEnd end{*this};
        read();
    }
    // What arrived while reading runs now, in order.
    std::vector<std::function<void()>> pending = std::move(afterRead_);
    afterRead_.clear();
    for (auto& work : pending) Guarded(work);
    return true;
}

void TMainFrame::WhenIdle(std::function<void()> work) {
    if (reading_) {
        afterRead_.push_back(std::move(work));
        return;
    }
    Guarded(work);
}

bool TMainFrame::AbortRequested() {
    return inputGuard_->Poll();
}

void TMainFrame::ReadError(const std::string& text, int) {
    // A modal box cannot run while input is held, nor halfway through the list's change (a message
    // another program added or changed): it follows the read, or the change.
    if (reading_) {
        afterRead_.push_back([this, text] { ShowError(text, this); });
        return;
    }
    QTimer::singleShot(0, this, [this, text] { ShowError(text, this); });
}

void TMainFrame::SelectRow(int row) {
    if (row < 0 || row >= listModel_->rowCount()) return;
    const QModelIndex index = listModel_->index(row);
    MessageView->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    MessageView->scrollTo(index);
}

bool TMainFrame::SelectAreaNode(const TAreaInfo& area) {
    const QModelIndex index = areaModel_->IndexOf(&area);
    if (!index.isValid()) return false;
    AreaTree->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    AreaTree->scrollTo(index);
    return true;
}

std::vector<std::pair<int, int>> TMainFrame::SelectedRuns() const {
    // The model keeps ranges, not rows: a selection of every row is one range however long the list.
    std::vector<std::pair<int, int>> runs;
    for (const QItemSelectionRange& range : MessageView->selectionModel()->selection()) {
        if (range.isValid()) runs.emplace_back(range.top(), range.bottom());
    }
    std::sort(runs.begin(), runs.end());
    std::vector<std::pair<int, int>> merged;
    merged.reserve(runs.size());
    for (const auto& run : runs) {
        if (!merged.empty() && run.first <= merged.back().second + 1)
            merged.back().second = std::max(merged.back().second, run.second);
        else
            merged.push_back(run);
    }
    return merged;
}

std::vector<TMessageClass*> TMainFrame::Selection() const {
    std::vector<TMessageClass*> entries;
    for (const auto& [first, last] : SelectedRuns()) {
        for (int row = first; row <= last; ++row) {
            if (const TMessageClass* entry = listModel_->EntryAt(row))
                entries.push_back(const_cast<TMessageClass*>(entry));
        }
    }
    return entries;
}

void TMainFrame::ListCurrentChanged(const QModelIndex& current) {
    const TMessageClass* entry = current.isValid() ? listModel_->EntryAt(current.row()) : nullptr;
    list_.CurrentEntry = const_cast<TMessageClass*>(entry);
    ShowCurrentMessage();
    UpdateCommandStates();
}

void TMainFrame::ShowCurrentMessage() {
    readingController_->ShowCurrentMessage();
}

const TShownMessage* TMainFrame::ShownMessage() {
    return readingController_ != nullptr ? readingController_->ShownSnapshot() : nullptr;
}

void TMainFrame::ClearMessagePane() {
    readingController_->ForgetShown();
    messagePane_->Clear();
    messagePane_->ResetHeaderColor();
}

void TMainFrame::CreateReading() {
    TReadingServices services;
    services.Selection = [this] { return Selection(); };
    services.SelectOnly = [this](int row) { SelectRow(row); };
    services.ClearRowSelection = [this] { MessageView->selectionModel()->clear(); };
    services.SetRowSelection = [this](const std::vector<bool>& rows) {
        // One range per run of selected rows: "select all" is a single range.
        QItemSelection selection;
        const int count = std::min(static_cast<int>(rows.size()), listModel_->rowCount());
        for (int row = 0; row < count; ++row) {
            if (!rows[static_cast<size_t>(row)]) continue;
            int last = row;
            while (last + 1 < count && rows[static_cast<size_t>(last) + 1]) ++last;
            selection.append(QItemSelectionRange(listModel_->index(row), listModel_->index(last)));
            row = last;
        }
        // Emptied first: Qt compares an old and a new selection that are both non-empty range by
        // range against each other, which takes minutes for tens of thousands of runs.
        QItemSelectionModel& model = *MessageView->selectionModel();
        if (model.hasSelection()) model.select(QItemSelection(), QItemSelectionModel::Clear);
        model.select(selection, QItemSelectionModel::ClearAndSelect);
    };
    services.UpdateCommandStates = [this] { UpdateCommandStates(); };
    services.UpdateAreaNode = [this](TAreaInfo& area) { UpdateAreaNode(area); };
    services.RepaintRow = [this](int row) {
        if (row >= 0) listModel_->Changed(row, row);
    };
    services.StatusText = [this](const std::string& text) { StatusText(2, text); };
    services.MessageShown = [] { NotifyPluginsMessageRead(); };
    services.BeginWait = [this] { BeginWait(); };
    services.EndWait = [this] { EndWait(); };
    services.OpenEditor = [this](const TEditorRequest& request) { OpenRequestedEditor(this, request); };
    services.BeginLong = [this] {
        inputGuard_->Begin();
        ShowProgress();
        BeginWait();
    };
    services.LongProgress = [this](size_t done, size_t total) {
        UpdateProgress(static_cast<int>(done), static_cast<int>(total));
        return !inputGuard_->Poll();
    };
    services.EndLong = [this] {
        EndWait();
        HideProgress();
        inputGuard_->End();
    };
    readingController_ = new TReadingController(list_, *messagePane_, std::move(services), this);
}

// ---- Thread list observer -------------------------------------------------------------------------

void TMainFrame::BeginResetRows() {
    list_.CurrentEntry = nullptr;
    listModel_->BeginReset();
}
void TMainFrame::EndResetRows() {
    listModel_->EndReset();
}
void TMainFrame::BeginInsertRows(int first, int last) {
    listModel_->BeginInsert(first, last);
}
void TMainFrame::EndInsertRows() {
    listModel_->EndInsert();
}
void TMainFrame::BeginRemoveRows(int first, int last) {
    listModel_->BeginRemove(first, last);
}
void TMainFrame::EndRemoveRows() {
    listModel_->EndRemove();
}
void TMainFrame::RowsChanged(int first, int last) {
    listModel_->Changed(first, last);
}

void TMainFrame::StatusText(int panel, const std::string& text) {
    if (panel < 1 || panel > 2) return;
    panels_[static_cast<size_t>(panel)]->setText(ToQt(text));
    panels_[static_cast<size_t>(panel)]->repaint();
}

void TMainFrame::SetStatusText(const std::string& text) {
    StatusText(2, text);
}

void TMainFrame::ShowProgress() {
    panels_[0]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panels_[0]->setText(QStringLiteral("0%"));
    statusBar()->repaint();
}

void TMainFrame::UpdateProgress(int position, int maximum) {
    const QString text = maximum == 0
                             ? QString()
                             : QString::number(std::lround(static_cast<double>(position) / maximum * 100.0)) +
                                   QLatin1Char('%');
    if (panels_[0]->text() == text) return;
    panels_[0]->setText(text);
    panels_[0]->repaint();
}

void TMainFrame::HideProgress() {
    panels_[0]->clear();
    panels_[0]->setFrameStyle(QFrame::NoFrame);
    statusBar()->repaint();
}

void TMainFrame::SetProgressPercent(int percent) {
    UpdateProgress(percent, 100);
}

void TMainFrame::BeginWait() {
    if (waitDepth_++ == 0) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

void TMainFrame::EndWait() {
    if (waitDepth_ > 0 && --waitDepth_ == 0) QGuiApplication::restoreOverrideCursor();
}

// ---- Notifications ------------------------------------------------------------------------------

void TMainFrame::MessageAdded(TAreaInfo& area, int position) {
    TAreaInfo* target = &area;
    WhenIdle([this, target, position] { list_.MessageAdded(*target, position); });
}

void TMainFrame::MessageChanged(TAreaInfo& area, int position, const std::string& msgId) {
    TAreaInfo* target = &area;
    WhenIdle([this, target, position, msgId] {
        if (list_.MessageChanged(*target, position, msgId)) ShowCurrentMessage();
    });
}

// ---- Personal mail -------------------------------------------------------------------------------

QString TMainFrame::TitleFor(int64_t personalUnread) {
    if (personalUnread <= 0) return QStringLiteral("Пелмар");
    return QStringLiteral("Пелмар — личных писем: %1").arg(personalUnread);
}

void TMainFrame::UpdateTitle() {
    const TAreaManager* manager = AreaManager();
    const QString title = TitleFor(manager != nullptr ? PersonalUnreadBelow(manager->Root()) : 0);
    if (windowTitle() != title) setWindowTitle(title);
}

void TMainFrame::CreateNotifier(TDesktopNotifier* notifier) {
    delete notifier_;
    notifier_ = notifier;
    notifier_->setObjectName(QStringLiteral("DesktopNotifier"));
    notifier_->Unavailable = [this](const QString& reason) {
        StatusText(2, FromQt(QStringLiteral("Уведомления на рабочем столе недоступны: ") + reason));
    };
}

void TMainFrame::UseNotificationBus(const QDBusConnection& bus) {
    CreateNotifier(new TDesktopNotifier(bus, this));
}

void TMainFrame::AnnouncePersonalMail(const std::vector<TNewPersonalMail>& mail) {
    if (!Settings.NotifyPersonal) return;
    std::vector<TNewPersonalMail> news;
    for (const TNewPersonalMail& one : mail) {
        // A letter the user wrote to himself is no news; mail of an area deleted since opens nothing.
        if (one.FromName == Settings.FullName || AreaRegistry().FindAreaById(one.AreaId) == nullptr) continue;
        news.push_back(one);
    }
    for (TPersonalMailNotice& notice : PersonalMailNotices(news)) {
        TDesktopNotification note{std::move(notice.Summary), std::move(notice.Body), {}};
        note.Activated = [this, target = news[notice.Opens]] {
            WhenIdle([this, target] { OpenPersonalMail(target); });
        };
        notifier_->Notify(std::move(note));
    }
}

bool TMainFrame::OpenPersonalMail(const TNewPersonalMail& mail) {
    // A dialog that waits for an answer keeps the window as it is.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
        return false;
    }
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
    TAreaInfo* area = AreaRegistry().FindAreaById(mail.AreaId);
    if (area == nullptr || area->Zilo != ZiloOrdinary || !areaModel_->IndexOf(area).isValid()) {
        StatusText(2, FromQt(QStringLiteral("Области этого письма больше нет")));
        return false;
    }
    const bool wasListed = list_.CurrentArea == area;
    if (!wasListed) {
        // Listing the area selects no message by itself: the announced one is selected next.
        const std::string kept = area->LastMSGID;
        area->LastMSGID = "a";
        dialogs_->OpenArea(*area);
        area->LastMSGID = kept;
    }
    if (list_.CurrentArea != area || list_.Base == nullptr || !list_.ThreadRoot) return false;
    TMessageClass* entry =
        mail.MsgId.empty() ? EntryWithoutMsgId(*list_.ThreadRoot, mail) : list_.MsgIdIndex.Find(mail.MsgId);
    if (entry == nullptr && wasListed) {
        // The list may not have taken what the tosser wrote since it was read: the area is read
        // afresh, once.
        ClearSelection();
        return OpenPersonalMail(mail);
    }
    if (entry == nullptr) {
        StatusText(2, FromQt(QStringLiteral("Письма больше нет в области")));
        return false;
    }
    SelectRow(list_.Reveal(*entry));
    MessageView->setFocus();
    return true;
}

// ---- Commands -----------------------------------------------------------------------------------

void TMainFrame::UpdateCommandStates() {
    TCommandContext context;
    context.HasCurrentEntry = list_.CurrentEntry != nullptr;
    context.CurrentDeleted = context.HasCurrentEntry && list_.CurrentEntry->Deleted;
    // Counted from the runs, and the rows read only until a deleted one shows up: this runs on every
    // selection change.
    for (const auto& [first, last] : SelectedRuns()) {
        context.SelectionCount += last - first + 1;
        for (int row = first; row <= last && !context.SelectionHasDeleted; ++row) {
            const TMessageClass* entry = listModel_->EntryAt(row);
            context.SelectionHasDeleted = entry != nullptr && entry->Deleted;
        }
    }
    const TAreaManager* manager = AreaManager();
    context.NetmailAreaExists = manager != nullptr && manager->NetmailAreaObject() != nullptr;
    context.HasFindNextPosition = dialogs_ != nullptr && dialogs_->Search.CanContinue();
    context.CurrentAreaIsNetmail = list_.CurrentArea != nullptr && list_.CurrentArea->IsNetmail;
    context.AreaListed = list_.CurrentArea != nullptr && list_.Base != nullptr;
    commandState_.Update(context);
    commands_->Apply(commandState_);
    // Pseudographics reads the stored bytes as they are: the code-page choice does not apply.
    const bool pseudoGraphics = readingController_ != nullptr && readingController_->Mode.PseudoGraphics;
    for (const TCommand coding : {TCommand::CodingDos, TCommand::CodingWindows}) {
        if (QAction* action = commands_->Action(coding))
            action->setEnabled(action->isEnabled() && !pseudoGraphics);
    }
    commands_->SetCodingEnabled(!pseudoGraphics);
}

void TMainFrame::RunCommand(TCommand command) {
    // Through the action, so a checkable item changes its mark first, as a click does. A command
    // that only a pop-up menu offers (the selection menu) runs through that item.
    QAction* action = commands_->Action(command);
    if (action == nullptr) {
        const std::vector<QAction*> items = commands_->Actions(command);
        if (!items.empty()) action = items.front();
    }
    if (action == nullptr || !action->isEnabled()) return;
    action->trigger();
}

void TMainFrame::ResetSearch() {
    dialogs_->ResetSearch();
    UpdateCommandStates();
}

void TMainFrame::Execute(TCommand command) {
    const bool byShortcut = std::exchange(shortcutTriggered_, false);
    if (!commandState_.Enabled(command)) return;
    if (dialogs_->Run(command)) return;
    switch (command) {
        case TCommand::BuildThreads:
            BuildThreadsClick(commands_->Action(TCommand::BuildThreads)->isChecked());
            break;
        case TCommand::FontProportional:
        case TCommand::FontMonospace:
        case TCommand::FontPseudoGraphics:
            DisplayModeClick(command);
            break;
        case TCommand::CodingDos:
        case TCommand::CodingWindows:
            commands_->Action(command)->setChecked(true);
            Settings.TextInWindowsCodePage = command == TCommand::CodingWindows;
            ShowCurrentMessage();
            break;
        case TCommand::Delete:
            readingController_->DeleteSelected();
            break;
        case TCommand::Save:
            readingController_->SaveSelected();
            break;
        case TCommand::Print:
            readingController_->PrintShown();
            break;
        case TCommand::TextCopy:
            messagePane_->CopySelection();
            break;
        case TCommand::TextSelectAll:
            messagePane_->SelectAll();
            break;
        case TCommand::TakeOrigin:
            readingController_->TakeOrigin();
            break;
        case TCommand::TakeTearline:
            readingController_->TakeTearline();
            break;
        case TCommand::SelectAll:
            readingController_->ApplySelectionMenu(TSelectionCommand::All);
            break;
        case TCommand::SelectNone:
            readingController_->ApplySelectionMenu(TSelectionCommand::None);
            break;
        case TCommand::InvertSelection:
            readingController_->ApplySelectionMenu(TSelectionCommand::Invert);
            break;
        case TCommand::SelectRead:
            readingController_->ApplySelectionMenu(TSelectionCommand::Read);
            break;
        case TCommand::SelectPersonal:
            readingController_->ApplySelectionMenu(TSelectionCommand::Personal);
            break;
        case TCommand::NextUnread:
            GoToNextUnread();
            break;
        case TCommand::PrevUnread:
            readingController_->Navigate(TNavigationCommand::PrevUnread);
            break;
        case TCommand::MarkUnread:
            readingController_->MarkSelectedUnread();
            break;
        case TCommand::MarkAreaRead:
            readingController_->MarkAreaRead();
            break;
        case TCommand::MainWindow:
            if (isMinimized()) showNormal();
            show();
            raise();
            activateWindow();
            break;
        case TCommand::AddressBook:
            nodelistWindows_.ShowAddressBook(this);
            break;
        case TCommand::NodeList:
            nodelistWindows_.ShowNodeBrowser(this);
            break;
        case TCommand::Exit:
            close();
            break;
        case TCommand::TemplateEditor:
            ShowTemplateEditor();
            break;
        case TCommand::About:
            ShowAboutBox(this);
            break;
        case TCommand::ErrorReport:
            ShowErrorReport();
            break;
        case TCommand::UUDecode:
            Guarded([this] { DecodeSelected(); });
            break;
        case TCommand::NewLetter:
            Guarded([this] { OpenNewLetter(this, list_.CurrentArea); });
            break;
        case TCommand::Reply:
        case TCommand::ReplyNetmail:
        case TCommand::Forward:
        case TCommand::Edit:
            Guarded([this, command, byShortcut] { OpenEditorOnCurrent(command, byShortcut); });
            break;
        case TCommand::ShowMenu:
            SetMenuVisible(commands_->Action(TCommand::ShowMenu)->isChecked());
            break;
        case TCommand::ShowToolbars:
            SetToolbarsVisible(commands_->Action(TCommand::ShowToolbars)->isChecked());
            break;
        case TCommand::AreasDialog:
            ShowAreas();
            break;
        case TCommand::GoldedImport:
            RunGoldedImport();
            break;
        case TCommand::Settings:
            RunSettings();
            break;
        default:
            break;
    }
}

// The settings take effect at once: wrapping, colours and fonts of the shown message, the auto-save
// timer; confirmed ones may name other nodelist files.
bool TMainFrame::OwnsMenu(const QMenu& menu) const {
    for (const QWidget* up = menu.parentWidget(); up != nullptr; up = up->parentWidget())
        if (up == this) return true;
    return false;
}

bool TMainFrame::ReadingKey(QObject* watched, const QKeyEvent& key) {
    const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
    if (key.key() == Qt::Key_Space && (modifiers == Qt::NoModifier || modifiers == Qt::ShiftModifier)) {
        PageOrNextUnread(modifiers == Qt::ShiftModifier);
        return true;
    }
    if (watched != MessageView) return false;
    // "+" comes with Shift on most layouts.
    const bool plain =
        modifiers == Qt::NoModifier || (key.key() == Qt::Key_Plus && modifiers == Qt::ShiftModifier);
    if (!plain) return false;
    switch (key.key()) {
        case Qt::Key_Right:
            return ThreadKey(TThreadKey::ExpandOrDescend);
        case Qt::Key_Left:
            return ThreadKey(TThreadKey::CollapseOrAscend);
        case Qt::Key_Plus:
            return ThreadKey(TThreadKey::Expand);
        case Qt::Key_Minus:
            return ThreadKey(TThreadKey::Collapse);
        default:
            return false;
    }
}

bool TMainFrame::ThreadKey(TThreadKey key) {
    const int row = list_.RowOf(list_.CurrentEntry);
    if (row < 0) return false;
    TMessageClass* entry = list_.CurrentEntry;
    const std::optional<int> target = ThreadKeyFrom(list_, key, row);
    if (!target) return true;  // used up: nothing to open or close there
    // The row's expander picture changed.
    if (const int now = list_.RowOf(entry); now >= 0) listModel_->Changed(now, now);
    if (const int parent = entry->Parent != nullptr ? list_.RowOf(entry->Parent) : -1; parent >= 0)
        listModel_->Changed(parent, parent);
    if (*target != list_.RowOf(list_.CurrentEntry)) SelectRow(*target);
    return true;
}

void TMainFrame::PageOrNextUnread(bool back) {
    QScrollBar* bar = RichEdit1->verticalScrollBar();
    if (back) {
        bar->triggerAction(QAbstractSlider::SliderPageStepSub);
        return;
    }
    if (list_.CurrentEntry != nullptr && bar->value() < bar->maximum()) {
        bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        return;
    }
    RunCommand(TCommand::NextUnread);
}

std::vector<TAreaInfo*> TMainFrame::AreasInTreeOrder() const {
    std::vector<TAreaInfo*> areas;
    std::vector<QModelIndex> stack;
    for (int row = areaModel_->rowCount() - 1; row >= 0; --row) stack.push_back(areaModel_->index(row, 0));
    while (!stack.empty()) {
        const QModelIndex index = stack.back();
        stack.pop_back();
        if (TAreaInfo* area = TAreaTreeModel::AreaAt(index)) areas.push_back(area);
        for (int row = areaModel_->rowCount(index) - 1; row >= 0; --row)
            stack.push_back(areaModel_->index(row, 0, index));
    }
    return areas;
}

void TMainFrame::GoToNextUnread() {
    if (reading_) return;
    if (TMessageClass* next = NextUnreadEntry(list_, list_.CurrentEntry)) {
        SelectRow(list_.Reveal(*next));
        return;
    }
    // This area has none below: the next area of the tree with unread mail, then this one's top.
    const std::vector<TAreaInfo*> order = AreasInTreeOrder();
    const auto here = std::find(order.begin(), order.end(), list_.CurrentArea);
    const size_t start = here == order.end() ? 0 : static_cast<size_t>(here - order.begin()) + 1;
    for (size_t step = 0; step < order.size(); ++step) {
        TAreaInfo* area = order[(start + step) % order.size()];
        if (area == list_.CurrentArea || area->Kind == 0 || area->Read.load() < 1 ||
            area->MsgCount.load() < 1)
            continue;
        AreaTree->setCurrentIndex(areaModel_->IndexOf(area));
        if (list_.CurrentArea != area) return;  // not listed (a read running, or the base would not open)
        if (TMessageClass* first = NextUnreadEntry(list_, nullptr)) {
            SelectRow(list_.Reveal(*first));
            return;
        }
        // The counter was ahead of the base: look further.
    }
    if (TMessageClass* first = NextUnreadEntry(list_, nullptr)) {
        SelectRow(list_.Reveal(*first));
        return;
    }
    StatusText(2, FromQt(QStringLiteral("Непрочитанных писем больше нет")));
}

void TMainFrame::RunSettings() {
    TSetupForm form(this);
    if (const QScreen* screen = form.screen())
        form.move(screen->availableGeometry().center() - form.rect().center());
    const bool confirmed = form.exec() == QDialog::Accepted;
    if (confirmed && !form.WriteBack()) {
        const std::string reason = TRegistryStore::Instance().LastError();
        ShowError(
            FromQt(QStringLiteral("Настройки не сохранены: они действуют только до выхода из программы.")) +
                (reason.empty() ? std::string() : "\r\n" + reason),
            this);
    }
    if (confirmed) CheckNodelist();
    RichEdit1->setLineWrapMode(Settings.LineWrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    ShowCurrentMessage();
    draftKeeper_->ApplyAutoSaveSettings();
    AreaTree->viewport()->update();
    UpdateCommandStates();
}

// Made on first use and kept, so the sections being edited survive closing the window.
void TMainFrame::ShowTemplateEditor() {
    if (templateEditor_.isNull()) templateEditor_ = new TTemplEditForm(this);
    if (templateEditor_->isMinimized()) templateEditor_->showNormal();
    templateEditor_->show();
    templateEditor_->raise();
    templateEditor_->activateWindow();
}

TTemplEditForm* TMainFrame::TemplateEditor() const {
    return templateEditor_.data();
}

// The report's letter is a netmail like any other: the user types the address and the description.
void TMainFrame::ShowErrorReport() {
    if (errorReport_.isNull()) {
        errorReport_ = new TErrorReportForm(this);
        errorReport_->SetStartLetter([this](const QString& body) {
            Guarded([this, &body] {
                TSendMessageForm* editor = OpenNetmailTo(this, std::string(), std::string());
                editor->SetSubject(FromQt(QStringLiteral("Сообщение об ошибке")));
                editor->StartEditing();
                editor->InsertAtCaret(FromQt(body));
            });
        });
    }
    errorReport_->show();
    errorReport_->raise();
    errorReport_->activateWindow();
}

TErrorReportForm* TMainFrame::ErrorReport() const {
    return errorReport_.data();
}

// A finished import replaced the settings and the whole tree; the program ends so that the next
// start reads them afresh (the wizard's last page says so).
void TMainFrame::RunGoldedImport() {
    TAreaManager* manager = AreaManager();
    if (manager == nullptr) return;
    TWizardForm wizard(manager->Root(), this);
    const int result = wizard.ShowModal();
    AreaTree->clearSelection();
    if (result != TWizardForm::ModalOK) return;
    BuildAreaTree();
    close();
}

// Reads the shown message whole and opens the editor on it; refused when the tosser changed it.
void TMainFrame::OpenEditorOnCurrent(TCommand command, bool byShortcut) {
    TMessageClass* entry = list_.CurrentEntry;
    TMessageBase* base = list_.Base;
    if (entry == nullptr || base == nullptr) return;
    base->ReadMessage(entry->Position);
    if (base->MsgId != entry->MsgId || base->FromName != entry->FromName || base->Subject != entry->Subject) {
        ShowError(FromQt(QStringLiteral("Письмо изменено другой программой; обновите список.")), this);
        return;
    }
    const bool withKludges =
        !byShortcut && (QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier) != 0;
    TAreaInfo* shown = list_.CurrentArea;
    if (command == TCommand::Edit) {
        OpenEdit(this, *base, shown, entry->Position, entry->MsgId);
    } else if (command == TCommand::Forward) {
        OpenForward(this, *base, shown, withKludges);
    } else if (command == TCommand::ReplyNetmail) {
        TAreaManager* manager = AreaManager();
        OpenReply(this, *base, shown, manager != nullptr ? manager->NetmailAreaObject() : nullptr,
                  withKludges);
    } else {
        OpenReply(this, *base, shown, shown, withKludges);
    }
}

// Hands the selected messages to the decoder window; a message changed under us is skipped.
void TMainFrame::DecodeSelected() {
    TMessageBase* base = list_.Base;
    if (base == nullptr) return;
    TUUDecodeForm* window = UUDecodeWindow(this);
    for (TMessageClass* entry : Selection()) {
        base->ReadMessage(entry->Position);
        if (base->MsgId != entry->MsgId || base->Subject != entry->Subject) continue;
        window->AddText(base->Text);
    }
    window->show();
    window->raise();
}

void TMainFrame::BuildThreadsClick(bool checked) {
    if (reading_) return;
    // Taken first: handing the tree to the cache forgets the shown entry.
    const std::string shownId = list_.CurrentEntry != nullptr ? list_.CurrentEntry->MsgId : std::string();
    // The tree of the old mode stays cached.
    if (list_.CurrentArea != nullptr && list_.Base != nullptr) list_.StoreInCache();
    Settings.BuildThreads = checked;
    MessageView->selectionModel()->clear();
    list_.CurrentEntry = nullptr;
    ClearMessagePane();
    if (list_.Base != nullptr) RunRead([this] { list_.ReadAreaMessages(); });
    if (!shownId.empty()) {
        if (TMessageClass* entry = list_.MsgIdIndex.Find(shownId)) SelectRow(list_.Reveal(*entry));
    }
    UpdateCommandStates();
}

void TMainFrame::DisplayModeClick(TCommand mode) {
    commands_->Action(mode)->setChecked(true);
    readingController_->Mode = {mode == TCommand::FontMonospace ? 0 : 2,
                                mode == TCommand::FontPseudoGraphics};
    if (list_.Base != nullptr) list_.Base->FontIndex = ViewFontMode();
    UpdateCommandStates();
    ShowCurrentMessage();
}

void TMainFrame::SetMenuVisible(bool visible) {
    commands_->SetMenuVisible(visible);
}

void TMainFrame::SetToolbarsVisible(bool visible) {
    commands_->SetToolbarsVisible(visible);
    ToolWindow971->setVisible(visible && !NoAnimation);
    UpdateAnimation();
}

void TMainFrame::UpdateAnimation() {
    // The picture turns while the user works in the program; behind other windows, minimised or
    // hidden it would only cost processor time, so it rests there.
    if (!NoAnimation && ToolWindow971->isVisibleTo(this) && !isMinimized() &&
        QGuiApplication::applicationState() == Qt::ApplicationActive)
        animation_->Start();
    else
        animation_->Stop();
}

void TMainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) UpdateAnimation();
}

QMenu* TMainFrame::createPopupMenu() {
    auto* menu = new QMenu(this);
    menu->addAction(commands_->Action(TCommand::ShowMenu));
    menu->addAction(commands_->Action(TCommand::ShowToolbars));
    return menu;
}

void TMainFrame::FillWindowList() {
    commands_->ClearWindowList();
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget == this || !widget->isVisible() || qobject_cast<QMenu*>(widget) != nullptr) continue;
        const Qt::WindowType type = widget->windowType();
        if (type != Qt::Window && type != Qt::Dialog && type != Qt::Tool) continue;
        QAction* item = commands_->AddWindowListItem(widget->windowIcon(), widget->windowTitle());
        QPointer<QWidget> target(widget);
        GuardedConnect(item, &QAction::triggered, this, [target] {
            if (!target) return;
            target->show();
            target->raise();
            target->activateWindow();
        });
    }
}

void TMainFrame::HeaderSortClicked(int section) {
    if (reading_) return;
    const QModelIndex current = MessageView->selectionModel()->currentIndex();
    const TMessageClass* selected = current.isValid() ? listModel_->EntryAt(current.row()) : nullptr;
    const int row = list_.HeaderClicked(section, selected);
    ExHeaderControl1->SetSortArrow(list_.SortColumn, list_.SortAscending);
    if (row >= 0) {
        SelectRow(row);
        MessageView->setFocus();
    }
    UpdateCommandStates();
}

void TMainFrame::HeaderResized() {
    // The list's single column spans all five sections.
    MessageView->doItemsLayout();
    MessageView->viewport()->update();
}

// ---- Events -------------------------------------------------------------------------------------

bool TMainFrame::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip) {
        // Hints go to panel 2, never over the panels.
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        if (!reading_) panels_[2]->setText(tip.isEmpty() ? QStringLiteral("Ok") : tip);
        return true;
    }
    return QMainWindow::event(event);
}

bool TMainFrame::eventFilter(QObject* watched, QEvent* event) {
    // Ctrl with a reply or forward click quotes the control lines; Ctrl in a key such as Ctrl+R does
    // not, so remember that the action is being run by its key.
    if (event->type() == QEvent::Shortcut && commands_ != nullptr) {
        for (const TCommand c : {TCommand::Reply, TCommand::ReplyNetmail, TCommand::Forward})
            if (watched == commands_->Action(c)) shortcutTriggered_ = true;
    }
    if (watched == MessageView->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && !reading_) {
            const QPoint pos = mouse->position().toPoint();
            const QModelIndex index = MessageView->indexAt(pos);
            if (index.isValid()) {
                const int x = pos.x() - MessageView->visualRect(index).left();
                Guarded([this, &index, x] { list_.ClickRow(index.row(), x); });
            }
        }
        return false;
    }
    // A press below the last area has nothing to choose: the open area stays open (the view would
    // clear its selection and so close the area).
    if (watched == AreaTree->viewport() &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (!AreaTree->indexAt(mouse->position().toPoint()).isValid()) {
            AreaTree->setFocus(Qt::MouseFocusReason);
            return true;
        }
        return false;
    }
    // The dialog that was in front when the program lost the focus comes back in front with it.
    if (event->type() == QEvent::WindowActivate && watched->isWidgetType()) {
        auto* window = static_cast<QWidget*>(watched);
        if (window->isWindow()) lastActiveDialog_ = qobject_cast<QDialog*>(window);
    } else if (event->type() == QEvent::ApplicationActivate && watched == qApp) {
        if (QWidget* dialog = lastActiveDialog_.data(); dialog != nullptr && dialog->isVisible()) {
            dialog->raise();
            dialog->activateWindow();
        }
    }
    // A greyed menu item is never highlighted, so Qt shows no status text for it: the one that says
    // why it is greyed is shown while the pointer is over it.
    if (event->type() == QEvent::MouseMove && !reading_) {
        if (auto* menu = qobject_cast<QMenu*>(watched); menu != nullptr && OwnsMenu(*menu)) {
            const QAction* action = menu->actionAt(static_cast<QMouseEvent*>(event)->position().toPoint());
            if (action != nullptr && TMainCommands::ShowsDisabledHint(*action))
                panels_[2]->setText(action->statusTip());
        }
    }
    // Reading keys of the list, the message text and the tree.
    if (event->type() == QEvent::KeyPress && !reading_ &&
        (watched == MessageView || watched == RichEdit1 || watched == AreaTree)) {
        const auto* key = static_cast<QKeyEvent*>(event);
        bool handled = false;
        Guarded([&] { handled = ReadingKey(watched, *key); });
        if (handled) return true;
    }
    // The key table sees every key the main window gets, before its controls.
    if (event->type() == QEvent::KeyPress && watched->isWindowType() &&
        watched == static_cast<QObject*>(windowHandle()) && isActiveWindow() && !reading_) {
        const auto* key = static_cast<QKeyEvent*>(event);
        Guarded([this, key] { commands_->RunKeyTable(*key, commandState_.Enabled(TCommand::FindNext)); });
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace pelmar::ui
