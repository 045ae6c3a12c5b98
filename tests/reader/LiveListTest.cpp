// The listed area while a tosser works on its base (another base object on the same files): new
// messages join their threads as row inserts, the selection and the expanded threads stay, removed
// messages are greyed, read marks set elsewhere are redrawn, a renumbered base is read again whole
// rather than taken by position, a base caught half-way through a toss is left for later, and a tree
// changed in place never comes back from the cache.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>

#include "ReaderTestSupport.h"
#include "areas/gizmo.h"
#include "msgbase/BaseFactory.h"
#include "reader/ThreadList.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

namespace fs = std::filesystem;

class TRowRecorder : public test::TRecorder {
public:
    int Resets = 0;
    std::vector<int> Inserted;  // first row of each insert
    std::vector<int> Redrawn;
    void BeginResetRows() override { ++Resets; }
    void BeginInsertRows(int first, int) override { Inserted.push_back(first); }
    void RowsChanged(int first, int) override { Redrawn.push_back(first); }
};

struct TFormat {
    const char* Name;
    int Kind;
    const char* Folder;
    std::vector<const char*> Files;
};

const TFormat Formats[] = {
    {"*.MSG", BaseKindMsg, "smapi/bases/msg", {""}},
    {"Squish", BaseKindSquish, "smapi/bases/squish", {".sqd", ".sqi"}},
    {"JAM", BaseKindJam, "smapi/bases/jam", {".jhr", ".jdt", ".jdx"}},
};

// One listed area of a format with the list's base and a tosser's base on the same files.
struct TLiveArea {
    explicit TLiveArea(const TFormat& format) {
        for (const char* ext : format.Files)
            test::CopyFixture(std::string(format.Folder) + "/su.general" + ext, dir.Path());
        const std::string path = (dir.Path() / "su.general").string();
        for (auto* base : {&shared, &tosser}) {
            *base = CreateMessageBase(format.Kind);
            (*base)->Path = path;
            (*base)->UseFlagFiles = false;
            (*base)->Open();
        }
        area.Kind = format.Kind;
        list.SetObserver(&rows);
        list.CurrentArea = &area;
        list.Base = shared.get();
        EXPECT_TRUE(list.ReadAreaMessages().Listed);
        rows = TRowRecorder{};
    }
    ~TLiveArea() { list.SetObserver(nullptr); }

    void Write(const std::string& serial, const std::string& reply) {
        tosser->NewMessage();
        tosser->FromName = "Tosser";
        tosser->ToName = "All";
        tosser->Subject = "new " + serial;
        tosser->Kludges = {"MSGID: 2:5020/9 " + serial};
        if (!reply.empty()) tosser->Kludges.push_back("REPLY: " + reply);
        tosser->Text = "text\r";
        ASSERT_TRUE(tosser->WriteMessage());
    }
    // The first top-level entry with replies and a MSGID.
    TMessageClass* Thread() {
        for (auto& top : list.ThreadRoot->Replies)
            if (top->HasReplies() && !top->MsgId.empty()) return top.get();
        return nullptr;
    }

    test::TempDir dir;
    std::unique_ptr<TMessageBase> shared, tosser;
    TAreaInfo area;
    TRowRecorder rows;
    TThreadList list;
};

// The rows kept up by inserts and removals are the rows a rebuild from the tree gives.
void ExpectRowsAsRebuilt(TThreadList& list) {
    const std::vector<TMessageClass*> kept = list.Rows;
    list.RebuildRows();
    EXPECT_EQ(kept, list.Rows);
}

class LiveList : public ::testing::Test {
protected:
    void SetUp() override {
        Settings.BuildThreads = true;
        Settings.UseCache = false;
        Settings.bNetFlag = Settings.bEchoFlag = false;
    }
    test::TSettingsGuard guard;
};

