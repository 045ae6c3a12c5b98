#pragma once
// The edits the area manager window makes to the area tree, without the window: names of new
// entries, moving, deleting, and the location fields of the properties dialog.
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pelmar {

class TAreaInfo;
class TAreaTreeView;

// The base name a JAM or Squish file stands for: the file name without its final extension only, so
// "su.general.jhr" keeps "su.general" (tossers name bases after their dotted tags).
std::string BaseNameOfFile(const std::string& path);

// Hudson boards are numbered 1..200; anything else (blank, not a number, out of range) is refused.
inline constexpr int HudsonBoardMin = 1;
inline constexpr int HudsonBoardMax = 200;
std::optional<int> ParseHudsonBoard(const std::string& text);
// A Hudson area's Path: one character whose code is the board, then the base directory.
std::string HudsonAreaPath(int board, const std::string& directory);
// The reverse; nullopt for an empty Path or a first character outside 1..200.
struct THudsonLocation {
    int Board = 1;
    std::string Directory;
};
std::optional<THudsonLocation> SplitHudsonPath(const std::string& path);

// A child of `folder` with this name, compared ignoring case (registry keys compare that way), other
// than `except`; null when there is none.
TAreaInfo* FindChildNoCase(const TAreaInfo& folder, const std::string& name,
                           const TAreaInfo* except = nullptr);
// `base`, with "1" appended as often as needed until no child of `folder` has the name.
std::string UniqueChildName(const TAreaInfo& folder, const std::string& base);
// Renames under the entry's lock; false (nothing changed) for an empty name or one a sibling has.
bool RenameEntry(TAreaInfo& entry, const std::string& name);

// An entry may go below `target` unless it is the target, an ancestor of it, already its child, or
// the target is a linked group (whose content is re-read from its file).
bool CanMoveInto(const TAreaInfo& entry, const TAreaInfo& target);
// Moves every entry that may go (in the given order) to the end of the target's children, renaming
// it when the target already has a child of its name. Returns the entries moved; `beforeMove` runs
// for each just before it changes place (the windows move their nodes there).
std::vector<TAreaInfo*> MoveEntries(const std::vector<TAreaInfo*>& entries, TAreaInfo& target,
                                    const std::function<void(TAreaInfo&)>& beforeMove = {});

// Told about every entry of a subtree that is about to be freed, deepest first, so open editors
// drop it from their destinations (or close) before the pointer dangles. The editor list installs it.
using TAreaGoneHook = std::function<void(TAreaInfo& entry)>;
void SetAreaGoneHook(TAreaGoneHook hook);
// Detaches the entry from its parent and frees it with its subtree after deleting the main window's
// node of every entry of it that has one (AreaTreeView) and telling the hook about each entry of it.
// The root cannot be deleted (false).
bool DeleteEntry(TAreaInfo& entry);

// Holds back the main window's redrawing and counting for a scope (BeginUpdate..EndUpdate of
// AreaTreeView, nothing without one). Deleting many entries inside one scope computes the counters
// once, after the last entry is freed, instead of once per deleted node.
class TTreeUpdateScope {
public:
    TTreeUpdateScope();
    ~TTreeUpdateScope();
    TTreeUpdateScope(const TTreeUpdateScope&) = delete;
    TTreeUpdateScope& operator=(const TTreeUpdateScope&) = delete;

private:
    TAreaTreeView* view_;
};

}  // namespace pelmar
