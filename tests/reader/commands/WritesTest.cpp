// The write layer without windows, with things broken on purpose: another process holds the base's
// lock, a message is replaced between list and command, a target base will not open.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "areas/gizmo.h"
#include "core/Codepage.h"
#include "core/Settings.h"
#include "editor/SendMessages.h"
#include "msgbase/BaseFactory.h"
#include "msgbase/MessageBase.h"
#include "msgbase/ShortLockWaits.h"
#include "msgbase/TosserLock.h"
#include "reader/MessageTransfer.h"
#include "reader/Multiply.h"
#include "reader/Writes.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

std::string A(std::string_view utf8) {
    return Utf8ToAnsi(utf8);
}

std::vector<TItemResult> ResultsOf(const std::vector<TItemOutcome>& outcomes) {
    std::vector<TItemResult> results;
    for (const TItemOutcome& outcome : outcomes) results.push_back(outcome.Result);
    return results;
}

struct TFormat {
    int Kind;
    const char* Name;
    const char* LockedFile;  // relative to the test folder
    uint64_t LockLength;
};

void PrintTo(const TFormat& format, std::ostream* out) {
    *out << format.Name;
}

const TFormat LockedFormats[] = {
    {BaseKindSquish, "Squish", "area.sqd", 1},
    {BaseKindJam, "JAM", "area.jhr", 1},
    {BaseKindHudson, "Hudson", "hudson/msginfo.bbs", 406},
};

// An area of the given kind with two unread messages, the first to the user.
class WritesTest : public ::testing::TestWithParam<TFormat> {
protected:
    void SetUp() override {
        Settings = TSettings{};
        Settings.bNetFlag = Settings.bEchoFlag = false;
        Settings.FullName = "Me";
        Settings.SelfAKA = {"2:5020/1"};
        area.Kind = GetParam().Kind;
        area.Name = area.AreaName = "RU.TEST";
        area.Path = GetParam().Kind == BaseKindHudson
                        ? std::string(1, '\x01') + (dir.Path() / "hudson").string()
                        : dir.File("area");
        base = OpenNew(area.Kind, area.Path);
        ASSERT_TRUE(base->Active);
        Post(*base, "Me", "first");
        Post(*base, "All", "second");
        area.MsgCount = 2;
        area.Read = 2;
        area.PersonalUnread = 1;
    }
    void TearDown() override { Settings = TSettings{}; }

    static std::unique_ptr<TMessageBase> OpenNew(int kind, const std::string& path) {
        auto made = CreateMessageBase(kind);
        made->SetPath(path);
        made->CreateBase();
        made->Open();
        return made;
    }
    static void Post(TMessageBase& into, const std::string& to, const std::string& subject) {
        into.NewMessage();
        into.FromName = "Writer";
        into.ToName = to;
        into.Subject = subject;
        into.OrigAddr = "2:5020/1";
        into.Date = EncodeDateTime(2026, 12, 1, 10, static_cast<int>(subject.size()), 0);
        into.Kludges = {"MSGID: 2:5020/1 0000000" + std::to_string(subject.size())};
        into.Text = subject + "\r";
        ASSERT_TRUE(into.WriteMessage());
    }
    static TListedMessage ListedIn(TMessageBase& of, int32_t position) {
        of.Seek(position);
        of.ReadHeader();
        return {position, {of.MsgId, of.FromName, of.ToName, of.Subject, of.Date}, false};
    }
    // Subjects and read marks as a fresh reader of the area sees them.
    std::vector<std::string> Stored() const {
        auto reader = CreateMessageBase(area.Kind);
        reader->SetPath(area.Path);
        reader->Open();
        std::vector<std::string> stored;
        for (bool more = reader->First(); more; more = reader->Next()) {
            if (area.Kind == BaseKindJam && reader->CheckCurrent()) continue;  // deleted JAM entry
            reader->ReadHeader();
            stored.push_back(reader->Subject + (reader->Read ? " (read)" : ""));
        }
        return stored;
    }
    std::string Locked() const { return dir.File(GetParam().LockedFile); }

    test::ScopedHome home;
    test::TempDir dir;
    TAreaInfo area;
    std::unique_ptr<TMessageBase> base;
};

