#include "reader/Navigation.h"

#include <algorithm>

#include "reader/ThreadList.h"

namespace pelmar {
namespace {

bool Collapsed(const TMessageClass& entry) {
    return entry.HasReplies() && !entry.Expanded;
}

// Expands the entry's whole subtree into the rows; returns the number of rows inserted.
int ExpandCompletely(TThreadList& list, TMessageClass& entry, int row) {
    entry.ExpandAll();
    return list.ExpandThread(entry, row);
}

int LastRow(const TThreadList& list) {
    return static_cast<int>(list.Rows.size()) - 1;
}

TMessageClass& At(const TThreadList& list, int row) {
    return *list.Rows[static_cast<size_t>(row)];
}

std::optional<int> PrevInThread(TThreadList& list, int row) {
    if (row == 0) return std::nullopt;
    TMessageClass& current = At(list, row);
    TMessageClass& above = At(list, row - 1);
    if (Collapsed(above)) ExpandCompletely(list, above, row - 1);
    // The subtree above was inserted between the two: the target is directly above the current row.
    return list.RowOf(&current) - 1;
}

std::optional<int> NextInThread(TThreadList& list, int row) {
    TMessageClass& current = At(list, row);
    if (Collapsed(current)) {
        list.ExpandThread(current, row);
    } else {
        if (row == LastRow(list)) return std::nullopt;
        TMessageClass& next = At(list, row + 1);
        if (Collapsed(next)) list.ExpandThread(next, row + 1);
    }
    return row + 1 <= LastRow(list) ? std::optional<int>(row + 1) : std::nullopt;
}

int Prev(const TThreadList& list, int row) {
    const int level = At(list, row).Level;
    for (int r = row - 1; r >= 0; --r) {
        if (At(list, r).Level <= level) return r;
    }
    return row;
}

int Next(const TThreadList& list, int row) {
    const int level = At(list, row).Level;
    for (int r = row + 1; r <= LastRow(list); ++r) {
        if (At(list, r).Level <= level) return r;
    }
    return LastRow(list);
}

std::optional<int> PrevUnread(TThreadList& list, int row) {
    if (row == 0) return std::nullopt;
    int r = row - 1;
    while (r >= 0) {
        TMessageClass& entry = At(list, r);
        if (Collapsed(entry)) {
            // Look at its replies first, from the bottom of the subtree up.
            r += ExpandCompletely(list, entry, r);
            continue;
        }
        if (!entry.Read) return r;
        --r;
    }
    return -1;
}

std::optional<int> NextUnread(TThreadList& list, int row) {
    TMessageClass& current = At(list, row);
    if (Collapsed(current)) list.ExpandThread(current, row);
    if (row == LastRow(list)) return row;
    for (int r = row + 1; r <= LastRow(list); ++r) {
        TMessageClass& entry = At(list, r);
        if (!entry.Read) return r;
        if (Collapsed(entry)) list.ExpandThread(entry, r);
    }
    return LastRow(list);
}

bool Open(const TMessageClass& entry) {
    return entry.HasReplies() && entry.Expanded;
}

}  // namespace

std::optional<int> ThreadKeyFrom(TThreadList& list, TThreadKey key, int row) {
    if (row < 0 || row > LastRow(list)) return std::nullopt;
    TMessageClass& entry = At(list, row);
    TMessageClass* parent = entry.Parent != nullptr && entry.Parent->Level >= 0 ? entry.Parent : nullptr;
    switch (key) {
        case TThreadKey::Expand:
            if (!Collapsed(entry)) return std::nullopt;
            list.ExpandThread(entry, row);
            return row;
        case TThreadKey::ExpandOrDescend:
            if (Collapsed(entry)) {
                list.ExpandThread(entry, row);
                return row;
            }
            return Open(entry) && row < LastRow(list) ? std::optional<int>(row + 1) : std::nullopt;
        case TThreadKey::Collapse:
            if (Open(entry)) {
                list.CollapseThread(entry, row);
                return row;
            }
            if (parent == nullptr) return std::nullopt;
            list.CollapseThread(*parent, list.RowOf(parent));
            return list.RowOf(parent);
        case TThreadKey::CollapseOrAscend:
            if (Open(entry)) {
                list.CollapseThread(entry, row);
                return row;
            }
            if (parent == nullptr) return std::nullopt;
            return list.RowOf(parent);
    }
    return std::nullopt;
}

TMessageClass* NextUnreadEntry(const TThreadList& list, const TMessageClass* from) {
    const TMessageClass* root = list.ThreadRoot.get();
    if (root == nullptr) return nullptr;
    // The walk's position: for each level from the root down, the parent and the index of the
    // reply the walk is in. Built once from `from`'s ancestors.
    struct TStep {
        const TMessageClass* Parent;
        size_t Index;
    };
    std::vector<TStep> path;
    if (from == nullptr) {
        if (root->Replies.empty()) return nullptr;
        path.push_back({root, 0});
    } else {
        for (const TMessageClass* at = from; at != root; at = at->Parent) {
            if (at == nullptr || at->Parent == nullptr) return nullptr;  // not in the listed tree
            const int index = at->IndexInParent();
            if (index < 0) return nullptr;
            path.push_back({at->Parent, static_cast<size_t>(index)});
        }
        std::reverse(path.begin(), path.end());
    }
    // Pre-order: into the replies first, else on to the next sibling, climbing as needed.
    bool visitCurrent = from == nullptr;
    while (!path.empty()) {
        TStep& step = path.back();
        TMessageClass& entry = *step.Parent->Replies[step.Index];
        if (visitCurrent && !entry.Read && !entry.Deleted) return &entry;
        visitCurrent = true;
        if (entry.HasReplies()) {
            path.push_back({&entry, 0});
            continue;
        }
        while (!path.empty() && path.back().Index + 1 >= path.back().Parent->Replies.size()) path.pop_back();
        if (!path.empty()) ++path.back().Index;
    }
    return nullptr;
}

std::optional<int> NavigateFrom(TThreadList& list, TNavigationCommand command, int row) {
    if (row < 0 || row > LastRow(list)) return std::nullopt;
    switch (command) {
        case TNavigationCommand::PrevInThread:
            return PrevInThread(list, row);
        case TNavigationCommand::NextInThread:
            return NextInThread(list, row);
        case TNavigationCommand::Prev:
            return Prev(list, row);
        case TNavigationCommand::Next:
            return Next(list, row);
        case TNavigationCommand::PrevUnread:
            return PrevUnread(list, row);
        case TNavigationCommand::NextUnread:
            return NextUnread(list, row);
    }
    return std::nullopt;
}

std::vector<bool> SelectRows(const TThreadList& list, TSelectionCommand command,
                             const std::vector<bool>& selected, const std::string& fullName) {
    std::vector<bool> result(list.Rows.size(), false);
    for (size_t i = 0; i < result.size(); ++i) {
        const TMessageClass& entry = *list.Rows[i];
        const bool was = i < selected.size() && selected[i];
        switch (command) {
            case TSelectionCommand::All:
                result[i] = true;
                break;
            case TSelectionCommand::None:
                break;
            case TSelectionCommand::Invert:
                result[i] = !was;
                break;
            case TSelectionCommand::Read:
                result[i] = entry.Read;
                break;
            case TSelectionCommand::Personal:
                result[i] = !entry.Deleted && entry.ToName == fullName;
                break;
        }
    }
    return result;
}

}  // namespace pelmar
