#pragma once
// The six navigation commands of the message pane and the selection menu, on the list's rows.
#include <optional>
#include <string>
#include <vector>

namespace pelmar {

class TMessageClass;
class TThreadList;

enum class TNavigationCommand { PrevInThread, PrevUnread, Prev, NextInThread, NextUnread, Next };

// The row a navigation command moves to from `row`, expanding threads on its way as the command
// says. nullopt: the command does nothing (the selection stays); -1: no row stays selected.
std::optional<int> NavigateFrom(TThreadList& list, TNavigationCommand command, int row);

// The keys that open and close threads in the list, as tree views have them.
enum class TThreadKey {
    Expand,            // "+": open the row's thread
    Collapse,          // "-": close the row's thread, or the thread the row is a reply in
    ExpandOrDescend,   // Right: open a closed thread, else go to its first reply
    CollapseOrAscend,  // Left: close an open thread, else go to the parent
};

// The row to select after the key (the same row when it only opened or closed a thread); nullopt
// when the key does nothing there.
std::optional<int> ThreadKeyFrom(TThreadList& list, TThreadKey key, int row);

// The next unread message after `from` in the order the list shows the tree (replies in closed
// threads included, deleted messages passed over); from null: the first. Null when there is none.
// The walk is iterative and linear in the entries it passes.
TMessageClass* NextUnreadEntry(const TThreadList& list, const TMessageClass* from);

enum class TSelectionCommand { All, None, Invert, Read, Personal };

// Which rows the selection menu's command leaves selected, given the rows selected now.
std::vector<bool> SelectRows(const TThreadList& list, TSelectionCommand command,
                             const std::vector<bool>& selected, const std::string& fullName);

}  // namespace pelmar
