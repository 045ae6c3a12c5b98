#pragma once
// The area tree: folders that only group, areas that own a message base, and linked groups whose
// areas are read from another FTN program's configuration file whenever the tree is loaded.
//
//   TAreaInfo      one entry of the tree, with its lock, counters and shared open base
//   TAreaContainer the process-wide list of every live entry (AreaRegistry()), walked by the scan
//   TAreaManager   owns the root and keeps the tree under BaseKey\Areas in the registry
//
// Threads: the user-interface thread does everything except counting; the background scan
// (ScanThread.h) writes the three counters under the entry's lock. The counters are atomics, so the
// user interface may read them without the lock (a pair read that way may come from two passes).
// The scan reads Zilo, Kind, Path and IsNetmail of entries that are in a tree: new entries are made
// complete (AddChild of TAreaFields), and entries already in a tree change through Change(), which
// holds the entry's lock.
// Lock order: an entry, then its parent, then AreaRegistry; the scan takes AreaRegistry only to fetch
// one entry and never holds more than one entry lock.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "areas/RecursiveLock.h"
#include "msgbase/BaseOpenFailure.h"

namespace pelmar {

class TMessageBase;

// A broken programming assumption (an index outside a list). Never a silent result.
class EAssertionFailed : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

// Entry kinds. Zilo: 0 ordinary entry (folder or area), 1 linked group.
inline constexpr uint8_t ZiloOrdinary = 0;
inline constexpr uint8_t ZiloLinkedGroup = 1;
// Kind of an ordinary entry: 0 folder, else the base kind of BaseFactory.h (1 *.MSG, 2 JAM,
// 3 Hudson, 4 Squish).
inline constexpr int AreaKindFolder = 0;
// Kind of a linked group: which program's configuration Path names.
inline constexpr int LinkKindFastEcho = 0;  // Read 0: split names at dots into sub-folders
inline constexpr int LinkKindSquish = 1;    // Read bits: 1 bad/dupe, 2 netmail, 4 echomail areas
inline constexpr int LinkKindTMail = 2;
inline constexpr int LinkKindAreasBbs = 3;    // Description: the Hudson base directory
inline constexpr int LinkKindFidoConfig = 4;  // Linux tossers: a fidoconfig file
inline constexpr int LinkKindCrashMail = 5;   // ... and a crashmail.prefs

// Shared: the entry's own base, counted in OpenCount, used by every user-interface caller.
// Private: a separate base object that belongs to the caller alone (the background scan).
enum class TBaseMode { Shared, Private };

// The fields a new entry is made of; everything the scan reads is among them, so an entry made from
// them is complete when it joins the tree.
struct TAreaFields {
    std::string Name;
    uint8_t Zilo = ZiloOrdinary;
    int Kind = AreaKindFolder;
    std::string Path;
    std::string Description;
    std::string AreaName;
    std::string UseAKA;
    bool IsNetmail = false;
};

class TAreaInfo {
public:
    // A fresh entry: new ID, listed in AreaRegistry(), everything else empty.
    TAreaInfo();
    // Leaves AreaRegistry() (waiting for the scan to let go of it if it holds it), destroys the whole
    // subtree and releases what the destroying thread holds of the lock. Does not detach from the
    // parent: callers Detach first.
    ~TAreaInfo();
    TAreaInfo(const TAreaInfo&) = delete;
    TAreaInfo& operator=(const TAreaInfo&) = delete;

    // ---- Fields ----
    uint8_t Zilo = ZiloOrdinary;
    std::string Name;  // unique among siblings (it becomes a registry key name); case-sensitive lookups
    std::string Path;  // the base's location per Kind; for a linked group its configuration file
    std::string Description;
    std::string LastMSGID;
    std::string UseAKA;
    std::string AreaName;  // echo tag
    std::string Uplink;
    std::string WildInclude;  // linked groups: ";"-separated name patterns to keep
    std::string WildExclude;  // ... and to drop
    std::string AKAInclude;   // linked groups: keep only areas with this UseAKA
    std::string AKAExclude;   // ... drop areas with this UseAKA
    bool IsNetmail = false;
    std::atomic<int32_t> MsgCount{0};
    std::atomic<int32_t> Read{0};  // unread messages; for a linked group the import options
    std::atomic<int32_t> PersonalUnread{0};
    int Kind = AreaKindFolder;
    std::string ID;
    // Why the base did not open the last time anybody opened it (the scan or the list); None once
    // it opens. Kept with the counters: the tree shows both.
    std::atomic<TBaseOpenFailure> OpenFailure{TBaseOpenFailure::None};
    // What the scan counted last (the scan thread only, under the lock): an entry whose Kind or Path
    // differs from these, a new one among them, has counters that belong to no base yet.
    int CountedKind = -1;
    std::string CountedPath;

    TAreaInfo* Parent() const { return parent_; }
    TAreaInfo* ShownParent() const { return shownParent_; }
    // The shared open base, or null.
    TMessageBase* Base() const { return base_.get(); }
    // Shared users of Base().
    int OpenCount() const { return openCount_; }
    // How often the holder has taken the lock.
    int LockDepth() const { return lock_.Depth(); }