TEST_P(WritesTest, EveryWriteIsRefusedWithItsReasonWhileAnotherProcessHoldsTheLock) {
    const test::TShortLockWaits waits(milliseconds(200), milliseconds(50));
    // A message to copy in, from a base nobody holds.
    auto source = OpenNew(BaseKindJam, dir.File("source"));
    Post(*source, "All", "copied");
    const std::vector<std::string> before = Stored();
    {
        const test::TTosserLock tosser(Locked(), GetParam().LockLength, 60000);
        ASSERT_TRUE(tosser.Locked);

        const std::vector<TItemOutcome> deleted = DeleteListed(area, *base, {ListedIn(*base, 0)});
        ASSERT_EQ(deleted.size(), 1u);
        EXPECT_EQ(deleted[0].Result, TItemResult::Refused);
        EXPECT_EQ(deleted[0].Area, "RU.TEST");
        EXPECT_NE(AnsiToUtf8(deleted[0].Reason).find("доступ"), std::string::npos)
            << AnsiToUtf8(deleted[0].Reason);

        const TItemOutcome marked = MarkListedRead(area, *base, ListedIn(*base, 0), "Me");
        EXPECT_EQ(marked.Result, TItemResult::Refused);
        EXPECT_FALSE(marked.Reason.empty());

        const TCopyOutcome copied = CopyListed(*source, {ListedIn(*source, 0)}, area, *base);
        EXPECT_EQ(ResultsOf(copied.Results), std::vector<TItemResult>{TItemResult::Refused});
        EXPECT_EQ(copied.Copied, 0);

        TSendState letter;
        letter.Destinations = {&area};
        letter.FromName = "Me";
        letter.ToName = "All";
        letter.Subject = "sent";
        letter.SelectedAKA = "2:5020/1";
        letter.Body = "body\r";
        const TSendResult sent =
            SendMessages(letter, [](const std::string& name) { return DefaultTemplate(name); });
        ASSERT_EQ(sent.Failed.size(), 1u);
        EXPECT_EQ(sent.Failed[0].Result, TItemResult::Refused);
        // One text naming the area once.
        const std::string summary = AnsiToUtf8(sent.Summary());
        EXPECT_EQ(summary.find("RU.TEST"), summary.rfind("RU.TEST")) << summary;

        // Nothing written, the counters as they were.
        EXPECT_EQ(area.MsgCount, 2);
        EXPECT_EQ(area.Read, 2);
        EXPECT_EQ(area.PersonalUnread, 1);
    }
    EXPECT_EQ(Stored(), before);
    // The mark is tried again (the next show) and now goes in, lowering both counters once.
    EXPECT_EQ(MarkListedRead(area, *base, ListedIn(*base, 0), "Me").Result, TItemResult::Done);
    EXPECT_EQ(area.Read, 1);
    EXPECT_EQ(area.PersonalUnread, 0);
    EXPECT_EQ(Stored(), (std::vector<std::string>{"first (read)", "second"}));
}

