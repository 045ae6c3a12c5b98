#pragma once
// The message list of the main window without widgets: the reply tree of the listed area, the MSGID
// index, the visible rows, expanding, collapsing, sorting, the area cache and the notifications of
// new and changed messages. The window implements TThreadListObserver and draws from Rows.
//
// Invariants: the index and the tree are emptied together; Rows only holds entries of ThreadRoot's
// tree; without CurrentArea, Base and ThreadRoot the notifications do nothing.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "msgbase/BaseOpenFailure.h"
#include "reader/AreaCache.h"
#include "reader/MessageClass.h"
#include "reader/MsgIdIndex.h"

namespace pelmar {

class TAreaInfo;
class TMessageBase;

// List icons (the 14x14 image list), indices 0..6.
inline constexpr int IconCollapsed = 0;
inline constexpr int IconExpanded = 1;
inline constexpr int IconUnread = 2;
inline constexpr int IconPersonal = 3;
inline constexpr int IconRead = 4;
inline constexpr int IconUnreadBelow = 5;
inline constexpr int IconPersonalUnreadBelow = 6;

// Width of one indentation step and of each row icon, in pixels.
inline constexpr int RowIndent = 16;

// Header sections: 0 icons (not sortable), 1 "Тема", 2 "От", 3 "Кому", 4 "Дата".
inline constexpr int SortNone = -1;
inline constexpr int SectionSubject = 1;
inline constexpr int SectionFrom = 2;
inline constexpr int SectionTo = 3;
inline constexpr int SectionDate = 4;

// What the window does for the list. Every call has a do-nothing default. Texts are CP1251.
class TThreadListObserver {
public:
    virtual ~TThreadListObserver() = default;
    // Row changes, for an item model: Begin* comes before Rows changes, End* after.
    virtual void BeginResetRows() {}
    virtual void EndResetRows() {}
    virtual void BeginInsertRows(int first, int last) {}
    virtual void EndInsertRows() {}
    virtual void BeginRemoveRows(int first, int last) {}
    virtual void EndRemoveRows() {}
    // The entries shown in these rows changed their fields (repaint).
    virtual void RowsChanged(int first, int last) {}
    // Status bar panel 1 or 2 (panel 2: 0x01 toggles bold).
    virtual void StatusText(int panel, const std::string& text) {}
    // Progress panel: shown ("0%"), position changed, hidden.
    virtual void ShowProgress() {}
    virtual void UpdateProgress(int position, int maximum) {}
    virtual void HideProgress() {}
    // Wait cursor on/off (the window keeps the nesting count).
    virtual void BeginWait() {}
    virtual void EndWait() {}
    virtual void UpdateCommandStates() {}
    // Polled every 50 messages while reading: a left button press is waiting.
    virtual bool AbortRequested() { return false; }
    // Once per read with errors: the text for the error box (ReadErrorText) and the count.
    virtual void ReadError(const std::string& text, int count) {}
};

// Result of reading an area.
struct TReadOutcome {
    bool Listed = false;     // a tree is listed (read, cache hit, possibly with errors)
    bool FromCache = false;  // the tree came from the cache
    bool Aborted = false;
    int Errors = 0;      // messages that could not be read
    int SelectRow = -1;  // row of the area's LastMSGID entry, -1 when none
    // Why the area's base did not open (then also in status panel 2); None when it opened or
    // nothing was to be opened.
    TBaseOpenFailure OpenFailure = TBaseOpenFailure::None;
};

// What TThreadList::TakeBaseChanges did to the list.
struct TBaseChangesOutcome {
    int Added = 0;    // entries of messages other programs added
    int Changed = 0;  // entries read again because their message changed (read mark, rewrite)
    int Gone = 0;     // entries greyed (Deleted) because their message left the base
    int Errors = 0;   // new or changed messages that could not be read (FirstError says why)
    std::string FirstError;
    bool CurrentChanged = false;  // the displayed message changed, went or was listed anew: show it again
    // The base was renumbered or its positions no longer held the listed messages: the list was read
    // again whole (a reset of the rows), the displayed message and the expanded threads kept by
    // MSGID. SelectRow and TopRow are then the rows of the displayed entry and of the entry that was
    // the first shown row (-1 when gone). SelectRow is also set when the displayed entry moved (a
    // reply listed at the top level went under its parent that arrived now).
    bool FullReread = false;
    bool Aborted = false;  // that read was stopped by the user: nothing is listed
    int SelectRow = -1;
    int TopRow = -1;
    bool Unsupported = false;  // the base's format cannot take changes in place (reopen the area)
    // Another program was writing the base: nothing was taken or read; ask again a little later.
    bool Busy = false;
    // Why the base could not be refreshed (damaged or truncated files), CP1251; the list is as it was.
    std::string Error;
};

// "Ошибка при чтении базы:\r\n" + the first error; with more than one, a line with the count.
std::string ReadErrorText(const std::string& firstError, int count);

class TThreadList {
public:
    explicit TThreadList(TThreadListObserver* observer = nullptr);
    // Frees the list and the cache but never touches CurrentArea (it may be gone by then): call
    // LeaveArea first while the areas live, so the base is given back and LastMSGID kept.
    ~TThreadList();
    TThreadList(const TThreadList&) = delete;
    TThreadList& operator=(const TThreadList&) = delete;

