#include "areas/gizmo.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "areas/AreaEdits.h"
#include "core/Codepage.h"
#include "msgbase/BaseFactory.h"
#include "msgbase/MessageBase.h"

namespace pelmar {

namespace {

[[noreturn]] void IndexFailure(const char* list, int index, int count) {
    char text[160];
    std::snprintf(text, sizeof text, "Assertion failed (gizmo.cpp): %s index %d outside 0..%d", list, index,
                  count - 1);
    throw EAssertionFailed(text);
}

std::mutex importersMutex;
std::map<int, TAreaImporter>& Importers() {
    static std::map<int, TAreaImporter> importers;
    return importers;
}

TAreaImporter ImporterFor(int kind) {
    std::lock_guard guard(importersMutex);
    const auto it = Importers().find(kind);
    return it != Importers().end() ? it->second : TAreaImporter{};
}

std::atomic<TAreaTreeView*> treeView{nullptr};

// Ranks of the shown order: linked groups, folders, netmail, then the name.
bool ShownBefore(const TAreaInfo* a, const TAreaInfo* b) {
    const bool aGroup = a->Zilo == ZiloLinkedGroup, bGroup = b->Zilo == ZiloLinkedGroup;
    if (aGroup != bGroup) return aGroup;
    const bool aFolder = a->Kind == AreaKindFolder, bFolder = b->Kind == AreaKindFolder;
    if (aFolder != bFolder) return aFolder;
    if (a->IsNetmail != b->IsNetmail) return a->IsNetmail;
    return AnsiCompareText(a->Name, b->Name) < 0;
}

bool KeptByFilters(const TAreaInfo& group, const TAreaInfo& entry) {
    if (!group.AKAInclude.empty() && entry.UseAKA != group.AKAInclude) return false;
    if (!group.WildInclude.empty() && !MatchesWildcardList(entry.Name, group.WildInclude)) return false;
    if (!group.AKAExclude.empty() && entry.UseAKA == group.AKAExclude) return false;
    if (!group.WildExclude.empty() && MatchesWildcardList(entry.Name, group.WildExclude)) return false;
    return true;
}

// "?" stands for any one character; both texts are upper case already.
bool PieceAt(const std::string& name, size_t at, std::string_view piece) {
    if (at + piece.size() > name.size()) return false;
    for (size_t i = 0; i < piece.size(); ++i) {
        if (piece[i] != '?' && piece[i] != name[at + i]) return false;
    }
    return true;
}

}  // namespace

// ---- TAreaInfo ------------------------------------------------------------------------------------

std::string TAreaInfo::NewId() {
    static std::atomic<uint32_t> counter{0};
    const uint32_t serial = counter.fetch_add(1);
    const auto ticks = static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                 std::chrono::steady_clock::now().time_since_epoch())
                                                 .count());
    const auto thread = static_cast<uint32_t>(::syscall(SYS_gettid));
    char text[40];
    std::snprintf(text, sizeof text, "%08X%08X%08XTAreaInfo", serial, ticks, thread);
    return text;
}

TAreaInfo::TAreaInfo() : ID(NewId()) {
    AreaRegistry().Add(this);
}

