// The scan counting on file events: another writer appends to a watched base, and the scan counts
// that area alone, once per burst; folders it cannot watch fall back to timed counts with one note;
// personal mail that arrives is reported once.
//
// The scan's clock is a fake one moved by the tests: no test bets on how long anything takes. Waits
// are conditions with a generous limit.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>

#include "areas/AreaTestSupport.h"
#include "areas/ScanThread.h"
#include "areas/gizmo.h"
#include "core/Codepage.h"
#include "core/Settings.h"
#include "msgbase/BaseFactory.h"
#include "msgbase/MessageBase.h"
#include "support/Letters.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

using namespace std::chrono_literals;
constexpr auto WaitLimit = 60s;

using test::TLetter;

class LiveCountTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedName_ = Settings.FullName;
        Settings.FullName = Utf8ToAnsi("Иван Петров");
    }
    void TearDown() override {
        if (scan_) {
            scan_->Terminate();
            scan_->WaitFor();
        }
        Settings.FullName = savedName_;
    }

    TAreaInfo* AddArea(const std::string& name, int kind, const std::string& path) {
        return root_.AddChild(TAreaFields{.Name = name, .Kind = kind, .Path = path});
    }
    TAreaInfo* AddJam(const std::string& name) {
        return AddArea(name, BaseKindJam, test::CreateEmptyBase(BaseKindJam, dir_.Path(), name));
    }

    // Starts the scan and waits for its first full pass.
    void Start(TWatchSystem system = TWatchSystem::Real()) {
        scan_ = std::make_unique<TScanThread>([this](const TScanReport& report) {
            const std::lock_guard guard(mutex_);
            reports_.push_back(report);
            changed_.notify_all();
        });
        scan_->SetClockForTesting([this] { return TScanThread::TClockPoint(now_.load()); });
        scan_->SetWatchSystemForTesting(std::move(system));
        scan_->Start();
        ASSERT_TRUE(WaitReports(1));
    }
    bool WaitReports(size_t count) {
        std::unique_lock guard(mutex_);
        return changed_.wait_for(guard, WaitLimit, [&] { return reports_.size() >= count; });
    }
    size_t ReportCount() {
        const std::lock_guard guard(mutex_);
        return reports_.size();
    }
    std::vector<TScanReport> ReportsFrom(size_t first) {
        const std::lock_guard guard(mutex_);
        return {reports_.begin() + static_cast<ptrdiff_t>(first), reports_.end()};
    }
    void Advance(std::chrono::steady_clock::duration step) {
        now_ = now_.load() + step;
        scan_->Wake();
    }
    // Moves the clock past the quiet period until a count comes (the scan may still be taking in
    // events when the clock moves; those make it wait once more).
    bool Settle() {
        const size_t before = ReportCount();
        const auto limit = std::chrono::steady_clock::now() + WaitLimit;
        while (std::chrono::steady_clock::now() < limit) {
            Advance(TScanThread::QuietPeriod + 1ms);
            std::unique_lock guard(mutex_);
            if (changed_.wait_for(guard, 200ms, [&] { return reports_.size() > before; })) return true;
        }
        return false;
    }
    // Everything the scan had to do is done: a request is served after the areas that are due.
    void Sync() {
        Advance(TScanThread::QuietPeriod + 1ms);
        const size_t before = ReportCount();
        scan_->RequestCount();
        ASSERT_TRUE(WaitReports(before + 1));
    }
    // IDs counted in the reports from `first` on, each as often as counted.
    std::vector<std::string> Counted(size_t first) {
        std::vector<std::string> ids;
        for (const TScanReport& report : ReportsFrom(first))
            ids.insert(ids.end(), report.CountedAreaIds.begin(), report.CountedAreaIds.end());
        return ids;
    }
    std::vector<TNewPersonalMail> News(size_t first) {
        std::vector<TNewPersonalMail> news;
        for (const TScanReport& report : ReportsFrom(first))
            news.insert(news.end(), report.NewPersonal.begin(), report.NewPersonal.end());
        return news;
    }

    std::string savedName_;
    test::TempDir dir_;
    TAreaInfo root_;
    std::unique_ptr<TScanThread> scan_;
    std::atomic<TScanThread::TClockPoint::duration> now_{std::chrono::hours(1000)};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<TScanReport> reports_;
};

