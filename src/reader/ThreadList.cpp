#include "reader/ThreadList.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <exception>
#include <limits>
#include <unordered_map>
#include <unordered_set>

#include "areas/AreaTitles.h"
#include "areas/gizmo.h"
#include "core/Codepage.h"
#include "core/Settings.h"
#include "msgbase/BaseFactory.h"
#include "msgbase/MessageBase.h"

namespace pelmar {

namespace {

// Progress and the abort check run once per this many messages.
constexpr int kProgressStep = 50;

TThreadListObserver& Silent() {
    static TThreadListObserver nothing;
    return nothing;
}

std::string Ansi(const char* utf8) {
    return Utf8ToAnsi(utf8);
}

// "Пелмар 1.00" from the build's version: major and two digits of minor.
std::string DefaultIdleText() {
    int major = 1, minor = 0;
    std::sscanf(PELMAR_VERSION_TEXT, "%d.%d", &major, &minor);
    char version[32];
    std::snprintf(version, sizeof version, " %d.%02d", major, minor);
    return Ansi("Пелмар") + version;
}

// Rank of each byte in the CP1251 case-insensitive order: mapping both texts through it and
// comparing the bytes gives the same result as AnsiCompareText, without the per-character work.
const std::array<uint8_t, 256>& SortRanks() {
    static const std::array<uint8_t, 256> ranks = [] {
        std::array<int, 256> bytes{};
        for (int b = 0; b < 256; ++b) bytes[b] = b;
        auto single = [](int b) { return std::string(1, static_cast<char>(b)); };
        std::sort(bytes.begin(), bytes.end(),
                  [&](int a, int b) { return AnsiCompareText(single(a), single(b)) < 0; });
        std::array<uint8_t, 256> out{};
        int rank = 0;
        for (int i = 0; i < 256; ++i) {
            if (i > 0 && AnsiCompareText(single(bytes[i - 1]), single(bytes[i])) != 0) ++rank;
            out[bytes[i]] = static_cast<uint8_t>(std::min(rank, 255));
        }
        return out;
    }();
    return ranks;
}

void RankKey(const std::string& text, std::string& key) {
    const auto& ranks = SortRanks();
    key.resize(text.size());
    for (size_t i = 0; i < text.size(); ++i) key[i] = static_cast<char>(ranks[static_cast<uint8_t>(text[i])]);
}

const std::string& SortText(const TMessageClass& entry, int column) {
    switch (column) {
        case SectionFrom:
            return entry.FromName;
        case SectionTo:
            return entry.ToName;
        default:
            return entry.Subject;
    }
}

}  // namespace

std::string ReadErrorText(const std::string& firstError, int count) {
    std::string text = Ansi("Ошибка при чтении базы:\r\n") + firstError;
    if (count > 1) text += Ansi("\r\nНе прочитано сообщений: ") + std::to_string(count);
    return text;
}

// Errors of one read: the first message text and how many messages failed.
struct TThreadList::TReadState {
    std::string FirstError;
    std::unordered_set<int32_t> FailedPositions;
    int OtherFailures = 0;  // a walk that broke off (First/Next failed)