TAreaInfo::~TAreaInfo() {
    // Once out of the registry nobody can take a new hold; a thread that holds the entry already
    // sees dying_ and lets go (or finishes the one area it is counting).
    dying_.store(true);
    AreaRegistry().Remove(this);
    while (holds_.load() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    shownChildren_.clear();
    children_.clear();
    base_.reset();
    lock_.UnlockAll();
}

TMessageBase* TAreaInfo::OpenBase(TBaseMode mode) {
    const TAreaLock scope(*this);
    if (mode == TBaseMode::Shared && base_ != nullptr) {
        ++openCount_;
        return base_.get();
    }
    // Linked groups name a configuration file, not a base.
    if (Zilo != ZiloOrdinary || Kind == AreaKindFolder) return nullptr;
    std::unique_ptr<TMessageBase> base = CreateMessageBase(Kind);
    if (base == nullptr) {
        OpenFailure = TBaseOpenFailure::BadSetting;
        return nullptr;
    }
    bool opened = false;
    try {
        base->SetPath(Path);
        base->Open();
        opened = base->Active;
    } catch (const std::exception&) {
        // a base that cannot be opened is an area without a base
    }
    if (!opened) {
        OpenFailure = BaseOpenFailureReason(Kind, Path);
        return nullptr;
    }
    OpenFailure = TBaseOpenFailure::None;
    base->Netmail = IsNetmail;
    if (mode == TBaseMode::Private) return base.release();  // CloseBase takes it back
    ++openCount_;
    base_ = std::move(base);
    return base_.get();
}

void TAreaInfo::CloseBase(TMessageBase* base, TBaseMode mode) {
    if (base == nullptr) return;
    const TAreaLock scope(*this);
    std::unique_ptr<TMessageBase> gone;
    if (mode == TBaseMode::Shared) {
        if (base != base_.get()) return;  // not ours: never free what someone else owns
        if (openCount_ > 0) --openCount_;
        if (openCount_ > 0) return;
        gone = std::move(base_);
    } else {
        gone.reset(base);
    }
    try {
        gone->Close();
    } catch (const std::exception&) {
        // Closing only releases files; there is nothing left to do about a failure.
    }
}

TAreaInfo* TAreaInfo::ShownHolder() {
    return Zilo == ZiloLinkedGroup && parent_ != nullptr ? parent_ : this;
}

TAreaInfo* TAreaInfo::AddChild(std::unique_ptr<TAreaInfo> child) {
    if (child == nullptr) return nullptr;
    const TAreaLock scope(*this);
    TAreaInfo* raw = child.get();
    TAreaInfo* holder = ShownHolder();
    const TAreaLock holderScope(*holder);
    // Taking the child's lock publishes what was filled in before it joined the tree to the scan,
    // which counts only entries that have a parent.
    const TAreaLock childScope(*raw);
    raw->parent_ = this;
    raw->shownParent_ = holder;
    holder->shownChildren_.push_back(raw);
    children_.push_back(std::move(child));
    // A linked group's own entries are shown beside it, under the entry it now belongs to.
    if (raw->Zilo == ZiloLinkedGroup) {
        const TAreaLock groupScope(*raw);
        for (TAreaInfo* shown : raw->shownChildren_) {
            shown->shownParent_ = this;
            shownChildren_.push_back(shown);
        }
        raw->shownChildren_.clear();
    }
    return raw;
}

TAreaInfo* TAreaInfo::AddChild(const TAreaFields& fields) {
    auto entry = std::make_unique<TAreaInfo>();
    entry->Name = fields.Name;
    entry->Zilo = fields.Zilo;
    entry->Kind = fields.Kind;
    entry->Path = fields.Path;
    entry->Description = fields.Description;
    entry->AreaName = fields.AreaName;
    entry->UseAKA = fields.UseAKA;
    entry->IsNetmail = fields.IsNetmail;
    return AddChild(std::move(entry));
}

void TAreaInfo::Change(const std::function<void(TAreaInfo&)>& change) {
    const TAreaLock scope(*this);
    change(*this);
}

std::unique_ptr<TAreaInfo> TAreaInfo::RemoveChild(TAreaInfo* child) {
    const TAreaLock scope(*this);
    const auto it = std::find_if(children_.begin(), children_.end(),
                                 [child](const std::unique_ptr<TAreaInfo>& c) { return c.get() == child; });
    if (it == children_.end()) return nullptr;
    std::unique_ptr<TAreaInfo> removed = std::move(*it);
    children_.erase(it);
    const TAreaLock childScope(*child);
    if (TAreaInfo* holder = child->shownParent_) {
        const TAreaLock holderScope(*holder);
        std::erase(holder->shownChildren_, child);
    }
    child->parent_ = nullptr;
    child->shownParent_ = nullptr;
    // The entries of a removed linked group were shown here; they go back under the group, so that
    // nothing here points at them once the group is freed.
    if (child->Zilo == ZiloLinkedGroup) {
        const TAreaLock groupScope(*child);
        for (const auto& own : child->children_) {
            if (own->shownParent_ != this) continue;
            std::erase(shownChildren_, own.get());
            own->shownParent_ = child;
            child->shownChildren_.push_back(own.get());
        }
    }
    return removed;
}

std::unique_ptr<TAreaInfo> TAreaInfo::Detach() {
    return parent_ != nullptr ? parent_->RemoveChild(this) : nullptr;
}

TAreaInfo* TAreaInfo::FindChild(const std::string& name) const {
    const TAreaLock scope(const_cast<TAreaInfo&>(*this));
    for (const auto& child : children_) {
        if (child->Name == name) return child.get();
    }
    return nullptr;
}

TAreaInfo* TAreaInfo::Child(int index) const {
    if (index < 0 || index >= ChildCount()) IndexFailure("Child", index, ChildCount());
    return children_[static_cast<size_t>(index)].get();
}

TAreaInfo* TAreaInfo::Shown(int index) const {
    if (index < 0 || index >= ShownCount()) IndexFailure("Shown", index, ShownCount());
    return shownChildren_[static_cast<size_t>(index)];
}

int TAreaInfo::ChildIndex(const TAreaInfo* child) const {
    const TAreaLock scope(const_cast<TAreaInfo&>(*this));
    for (size_t i = 0; i < children_.size(); ++i) {
        if (children_[i].get() == child) return static_cast<int>(i);
    }
    return -1;
}

void TAreaInfo::SortShownLevel() {
    std::stable_sort(shownChildren_.begin(), shownChildren_.end(), ShownBefore);
}

void TAreaInfo::SortShown() {
    const TAreaLock scope(*this);
    SortShownLevel();
    for (TAreaInfo* shown : shownChildren_) {
        if (!shown->shownChildren_.empty()) shown->SortShown();
    }
}

bool TAreaInfo::HasUnreadLocked() {
    const TAreaLock scope(*this);
    if (Read.load() >= 1 && MsgCount.load() >= 1) return true;
    return std::any_of(children_.begin(), children_.end(),
                       [](const std::unique_ptr<TAreaInfo>& c) { return c->HasUnreadLocked(); });
}

bool TAreaInfo::HasUnread() const {
    return const_cast<TAreaInfo*>(this)->HasUnreadLocked();
}

bool TAreaInfo::HasPersonalLocked() {
    const TAreaLock scope(*this);
    if (PersonalUnread.load() > 0) return true;
    return std::any_of(children_.begin(), children_.end(),
                       [](const std::unique_ptr<TAreaInfo>& c) { return c->HasPersonalLocked(); });
}

bool TAreaInfo::HasPersonal() const {
    return const_cast<TAreaInfo*>(this)->HasPersonalLocked();
}

TAreaInfo* TAreaInfo::NextInTree() const {
    if (!children_.empty()) return children_.front().get();
    for (const TAreaInfo* entry = this; entry->parent_ != nullptr; entry = entry->parent_) {
        const int index = entry->parent_->ChildIndex(entry);
        if (index >= 0 && index + 1 < entry->parent_->ChildCount()) return entry->parent_->Child(index + 1);
    }
    return nullptr;
}

bool TAreaInfo::IsDescendantOf(const TAreaInfo* entry) const {
    if (entry == nullptr) return false;
    for (const TAreaInfo* up = parent_; up != nullptr; up = up->parent_) {
        if (up == entry) return true;
    }
    return false;
}

std::string TAreaInfo::PathName() const {
    std::vector<const std::string*> names;
    for (const TAreaInfo* entry = this; entry->parent_ != nullptr; entry = entry->parent_)
        names.push_back(&entry->Name);
    std::string path;
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        if (!path.empty() || it != names.rbegin()) path += '\\';
        path += **it;
    }
    return path;
}