// Which file events concern which base: the formats find their files ignoring case, Hudson boards
// share the files of their folder, and a *.MSG area owns its whole folder.
TEST(LiveCountFiles, EventsAreMatchedToTheBasesTheyConcern) {
    const struct {
        int Kind;
        std::string Path, Folder, Name;
        bool Belongs;
    } rows[] = {
        {BaseKindJam, "/fido/jam/ru.test", "/fido/jam", "ru.test.jhr", true},
        {BaseKindJam, "/fido/jam/ru.test", "/fido/jam", "RU.TEST.JDX", true},
        {BaseKindJam, "/fido/jam/ru.test", "/fido/jam", "ru.test2.jhr", false},
        {BaseKindJam, "/fido/jam/ru.test", "/fido/jam", "ru.jhr", false},
        {BaseKindJam, "ru.test", ".", "ru.test.jlr", true},
        {BaseKindSquish, "/fido/sq/netmail/", "/fido/sq/netmail", ".sqd", true},
        {BaseKindSquish, "/fido/sq/area", "/fido/sq", "area.sqi", true},
        {BaseKindSquish, "/fido/sq/area", "/fido/sq", "area.jhr", false},
        {BaseKindHudson, std::string(1, '\x05') + "/fido/hmb/", "/fido/hmb", "MSGHDR.BBS", true},
        {BaseKindHudson, std::string(1, '\x05') + "/fido/hmb/", "/fido/hmb", "msgtxt.tmp", false},
        {BaseKindMsg, "/fido/msg/netmail//", "/fido/msg/netmail", "17.msg", true},
        {BaseKindMsg, "/fido/msg/netmail", "/fido/msg/netmail", "", true},
    };
    for (const auto& row : rows) {
        const TScanThread::TBaseFiles files = TScanThread::BaseFilesOf(row.Kind, row.Path);
        EXPECT_EQ(files.Folder, row.Folder) << row.Path;
        EXPECT_EQ(TScanThread::BelongsToBase(files, row.Name), row.Belongs) << row.Path << " " << row.Name;
    }
}

TEST_F(LiveCountTest, AnAppendCountsThatAreaAloneOnce) {
    TAreaInfo* before = AddJam("ru.before");
    TAreaInfo* echo = AddJam("ru.echo");
    TAreaInfo* after = AddJam("ru.after");
    TAreaInfo* msg =
        AddArea("netmail", BaseKindMsg, test::CreateEmptyBase(BaseKindMsg, dir_.Path(), "netmail"));
    Start();
    EXPECT_EQ(scan_->WatchedFolders().size(), 2u);
    const size_t first = ReportCount();

    test::AppendLetters(BaseKindJam, echo->Path, {{}, {}});
    ASSERT_TRUE(Settle());
    Sync();
    EXPECT_EQ(Counted(first), std::vector<std::string>{echo->ID});
    EXPECT_EQ(echo->MsgCount.load(), 2);
    EXPECT_EQ(echo->Read.load(), 2);
    EXPECT_EQ(scan_->Recounts(), 1);
    EXPECT_EQ(scan_->Passes(), 1);  // no full pass did it

    // A *.MSG area: any file of its folder is its base.
    const size_t second = ReportCount();
    test::AppendLetters(BaseKindMsg, msg->Path, {{}});
    ASSERT_TRUE(Settle());
    Sync();
    EXPECT_EQ(Counted(second), std::vector<std::string>{msg->ID});
    EXPECT_EQ(msg->MsgCount.load(), 1);
    EXPECT_EQ(before->MsgCount.load() + after->MsgCount.load(), 0);
}

