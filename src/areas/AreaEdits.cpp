#include "areas/AreaEdits.h"

#include <charconv>

#include "areas/gizmo.h"
#include "platform/Codepage.h"
#include "platform/Text.h"

namespace pelmar {

std::string BaseNameOfFile(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = path.rfind('.');
    // A leading dot names a hidden file, not an extension.
    if (dot == std::string::npos || dot <= nameStart) return path;
    return path.substr(0, dot);
}

std::optional<int> ParseHudsonBoard(const std::string& text) {
    const std::string_view trimmed = Trim(text);
    int board = 0;
    const char* end = trimmed.data() + trimmed.size();
    const auto [ptr, ec] = std::from_chars(trimmed.data(), end, board);
    if (trimmed.empty() || ec != std::errc() || ptr != end) return std::nullopt;
    if (board < HudsonBoardMin || board > HudsonBoardMax) return std::nullopt;
    return board;
}

std::string HudsonAreaPath(int board, const std::string& directory) {
    return std::string(1, static_cast<char>(static_cast<unsigned char>(board))) + directory;
}

std::optional<THudsonLocation> SplitHudsonPath(const std::string& path) {
    if (path.empty()) return std::nullopt;
    const int board = static_cast<unsigned char>(path[0]);
    if (board < HudsonBoardMin || board > HudsonBoardMax) return std::nullopt;
    return THudsonLocation{board, path.substr(1)};
}

TAreaInfo* FindChildNoCase(const TAreaInfo& folder, const std::string& name, const TAreaInfo* except) {
    for (int i = 0; i < folder.ChildCount(); ++i) {
        TAreaInfo* child = folder.Child(i);
        if (child != except && AnsiSameText(child->Name, name)) return child;
    }
    return nullptr;
}

std::string UniqueChildName(const TAreaInfo& folder, const std::string& base) {
    std::string name = base;
    while (FindChildNoCase(folder, name) != nullptr) name += "1";
    return name;
}

bool RenameEntry(TAreaInfo& entry, const std::string& name) {
    if (name.empty()) return false;
    if (entry.Parent() != nullptr && FindChildNoCase(*entry.Parent(), name, &entry) != nullptr) return false;
    entry.Change([&](TAreaInfo& e) { e.Name = name; });
    return true;
}

bool CanMoveInto(const TAreaInfo& entry, const TAreaInfo& target) {
    if (&entry == &target || entry.Parent() == &target || entry.Parent() == nullptr) return false;
    if (target.Zilo == ZiloLinkedGroup) return false;
    return !target.IsDescendantOf(&entry);
}

std::vector<TAreaInfo*> MoveEntries(const std::vector<TAreaInfo*>& entries, TAreaInfo& target,
                                    const std::function<void(TAreaInfo&)>& beforeMove) {
    std::vector<TAreaInfo*> moved;
    for (TAreaInfo* entry : entries) {
        if (entry == nullptr || !CanMoveInto(*entry, target)) continue;
        const TAreaLock lock(*entry);
        if (beforeMove) beforeMove(*entry);
        std::unique_ptr<TAreaInfo> owned = entry->Detach();
        if (owned) {
            owned->Name = UniqueChildName(target, owned->Name);
            target.AddChild(std::move(owned));
            moved.push_back(entry);
        }
    }
    return moved;
}

namespace {
TAreaGoneHook& GoneHook() {
    static TAreaGoneHook hook;
    return hook;
}

void TellGone(TAreaInfo& entry) {
    for (int i = entry.ChildCount() - 1; i >= 0; --i) TellGone(*entry.Child(i));
    if (GoneHook()) GoneHook()(entry);
}

// A linked group has no node of its own: its areas hang under the group's parent, so deleting the
// nodes of the subtree's top alone would leave theirs pointing at freed entries. Every entry is
// visited; those below a deleted node have lost theirs with it.
void DropTreeNodes(TAreaInfo& entry, TAreaTreeView& view) {
    if (view.HasNode(entry)) view.DeleteNode(entry);
    for (int i = 0; i < entry.ChildCount(); ++i) DropTreeNodes(*entry.Child(i), view);
}
}  // namespace

TTreeUpdateScope::TTreeUpdateScope() : view_(AreaTreeView()) {
    if (view_ != nullptr) view_->BeginUpdate();
}

TTreeUpdateScope::~TTreeUpdateScope() {
    if (view_ != nullptr) view_->EndUpdate();
}

void SetAreaGoneHook(TAreaGoneHook hook) {
    GoneHook() = std::move(hook);
}

bool DeleteEntry(TAreaInfo& entry) {
    if (entry.Parent() == nullptr) return false;
    std::unique_ptr<TAreaInfo> owned;
    {
        const TAreaLock lock(entry);
        if (TAreaTreeView* view = AreaTreeView()) DropTreeNodes(entry, *view);
        TellGone(entry);
        owned = entry.Detach();
    }
    owned.reset();
    return true;
}

}  // namespace pelmar