// ---- Linked groups ---------------------------------------------------------------------------------

namespace {

// Steps 4 to 6 of a refresh for one level: drop what the import no longer has, update what both
// have, move in what is new. Folders present on both sides are merged the same way one level down,
// so areas below imported sub-folders follow the configuration too.
void MergeLevel(TAreaInfo& target, TAreaInfo& imported, TAreaTreeView* view) {
    std::unordered_set<std::string> importedNames;
    for (int i = 0; i < imported.ChildCount(); ++i) importedNames.insert(imported.Child(i)->Name);

    for (int i = target.ChildCount() - 1; i >= 0; --i) {
        TAreaInfo* child = target.Child(i);
        if (importedNames.count(child->Name) != 0) continue;
        // Open editors may have it among their destinations: they are told before it is freed, as
        // when the user deletes it, and the main window drops its nodes.
        DeleteEntry(*child);
    }

    std::unordered_map<std::string, TAreaInfo*> existing;
    for (int i = 0; i < target.ChildCount(); ++i) existing.emplace(target.Child(i)->Name, target.Child(i));

    for (int i = imported.ChildCount() - 1; i >= 0; --i) {
        TAreaInfo* source = imported.Child(i);
        const auto it = existing.find(source->Name);
        if (it == existing.end()) continue;
        TAreaInfo* child = it->second;
        const TAreaLock childScope(*child);  // the scan may be about to open this area's base
        child->Path = source->Path;
        child->Description = source->Description;
        child->AreaName = source->AreaName;
        child->IsNetmail = source->IsNetmail;
        const bool bothFolders = child->Zilo == ZiloOrdinary && source->Zilo == ZiloOrdinary &&
                                 child->Kind == AreaKindFolder && source->Kind == AreaKindFolder;
        if (bothFolders) MergeLevel(*child, *source, view);
    }

    const bool showNew = view != nullptr && view->TreeVisible();
    for (int i = imported.ChildCount() - 1; i >= 0; --i) {
        TAreaInfo* source = imported.Child(i);
        if (existing.count(source->Name) != 0) continue;  // kept, or a duplicate of one moved in
        TAreaInfo* added = target.AddChild(imported.RemoveChild(source));
        existing.emplace(added->Name, added);
        if (showNew) view->AddNode(*added);
    }
}

}  // namespace

