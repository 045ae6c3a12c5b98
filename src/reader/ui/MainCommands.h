#pragma once
// The main window's commands as actions, laid out in its menu bar, four toolbars, pop-ups and
// drop-downs, plus the table of single keys. Actions only report which command was chosen; the
// window runs it and decides through TCommandState which are enabled.
#include <QList>
#include <QObject>
#include <map>
#include <vector>

#include "reader/CommandState.h"

class QAction;
class QIcon;
class QPoint;
class QString;
class QMainWindow;
class QMenu;
class QMenuBar;
class QToolBar;
class QKeyEvent;

namespace pelmar::ui {

class TMainCommands : public QObject {
    Q_OBJECT

public:
    // Creates every action, menu and toolbar as children of `window` (toolbars not yet docked).
    explicit TMainCommands(QMainWindow& window);

    // The main-menu action of a command (null for commands that have none).
    QAction* Action(TCommand command) const;
    // Every action (menu, toolbar, pop-up) that runs the command.
    std::vector<QAction*> Actions(TCommand command) const;
    // Enables and disables every action from the state.
    void Apply(const TCommandState& state);
    // The action is disabled and its tooltip and status text say why.
    static bool ShowsDisabledHint(const QAction& action);

    // The key table: for a key press without modifiers, runs the first enabled table command of
    // that key. True when a command ran. `findNextEnabled` settles F3, which is also find next's
    // key: while a search can be continued, F3 is left to it.
    bool RunKeyTable(const QKeyEvent& event, bool findNextEnabled);

    // Plug-in buttons go on the "Письмо" toolbar, which then owns them: `first` puts the button
    // right after the bookmarks button (first when the toolbar has none), else it goes last.
    void AddPluginButton(QAction* button, bool first);
    // The "Письмо" toolbar's buttons in their order.
    QList<QAction*> LetterBarButtons() const;

    // ---- The window's bars and menus ----
    // Docks the four toolbars at the top in their order: "Окна", "Письмо", "Просмотр", "Справка".
    void DockToolbars(QMainWindow& window);
    void SetMenuVisible(bool visible);
    void SetToolbarsVisible(bool visible);
    bool ToolbarsHidden() const;
    // The message list's and the message text's pop-up menus at a point on the screen.
    void PopupListMenu(const QPoint& global);
    void PopupTextMenu(const QPoint& global);
    // The "Кодировка" drop-down (off while pseudographics are shown).
    void SetCodingEnabled(bool enabled);
    // The "Список окон" menu, filled anew each time it opens (after WindowListRequested).
    void ClearWindowList();
    QAction* AddWindowListItem(const QIcon& icon, const QString& title);

private:
    QMenuBar* MainMenu1 = nullptr;
    QToolBar* Toolbar971 = nullptr;  // "Письмо"
    QToolBar* Toolbar972 = nullptr;  // "Окна"
    QToolBar* Toolbar973 = nullptr;  // "Справка"
    QToolBar* Toolbar974 = nullptr;  // "Просмотр"
    QMenu* PopupMenu1 = nullptr;     // message list
    QMenu* RicheditMenu = nullptr;   // message text
    QMenu* PopupMenu2 = nullptr;     // menu and toolbar visibility
    QMenu* PopupMenu3 = nullptr;     // selection drop-down
    QMenu* FontMenu = nullptr;
    QMenu* CodingMenu = nullptr;
    QMenu* WindowList = nullptr;

signals:
    void Triggered(pelmar::TCommand command);
    // The window list is about to open: the window fills it.
    void WindowListRequested();

private:
    // A main-menu action; `caption` carries the accelerator mark.
    QAction* Make(TCommand command, const QString& caption, const char* themeIcon = nullptr,
                  const QString& fallbackIcon = QString());
    // A further action for a pop-up item with its own caption.
    QAction* Extra(TCommand command, const QString& caption);
    // Tooltip and status text from a hint "tip|long text".
    static void SetHint(QAction* action, const QString& hint);
    // Tooltip and status text of a disabled action say what to set; None brings its own back.
    static void ApplyDisabledHint(QAction* action, TDisabledHint hint);
    void BuildMenus(QMainWindow& window);
    void BuildToolbars(QMainWindow& window);
    void BuildPopups(QMainWindow& window);

    std::multimap<TCommand, QAction*> actions_;
    std::map<TCommand, QAction*> main_;
    struct TKeyEntry {
        int Key;
        TCommand Command;
    };
    std::vector<TKeyEntry> keyTable_;
};

}  // namespace pelmar::ui