    // ---- Lock ----
    void Lock() { lock_.Lock(); }
    bool TryLock() { return lock_.TryLock(); }
    void Unlock() { lock_.Unlock(); }

    // ---- Base ----
    // The entry's base (shared) or a new private one; null for folders, linked groups, other kinds
    // and bases that do not open. Sets OpenFailure for the areas it tries to open.
    TMessageBase* OpenBase(TBaseMode mode);
    // Gives back a base OpenBase returned. Shared: closed and freed when the last user gives it back.
    void CloseBase(TMessageBase* base, TBaseMode mode);

    // ---- Lists ----
    // Appends to Children and to the shown list (of the parent when this entry is a linked group).
    // The entry must be filled in already (see the top of this file).
    TAreaInfo* AddChild(std::unique_ptr<TAreaInfo> child);
    // Makes a new entry of the fields and appends it as above.
    TAreaInfo* AddChild(const TAreaFields& fields);
    // Runs `change` on this entry under its lock: the way to change what the scan reads once the
    // entry is in a tree.
    void Change(const std::function<void(TAreaInfo&)>& change);
    // Takes the child out of both lists and hands it back; null when it is not a child.
    std::unique_ptr<TAreaInfo> RemoveChild(TAreaInfo* child);
    // RemoveChild on the parent; null for an entry without parent.
    std::unique_ptr<TAreaInfo> Detach();
    TAreaInfo* FindChild(const std::string& name) const;
    int ChildCount() const { return static_cast<int>(children_.size()); }
    TAreaInfo* Child(int index) const;  // EAssertionFailed outside 0..ChildCount()-1
    int ShownCount() const { return static_cast<int>(shownChildren_.size()); }
    TAreaInfo* Shown(int index) const;  // EAssertionFailed outside 0..ShownCount()-1
    int ChildIndex(const TAreaInfo* child) const;

    // Linked groups, then folders, then netmail, then by name ignoring case; recursively.
    void SortShown();
    // Re-reads a linked group through the importer of its Kind; nothing for other entries. False
    // when the group was left as it was because its configuration could not be read (no importer
    // for the Kind, or the importer failed).
    bool RefreshLinkedGroup();

    bool HasUnread() const;
    bool HasPersonal() const;
    // Depth-first over Children: first child, else the next sibling of the nearest ancestor-or-self
    // that has one; null at the end.
    TAreaInfo* NextInTree() const;
    bool IsDescendantOf(const TAreaInfo* entry) const;
    // Names below the root joined with "\"; empty for the root.
    std::string PathName() const;

    // A fresh identifier: counter, tick count and thread id as 8-digit upper-case hex, + "TAreaInfo".
    static std::string NewId();

private:
    friend class TAreaContainer;

    TAreaInfo* ShownHolder();
    void SortShownLevel();
    bool HasUnreadLocked();
    bool HasPersonalLocked();

    std::vector<std::unique_ptr<TAreaInfo>> children_;
    std::vector<TAreaInfo*> shownChildren_;
    mutable TRecursiveLock lock_;
    TAreaInfo* parent_ = nullptr;
    TAreaInfo* shownParent_ = nullptr;
    int openCount_ = 0;
    std::unique_ptr<TMessageBase> base_;
    // The scan's hold on this entry (see TAreaContainer::HoldItem) and the sign that it is going.
    std::atomic<int> holds_{0};
    std::atomic<bool> dying_{false};
};

// The list of every live TAreaInfo, in creation order (import containers included).
class TAreaContainer {
public:
    TAreaContainer() = default;
    TAreaContainer(const TAreaContainer&) = delete;
    TAreaContainer& operator=(const TAreaContainer&) = delete;

    void Lock() { lock_.Lock(); }
    void Unlock() { lock_.Unlock(); }
    int LockDepth() const { return lock_.Depth(); }
    // Count and Item are read under Lock.
    int Count() const { return static_cast<int>(items_.size()); }
    TAreaInfo* Item(int index) const;  // EAssertionFailed outside 0..Count()-1
    // Exact comparison; null when no live entry has the ID. Takes the lock itself.
    TAreaInfo* FindAreaById(const std::string& id);

    // For a thread other than the one that owns the tree: entry `index` with a hold that keeps it
    // alive until ReleaseHold, or null past the end. While it is held, destroying the entry waits,
    // and Abandoned() tells the holder to let go at once without touching more than the lock.
    TAreaInfo* HoldItem(int index);
    void ReleaseHold(TAreaInfo* entry);
    static bool Abandoned(const TAreaInfo& entry) { return entry.dying_.load(); }

private:
    friend class TAreaInfo;
    void Add(TAreaInfo* entry);
    void Remove(TAreaInfo* entry);