TEST_F(LiveCountTest, ABurstOfAppendsIsOneCount) {
    TAreaInfo* echo = AddJam("ru.burst");
    TAreaInfo* quiet = AddJam("ru.quiet");
    Start();
    const size_t first = ReportCount();
    // A toss that opens and closes the base for every message, as the slowest tossers do.
    for (int i = 0; i < 150; ++i) test::AppendLetters(BaseKindJam, echo->Path, {{}});
    ASSERT_TRUE(Settle());
    Sync();
    EXPECT_EQ(Counted(first), std::vector<std::string>{echo->ID});
    EXPECT_EQ(echo->MsgCount.load(), 150);
    EXPECT_EQ(quiet->MsgCount.load(), 0);
    EXPECT_EQ(scan_->Recounts(), 1);
}

// A folder that cannot be watched is counted every FallbackInterval, and the user hears of it once.
TEST_F(LiveCountTest, UnwatchableFoldersFallBackToTimedCountsWithOneNote) {
    const struct {
        const char* Case;
        int Errno;
        int64_t FileSystem;
    } rows[] = {
        {"watch limit", ENOSPC, -1},
        {"network file system", 0, 0x6969},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Case);
        {
            const std::lock_guard guard(mutex_);
            reports_.clear();
        }
        TAreaInfo* echo = AddJam(std::string("ru.") + (row.Errno != 0 ? "limit" : "nfs"));
        TWatchSystem system = TWatchSystem::Real();
        if (row.Errno != 0) {
            system.AddWatch = [error = row.Errno](int, const std::string&, uint32_t) {
                errno = error;
                return -1;
            };
        }
        if (row.FileSystem >= 0)
            system.FileSystemType = [type = row.FileSystem](const std::string&) { return type; };
        Start(system);
        EXPECT_TRUE(scan_->WatchedFolders().empty());

        test::AppendLetters(BaseKindJam, echo->Path, {{}});
        // No event comes; the quiet period does nothing, the fallback interval counts it.
        Sync();
        EXPECT_EQ(echo->MsgCount.load(), 0);
        const size_t beforeFallback = ReportCount();
        Advance(TScanThread::FallbackInterval);
        ASSERT_TRUE(WaitReports(beforeFallback + 1));
        EXPECT_EQ(echo->MsgCount.load(), 1);
        test::AppendLetters(BaseKindJam, echo->Path, {{}});
        const size_t beforeSecond = ReportCount();
        Advance(TScanThread::FallbackInterval);
        ASSERT_TRUE(WaitReports(beforeSecond + 1));
        EXPECT_EQ(echo->MsgCount.load(), 2);

        int notes = 0;
        for (const TScanReport& report : ReportsFrom(0)) notes += report.WatchNote.empty() ? 0 : 1;
        EXPECT_EQ(notes, 1);
        EXPECT_NE(ReportsFrom(0).front().WatchNote, "");
        scan_.reset();
        root_.RemoveChild(echo);
    }
}

// Events were lost (the queue overflowed while the scan was busy): the bases whose files changed
// are counted, their neighbours are not.
TEST_F(LiveCountTest, AnOverflowCountsTheBasesThatChanged) {
    TAreaInfo* changed = AddJam("ru.changed");
    TAreaInfo* still = AddJam("ru.still");
    // Every batch of events is lost; only the overflow is told.
    std::atomic<bool> lose{false};
    TWatchSystem system = TWatchSystem::Real();
    system.Read = [&lose](int fd, char* buffer, size_t size) -> ssize_t {
        const ssize_t got = ::read(fd, buffer, size);
        if (got <= 0 || !lose.load()) return got;
        inotify_event overflow{};
        overflow.wd = -1;
        overflow.mask = IN_Q_OVERFLOW;
        std::memcpy(buffer, &overflow, sizeof overflow);
        return sizeof overflow;
    };
    Start(system);
    const size_t first = ReportCount();
    lose = true;
    test::AppendLetters(BaseKindJam, changed->Path, {{}});
    ASSERT_TRUE(Settle());
    Sync();
    EXPECT_GE(scan_->Overflows(), 1);
    EXPECT_EQ(Counted(first), std::vector<std::string>{changed->ID});
    EXPECT_EQ(changed->MsgCount.load(), 1);
    EXPECT_EQ(still->MsgCount.load(), 0);
}

