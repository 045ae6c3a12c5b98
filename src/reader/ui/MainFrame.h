#pragma once
// The main reading window: area tree, threaded message list, message pane, commands.
//
// The window wires widgets to the engine and little else: TThreadList (src/reader) holds the list,
// TAreaMarks the tree's captions and marks, TCommandState the command rules. It is the area tree
// view of linked-group refreshes, the thread list's observer and the main-window services of the
// rest of the program while it exists.
#include <QMainWindow>
#include <QPointer>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "areas/LiveMail.h"
#include "areas/gizmo.h"
#include "nodelist/ui/NodelistWindows.h"
#include "reader/AreaMarks.h"
#include "reader/CommandState.h"
#include "reader/MainWindowServices.h"
#include "reader/Navigation.h"
#include "reader/ThreadList.h"

class QDBusConnection;
class QKeyEvent;
class QLabel;
class QTimer;
class QListView;
class QModelIndex;
class QSplitter;
class QTreeView;
class QToolBar;

namespace pelmar::ui {

class TAnimation;
class TAreaTreeModel;
class TDesktopNotifier;
class TDraftKeeper;
class TErrorReportForm;
class THeaderControl;
class TMainCommands;
class TMainDialogs;
class TMessageListModel;
class TMessageText;
class TMessageViewPane;
class TReadInputGuard;
class TReadingController;
class TTemplEditForm;

class TMainFrame : public QMainWindow,
                   public TAreaTreeView,
                   public TThreadListObserver,
                   public TMainWindowServices {
    Q_OBJECT

public:
    explicit TMainFrame(QWidget* parent = nullptr);
    ~TMainFrame() override;

    // Status bar panels: 0 progress of long operations, 1 state, 2 text.
    QLabel* StatusPanel(int index) const;
    static constexpr int kStatusPanels = 3;

    // Started with "-noavi": the animation window stays hidden.
    bool NoAnimation = false;

    // ---- Operations other parts call ----
    // Rebuilds the tree from the area manager (nothing without one).
    void BuildAreaTree();
    // Captions and marks of every area node; the scan's notification after each pass.
    void RefreshAreaCounters();
    // The scan counted areas (a queued call on this thread): the counters are redrawn and a note
    // about watching the bases goes to the status line.
    void ScanPassFinished(const TScanReport& report);
    void UpdateCommandStates() override;
    // Progress panel as a percentage (the nodelist compiler's callback).
    void SetProgressPercent(int percent);
    // Lists the area of the tree's selected node (leaving the listed one).
    void OpenSelectedArea();
    // Offers to recompile the nodelist when its files changed (first show, confirmed settings).
    void CheckNodelist();
    // Closes the window when nobody can be asked (a signal): letters the draft store cannot take go
    // to a rescue file instead of a question.
    void CloseUnattended();
    // The node browser and the address book windows of this window.
    TNodelistWindows& NodelistWindows() { return nodelistWindows_; }

    // ---- Personal mail ----
    // Newly arrived personal mail (the count's report): a desktop notification per message, or one
    // for many at once; a click opens the message. Nothing while the setting is off.
    void AnnouncePersonalMail(const std::vector<TNewPersonalMail>& mail);
    // Lists the message's area and selects the message, the window brought to the front; false
    // (with a word in the status line) when the area or the message is gone.
    bool OpenPersonalMail(const TNewPersonalMail& mail);
    // Desktop notifications go over `bus` from now on (the session bus until then).
    void UseNotificationBus(const QDBusConnection& bus);
    // "Пелмар", or with the unread personal mail of every area: "Пелмар — личных писем: 3".
    static QString TitleFor(int64_t personalUnread);

    // ---- TMainWindowServices ----
    void MessageAdded(TAreaInfo& area, int position) override;
    void MessageChanged(TAreaInfo& area, int position, const std::string& msgId) override;
    void UpdateAreaNode(TAreaInfo& area) override;
    void SetStatusText(const std::string& text) override;
    void ClearSelection() override;
    void ResetSearch() override;
    TAreaInfo* CurrentArea() override { return list_.CurrentArea; }
    TMessageBase* CurrentBase() override { return list_.Base; }
    const TMessageClass* CurrentEntry() override { return list_.CurrentEntry; }
    const TShownMessage* ShownMessage() override;
    int ViewFontMode() override;

    // ---- TAreaTreeView ----
    bool TreeVisible() const override;
    void BeginUpdate() override;
    void EndUpdate() override;
    bool HasNode(const TAreaInfo& entry) const override;
    void DeleteNode(TAreaInfo& entry) override;
    void AddNode(TAreaInfo& entry) override;

    // ---- The window's pieces, for the dialogs and commands built on them and for tests ----
    TThreadList& List() { return list_; }
    const TCommandState& CommandState() const { return commandState_; }
    TMainCommands& Commands() { return *commands_; }
    TAreaTreeModel& AreaModel() { return *areaModel_; }
    TMessageViewPane& MessagePane() { return *messagePane_; }
    TReadingController& Reading() { return *readingController_; }
    TMessageListModel& ListModel() { return *listModel_; }
    TMainDialogs& Dialogs() { return *dialogs_; }
    TDraftKeeper& DraftKeeper() { return *draftKeeper_; }
    // The template editor and the error-report form once they were opened, else null.
    TTemplEditForm* TemplateEditor() const;
    TErrorReportForm* ErrorReport() const;
    // The row becomes the only selected one, scrolled into view.
    void SelectListRow(int row) { SelectRow(row); }
    // The area's node of the tree becomes current, scrolled into view; false when the tree does not
    // show it. The area is not listed until OpenSelectedArea.
    bool SelectAreaNode(const TAreaInfo& area);
    // The selected entries in row order.
    std::vector<TMessageClass*> Selection() const;
    // The selected rows as sorted, disjoint [first, last] runs.
    std::vector<std::pair<int, int>> SelectedRuns() const;
    // Runs a command as its menu item or button would.
    void RunCommand(TCommand command);

private:
    QTreeView* AreaTree = nullptr;
    QListView* MessageView = nullptr;
    THeaderControl* ExHeaderControl1 = nullptr;
    QSplitter* RxSplitter1 = nullptr;
    QSplitter* RxSplitter2 = nullptr;
    QWidget* Panel2 = nullptr;
    QWidget* Panel4 = nullptr;
    QWidget* Panel5 = nullptr;  // the message pane
    QToolBar* ToolWindow971 = nullptr;

public:
    // The window's key below the profile's base key.
    static std::string LayoutKey();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    QMenu* createPopupMenu() override;

private:
    // ---- TThreadListObserver ----
    void BeginResetRows() override;
    void EndResetRows() override;
    void BeginInsertRows(int first, int last) override;
    void EndInsertRows() override;
    void BeginRemoveRows(int first, int last) override;
    void EndRemoveRows() override;
    void RowsChanged(int first, int last) override;
    void StatusText(int panel, const std::string& text) override;
    void ShowProgress() override;
    void UpdateProgress(int position, int maximum) override;
    void HideProgress() override;
    void BeginWait() override;
    void EndWait() override;
    bool AbortRequested() override;
    void ReadError(const std::string& text, int count) override;

    void Execute(TCommand command);
    // byShortcut: run by a key, whose Ctrl does not ask for the control lines to be quoted.
    void OpenEditorOnCurrent(TCommand command, bool byShortcut);
    void RunGoldedImport();
    void RunSettings();
    void ShowAreas();
    void ShowTemplateEditor();
    void ShowErrorReport();
    void DecodeSelected();
    // Space, Shift+Space, and in the list Right, Left, "+" and "-": true when the key was used.
    bool ReadingKey(QObject* watched, const QKeyEvent& key);
    bool ThreadKey(TThreadKey key);
    // The menu is one of this window's (the menu bar's or a pop-up).
    bool OwnsMenu(const QMenu& menu) const;
    // Pages the message text down (up); at its end the next unread message.
    void PageOrNextUnread(bool back);
    // The next unread message below the shown one, else in the next area of the tree with unread
    // mail, else from the top of this area.
    void GoToNextUnread();
    // Areas with a node, in the order the tree shows them.
    std::vector<TAreaInfo*> AreasInTreeOrder() const;
    void CreateStatusBar();
    void CreatePanes();
    void CreateAnimation();
    void ConnectCommands();
    void FormShow();
    void TreeSelectionChanged();
    void ListCurrentChanged(const QModelIndex& current);
    void HeaderSortClicked(int section);
    void HeaderResized();
    void BuildThreadsClick(bool checked);
    void DisplayModeClick(TCommand mode);
    void SetMenuVisible(bool visible);
    void SetToolbarsVisible(bool visible);
    // Runs or rests the toolbar animation as the window's state asks.
    void UpdateAnimation();
    void FillWindowList();
    void SelectRow(int row);
    // The open area's base changed (the count saw it): the list takes what other programs wrote,
    // keeping the selection and what the user sees at the top of the list.
    void TakeOpenAreaChanges();
    void ShowCurrentMessage();
    void ClearMessagePane();
    void CreateReading();
    void ApplyMark(TAreaInfo& area);
    // Runs `read` with input held back and the list frozen; false when another read is running.
    bool RunRead(const std::function<void()>& read);
    // Runs `work` now, or after the running read when one is in progress.
    void WhenIdle(std::function<void()> work);
    void RestoreLayout();
    void StoreLayout();
    // The title counts the unread personal mail of every area.
    void UpdateTitle();
    void CreateNotifier(TDesktopNotifier* notifier);

    TThreadList list_;
    TAreaMarks marks_;
    TCommandState commandState_;
    TMainCommands* commands_ = nullptr;
    TMainDialogs* dialogs_ = nullptr;
    TAreaTreeModel* areaModel_ = nullptr;
    TMessageListModel* listModel_ = nullptr;
    TReadInputGuard* inputGuard_ = nullptr;
    TAnimation* animation_ = nullptr;
    QTimer* openAreaRetry_ = nullptr;  // asks a busy open area again (TakeOpenAreaChanges)
    TMessageViewPane* messagePane_ = nullptr;
    TReadingController* readingController_ = nullptr;
    TDraftKeeper* draftKeeper_ = nullptr;
    QPointer<TTemplEditForm> templateEditor_;
    QPointer<TErrorReportForm> errorReport_;
    TDesktopNotifier* notifier_ = nullptr;
    TMessageText* RichEdit1 = nullptr;
    std::array<QLabel*, kStatusPanels> panels_{};
    bool treeChangeSuppressed_ = true;
    bool shown_ = false;
    bool shortcutTriggered_ = false;  // the next command comes from a key, not a click
    bool reading_ = false;
    bool unattendedClose_ = false;
    int waitDepth_ = 0;
    int updateDepth_ = 0;
    bool marksStale_ = false;
    std::vector<std::function<void()>> afterRead_;
    QPointer<QWidget> lastActiveDialog_;
    TNodelistWindows nodelistWindows_;
};

// The one main window while it exists, else null.
extern TMainFrame* MainFrame;

}  // namespace pelmar::ui