    TRecursiveLock lock_;
    std::vector<TAreaInfo*> items_;
};

// The one container, alive for the whole process.
TAreaContainer& AreaRegistry();

// ---- Linked groups ----------------------------------------------------------------------------
// What a linked group hands its importer.
struct TLinkedImport {
    std::string Path;         // the configuration file
    int32_t Options = 0;      // the group's Read (meaning per Kind, see LinkKind*)
    std::string Description;  // the group's Description (Areas.BBS: the Hudson base directory)
};
// Fills `container` with ordinary entries (Name, Kind, Path, AreaName, Description, UseAKA,
// IsNetmail; folders may hold further entries). Throws when the file cannot be read.
using TAreaImporter = std::function<void(const TLinkedImport& request, TAreaInfo& container)>;
// Installs the importer of a linked-group Kind; an empty function removes it.
void SetAreaImporter(int kind, TAreaImporter importer);

// Name patterns of linked groups: "*" any run (also none), "?" one character, letter case ignored.
bool MatchesWildcard(const std::string& name, const std::string& pattern);
// True when the name matches one of the ";"-separated patterns (empty items skipped).
bool MatchesWildcardList(const std::string& name, const std::string& patterns);

// The main window's area tree as a linked-group refresh sees it. Installed by the main window while
// it exists; without it the refresh changes only the model.
class TAreaTreeView {
public:
    virtual ~TAreaTreeView() = default;
    // The tree exists and is visible (new entries get nodes only then).
    virtual bool TreeVisible() const = 0;
    virtual void ClearSelection() = 0;
    virtual void BeginUpdate() = 0;
    virtual void EndUpdate() = 0;
    // The view shows a node of the entry.
    virtual bool HasNode(const TAreaInfo& entry) const = 0;
    // Deletes the entry's node with the nodes below it; the view forgets every one of them.
    virtual void DeleteNode(TAreaInfo& entry) = 0;
    // Adds a node named entry.Name under the node of entry.ShownParent() (images 2, selected 3).
    virtual void AddNode(TAreaInfo& entry) = 0;
};
void SetAreaTreeView(TAreaTreeView* view);
TAreaTreeView* AreaTreeView();

// ---- The manager ----------------------------------------------------------------------------------
class TAreaManager {
public:
    TAreaManager();
    ~TAreaManager();
    TAreaManager(const TAreaManager&) = delete;
    TAreaManager& operator=(const TAreaManager&) = delete;

    TAreaInfo& Root() { return *root_; }
    const TAreaInfo& Root() const { return *root_; }

    // Reads the tree from "\" + Settings.BaseKey + "\Areas" (creating the key), refreshes the linked
    // groups and sorts the shown tree. Values that are missing or of the wrong type keep their
    // defaults.
    void LoadAreas();
    // Replaces the stored tree by the current one. Siblings whose names would map to one key (or to
    // no valid key) are renamed first, so nothing is lost; Notes() says which. False when the
    // registry could not be saved.
    bool SaveAreas();
    // The entry whose ID equals Settings.NetmailArea, or null.
    TAreaInfo* NetmailAreaObject() const;

    // What load and save had to repair (CP1251 lines), for the user or a log.
    const std::vector<std::string>& Notes() const { return notes_; }

    static std::string AreasKey();

private:
    std::unique_ptr<TAreaInfo> root_;
    std::vector<std::string> notes_;
};

// ---- Area model helpers ---------------------------------------------------------------------------
// Holds the lock of an area (or of the area container) for a scope and releases it however the scope
// ends: the scan thread waits on these locks, so one left behind by an exception stops it for good.
// TryTag takes the lock only when it is free (test with operator bool); AdoptTag takes over a lock
// the caller already holds. Unlock() releases it before the scope ends.
template <class TLockable>
class TScopedLock {
public:
    struct TryTag {};
    struct AdoptTag {};
    explicit TScopedLock(TLockable& owner) : owner_(&owner) { owner.Lock(); }
    TScopedLock(TLockable& owner, TryTag) : owner_(owner.TryLock() ? &owner : nullptr) {}
    TScopedLock(TLockable& owner, AdoptTag) : owner_(&owner) {}
    ~TScopedLock() { Unlock(); }
    TScopedLock(const TScopedLock&) = delete;
    TScopedLock& operator=(const TScopedLock&) = delete;

    explicit operator bool() const { return owner_ != nullptr; }
    void Unlock() {
        if (owner_ == nullptr) return;
        TLockable* owner = owner_;
        owner_ = nullptr;
        owner->Unlock();
    }

private:
    TLockable* owner_;
};
using TAreaLock = TScopedLock<TAreaInfo>;
using TContainerLock = TScopedLock<TAreaContainer>;

// Keeps a base from OpenBase open for a scope.
class TOpenedBase {
public:
    TOpenedBase(TAreaInfo& area, TBaseMode mode) : area_(area), mode_(mode), base_(area.OpenBase(mode)) {}
    ~TOpenedBase() {
        if (base_ != nullptr) area_.CloseBase(base_, mode_);
    }
    TOpenedBase(const TOpenedBase&) = delete;
    TOpenedBase& operator=(const TOpenedBase&) = delete;
    TMessageBase* get() const { return base_; }
    TMessageBase* operator->() const { return base_; }
    explicit operator bool() const { return base_ != nullptr; }

private:
    TAreaInfo& area_;
    TBaseMode mode_;
    TMessageBase* base_;
};

}  // namespace pelmar
