#pragma once
// Which entries a window's tree of areas shows, and in what order. Every tree of areas is filled
// from these rows; the windows only render them.
#include <vector>

namespace pelmar {

class TAreaInfo;

enum class TAreaTreeKind {
    // The trees to read and choose areas from (main window, destinations, search, copy): the shown
    // tree, sorted, with a linked group's areas beside the group. Only ordinary entries have rows;
    // a linked group (or an entry of a kind this program does not know) has none, nor has what it
    // holds.
    Reading,
    // The area manager's tree: the stored tree in its own order, every entry with a row; a linked
    // group is one row without what it holds.
    Manager,
};

struct TAreaTreeRow {
    TAreaInfo* Entry = nullptr;
    int Parent = -1;  // index of the parent's row; -1 for the rows right below the starting entry
};

// The rows below `from` (which has none itself), each parent before its children, siblings in the
// tree's order.
std::vector<TAreaTreeRow> AreaTreeRows(const TAreaInfo& from, TAreaTreeKind kind);

}  // namespace pelmar