    void Note(const std::exception& error, int32_t position, bool walkFailed) {
        if (FirstError.empty()) FirstError = error.what();
        if (walkFailed)
            ++OtherFailures;
        else
            FailedPositions.insert(position);
    }
    int Count() const { return static_cast<int>(FailedPositions.size()) + OtherFailures; }
};

TThreadList::TThreadList(TThreadListObserver* observer)
    : IdleText(DefaultIdleText()), observer_(observer != nullptr ? observer : &Silent()) {}

TThreadList::~TThreadList() = default;

void TThreadList::SetObserver(TThreadListObserver* observer) {
    observer_ = observer != nullptr ? observer : &Silent();
}

void TThreadList::Status(int panel, const std::string& text) {
    observer_->StatusText(panel, text);
}

// ---- Areas ---------------------------------------------------------------------------------------

TReadOutcome TThreadList::OpenArea(TAreaInfo* area, const TMessageClass* selected) {
    TReadOutcome outcome;
    if (area != nullptr && area == CurrentArea) {
        outcome.Listed = ThreadRoot != nullptr;
        return outcome;
    }
    LeaveArea(selected);
    CurrentArea = area;
    if (area == nullptr || area->Zilo != ZiloOrdinary || area->Kind == AreaKindFolder) return outcome;
    try {
        Base = area->OpenBase(TBaseMode::Shared);
    } catch (const std::exception& error) {
        Base = nullptr;
        observer_->ReadError(ReadErrorText(error.what(), 1), 1);
    }
    if (Base == nullptr) {
        // Never an empty list that looks like an empty area: the status line says why.
        outcome.OpenFailure = area->OpenFailure.load();
        if (outcome.OpenFailure != TBaseOpenFailure::None)
            Status(2, AreaTitle(*area) + ": " + AreaOpenFailureText(*area));
        return outcome;
    }
    return ReadAreaMessages();
}

void TThreadList::LeaveArea(const TMessageClass* selected) {
    if (CurrentArea != nullptr) {
        if (selected != nullptr) CurrentArea->LastMSGID = selected->MsgId;
        StoreInCache();
        if (Base != nullptr) CurrentArea->CloseBase(Base, TBaseMode::Shared);
    }
    ClearList();
    Base = nullptr;
    CurrentArea = nullptr;
}

void TThreadList::ForgetArea(TAreaInfo& area) {
    Cache.DropArea(area.ID);
    if (&area != CurrentArea) return;
    ClearList();
    Base = nullptr;  // freed with the area
    CurrentArea = nullptr;
}

void TThreadList::ClearList() {
    ResetRows({});
    CurrentEntry = nullptr;
    MsgIdIndex.Clear();
    ThreadRoot.reset();
    PendingRoot.reset();
    lastReadComplete_ = false;
    treeSortColumn_ = TreeUnsorted;
}

void TThreadList::StoreInCache() {
    if (!Settings.UseCache || !ThreadRoot || CurrentArea == nullptr) return;
    // A read that skipped damaged messages is not worth keeping: the next visit reads again.
    if (!lastReadComplete_) return;
    auto item = std::make_unique<TCacheItem>();
    item->AreaId = CurrentArea->ID;
    item->Threaded = Settings.BuildThreads;
    item->BaseStamp = Base != nullptr ? BaseStamp : 0;
    item->BaseCount = Base != nullptr ? BaseCount : 0;
    item->SortedBy = treeSortColumn_;
    item->SortedAscending = treeSortAscending_;
    ResetRows({});
    CurrentEntry = nullptr;
    item->Root = std::move(ThreadRoot);
    item->MsgIds = std::move(MsgIdIndex);
    MsgIdIndex.Clear();
    PendingRoot.reset();
    Cache.StoreInCache(std::move(item), Settings.CacheMax);
}

TReadOutcome TThreadList::ReadAreaMessages() {
    TReadOutcome outcome;
    if (CurrentArea == nullptr || Base == nullptr) {
        ClearList();
        return outcome;
    }
    bool stampKnown = true;
    try {
        BaseStamp = Base->ChangeStamp();
        BaseCount = Base->ChangeCounter();
    } catch (const std::exception&) {
        stampKnown = false;  // the read reports what is wrong with the base
        BaseStamp = 0;
        BaseCount = 0;
    }
    // Trees of areas deleted meanwhile are freed now rather than when the cache next fills.
    Cache.DropRemovedAreas();
    TCacheItem* hit = nullptr;
    if (stampKnown && Settings.UseCache)
        hit = Cache.Lookup(CurrentArea->ID, Settings.BuildThreads, BaseStamp, BaseCount);
    ClearList();

    if (hit != nullptr) {
        treeSortColumn_ = hit->SortedBy;
        treeSortAscending_ = hit->SortedAscending;
        Cache.HandBack(*hit, ThreadRoot, MsgIdIndex);
        outcome.FromCache = true;
        lastReadComplete_ = true;
        observer_->BeginWait();
        observer_->UpdateCommandStates();
        if (CurrentArea->Kind == BaseKindHudson) {
            // The Hudson base learns its message positions while it is walked.
            try {
                for (bool more = Base->First(); more; more = Base->Next()) {
                }
            } catch (const std::exception& error) {
                observer_->ReadError(ReadErrorText(error.what(), 1), 1);
            }
        }
    } else if (!ReadFromBase(outcome)) {
        return outcome;
    }

    Status(2, Ansi("Сортировка писем..."));
    // A tree from the cache usually is in this order already.
    if (treeSortColumn_ != SortColumn || treeSortAscending_ != SortAscending) SortReplies(*ThreadRoot);
    Status(2, Ansi("Чтение завершено"));
    RebuildRows();
    CurrentEntry = nullptr;
    observer_->HideProgress();
    RestorePosition(outcome);
    observer_->UpdateCommandStates();
    observer_->EndWait();
    Status(1, IdleText);
    Status(2, "Ok");
    outcome.Listed = true;
    return outcome;
}

bool TThreadList::ReadFromBase(TReadOutcome& outcome) {
    ThreadRoot = std::make_unique<TMessageClass>();
    PendingRoot = std::make_unique<TMessageClass>();
    MsgIdIndex.Clear();
    treeSortColumn_ = SortNone;  // base order
    TReadState state;
    int32_t count = 0;
    try {
        count = std::max<int32_t>(Base->Count(), 0);
    } catch (const std::exception& error) {
        state.Note(error, 0, true);
    }
    Status(1, Ansi("Чтение сообщений (") + std::to_string(count) + ")...");
    Status(2, Ansi("Щелкните мышкой, чтобы прервать чтение!"));
    observer_->BeginWait();
    observer_->UpdateCommandStates();
    observer_->ShowProgress();
    ProgressPos = 0;
    ProgressMax = 2 * std::min(count, std::numeric_limits<int32_t>::max() / 2);
    observer_->UpdateProgress(ProgressPos, ProgressMax);
    // The count comes from the base's files: a damaged one must not make us reserve gigabytes.
    MsgIdIndex.Reserve(static_cast<size_t>(std::min(count, 1 << 20)));

    int sinceStep = 0;
    bool aborted = false;
    auto step = [&]() {
        if (++sinceStep < kProgressStep) return true;
        sinceStep = 0;
        ProgressPos += kProgressStep;
        observer_->UpdateProgress(ProgressPos, ProgressMax);
        if (!observer_->AbortRequested()) return true;
        aborted = true;
        return false;
    };

    // First pass: every MSGID gets a slot, so the second pass knows which parents are still to come.
    bool complete = true;
    try {
        for (bool more = Base->First(); more; more = Base->Next()) {
            try {
                Base->ReadMsgId();
                MsgIdIndex.Add(Base->MsgId);
            } catch (const std::exception& error) {
                state.Note(error, Base->Current, false);
            }
            if (!step()) break;
        }
    } catch (const std::exception& error) {
        state.Note(error, Base->Current, true);
        complete = false;
    }

    if (!aborted) {
        ProgressPos = complete ? count : std::clamp<int32_t>(Base->Current, 0, count);
        sinceStep = 0;
        const bool threaded = Settings.BuildThreads;
        try {
            for (bool more = Base->First(); more; more = Base->Next()) {
                if (!step()) break;
                try {
                    Base->ReadHeader();
                } catch (const std::exception& error) {
                    state.Note(error, Base->Current, false);  // skip this one, keep the rest
                    continue;
                }
                TMessageClass* parent = ThreadRoot.get();
                TMessageClass* slot = nullptr;
                if (threaded && MsgIdIndex.Lookup(Base->ReplyId, slot)) {
                    if (slot != nullptr)
                        parent = slot;
                    else if (!Base->MsgId.empty())
                        parent = PendingRoot.get();
                }
                TMessageClass& entry = parent->AddReply();
                FillEntry(entry, *Base);
                MsgIdIndex.Store(entry.MsgId, &entry);
            }
        } catch (const std::exception& error) {
            state.Note(error, Base->Current, true);
        }
    }

    if (aborted) {
        Status(1, IdleText);
        Status(2, Ansi("Прервано..."));
        ClearList();
        observer_->HideProgress();
        observer_->EndWait();
        outcome.Aborted = true;
        return false;
    }

    outcome.Errors = state.Count();
    if (outcome.Errors > 0)
        observer_->ReadError(ReadErrorText(state.FirstError, outcome.Errors), outcome.Errors);
    lastReadComplete_ = outcome.Errors == 0;

    Status(2,
           Ansi("Дополнительная работа с письмами (") + std::to_string(PendingRoot->Replies.size()) + ")..");
    AttachPending();
    return true;
}

// Moves the entries whose parent came later in the base under that parent. An entry is never moved
// under itself or one of its own descendants (REPLY/MSGID cycles): such entries stay at the top.
void TThreadList::AttachPending() {
    if (!PendingRoot || PendingRoot->Replies.empty()) return;
    TMessageClass* const settled = ThreadRoot.get();
    // Which pending top each pending entry belongs to, merged as tops move (union-find). `settled`
    // stands for ThreadRoot's tree; entries missing from the map are in it already.
    std::unordered_map<TMessageClass*, TMessageClass*> top;
    top[settled] = settled;
    for (auto& pending : PendingRoot->Replies) {
        std::vector<TMessageClass*> stack{pending.get()};
        while (!stack.empty()) {
            TMessageClass* entry = stack.back();
            stack.pop_back();
            top[entry] = pending.get();
            for (auto& reply : entry->Replies) stack.push_back(reply.get());
        }
    }
    auto find = [&](TMessageClass* entry) {
        if (top.find(entry) == top.end()) return settled;
        TMessageClass* root = entry;
        while (top[root] != root) root = top[root];
        while (entry != root) {
            TMessageClass*& link = top[entry];
            entry = link;
            link = root;
        }
        return root;
    };

    auto& pendingList = PendingRoot->Replies;
    while (!pendingList.empty()) {
        bool moved = false;
        std::vector<std::unique_ptr<TMessageClass>> kept;
        for (size_t i = pendingList.size(); i-- > 0;) {
            TMessageClass* entry = pendingList[i].get();
            TMessageClass* parent = MsgIdIndex.Find(entry->ReplyTo);
            TMessageClass* parentTop = parent != nullptr ? find(parent) : nullptr;
            if (parent == nullptr || parentTop == entry) {
                kept.push_back(std::move(pendingList[i]));
                continue;
            }
            top[entry] = parentTop;
            entry->Parent = parent;
            parent->Replies.push_back(std::move(pendingList[i]));
            moved = true;
        }
        std::reverse(kept.begin(), kept.end());
        pendingList = std::move(kept);
        if (moved) continue;
        // Parents that never came, and reply cycles: top level.
        for (auto& entry : pendingList) {
            entry->Parent = settled;
            settled->Replies.push_back(std::move(entry));
        }
        pendingList.clear();
    }
    ThreadRoot->RelevelSubtree();
}

void TThreadList::RestorePosition(TReadOutcome& outcome) {
    if (CurrentArea == nullptr || CurrentArea->LastMSGID.empty()) return;
    TMessageClass* entry = MsgIdIndex.Find(CurrentArea->LastMSGID);
    if (entry == nullptr) return;
    const int row = RowOf(entry);
    outcome.SelectRow = row >= 0 ? row : Reveal(*entry);
}

// ---- Rows ----------------------------------------------------------------------------------------

void TThreadList::ResetRows(std::vector<TMessageClass*> rows) {
    observer_->BeginResetRows();
    Rows = std::move(rows);
    RowsMoved();
    observer_->EndResetRows();
}

void TThreadList::AppendVisibleSubtree(TMessageClass& entry, std::vector<TMessageClass*>& out) const {
    std::vector<std::pair<TMessageClass*, size_t>> stack{{&entry, 0}};
    while (!stack.empty()) {
        TMessageClass* parent = stack.back().first;
        const size_t index = stack.back().second;
        if (index >= parent->Replies.size()) {
            stack.pop_back();
            continue;
        }
        ++stack.back().second;
        TMessageClass* reply = parent->Replies[index].get();
        out.push_back(reply);
        if (reply->Expanded && reply->HasReplies()) stack.emplace_back(reply, 0);
    }
}

void TThreadList::RebuildRows() {
    std::vector<TMessageClass*> rows;
    if (ThreadRoot) {
        rows.reserve(Rows.size() > ThreadRoot->Replies.size() ? Rows.size() : ThreadRoot->Replies.size());
        for (auto& top : ThreadRoot->Replies) {
            rows.push_back(top.get());
            if (top->Expanded) AppendVisibleSubtree(*top, rows);
        }
    }
    ResetRows(std::move(rows));
}

int TThreadList::RowOf(const TMessageClass* entry) const {
    if (entry == nullptr || Rows.empty()) return -1;
    if (!rowIndexValid_ || rowIndex_.size() != Rows.size()) {
        rowIndex_.clear();
        rowIndex_.reserve(Rows.size());
        for (size_t row = 0; row < Rows.size(); ++row) rowIndex_.emplace(Rows[row], static_cast<int>(row));
        rowIndexValid_ = true;
    }
    const auto it = rowIndex_.find(entry);
    return it == rowIndex_.end() ? -1 : it->second;
}

int TThreadList::ExpandThread(TMessageClass& entry, int row) {
    if (!entry.HasReplies()) return 0;
    if (row < 0 || row >= static_cast<int>(Rows.size()) || Rows[static_cast<size_t>(row)] != &entry)
        row = RowOf(&entry);
    entry.Expanded = true;
    if (row < 0) return 0;
    // Rows of it already shown: inserting again would list them twice.
    const size_t next = static_cast<size_t>(row) + 1;
    if (next < Rows.size() && Rows[next]->Level > entry.Level) return 0;
    std::vector<TMessageClass*> inserted;
    AppendVisibleSubtree(entry, inserted);
    const int count = static_cast<int>(inserted.size());
    observer_->BeginInsertRows(row + 1, row + count);
    Rows.insert(Rows.begin() + static_cast<std::ptrdiff_t>(next), inserted.begin(), inserted.end());
    RowsMoved();
    observer_->EndInsertRows();
    return count;
}

void TThreadList::CollapseThread(TMessageClass& entry, int row) {
    if (row < 0 || row >= static_cast<int>(Rows.size()) || Rows[static_cast<size_t>(row)] != &entry)
        row = RowOf(&entry);
    entry.Expanded = false;
    if (row < 0) return;
    // Rows are in tree order, so the entry's shown descendants follow it, all deeper than it.
    size_t end = static_cast<size_t>(row) + 1;
    while (end < Rows.size() && Rows[end]->Level > entry.Level) ++end;
    const size_t first = static_cast<size_t>(row) + 1;
    if (end == first) return;
    observer_->BeginRemoveRows(row + 1, static_cast<int>(end) - 1);
    Rows.erase(Rows.begin() + static_cast<std::ptrdiff_t>(first),
               Rows.begin() + static_cast<std::ptrdiff_t>(end));
    RowsMoved();
    observer_->EndRemoveRows();
}

bool TThreadList::InExpander(const TMessageClass& entry, int x) {
    return entry.Level * RowIndent < x && x < (entry.Level + 1) * RowIndent;
}

bool TThreadList::ClickRow(int row, int x) {
    if (row < 0 || row >= static_cast<int>(Rows.size())) return false;
    TMessageClass& entry = *Rows[static_cast<size_t>(row)];
    if (!InExpander(entry, x) || !entry.HasReplies()) return false;
    if (entry.Expanded)
        CollapseThread(entry, row);
    else
        ExpandThread(entry, row);
    observer_->RowsChanged(row, row);
    return true;
}

int TThreadList::Reveal(TMessageClass& entry) {
    if (!ThreadRoot) return -1;
    TMessageClass* topLevel = &entry;
    for (TMessageClass* up = entry.Parent; up != ThreadRoot.get(); up = up->Parent) {
        if (up == nullptr) return -1;  // not in the listed tree
        topLevel = up;
    }
    const int present = RowOf(&entry);
    if (present >= 0) return present;
    for (TMessageClass* up = entry.Parent; up != ThreadRoot.get(); up = up->Parent) up->Expanded = true;
    if (topLevel == &entry) return RowOf(&entry);
    // Replace the thread's rows as a whole: expanding level by level would insert some twice.
    const int topRow = RowOf(topLevel);
    if (topRow < 0) {
        RebuildRows();
        return RowOf(&entry);
    }
    const bool wasExpanded = topLevel->Expanded;
    CollapseThread(*topLevel, topRow);
    topLevel->Expanded = wasExpanded;
    ExpandThread(*topLevel, topRow);
    observer_->RowsChanged(topRow, topRow);
    return RowOf(&entry);
}

// ---- Sorting -------------------------------------------------------------------------------------

void TThreadList::SortReplies(TMessageClass& entry) {
    if (SortColumn < SectionSubject || SortColumn > SectionDate) return;
    const int column = SortColumn;
    const bool ascending = SortAscending;
    // Keys are computed once per entry: the case-folded texts go into one buffer, so comparing two
    // entries is a memcmp and sorting allocates nothing per entry.
    struct TKey {
        int64_t Date;
        uint32_t Offset;
        uint32_t Length;
        uint32_t Index;
    };
    std::string arena;
    std::vector<TKey> keys;
    std::vector<std::unique_ptr<TMessageClass>> sorted;
    std::string folded;
    auto less = [&](const TKey& a, const TKey& b) {
        if (column == SectionDate) return a.Date < b.Date;
        const int c =
            std::memcmp(arena.data() + a.Offset, arena.data() + b.Offset, std::min(a.Length, b.Length));
        return c != 0 ? c < 0 : a.Length < b.Length;
    };
    std::vector<TMessageClass*> stack{&entry};
    while (!stack.empty()) {
        TMessageClass* parent = stack.back();
        stack.pop_back();
        auto& replies = parent->Replies;
        if (replies.size() > 1) {
            arena.clear();
            keys.resize(replies.size());
            for (size_t i = 0; i < replies.size(); ++i) {
                TKey& key = keys[i];
                key.Index = static_cast<uint32_t>(i);
                key.Date = 0;
                key.Offset = static_cast<uint32_t>(arena.size());
                key.Length = 0;
                if (column == SectionDate) {
                    key.Date = replies[i]->SortKey();
                } else {
                    RankKey(SortText(*replies[i], column), folded);
                    arena += folded;
                    key.Length = static_cast<uint32_t>(folded.size());
                }
            }
            if (ascending)
                std::sort(keys.begin(), keys.end(), less);
            else
                std::sort(keys.begin(), keys.end(), [&](const TKey& a, const TKey& b) { return less(b, a); });
            sorted.clear();
            sorted.reserve(replies.size());
            for (const TKey& key : keys) sorted.push_back(std::move(replies[key.Index]));
            replies.swap(sorted);
        }
        for (auto& reply : replies) {
            if (reply->HasReplies()) stack.push_back(reply.get());
        }
    }
    if (&entry == ThreadRoot.get()) {
        treeSortColumn_ = column;
        treeSortAscending_ = ascending;
    }
}

int TThreadList::HeaderClicked(int section, const TMessageClass* selected) {
    if (section < SectionSubject || section > SectionDate) return RowOf(selected);
    if (section == SortColumn) {
        SortAscending = !SortAscending;
    } else {
        SortColumn = section;
        SortAscending = true;
    }
    if (!ThreadRoot) return -1;
    SortReplies(*ThreadRoot);
    RebuildRows();
    return RowOf(selected);
}

// ---- Notifications -------------------------------------------------------------------------------

void TThreadList::MessageAdded(TAreaInfo& area, int position) {
    if (&area != CurrentArea || Base == nullptr || !ThreadRoot) return;
    try {
        Base->Seek(position);
        Base->ReadHeader();
    } catch (const std::exception& error) {
        observer_->ReadError(ReadErrorText(error.what(), 1), 1);
        return;
    }
    // Told twice about the same message: it is listed already.
    TMessageClass* same = MsgIdIndex.Find(Base->MsgId);
    if (same != nullptr && same->Position == Base->Current) return;
    ShowNewEntry(AddFromBase());
}

TMessageClass& TThreadList::AddFromBase() {
    TMessageClass* parent = Settings.BuildThreads ? MsgIdIndex.Find(Base->ReplyId) : nullptr;
    if (parent == nullptr) parent = ThreadRoot.get();
    TMessageClass& entry = parent->AddReply();
    FillEntry(entry, *Base);
    MsgIdIndex.Store(entry.MsgId, &entry);
    treeSortColumn_ = TreeUnsorted;  // appended where it does not belong in the order
    return entry;
}

void TThreadList::ShowNewEntry(TMessageClass& entry) {
    TMessageClass* parent = entry.Parent;
    if (parent == ThreadRoot.get()) {
        const int row = static_cast<int>(Rows.size());
        observer_->BeginInsertRows(row, row);
        Rows.push_back(&entry);
        if (rowIndexValid_) rowIndex_.emplace(&entry, row);
        observer_->EndInsertRows();
        return;
    }
    int parentRow = RowOf(parent);
    if (parentRow >= 0 && parent->Expanded) {
        // The entry is the parent's last reply: its row follows the parent's shown descendants.
        size_t at = static_cast<size_t>(parentRow) + 1;
        while (at < Rows.size() && Rows[at]->Level > parent->Level) ++at;
        const int row = static_cast<int>(at);
        observer_->BeginInsertRows(row, row);
        Rows.insert(Rows.begin() + static_cast<std::ptrdiff_t>(at), &entry);
        RowsMoved();
        observer_->EndInsertRows();
    }
    // The expander and the unread-below mark of the nearest shown ancestor may change.
    for (TMessageClass* up = parent; parentRow < 0 && up != nullptr && up != ThreadRoot.get();
         up = up->Parent)
        parentRow = RowOf(up);
    if (parentRow >= 0) observer_->RowsChanged(parentRow, parentRow);
}

bool TThreadList::RereadSame(const TMessageClass& entry) {
    try {
        Base->Seek(entry.Position);
        if (!Base->IsValid()) return false;
        Base->ReadHeader();
    } catch (const std::exception&) {
        return false;
    }
    if (!entry.MsgId.empty() || !Base->MsgId.empty()) return AnsiSameText(Base->MsgId, entry.MsgId);
    // Without a key: a vanished *.MSG file reads as empty fields, which are not this message.
    if (Base->FromName.empty() && Base->ToName.empty() && Base->Subject.empty() && Base->Date == 0)
        return false;
    return Base->FromName == entry.FromName && Base->Subject == entry.Subject && Base->Date == entry.Date;
}

bool TThreadList::DiffersFromBase(const TMessageClass& entry) const {
    return entry.Read != Base->Read || entry.Subject != Base->Subject || entry.FromName != Base->FromName ||
           entry.ToName != Base->ToName || entry.Date != Base->Date || entry.ReplyTo != Base->ReplyId ||
           entry.MsgId != Base->MsgId;
}

void TThreadList::RedrawEntry(const TMessageClass& entry) {
    const int row = RowOf(&entry);
    if (row >= 0) observer_->RowsChanged(row, row);
}

TBaseChangesOutcome TThreadList::TakeBaseChanges(int firstShownRow, int lastShownRow) {
    TBaseChangesOutcome outcome;
    if (CurrentArea == nullptr || Base == nullptr || !ThreadRoot) return outcome;
    TBaseRefresh refresh;
    try {
        refresh = Base->Refresh();
    } catch (const std::exception& error) {
        outcome.Error = error.what();
        return outcome;
    }
    using TKind = TBaseRefresh::TKind;
    outcome.Unsupported = refresh.Kind == TKind::Unsupported;
    // Half-way through another program's write nothing on disk is to be trusted yet, not even the
    // read marks of the shown rows.
    outcome.Busy = refresh.Kind == TKind::Busy;
    if (outcome.Busy) return outcome;
    auto noteError = [&](const std::exception& error) {
        if (outcome.FirstError.empty()) outcome.FirstError = error.what();
        ++outcome.Errors;
    };
    // The stamps the cache compares stay those of the last whole read, so a tree changed here is
    // never handed back for a base opened afresh, whose positions may differ from the ones this
    // base object keeps. After a renumbering the base's positions are fresh, and so is the read.
    if (refresh.Kind == TKind::Renumbered) {
        RereadWholeList(outcome, firstShownRow);
        if (outcome.FullReread && !outcome.Aborted) {
            try {
                BaseStamp = Base->ChangeStamp();
                BaseCount = Base->ChangeCounter();
            } catch (const std::exception&) {
                lastReadComplete_ = false;
            }
        }
        return outcome;
    }

    std::unordered_set<const TMessageClass*> done;
    if (refresh.Kind == TKind::Changed) {
        // Entries by position, for what the base names by position; built only when it names some.
        std::unordered_map<int32_t, TMessageClass*> byPosition;
        std::unordered_set<int32_t> touched(refresh.Gone.begin(), refresh.Gone.end());
        touched.insert(refresh.Replaced.begin(), refresh.Replaced.end());
        // The live, untouched entry at the highest position held before.
        TMessageClass* lastKnown = nullptr;
        const bool wantMap = !refresh.Gone.empty() || !refresh.Replaced.empty();
        if (wantMap) byPosition.reserve(ThreadRoot->SubtreeSize());
        ThreadRoot->FindBelow([&](TMessageClass& entry) {
            if (wantMap) byPosition.emplace(entry.Position, &entry);
            if (!entry.Deleted && entry.Position < refresh.PositionsBefore &&
                (lastKnown == nullptr || entry.Position > lastKnown->Position) &&
                touched.count(entry.Position) == 0)
                lastKnown = &entry;
            return false;
        });
        auto at = [&](int32_t position) -> TMessageClass* {
            const auto it = byPosition.find(position);
            return it == byPosition.end() ? nullptr : it->second;
        };
        // The usual case is "only appended": the last entry read before must still be where it was.
        // When it is not, the positions no longer mean what the list thinks: read everything again.
        if (lastKnown != nullptr && !RereadSame(*lastKnown)) {
            RereadWholeList(outcome, firstShownRow);
            return outcome;
        }
        std::unordered_set<TMessageClass*> goneNow;
        for (const int32_t position : refresh.Gone) {
            TMessageClass* entry = at(position);
            if (entry == nullptr || entry->Deleted) continue;
            entry->Deleted = true;
            goneNow.insert(entry);
            done.insert(entry);
            ++outcome.Gone;
            if (entry == CurrentEntry) outcome.CurrentChanged = true;
            RedrawEntry(*entry);
        }
        for (const int32_t position : refresh.Replaced) {
            TMessageClass* entry = at(position);
            try {
                Base->Seek(position);
                Base->ReadHeader();
            } catch (const std::exception& error) {
                noteError(error);
                continue;
            }
            if (entry != nullptr && (entry->MsgId.empty() || AnsiSameText(entry->MsgId, Base->MsgId))) {
                // The same message stored anew: its fields as they are now.
                FillEntry(*entry, *Base);
                entry->Deleted = false;
                done.insert(entry);
                ++outcome.Changed;
                if (entry == CurrentEntry) outcome.CurrentChanged = true;
                RedrawEntry(*entry);
                continue;
            }
            // Another message at the listed one's position: the listed one is gone, this one is new.
            if (entry != nullptr && !entry->Deleted) {
                entry->Deleted = true;
                ++outcome.Gone;
                if (entry == CurrentEntry) outcome.CurrentChanged = true;
                RedrawEntry(*entry);
            }
            TMessageClass& added = AddFromBase();
            done.insert(&added);
            ++outcome.Added;
            ShowNewEntry(added);
        }
        std::vector<TMessageClass*> addedNow;
        for (int32_t position = refresh.PositionsBefore; position < refresh.PositionsAfter; ++position) {
            try {
                Base->Seek(position);
                if (!Base->IsValid()) continue;  // removed again before it was seen
                Base->ReadHeader();
            } catch (const std::exception& error) {
                noteError(error);
                continue;
            }
            // Listed already (this program wrote it and was told so).
            TMessageClass* same = MsgIdIndex.Find(Base->MsgId);
            if (same != nullptr && same->Position == position && !same->Deleted) continue;
            // Gone from its position in this same change and back at a new one: moved, not new.
            if (same != nullptr && goneNow.erase(same) != 0) {
                FillEntry(*same, *Base);
                same->Deleted = false;
                --outcome.Gone;
                RedrawEntry(*same);
                continue;
            }
            TMessageClass& added = AddFromBase();
            done.insert(&added);
            addedNow.push_back(&added);
        }
        outcome.Added += static_cast<int>(addedNow.size());
        ThreadNewEntries(addedNow, outcome);
        if (outcome.Errors > 0) lastReadComplete_ = false;
    }

    // Edits in place: the shown rows and the displayed message.
    std::vector<TMessageClass*> check;
    if (firstShownRow >= 0 && lastShownRow >= firstShownRow && !Rows.empty()) {
        const int last = std::min(lastShownRow, static_cast<int>(Rows.size()) - 1);
        for (int row = firstShownRow; row <= last; ++row) check.push_back(Rows[static_cast<size_t>(row)]);
    }
    if (CurrentEntry != nullptr) check.push_back(CurrentEntry);
    for (TMessageClass* entry : check) {
        if (entry->Deleted || !done.insert(entry).second) continue;
        if (!RereadSame(*entry) || !DiffersFromBase(*entry)) continue;
        FillEntry(*entry, *Base);
        ++outcome.Changed;
        if (entry == CurrentEntry) outcome.CurrentChanged = true;
        RedrawEntry(*entry);
    }
    return outcome;
}

void TThreadList::ThreadNewEntries(const std::vector<TMessageClass*>& added, TBaseChangesOutcome& outcome) {
    if (added.empty()) return;
    if (Settings.BuildThreads) {
        // A reply that came before its parent in the same toss went to the top level: under it now.
        for (TMessageClass* entry : added) {
            if (entry->Parent != ThreadRoot.get() || entry->ReplyTo.empty()) continue;
            TMessageClass* parent = MsgIdIndex.Find(entry->ReplyTo);
            if (parent != nullptr && parent != entry) parent->Adopt(*entry);
        }
        // Replies listed earlier at the top level whose parent has arrived now move under it, as a
        // full read would put them; their rows go (the new parent shows collapsed).
        std::unordered_set<const TMessageClass*> fresh(added.begin(), added.end());
        std::vector<TMessageClass*> orphans;
        for (const auto& top : ThreadRoot->Replies) {
            if (top->ReplyTo.empty() || fresh.count(top.get()) != 0) continue;
            const TMessageClass* parent = MsgIdIndex.Find(top->ReplyTo);
            if (parent != nullptr && parent != top.get() && fresh.count(parent) != 0)
                orphans.push_back(top.get());
        }
        bool currentMoved = false;
        for (TMessageClass* orphan : orphans) {
            TMessageClass* parent = MsgIdIndex.Find(orphan->ReplyTo);
            if (parent->IsDescendantOf(*orphan)) continue;  // a REPLY/MSGID cycle stays as it is
            if (CurrentEntry != nullptr && (CurrentEntry == orphan || CurrentEntry->IsDescendantOf(*orphan)))
                currentMoved = true;
            const int row = RowOf(orphan);
            if (row >= 0) {
                size_t end = static_cast<size_t>(row) + 1;
                while (end < Rows.size() && Rows[end]->Level > orphan->Level) ++end;
                observer_->BeginRemoveRows(row, static_cast<int>(end) - 1);
                Rows.erase(Rows.begin() + row, Rows.begin() + static_cast<std::ptrdiff_t>(end));
                RowsMoved();
                observer_->EndRemoveRows();
            }
            parent->Adopt(*orphan);
        }
        for (TMessageClass* entry : added) ShowNewEntry(*entry);
        if (currentMoved) {
            outcome.SelectRow = Reveal(*CurrentEntry);
            outcome.CurrentChanged = true;
        }
        return;
    }
    for (TMessageClass* entry : added) ShowNewEntry(*entry);
}

void TThreadList::RereadWholeList(TBaseChangesOutcome& outcome, int firstShownRow) {
    outcome.FullReread = true;
    outcome.CurrentChanged = true;
    const std::string currentId = CurrentEntry != nullptr ? CurrentEntry->MsgId : std::string();
    std::string topId;
    if (firstShownRow >= 0 && static_cast<size_t>(firstShownRow) < Rows.size())
        topId = Rows[static_cast<size_t>(firstShownRow)]->MsgId;
    std::unordered_set<std::string> expanded;
    ThreadRoot->FindBelow([&expanded](const TMessageClass& entry) {
        if (entry.HasReplies() && entry.Expanded && !entry.MsgId.empty())
            expanded.insert(TMsgIdIndex::Key(entry.MsgId));
        return false;
    });
    CurrentEntry = nullptr;
    TReadOutcome read;
    if (!ReadFromBase(read)) {
        outcome.Aborted = read.Aborted;
        return;
    }
    outcome.Errors = read.Errors;
    if (!expanded.empty()) {
        ThreadRoot->FindBelow([&expanded](TMessageClass& entry) {
            if (entry.HasReplies() && !entry.MsgId.empty() &&
                expanded.count(TMsgIdIndex::Key(entry.MsgId)) != 0)
                entry.Expanded = true;
            return false;
        });
    }
    if (SortColumn != SortNone) SortReplies(*ThreadRoot);
    RebuildRows();
    observer_->HideProgress();
    if (!currentId.empty()) CurrentEntry = MsgIdIndex.Find(currentId);
    if (CurrentEntry != nullptr) {
        const int row = RowOf(CurrentEntry);
        outcome.SelectRow = row >= 0 ? row : Reveal(*CurrentEntry);
    }
    if (!topId.empty()) outcome.TopRow = RowOf(MsgIdIndex.Find(topId));
    observer_->UpdateCommandStates();
    observer_->EndWait();
    Status(1, IdleText);
    Status(2, "Ok");
}

TMessageClass* TThreadList::EntryWithoutMsgIdAt(TMessageClass& root, int position) {
    return root.FindBelow(
        [position](const TMessageClass& entry) { return entry.Position == position && entry.MsgId.empty(); });
}

bool TThreadList::MessageChanged(TAreaInfo& area, int position, const std::string& msgId) {
    if (&area != CurrentArea || Base == nullptr || !ThreadRoot) return false;
    // A message without a MSGID has no key: it is the entry at that position that has none either.
    TMessageClass* entry =
        msgId.empty() ? EntryWithoutMsgIdAt(*ThreadRoot, position) : MsgIdIndex.Find(msgId);
    if (entry == nullptr) return false;
    try {
        Base->Seek(position);
        Base->ReadHeader();
    } catch (const std::exception& error) {
        observer_->ReadError(ReadErrorText(error.what(), 1), 1);
        return false;
    }
    // A tosser may have renumbered the base since: never overwrite the entry with another message.
    if (!Base->MsgId.empty() && !AnsiSameText(Base->MsgId, msgId)) return false;
    FillEntry(*entry, *Base);
    // The MSGID was taken out: its key must no longer lead here (a new message may bring it back).
    if (Base->MsgId.empty()) MsgIdIndex.Forget(entry);
    const int row = RowOf(entry);
    if (row >= 0) observer_->RowsChanged(row, row);
    return CurrentEntry != nullptr &&
           (CurrentEntry == entry || (!Base->MsgId.empty() && Base->MsgId == CurrentEntry->MsgId));
}

// ---- Drawing -------------------------------------------------------------------------------------

bool TThreadList::IsPersonal(const TMessageClass& entry, const std::string& fullName) {
    return !entry.Deleted && entry.ToName == fullName;
}

int TThreadList::StatusIcon(const TMessageClass& entry, const std::string& fullName) {
    const bool unreadBelow = entry.Read && !entry.Expanded && entry.HasReplies() && entry.HasUnreadBelow();
    if (IsPersonal(entry, fullName)) return unreadBelow ? IconPersonalUnreadBelow : IconPersonal;
    if (!entry.Deleted && !entry.Read) return IconUnread;
    return unreadBelow ? IconUnreadBelow : IconRead;
}

int TThreadList::ExpanderIcon(const TMessageClass& entry) {
    if (!entry.HasReplies()) return -1;
    return entry.Expanded ? IconExpanded : IconCollapsed;
}

}  // namespace pelmar
