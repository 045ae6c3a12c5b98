#pragma once
// The six navigation commands of the message pane and the selection menu, on the list's rows.
#include <optional>
#include <string>
#include <vector>

namespace pelmar {

class TThreadList;

enum class TNavigationCommand { PrevInThread, PrevUnread, Prev, NextInThread, NextUnread, Next };

// The row a navigation command moves to from `row`, expanding threads on its way as the command
// says. nullopt: the command does nothing (the selection stays); -1: no row stays selected.
std::optional<int> NavigateFrom(TThreadList& list, TNavigationCommand command, int row);

enum class TSelectionCommand { All, None, Invert, Read, Personal };

// Which rows the selection menu's command leaves selected, given the rows selected now.
std::vector<bool> SelectRows(const TThreadList& list, TSelectionCommand command,
                             const std::vector<bool>& selected, const std::string& fullName);

}  // namespace pelmar
