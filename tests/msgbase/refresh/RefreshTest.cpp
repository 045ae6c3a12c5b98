// An open base taking up what another program (another base object on the same files) wrote:
// appended messages become new positions, removed and rewritten ones are named by their positions,
// a message begun before stays pending, cut files refuse without changing anything, and a base
// caught half-way through another program's append is left for later.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/Errors.h"
#include "core/Settings.h"
#include "msgbase/BaseFactory.h"
#include "msgbase/ShortLockWaits.h"
#include "msgbase/TosserLock.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

namespace fs = std::filesystem;
using TKind = TBaseRefresh::TKind;

struct TFormat {
    const char* Name;
    int Kind;
    const char* Folder;  // null: a Hudson base made here
    std::vector<const char*> Files;
    bool NamesRewrites;  // Refresh names a message stored anew at its position
    bool TakesWhileNew;  // Refresh takes up changes while a NewMessage waits for its write
};

const std::vector<TFormat> Formats = {
    {"*.MSG", BaseKindMsg, "smapi/bases/msg", {""}, false, true},
    {"Squish", BaseKindSquish, "smapi/bases/squish", {".sqd", ".sqi"}, true, true},
    {"JAM", BaseKindJam, "smapi/bases/jam", {".jhr", ".jdt", ".jdx"}, true, true},
    {"Hudson", BaseKindHudson, nullptr, {}, false, false},
};

class BaseRefresh : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = Settings;
        Settings.bNetFlag = Settings.bEchoFlag = false;
    }
    void TearDown() override { Settings = saved_; }

    std::unique_ptr<TMessageBase> Open(const TFormat& format) {
        if (path_.empty() && format.Folder != nullptr) {
            for (const char* ext : format.Files)
                test::CopyFixture(std::string(format.Folder) + "/su.general" + ext, dir_.Path());
            path_ = (dir_.Path() / "su.general").string();
        } else if (path_.empty()) {
            const fs::path folder = dir_.Path() / "hudson";
            fs::create_directories(folder);
            for (const char* name : {"msgidx.bbs", "msgtoidx.bbs", "msgtxt.bbs", "msghdr.bbs"})
                test::WriteFile(folder / name, "");
            test::WriteFile(folder / "msginfo.bbs", std::string(406, '\0'));
            path_ = std::string(1, '\x01') + folder.string();
            auto maker = CreateMessageBase(BaseKindHudson);
            maker->Path = path_;
            maker->UseFlagFiles = false;
            maker->Open();
            for (int i = 1; i <= 6; ++i) Write(*maker, "0000000" + std::to_string(i));
        }
        auto base = CreateMessageBase(format.Kind);
        base->Path = path_;
        base->UseFlagFiles = false;
        base->Open();
        EXPECT_TRUE(base->Active);
        // Positions of a Hudson board are handed out by walks, as the list's read does.
        for (bool more = base->First(); more; more = base->Next()) {
        }
        return base;
    }
    static void Fill(TMessageBase& base, const std::string& msgId, const std::string& subject) {
        base.FromName = "Tosser";
        base.ToName = "All";
        base.Subject = subject;
        base.Kludges = {"MSGID: " + msgId};
        base.Text = "text\r";
    }
    static void Write(TMessageBase& base, const std::string& id) {
        base.NewMessage();
        Fill(base, IdOf(id), "");
        ASSERT_TRUE(base.WriteMessage());
    }
    // MSGID at every position that holds a message ("-" for none).
    static std::vector<std::string> Ids(TMessageBase& base, int32_t positions) {
        std::vector<std::string> ids;
        for (int32_t p = 0; p < positions; ++p) {
            std::string id = "-";
            try {
                base.Seek(p);
                if (base.IsValid()) {
                    base.ReadHeader();
                    if (!base.FromName.empty()) id = base.MsgId;
                }
            } catch (const EReadError&) {
            }
            ids.push_back(id);
        }
        return ids;
    }
    static std::string IdOf(const std::string& serial) { return "2:5020/9 " + serial; }

    TSettings saved_;
    test::TempDir dir_;
    std::string path_;
};