bool TAreaInfo::RefreshLinkedGroup() {
    if (Zilo != ZiloLinkedGroup) return true;

    auto container = std::make_unique<TAreaInfo>();
    std::error_code error;
    if (std::filesystem::exists(Path, error)) {
        const TAreaImporter importer = ImporterFor(Kind);
        // Without a way to read the file, keep what the group holds rather than dropping it all.
        if (!importer) return false;
        try {
            importer(TLinkedImport{Path, Read.load(), Description}, *container);
        } catch (const std::exception&) {
            return false;
        }
    }
    container->SortShown();

    for (int i = container->ChildCount() - 1; i >= 0; --i) {
        TAreaInfo* entry = container->Child(i);
        if (!KeptByFilters(*this, *entry)) container->RemoveChild(entry);
    }

    TAreaTreeView* view = AreaTreeView();
    if (view != nullptr) view->ClearSelection();
    const TAreaLock scope(*this);
    if (view != nullptr) view->BeginUpdate();
    struct TResume {
        TAreaTreeView* View;
        ~TResume() {
            if (View != nullptr) View->EndUpdate();
        }
    } resume{view};
    MergeLevel(*this, *container, view);
    container.reset();
    return true;
}

void SetAreaImporter(int kind, TAreaImporter importer) {
    std::lock_guard guard(importersMutex);
    if (importer)
        Importers()[kind] = std::move(importer);
    else
        Importers().erase(kind);
}

bool MatchesWildcard(const std::string& name, const std::string& pattern) {
    if (name.empty() || pattern.empty()) return name == pattern;
    const std::string text = AnsiUpperCase(name);
    const std::string mask = AnsiUpperCase(pattern);

    std::vector<std::string_view> pieces;
    size_t start = 0;
    for (;;) {
        const size_t star = mask.find('*', start);
        if (star == std::string::npos) {
            pieces.emplace_back(mask.data() + start, mask.size() - start);
            break;
        }
        pieces.emplace_back(mask.data() + start, star - start);
        start = star + 1;
    }
    if (pieces.size() == 1) return text.size() == mask.size() && PieceAt(text, 0, mask);

    // The piece before the first star anchors at the start, the one after the last star at the end;
    // those between are taken at their first fit from the left, never reconsidered.
    if (!PieceAt(text, 0, pieces.front())) return false;
    size_t pos = pieces.front().size();
    for (size_t i = 1; i + 1 < pieces.size(); ++i) {
        const std::string_view piece = pieces[i];
        if (piece.empty()) continue;
        while (pos + piece.size() <= text.size() && !PieceAt(text, pos, piece)) ++pos;
        if (pos + piece.size() > text.size()) return false;
        pos += piece.size();
    }
    const std::string_view last = pieces.back();
    return text.size() - pos >= last.size() && PieceAt(text, text.size() - last.size(), last);
}

bool MatchesWildcardList(const std::string& name, const std::string& patterns) {
    size_t start = 0;
    while (start <= patterns.size()) {
        size_t end = patterns.find(';', start);
        if (end == std::string::npos) end = patterns.size();
        if (end > start && MatchesWildcard(name, patterns.substr(start, end - start))) return true;
        start = end + 1;
    }
    return false;
}

void SetAreaTreeView(TAreaTreeView* view) {
    treeView.store(view);
}

TAreaTreeView* AreaTreeView() {
    return treeView.load();
}

// ---- TAreaContainer --------------------------------------------------------------------------------

TAreaContainer& AreaRegistry() {
    static TAreaContainer registry;
    return registry;
}

TAreaInfo* TAreaContainer::Item(int index) const {
    if (index < 0 || index >= Count()) IndexFailure("AreaRegistry", index, Count());
    return items_[static_cast<size_t>(index)];
}

TAreaInfo* TAreaContainer::FindAreaById(const std::string& id) {
    const TContainerLock lock(*this);
    for (TAreaInfo* entry : items_) {
        if (entry->ID == id) return entry;
    }
    return nullptr;
}

TAreaInfo* TAreaContainer::HoldItem(int index) {
    const TContainerLock lock(*this);
    if (index < 0 || index >= Count()) return nullptr;
    TAreaInfo* entry = items_[static_cast<size_t>(index)];
    entry->holds_.fetch_add(1);
    return entry;
}

void TAreaContainer::ReleaseHold(TAreaInfo* entry) {
    if (entry != nullptr) entry->holds_.fetch_sub(1);
}

void TAreaContainer::Add(TAreaInfo* entry) {
    const TContainerLock lock(*this);
    items_.push_back(entry);
}

void TAreaContainer::Remove(TAreaInfo* entry) {
    const TContainerLock lock(*this);
    const auto it = std::find(items_.begin(), items_.end(), entry);
    if (it != items_.end()) items_.erase(it);
}

}  // namespace pelmar