// One toss: a reply into an expanded thread, a new thread, a message removed, a read mark set.
TEST_F(LiveList, TossedChangesAreInsertsAndRedrawsThatKeepTheSelectionAndTheThreads) {
    for (const auto& format : Formats) {
        SCOPED_TRACE(format.Name);
        TLiveArea live(format);
        TThreadList& list = live.list;
        TMessageClass* thread = live.Thread();
        ASSERT_EQ(thread, list.Rows[0]);
        ASSERT_FALSE(thread->Read);
        list.ExpandThread(*thread, 0);
        TMessageClass* selected = list.CurrentEntry = list.Rows.back();
        TMessageClass* removed = list.Rows[list.Rows.size() - 2];
        const size_t shown = list.Rows.size();
        int replyRow = 1;
        while (list.Rows[static_cast<size_t>(replyRow)]->Level > 0) ++replyRow;
        live.rows = TRowRecorder{};

        live.Write("0000f001", thread->MsgId);
        live.Write("0000f002", "");
        live.tosser->Seek(removed->Position);
        ASSERT_TRUE(live.tosser->DeleteCurrent());
        live.tosser->Seek(thread->Position);
        live.tosser->ReadHeader();
        live.tosser->MarkRead();
        const TBaseChangesOutcome outcome = list.TakeBaseChanges(0, 1);
        EXPECT_TRUE(outcome.Error.empty()) << outcome.Error;
        EXPECT_EQ(outcome.Added, 2);
        EXPECT_EQ(outcome.Gone, 1);
        EXPECT_FALSE(outcome.FullReread);
        EXPECT_FALSE(outcome.CurrentChanged);
        EXPECT_EQ(live.rows.Resets, 0) << "inserts, never a reset: the view keeps its place";
        EXPECT_EQ(live.rows.Inserted.size(), 2u);
        EXPECT_EQ(list.CurrentEntry, selected);
        EXPECT_TRUE(thread->Expanded);
        EXPECT_TRUE(thread->Read) << "a shown row is read again";
        EXPECT_TRUE(removed->Deleted);
        EXPECT_EQ(list.RowOf(removed), static_cast<int>(shown) - 1) << "greyed where it was";

        TMessageClass* reply = list.MsgIdIndex.Find("2:5020/9 0000f001");
        ASSERT_NE(reply, nullptr);
        EXPECT_EQ(reply->Parent, thread);
        EXPECT_EQ(list.RowOf(reply), replyRow) << "shown at once after the replies shown before";
        EXPECT_EQ(list.Rows.back(), list.MsgIdIndex.Find("2:5020/9 0000f002"));
        EXPECT_EQ(list.Rows.size(), shown + 2);
        EXPECT_EQ(list.TakeBaseChanges(0, 1).Added, 0) << "nothing is listed twice";
        ExpectRowsAsRebuilt(list);
    }
}