// One append, one delete and one rewrite by the tosser: each named by position, nothing shifted.
TEST_F(BaseRefresh, AnotherWritersChangesAreNamedAndKnownPositionsKeepTheirMessages) {
    for (const auto& format : Formats) {
        SCOPED_TRACE(format.Name);
        path_.clear();
        auto reader = Open(format);
        auto tosser = Open(format);
        const int32_t count = reader->Count();
        const auto before = Ids(*reader, count);
        reader->Seek(3);
        EXPECT_EQ(reader->Refresh().Kind, TKind::Unchanged);

        Write(*tosser, "000000a1");
        tosser->Seek(1);
        ASSERT_TRUE(tosser->DeleteCurrent());
        tosser->ReadMessage(2);
        tosser->PrepareRewrite();
        Fill(*tosser, before[2], "rewritten");
        ASSERT_TRUE(tosser->WriteMessage());

        const TBaseRefresh r = reader->Refresh();
        EXPECT_EQ(r.Kind, TKind::Changed);
        EXPECT_EQ(r.Gone, std::vector<int32_t>{1});
        if (format.NamesRewrites) EXPECT_EQ(r.Replaced, std::vector<int32_t>{2});
        EXPECT_EQ(r.Appended(), 1);
        EXPECT_EQ(reader->Current, 3) << "Current keeps its message";
        auto after = Ids(*reader, r.PositionsAfter);
        EXPECT_EQ(after.back(), IdOf("000000a1"));
        after.resize(static_cast<size_t>(count));
        after[1] = before[1];
        EXPECT_EQ(after, before) << "no position shifted after the delete";
        reader->ReadMessage(2);
        EXPECT_EQ(reader->Subject, "rewritten");
        EXPECT_EQ(reader->Refresh().Kind, TKind::Unchanged) << "told once";
    }
}

TEST_F(BaseRefresh, MessageBegunBeforeTheRefreshIsWrittenAfterTheNewOnes) {
    for (const auto& format : Formats) {
        SCOPED_TRACE(format.Name);
        path_.clear();
        auto editor = Open(format);
        auto tosser = Open(format);
        editor->NewMessage();
        Write(*tosser, "000000b1");
        EXPECT_EQ(editor->Refresh().Appended(), format.TakesWhileNew ? 1 : 0);
        Fill(*editor, IdOf("000000b2"), "");
        ASSERT_TRUE(editor->WriteMessage());
        editor->ReadMessage(editor->Current);
        EXPECT_EQ(editor->MsgId, IdOf("000000b2")) << "Current is the message written";

        auto fresh = Open(format);
        const auto ids = Ids(*fresh, fresh->Count() + 2);
        EXPECT_NE(std::find(ids.begin(), ids.end(), IdOf("000000b1")), ids.end()) << "the tosser's kept";
        EXPECT_NE(std::find(ids.begin(), ids.end(), IdOf("000000b2")), ids.end());
    }
}

// Damaged or cut files: a clear EReadError, and the base keeps what it held.
TEST_F(BaseRefresh, CutFilesFailCleanlyAndLeaveTheBaseAsItWas) {
    struct TCase {
        const TFormat& Format;
        const char* File;
        int64_t Cut;  // bytes cut off the end
    };
    const TCase cases[] = {
        {Formats[1], "su.general.sqi", 5},       // a partial index entry
        {Formats[1], "su.general.sqd", 300},     // index entries lead past the data
        {Formats[2], "su.general.jdx", 3},       // a partial index entry
        {Formats[2], "su.general.jhr", 200},     // index entries lead past the headers
        {Formats[3], "hudson/msgidx.bbs", 1},    // a partial index entry
        {Formats[3], "hudson/msghdr.bbs", 100},  // the last message has no header
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Format.Name) + " " + c.File);
        path_.clear();
        auto reader = Open(c.Format);
        const int32_t count = reader->Count();
        reader->Seek(2);
        const fs::path file = dir_.Path() / c.File;
        fs::resize_file(file, fs::file_size(file) - static_cast<uintmax_t>(c.Cut));
        EXPECT_THROW(reader->Refresh(), EReadError);
        EXPECT_EQ(reader->Count(), count);
        EXPECT_EQ(reader->Current, 2);
        EXPECT_TRUE(reader->Active);
    }
}