TEST_F(LiveCountTest, PersonalMailIsNewOnceAndNeverAtStartOrFromTheUser) {
    const std::string me = Settings.FullName;
    TAreaInfo* netmail =
        AddArea("netmail", BaseKindMsg, test::CreateEmptyBase(BaseKindMsg, dir_.Path(), "netmail"));
    TAreaInfo* echo = AddJam("ru.personal");
    // Waiting at start: counted, not news.
    test::AppendLetters(BaseKindJam, echo->Path,
                        {{.To = me, .Subject = "waiting", .MsgId = "2:5020/1 00000001"}});
    test::AppendLetters(BaseKindMsg, netmail->Path, {{.To = me, .Subject = "waiting too"}});
    Start();
    EXPECT_TRUE(News(0).empty());
    EXPECT_EQ(echo->PersonalUnread.load(), 1);

    const struct {
        const char* Case;
        TAreaInfo* Area;
        std::vector<TLetter> Letters;
        std::vector<std::string> NewSubjects;
    } rows[] = {
        {"new with MSGID", echo, {{.To = me, .Subject = "fresh", .MsgId = "2:5020/2 00000002"}}, {"fresh"}},
        {"new without MSGID", netmail, {{.From = "Petr", .To = me, .Subject = "no id"}}, {"no id"}},
        {"to someone else", echo, {{.To = "All", .Subject = "public", .MsgId = "2:5020/2 00000003"}}, {}},
        {"the user's own",
         echo,
         {{.From = me, .To = me, .Subject = "note to self", .MsgId = "2:5020/1 4"}},
         {}},
        {"two at once",
         netmail,
         {{.To = me, .Subject = "one"}, {.To = me, .Subject = "two"}},
         {"one", "two"}},
    };
    for (const auto& row : rows) {
        const size_t first = ReportCount();
        test::AppendLetters(row.Area->Kind, row.Area->Path, row.Letters);
        ASSERT_TRUE(Settle()) << row.Case;
        Sync();
        std::vector<std::string> subjects;
        for (const TNewPersonalMail& mail : News(first)) {
            subjects.push_back(mail.Subject);
            EXPECT_EQ(mail.AreaId, row.Area->ID) << row.Case;
            EXPECT_EQ(mail.AreaName, row.Area->Name) << row.Case;
            EXPECT_GE(mail.Position, 0) << row.Case;
        }
        EXPECT_EQ(subjects, row.NewSubjects) << row.Case;
    }
    const std::vector<TNewPersonalMail> fresh = News(0);
    ASSERT_FALSE(fresh.empty());
    EXPECT_EQ(fresh.front().MsgId, "2:5020/2 00000002");
    EXPECT_EQ(fresh.front().FromName, "Tosser Robot");

    // A purge renumbers the base: the messages that stay are not news again.
    const size_t beforePurge = ReportCount();
    {
        auto base = CreateMessageBase(BaseKindMsg);
        base->SetPath(netmail->Path);
        base->Open();
        ASSERT_TRUE(base->First());
        ASSERT_TRUE(base->DeleteCurrent());
        base->Close();
    }
    ASSERT_TRUE(Settle());
    Sync();
    EXPECT_TRUE(News(beforePurge).empty());
    EXPECT_EQ(netmail->PersonalUnread.load(), 3);
    // ... and a letter that arrives after the purge, at a position another one held, is news.
    const size_t afterPurge = ReportCount();
    test::AppendLetters(BaseKindMsg, netmail->Path, {{.To = me, .Subject = "after purge"}});
    ASSERT_TRUE(Settle());
    Sync();
    ASSERT_EQ(News(afterPurge).size(), 1u);
    EXPECT_EQ(News(afterPurge).front().Subject, "after purge");
}

}  // namespace
}  // namespace pelmar