// Mark unread and mark area read go through the same lock and read-back as the read mark: while a
// tosser holds the base nothing changes, counters included, and the area pass stops waiting after
// the first refusal.
TEST_P(WritesTest, UnreadAndAreaMarksAreRefusedUnderAnotherProcessesLockAndCountedWhenStored) {
    const test::TShortLockWaits waits(milliseconds(200), milliseconds(300));
    ASSERT_EQ(MarkListedRead(area, *base, ListedIn(*base, 0), "Me").Result, TItemResult::Done);
    ASSERT_EQ(area.Read, 1);
    ASSERT_EQ(area.PersonalUnread, 0);
    const std::vector<TMarkAreaItem> everything = {{ListedIn(*base, 0), "Me", false},
                                                   {ListedIn(*base, 1), "All", false}};
    {
        const test::TTosserLock tosser(Locked(), GetParam().LockLength, 60000);
        ASSERT_TRUE(tosser.Locked);
        const TItemOutcome unread = MarkListedUnread(area, *base, ListedIn(*base, 0), "Me");
        EXPECT_EQ(unread.Result, TItemResult::Refused);
        EXPECT_NE(AnsiToUtf8(unread.Reason).find("не снята"), std::string::npos) << AnsiToUtf8(unread.Reason);

        // Eight unread items: one wait for the lock (300 ms), not eight (2.4 s).
        const std::vector<TMarkAreaItem> many(8, everything[1]);
        const auto started = std::chrono::steady_clock::now();
        const std::vector<TItemOutcome> marked = MarkAreaRead(area, *base, many);
        EXPECT_LT(std::chrono::steady_clock::now() - started, milliseconds(1500));
        EXPECT_EQ(ResultsOf(marked), std::vector<TItemResult>(8, TItemResult::Refused));
        EXPECT_EQ(OutcomeSummary("Not marked:", marked),
                  "Not marked:\r\nRU.TEST: " + marked[0].Reason + " (8)");
        EXPECT_EQ(area.Read, 1);
        EXPECT_EQ(area.PersonalUnread, 0);
    }
    EXPECT_EQ(Stored(), (std::vector<std::string>{"first (read)", "second"}));

    EXPECT_EQ(MarkListedUnread(area, *base, ListedIn(*base, 0), "Me").Result, TItemResult::Done);
    EXPECT_EQ(area.Read, 2);
    EXPECT_EQ(area.PersonalUnread, 1);
    EXPECT_EQ(Stored(), (std::vector<std::string>{"first", "second"}));

    // A pass that is stopped leaves the rest alone.
    const std::vector<TItemOutcome> stopped =
        MarkAreaRead(area, *base, everything, [](size_t done, size_t) { return done < 1; });
    EXPECT_EQ(ResultsOf(stopped), std::vector<TItemResult>{TItemResult::Done});
    EXPECT_EQ(Stored(), (std::vector<std::string>{"first (read)", "second"}));

    std::vector<TMarkAreaItem> rest = everything;
    rest[0].Read = true;  // as the list knows it now
    EXPECT_EQ(ResultsOf(MarkAreaRead(area, *base, rest)),
              (std::vector<TItemResult>{TItemResult::Skipped, TItemResult::Done}));
    EXPECT_EQ(area.Read, 0);
    EXPECT_EQ(area.PersonalUnread, 0);
    EXPECT_EQ(Stored(), (std::vector<std::string>{"first (read)", "second (read)"}));
}

// The formats whose open base sees another program's delete at once (JAM and Hudson keep the list
// they read until the base is opened again).
class ReplacedTest : public WritesTest {};

TEST_P(ReplacedTest, MessageReplacedBetweenListAndCommandIsReportedAsChanged) {
    const std::vector<TListedMessage> listed = {ListedIn(*base, 0), ListedIn(*base, 1)};
    // A tosser removes the second message and stores a new one.
    {
        auto other = CreateMessageBase(area.Kind);
        other->SetPath(area.Path);
        other->Open();
        ASSERT_TRUE(other->First());
        ASSERT_TRUE(other->Next());
        ASSERT_TRUE(other->DeleteCurrent());
        Post(*other, "All", "replaced");
    }
    TAreaInfo target;
    target.Kind = BaseKindJam;
    target.Name = target.AreaName = "TARGET";
    target.Path = dir.File("target");
    OpenNew(BaseKindJam, target.Path);
    const TCopyOutcome copied = CopyListed(*base, listed, target);
    EXPECT_EQ(ResultsOf(copied.Results), (std::vector<TItemResult>{TItemResult::Done, TItemResult::Changed}));
    EXPECT_EQ(target.MsgCount, 1);

    EXPECT_EQ(MarkListedRead(area, *base, listed[1], "All").Result, TItemResult::Changed);
    EXPECT_EQ(MarkListedUnread(area, *base, listed[1], "All").Result, TItemResult::Changed);
    EXPECT_EQ(area.Read, 2);
    // The message still listed takes both marks, and the counters come back to where they were.
    EXPECT_EQ(MarkListedRead(area, *base, listed[0], "Me").Result, TItemResult::Done);
    EXPECT_EQ(MarkListedUnread(area, *base, listed[0], "Me").Result, TItemResult::Done);
    EXPECT_EQ(area.Read, 2);
    EXPECT_EQ(area.PersonalUnread, 1);
    const std::vector<TItemOutcome> deleted = DeleteListed(area, *base, listed);
    EXPECT_EQ(ResultsOf(deleted), (std::vector<TItemResult>{TItemResult::Done, TItemResult::Changed}));
    EXPECT_EQ(area.MsgCount, 1);
    EXPECT_EQ(Stored(), std::vector<std::string>{"replaced"});
    const std::string summary = OutcomeSummary("Not deleted:", deleted);
    EXPECT_EQ(summary.rfind("Not deleted:\r\nRU.TEST: " + ChangedReason(), 0), 0u) << summary;
}