    void SetObserver(TThreadListObserver* observer);

    // ---- State ----
    std::unique_ptr<TMessageClass> ThreadRoot;   // null when nothing is listed
    std::unique_ptr<TMessageClass> PendingRoot;  // replies whose parent is not read yet
    TMsgIdIndex MsgIdIndex;
    std::vector<TMessageClass*> Rows;  // visible entries in display order
    TAreaInfo* CurrentArea = nullptr;
    TMessageBase* Base = nullptr;           // CurrentArea's shared base, or null
    TMessageClass* CurrentEntry = nullptr;  // entry of the displayed message
    double BaseStamp = 0;
    int32_t BaseCount = 0;
    TAreaCache Cache;
    int ProgressPos = 0;
    int ProgressMax = 0;
    int SortColumn = SortNone;
    bool SortAscending = true;
    // Panel 1 when idle.
    std::string IdleText;

    // ---- Areas ----
    // Leaves the listed area (its LastMSGID from `selected` when given, cache, base released) and
    // lists `area`: nothing for null, folders or a base that does not open. The window empties its
    // selection and message view before calling.
    TReadOutcome OpenArea(TAreaInfo* area, const TMessageClass* selected);
    // Leaves the listed area without listing another.
    void LeaveArea(const TMessageClass* selected);
    // Reads CurrentArea's Base into the tree (cache first), sorts, builds Rows, finds LastMSGID.
    TReadOutcome ReadAreaMessages();
    // Hands the tree to the cache (when "UseCache" is on and the last read was complete).
    void StoreInCache();
    // Empties Rows, tree, pending entries and index together.
    void ClearList();
    // Forgets the area without touching its base (the area is being destroyed).
    void ForgetArea(TAreaInfo& area);

    // ---- Rows ----
    void RebuildRows();
    // Inserts the entry's visible subtree after `row`; returns the number of rows inserted (0 and
    // nothing changed when it has no replies).
    int ExpandThread(TMessageClass& entry, int row);
    void CollapseThread(TMessageClass& entry, int row);
    // A press at x (pixels from the row's left edge) on the expander of row `row` toggles it.
    // Returns true when it did.
    bool ClickRow(int row, int x);
    static bool InExpander(const TMessageClass& entry, int x);
    // Row of the entry, -1 when it is not visible. Constant time: an index of Rows is rebuilt once
    // after Rows changed, not per call.
    int RowOf(const TMessageClass* entry) const;
    // Expands the entry's ancestors and rebuilds that thread's rows once; returns the entry's row,
    // -1 when the entry is not in the listed tree.
    int Reveal(TMessageClass& entry);

