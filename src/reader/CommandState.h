#pragma once
// Which commands of the main window may run, computed from what the window shows.
//
// The window owns one TCommandState, fills a TCommandContext after every change of the shown
// message, the selection, the search position or the area, and enables its actions from Enabled().
// A command whose window or engine does not exist in this build is not Available: it stays visible
// and disabled whatever the rules say.
#include <array>
#include <cstddef>

namespace pelmar {

enum class TCommand : int {
    // Message commands (toolbar "Письмо", menu "&Письмо", list pop-up)
    NewLetter,
    Reply,
    ReplyNetmail,
    Forward,
    Edit,
    Multiply,
    Delete,
    Copy,
    UUDecode,
    Save,
    Print,
    AddBookmark,
    // Reading by keys and the read marks
    NextUnread,
    PrevUnread,
    MarkUnread,
    MarkAreaRead,
    // Message text pop-up
    TextCopy,
    TextSelectAll,
    TakeTearline,
    TakeOrigin,
    // Selection drop-down
    SelectAll,
    SelectNone,
    InvertSelection,
    SelectRead,
    SelectPersonal,
    // Search
    Find,
    FindNext,
    // View and settings
    BuildThreads,
    FontProportional,
    FontMonospace,
    FontPseudoGraphics,
    CodingDos,
    CodingWindows,
    Settings,
    TemplateEditor,
    GoldedImport,
    // Windows and help
    ErrorReport,
    AreasDialog,
    AddressBook,
    NodeList,
    Bookmarks,
    WindowListMenu,
    WindowListDialog,
    MainWindow,
    HelpContents,
    HelpManual,
    HelpNovice,
    About,
    Exit,
    ShowMenu,
    ShowToolbars,
};
inline constexpr std::size_t CommandCount = static_cast<std::size_t>(TCommand::ShowToolbars) + 1;

// What the rules look at.
struct TCommandContext {
    bool HasCurrentEntry = false;      // a message is shown
    bool CurrentDeleted = false;       // ... and it was deleted since the area was read
    int SelectionCount = 0;            // selected list entries
    bool SelectionHasDeleted = false;  // one of them was deleted
    bool HasFindNextPosition = false;  // a search can be continued
    bool NetmailAreaExists = false;    // the "NetmailArea" setting names an existing area
    bool CurrentAreaIsNetmail = false;
    bool AreaListed = false;  // an area's messages are listed
};

// Why a command is disabled, where the user can change it.
enum class TDisabledHint {
    None,
    NoNetmailArea,  // reply by netmail: no netmail area is set in the settings
};

class TCommandState {
public:
    // Every command available, the rules computed for an empty context.
    TCommandState();

    // Whether this build can run the command at all.
    void SetAvailable(TCommand command, bool available);
    bool Available(TCommand command) const { return available_[Index(command)]; }

    void Update(const TCommandContext& context);
    // The enabling rule alone.
    bool Allowed(TCommand command) const { return allowed_[Index(command)]; }
    bool Enabled(TCommand command) const { return Allowed(command) && Available(command); }

    static bool RuleAllows(TCommand command, const TCommandContext& context);
    // What to tell the user about a command the last context disables (None when it is enabled or
    // there is nothing the user could set).
    TDisabledHint Hint(TCommand command) const {
        return Allowed(command) ? TDisabledHint::None : hints_[Index(command)];
    }
    static TDisabledHint HintFor(TCommand command, const TCommandContext& context);

private:
    static std::size_t Index(TCommand command) { return static_cast<std::size_t>(command); }
    std::array<bool, CommandCount> available_{};
    std::array<bool, CommandCount> allowed_{};
    std::array<TDisabledHint, CommandCount> hints_{};
};

}  // namespace pelmar