// Positions that no longer hold the listed messages: the list is read again, keeping the displayed
// message, the expanded threads and the top row by MSGID; it never greys or overwrites by position.
TEST_F(LiveList, RenumberedOrReplacedPositionsAreReadAgainWhole) {
    // su.general: 1 <- 3 <- 4 <- 5, 6, 7 <- 8 (by file number).
    struct TCase {
        const char* Name;
        const TFormat& Format;
        void (*Change)(TLiveArea& live, const fs::path& folder);
        bool FullReread;
        int RowsLost;
    };
    const TCase cases[] = {
        {"a purge renumbers the files", Formats[0],
         [](TLiveArea&, const fs::path& folder) {
             fs::remove(folder / "6.msg");
             for (int n = 7; n <= 8; ++n)
                 fs::rename(folder / (std::to_string(n) + ".msg"), folder / (std::to_string(n - 1) + ".msg"));
         },
         true, 1},
        {"every file renumbered upwards", Formats[0],
         [](TLiveArea&, const fs::path& folder) {
             for (int n = 8; n >= 1; --n) {
                 const fs::path from = folder / (std::to_string(n) + ".msg");
                 if (fs::exists(from)) fs::rename(from, folder / (std::to_string(n + 10) + ".msg"));
             }
         },
         false, 0},
        {"another message under the last known number", Formats[0],
         [](TLiveArea& live, const fs::path& folder) {
             live.Write("0000f0aa", "");
             fs::remove(folder / "7.msg");
             fs::remove(folder / "8.msg");
             fs::rename(folder / "9.msg", folder / "7.msg");
         },
         true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TLiveArea live(c.Format);
        TThreadList& list = live.list;
        TMessageClass* thread = live.Thread();
        ASSERT_NE(thread, nullptr);
        const std::string threadId = thread->MsgId;
        list.ExpandThread(*thread, list.RowOf(thread));
        list.CurrentEntry = list.Rows[static_cast<size_t>(list.RowOf(thread)) + 1];
        const std::string currentId = list.CurrentEntry->MsgId;
        ASSERT_FALSE(currentId.empty());
        const std::string topId = list.Rows[0]->MsgId;
        const size_t shown = list.Rows.size();

        c.Change(live, live.dir.Path() / "su.general");
        const TBaseChangesOutcome outcome = list.TakeBaseChanges(0, 3);
        EXPECT_EQ(outcome.FullReread, c.FullReread);
        EXPECT_EQ(list.Rows.size(), shown - static_cast<size_t>(c.RowsLost)) << "nothing listed twice";
        ASSERT_NE(list.CurrentEntry, nullptr);
        EXPECT_EQ(list.CurrentEntry->MsgId, currentId);
        ASSERT_NE(list.MsgIdIndex.Find(threadId), nullptr);
        EXPECT_TRUE(list.MsgIdIndex.Find(threadId)->Expanded);
        if (c.FullReread) {
            EXPECT_EQ(outcome.SelectRow, list.RowOf(list.CurrentEntry));
            EXPECT_EQ(outcome.TopRow, list.RowOf(list.MsgIdIndex.Find(topId)));
        }
        for (const TMessageClass* row : list.Rows) EXPECT_FALSE(row->Deleted) << row->MsgId;
    }
}

// Threads come out as a full read would build them, whatever order the tosser wrote the messages
// in; and the usual case costs the new headers, one check that the last known message is still
// where it was, and the shown rows: never a pass over the area.
TEST_F(LiveList, RepliesBeforeTheirParentGoUnderItAndALargeAreaIsNotReadAgain) {
    test::TListBase base;
    for (int i = 0; i < 20000; ++i) base.Messages.push_back({"id" + std::to_string(i), "", "s"});
    base.Messages.push_back({"r1", "p", "reply, parent not here yet"});
    base.Refreshed = static_cast<int32_t>(base.Messages.size());
    TAreaInfo area;
    TRowRecorder rows;
    TThreadList list(&rows);
    list.CurrentArea = &area;
    list.Base = &base;
    ASSERT_TRUE(list.ReadAreaMessages().Listed);
    TMessageClass* r1 = list.CurrentEntry = list.MsgIdIndex.Find("r1");
    rows = TRowRecorder{};
    const int reads = base.HeaderReads;
    const int walks = base.Walks;

    // One toss: the parent of r1, then a reply before its own parent.
    base.Messages.push_back({"p", "id5", "parent"});
    base.Messages.push_back({"r2", "q", "reply first"});
    base.Messages.push_back({"q", "", "its parent"});
    const TBaseChangesOutcome outcome = list.TakeBaseChanges(0, 9);
    EXPECT_EQ(outcome.Added, 3);
    EXPECT_EQ(base.Walks, walks);
    EXPECT_LE(base.HeaderReads - reads, 3 + 1 + 10);
    EXPECT_EQ(rows.Resets, 0);
    EXPECT_EQ(r1->Parent, list.MsgIdIndex.Find("p"));
    EXPECT_EQ(list.MsgIdIndex.Find("p")->Parent, list.MsgIdIndex.Find("id5"));
    EXPECT_EQ(list.MsgIdIndex.Find("r2")->Parent, list.MsgIdIndex.Find("q"));
    EXPECT_EQ(r1->Level, 2);
    EXPECT_EQ(list.CurrentEntry, r1);
    EXPECT_TRUE(outcome.CurrentChanged);
    EXPECT_EQ(outcome.SelectRow, list.RowOf(r1)) << "the displayed reply is revealed under its new parent";
    EXPECT_GE(outcome.SelectRow, 0);
    EXPECT_EQ(list.Rows.back(), list.MsgIdIndex.Find("q"));
    ExpectRowsAsRebuilt(list);
}

// The tosser is half-way through adding a message (the index entry written, the header not; or the
// message file created, not filled): the list changes nothing, reports no damage and reads nothing
// again; asked again once the write is whole, it takes the message as one insert.
TEST_F(LiveList, AHalfWrittenTossIsLeftForLaterNotReadAgainWhole) {
    struct TCase {
        const TFormat& Format;
        const char* HalfFile;  // the file put back as it was before the append ("" for the new one)
    };
    for (const TCase& c : {TCase{Formats[2], "su.general.jhr"}, TCase{Formats[0], ""}}) {
        SCOPED_TRACE(c.Format.Name);
        TLiveArea live(c.Format);
        TThreadList& list = live.list;
        TMessageClass* selected = list.CurrentEntry = list.Rows.back();
        const size_t shown = list.Rows.size();
        const fs::path folder =
            c.Format.Kind == BaseKindMsg ? live.dir.Path() / "su.general" : live.dir.Path();
        fs::path half = folder / c.HalfFile;
        const std::string halfBytes = *c.HalfFile ? test::ReadFile(half) : std::string();
        std::vector<fs::path> old;
        for (const auto& entry : fs::directory_iterator(folder)) old.push_back(entry.path());

        live.Write("0000f0b1", "");
        for (const auto& entry : fs::directory_iterator(folder))
            if (*c.HalfFile == '\0' && std::find(old.begin(), old.end(), entry.path()) == old.end())
                half = entry.path();
        const std::string wholeBytes = test::ReadFile(half);
        test::WriteFile(half, halfBytes);
        TBaseChangesOutcome outcome = list.TakeBaseChanges(0, 3);
        EXPECT_TRUE(outcome.Busy);
        EXPECT_TRUE(outcome.Error.empty()) << outcome.Error;
        EXPECT_EQ(outcome.Errors, 0) << outcome.FirstError;
        EXPECT_FALSE(outcome.FullReread);
        EXPECT_EQ(live.rows.Resets + live.rows.Inserted.size() + live.rows.Redrawn.size(), 0u)
            << "nothing drawn";

        test::WriteFile(half, wholeBytes);
        outcome = list.TakeBaseChanges(0, 3);
        EXPECT_EQ(outcome.Added, 1);
        EXPECT_FALSE(outcome.FullReread);
        EXPECT_EQ(live.rows.Resets, 0);
        EXPECT_EQ(list.CurrentEntry, selected);
        ASSERT_EQ(list.Rows.size(), shown + 1);
        EXPECT_EQ(list.Rows.back()->MsgId, "2:5020/9 0000f0b1");
        ExpectRowsAsRebuilt(list);
    }
}

// A tree changed by a tosser's delete holds positions of the base object that saw the delete; the
// cache must not hand it to the area opened afresh, where the later messages moved up.
TEST_F(LiveList, ATreeChangedInPlaceIsNotTakenFromTheCacheLater) {
    Settings.UseCache = true;
    TLiveArea live(Formats[1]);  // Squish: a delete shifts the positions of a fresh open
    TAreaInfo area;
    area.Kind = Formats[1].Kind;
    area.Path = (live.dir.Path() / "su.general").string();
    TThreadList list;
    ASSERT_TRUE(list.OpenArea(&area, nullptr).Listed);
    live.tosser->Seek(1);
    ASSERT_TRUE(live.tosser->DeleteCurrent());
    EXPECT_EQ(list.TakeBaseChanges().Gone, 1);
    list.LeaveArea(nullptr);

    const TReadOutcome again = list.OpenArea(&area, nullptr);
    ASSERT_TRUE(again.Listed);
    EXPECT_FALSE(again.FromCache);
    for (const TMessageClass* entry : list.Rows) {
        list.Base->Seek(entry->Position);
        list.Base->ReadHeader();
        EXPECT_EQ(list.Base->MsgId, entry->MsgId) << "position " << entry->Position;
    }
    list.LeaveArea(nullptr);
}

}  // namespace
}  // namespace pelmar