INSTANTIATE_TEST_SUITE_P(Formats, WritesTest, ::testing::ValuesIn(LockedFormats),
                         [](const auto& info) { return std::string(info.param.Name); });

const TFormat SeeingFormats[] = {
    {BaseKindSquish, "Squish", "area.sqd", 1},
    {BaseKindMsg, "Msg", "area", 0},
};
INSTANTIATE_TEST_SUITE_P(Formats, ReplacedTest, ::testing::ValuesIn(SeeingFormats),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(WritesTarget, CopyIntoAnAreaWhoseBaseWillNotOpenRefusesEveryItemWithTheReason) {
    test::ScopedHome home;
    test::TempDir dir;
    auto source = CreateMessageBase(BaseKindJam);
    source->SetPath(dir.File("source"));
    source->CreateBase();
    source->Open();
    for (const char* subject : {"one", "two"}) {
        source->NewMessage();
        source->FromName = "Writer";
        source->ToName = "All";
        source->Subject = subject;
        source->OrigAddr = "2:5020/1";
        source->Text = "text\r";
        ASSERT_TRUE(source->WriteMessage());
    }
    std::vector<TListedMessage> items;
    for (int32_t i = 0; i < 2; ++i) {
        source->Seek(i);
        source->ReadHeader();
        items.push_back(
            {i, {source->MsgId, source->FromName, source->ToName, source->Subject, source->Date}});
    }
    TAreaInfo target;
    target.Kind = BaseKindJam;
    target.Name = target.AreaName = "GONE";
    target.Path = dir.File("missing/area");  // no such folder: the base will not open
    const TCopyOutcome outcome = CopyListed(*source, items, target);
    EXPECT_TRUE(outcome.Refused);
    EXPECT_EQ(ResultsOf(outcome.Results),
              (std::vector<TItemResult>{TItemResult::Refused, TItemResult::Refused}));
    EXPECT_EQ(target.MsgCount, 0);
    EXPECT_TRUE(CopiedItems(items, outcome).empty());
    // One line for both items, the area named once.
    EXPECT_EQ(OutcomeSummary(A("Не скопировано:"), outcome.Results),
              A("Не скопировано:\r\nGONE: ") + NotOpenReason(target) + " (2)");
}

TEST(WritesHeader, MultipliedCopiesCarryTheHeaderOfEveryNewMessage) {
    test::ScopedHome home;
    test::TempDir dir;
    TSettings saved = Settings;
    TAreaInfo area;
    area.Kind = BaseKindMsg;
    area.Name = area.AreaName = "NETMAIL";
    area.Path = dir.File("net");
    fs::create_directories(area.Path);
    auto base = CreateMessageBase(BaseKindMsg);
    base->SetPath(area.Path);
    base->Open();
    const TMultiplyOriginal original{"Me", "2:5020/1", "news", "text\r", AttrSent};
    const std::vector<TContact> contacts = {{"Ann", {"2:5020/2"}, ""}, {"Bob", {"2:5020/3"}, ""}};
    const TMultiplyOutcome outcome = MultiplyMessage(area, *base, original, contacts, {"GIF: X"}, nullptr);
    ASSERT_EQ(outcome.Written, 2);
    EXPECT_EQ(ResultsOf(outcome.Results), (std::vector<TItemResult>{TItemResult::Done, TItemResult::Done}));
    for (int32_t i = 0; i < 2; ++i) {
        base->ReadMessage(i);
        std::vector<std::string> names;
        for (const std::string& line : base->Kludges) names.push_back(line.substr(0, line.find(':')));
        for (const char* wanted : {"MSGID", "PID", "GIF", "TZUTC"})
            EXPECT_NE(std::find(names.begin(), names.end(), wanted), names.end())
                << wanted << " in copy " << i;
        EXPECT_EQ(base->Attr & AttrSent, 0);
    }
    Settings = saved;
}

}  // namespace
}  // namespace pelmar