// The files of the base in the test folder, by name.
std::map<std::string, std::string> Snapshot(const fs::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        if (entry.is_regular_file()) files[entry.path().string()] = test::ReadFile(entry.path());
    return files;
}

// A tosser caught half-way through appending a message: Refresh reports Busy and keeps what it
// held (no partial entry, no position without its message, no damage reported); once the write is
// whole, the message is taken as one append.
TEST_F(BaseRefresh, HalfWayAppendIsBusyAndTakenWholeLater) {
    using TFiles = std::map<std::string, std::string>;
    constexpr size_t CountersOld = std::string::npos;  // the append whole, the base header as before
    struct TCase {
        const char* Name;
        const TFormat& Format;
        const char* Locked;  // the file whose first byte the tosser keeps locked; null: no lock
        const char* Half;    // the file caught half-way ("" for the new file; null: all whole)
        size_t Kept;         // bytes of the append it holds, or CountersOld
    };
    const TCase cases[] = {
        {"JAM locked", Formats[2], "su.general.jhr", ".jhr", CountersOld},
        {"JAM header missing", Formats[2], nullptr, ".jhr", 0},
        {"JAM partial entry", Formats[2], nullptr, ".jdx", 5},
        {"JAM subfields missing", Formats[2], nullptr, ".jhr", 80},  // the fixed header only
        {"Squish locked", Formats[1], "su.general.sqd", nullptr, 0},
        {"Squish partial entry", Formats[1], nullptr, ".sqi", 5},
        {"Hudson locked", Formats[3], "hudson/msginfo.bbs", nullptr, 0},
        {"*.MSG empty file", Formats[0], nullptr, "", 0},  // created, not yet filled
    };
    const test::TShortLockWaits shortWaits;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        path_.clear();
        auto reader = Open(c.Format);
        auto tosser = Open(c.Format);
        const int32_t count = reader->Count();
        reader->Seek(2);
        const TFiles before = Snapshot(dir_.Path());
        Write(*tosser, "000000c1");
        const TFiles whole = Snapshot(dir_.Path());
        for (const auto& [name, bytes] : whole) {
            if (c.Half == nullptr || !(*c.Half ? name.ends_with(c.Half) : before.count(name) == 0)) continue;
            const std::string old = before.count(name) != 0 ? before.at(name) : std::string();
            std::string half = bytes;
            if (c.Kept == CountersOld)
                half.replace(0, 1024, old, 0, 1024);
            else
                half = old + bytes.substr(old.size(), c.Kept);
            test::WriteFile(name, half);
        }
        {
            std::unique_ptr<test::TTosserLock> lock;
            if (c.Locked != nullptr) {
                lock = std::make_unique<test::TTosserLock>((dir_.Path() / c.Locked).string(), 1, 60000);
                ASSERT_TRUE(lock->Locked);
            }
            TBaseRefresh r;
            EXPECT_NO_THROW(r = reader->Refresh());
            EXPECT_EQ(r.Kind, TKind::Busy);
            EXPECT_EQ(reader->Count(), count);
            EXPECT_EQ(reader->Current, 2);
        }
        for (const auto& [name, bytes] : whole) test::WriteFile(name, bytes);
        const TBaseRefresh r = reader->Refresh();
        EXPECT_EQ(r.Kind, TKind::Changed);
        EXPECT_EQ(r.PositionsBefore, count);
        EXPECT_EQ(reader->Current, 2);
        EXPECT_EQ(r.Appended(), 1);
        if (r.Appended() > 0) EXPECT_EQ(Ids(*reader, r.PositionsAfter).back(), IdOf("000000c1"));
    }
}

}  // namespace
}  // namespace pelmar