    // ---- Sorting ----
    // Sorts the replies of `entry` and of everything below it by SortColumn.
    void SortReplies(TMessageClass& entry);
    // Header click on `section` (1..4; others ignored): column and direction, sort, rows. Returns
    // the row of `selected` afterwards (-1 when none).
    int HeaderClicked(int section, const TMessageClass* selected);

    // ---- Notifications ----
    void MessageAdded(TAreaInfo& area, int position);
    // True when the changed entry is the displayed one (the window shows it again).
    bool MessageChanged(TAreaInfo& area, int position, const std::string& msgId);
    // Takes up what other programs changed in the listed area's base (the base's Refresh): their new
    // messages join their threads (a reply under an expanded parent gets its row right there) or
    // the end of the top level, as row inserts; an entry whose message was removed is greyed, one
    // that was rewritten is read again; the current entry, the expanded threads and the rows above
    // stay. Only the new messages are read, unless the base was renumbered; then the whole list is
    // read again, keeping the displayed message and the expanded threads by MSGID. Rows
    // `firstShownRow`..`lastShownRow` (those the window shows; -1 for none) and the current entry are
    // read again as well, because an edit in place such as a read mark leaves no other trace.
    // Nothing is shown: the window shows the outcome.
    TBaseChangesOutcome TakeBaseChanges(int firstShownRow = -1, int lastShownRow = -1);

    // ---- Drawing ----
    // Not deleted and ToName equals `fullName` exactly.
    static bool IsPersonal(const TMessageClass& entry, const std::string& fullName);
    // Icon 2..6 of the status column.
    static int StatusIcon(const TMessageClass& entry, const std::string& fullName);
    // Icon 0/1 of the expander column, -1 without replies.
    static int ExpanderIcon(const TMessageClass& entry);

private:
    struct TReadState;
    void ResetRows(std::vector<TMessageClass*> rows);
    void RowsMoved() { rowIndexValid_ = false; }
    void AppendVisibleSubtree(TMessageClass& entry, std::vector<TMessageClass*>& out) const;
    void AttachPending();
    bool ReadFromBase(TReadOutcome& outcome);
    void RestorePosition(TReadOutcome& outcome);
    void Status(int panel, const std::string& text);
    static TMessageClass* EntryWithoutMsgIdAt(TMessageClass& root, int position);
    // Adds the base's current message (after ReadHeader) under its parent by REPLY, or at the top.
    TMessageClass& AddFromBase();
    // The row of a new entry: at the end of the top level, or after the shown replies of an expanded
    // and shown parent; a collapsed parent (or the nearest shown ancestor) is redrawn.
    void ShowNewEntry(TMessageClass& entry);
    // Reads the header at the entry's position; true when it is still the entry's message (by MSGID,
    // or by its fields when there is none). The header stays in the base's fields.
    bool RereadSame(const TMessageClass& entry);
    // The header fields of the base differ from the entry's.
    bool DiffersFromBase(const TMessageClass& entry) const;
    void RedrawEntry(const TMessageClass& entry);
    // Threads the entries just added (replies that came before their parent, and replies listed
    // earlier at the top level whose parent is among them) and gives them their rows.
    void ThreadNewEntries(const std::vector<TMessageClass*>& added, TBaseChangesOutcome& outcome);
    void RereadWholeList(TBaseChangesOutcome& outcome, int firstShownRow);

    // The order ThreadRoot's tree is in: a column and direction, SortNone for the base's order.
    static constexpr int TreeUnsorted = -2;
    TThreadListObserver* observer_;
    bool lastReadComplete_ = false;
    int treeSortColumn_ = TreeUnsorted;
    bool treeSortAscending_ = true;
    // Row of each entry in Rows, valid until Rows next changes.
    mutable std::unordered_map<const TMessageClass*, int> rowIndex_;
    mutable bool rowIndexValid_ = false;
};

}  // namespace pelmar
