// Search and find-next over real bases of every format, bookmarks kept in the settings, and copies
// of a netmail message written into a base another program holds.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "areas/AreaTestSupport.h"
#include "areas/AreaTitles.h"
#include "areas/AreaTreeRows.h"
#include "areas/gizmo.h"
#include "core/Codepage.h"
#include "core/Settings.h"
#include "msgbase/BaseFactory.h"
#include "msgbase/MessageBase.h"
#include "msgbase/ShortLockWaits.h"
#include "nodelist/AddressBook.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "reader/Bookmarks.h"
#include "reader/Multiply.h"
#include "reader/Search.h"
#include "support/TestSupport.h"

// The base builders of the area tests, shared rather than written twice.
#include "areas/AreaTestSupport.cpp"

namespace pelmar {
namespace {

std::string A(const char* utf8) {
    return Utf8ToAnsi(utf8);
}

struct TRow {
    const char* Subject;  // UTF-8
    const char* Text;     // UTF-8
    bool Deleted = false;
};

// Writes the rows into a fresh base and deletes the marked ones afterwards.
std::string MakeBase(int kind, const test::TempDir& dir, const std::string& name,
                     const std::vector<TRow>& rows) {
    const std::string path = test::CreateEmptyBase(kind, dir.Path(), name);
    auto base = CreateMessageBase(kind);
    base->SetPath(path);
    base->Open();
    base->UseFlagFiles = false;
    int n = 0;
    for (const TRow& row : rows) {
        base->NewMessage();
        base->FromName = "Tester";
        base->ToName = "All";
        base->Subject = A(row.Subject);
        base->OrigAddr = "2:5020/1";
        base->Date = EncodeDateTime(2025, 1, 2, 3, 4, 5);
        base->Kludges = {"MSGID: 2:5020/1 " + name + std::to_string(++n)};
        base->Text = A(row.Text);
        if (!base->WriteMessage()) throw std::runtime_error("cannot write " + path);
    }
    int position = 0;
    for (bool more = base->First(); more; more = base->Next(), ++position) {
        if (!rows[static_cast<size_t>(position)].Deleted) continue;
        base->Seek(base->Current);
        base->DeleteCurrent();
    }
    base->Close();
    return path;
}

class SearchTest : public ::testing::Test {
protected:
    TAreaInfo* AddArea(const std::string& name, int kind, const std::string& path) {
        auto area = std::make_unique<TAreaInfo>();
        area->Name = name;
        area->Description = name;
        area->Kind = kind;
        area->Path = path;
        return root_.AddChild(std::move(area));
    }
    test::TempDir dir_;
    TAreaInfo root_;
};

TEST_F(SearchTest, FindNextVisitsEveryMatchOnceAcrossFormatsThenEnds) {
    const std::vector<TRow> squish = {{"one", "none here"}, {"two", "nothing"}};
    // Deleted headers between the matches and after them: the live count is below the positions.
    const std::vector<TRow> jam = {{"Привет всем", "a"},   {"x", "b", true},      {"y", "c", true},
                                   {"z", "d", true},       {"ПРИВЕТ снова", "e"}, {"w", "f", true},
                                   {"и опять привет", "g"}};
    const std::vector<TRow> hudson = {{"other", "x"}, {"ещё ПрИвЕт", "y"}};
    const std::vector<TRow> msg = {{"plain", "в тексте привет\rвторая"}};
    TAreaInfo* a = AddArea("squish", BaseKindSquish, MakeBase(BaseKindSquish, dir_, "sq", squish));
    TAreaInfo* b = AddArea("jam", BaseKindJam, MakeBase(BaseKindJam, dir_, "jam", jam));
    TAreaInfo* c = AddArea("hudson", BaseKindHudson, MakeBase(BaseKindHudson, dir_, "hud", hudson));
    TAreaInfo* d = AddArea("msg", BaseKindMsg, MakeBase(BaseKindMsg, dir_, "msg", msg));
    TAreaInfo* unmarked = AddArea("unmarked", BaseKindMsg, MakeBase(BaseKindMsg, dir_, "um", msg));
    {
        // The live count is below the last match's position.
        TOpenedBase jamBase(*b, TBaseMode::Private);
        ASSERT_TRUE(jamBase);
        ASSERT_EQ(jamBase->Count(), 3);
    }

    struct TCase {
        bool InText;
        std::vector<std::pair<TAreaInfo*, int>> Expected;  // area and position of each match
    };
    const TCase cases[] = {
        {false, {{b, 0}, {b, 4}, {b, 6}, {c, 1}}},
        {true, {{b, 0}, {b, 4}, {b, 6}, {c, 1}, {d, 0}}},
    };
    for (const TCase& test : cases) {
        TSearch search;
        for (TAreaInfo* area : {a, b, c, d}) search.Marked.insert(area->ID);
        search.SearchText = A("привет");
        search.SearchInText = test.InText;
        search.Marked.insert(root_.ID);
        ASSERT_TRUE(search.Start(root_));
        EXPECT_EQ(search.Marked.count(root_.ID), 0u);
        for (const auto& [area, position] : test.Expected) {
            const TSearchResult result = search.Next();
            ASSERT_NE(result.Hit, TSearchHit::None) << area->Name << " " << position;
            EXPECT_EQ(result.Area, area);
            EXPECT_EQ(result.Position, position) << area->Name;
            EXPECT_FALSE(result.MsgId.empty());
            EXPECT_EQ(result.Hit, area == d ? TSearchHit::Text : TSearchHit::Header);
            EXPECT_TRUE(search.CanContinue());
        }
        EXPECT_EQ(search.Next().Hit, TSearchHit::None);
        EXPECT_FALSE(search.CanContinue());
        EXPECT_EQ(search.Next().Hit, TSearchHit::None);
        for (TAreaInfo* area : {a, b, c, d}) EXPECT_EQ(search.Marked.count(area->ID), 0u) << area->Name;
        EXPECT_EQ(search.Marked.count(unmarked->ID), 0u);
    }
}

// Two linked groups that both hold a NETMAIL and a BAD area, beside ordinary areas: find-next walks
// the areas in the order the tree shows them (groups' areas sorted in with the rest), not in the
// order they were made, and the captions tell the twins apart by their group.
class TwinAreasTest : public SearchTest {
protected:
    void SetUp() override {
        const std::vector<TRow> hit = {{"привет", "x"}};
        const auto area = [&](TAreaInfo& parent, const char* name, const std::string& description) {
            TAreaFields fields;
            fields.Name = name;
            fields.Description = description;
            fields.Kind = BaseKindJam;
            fields.Path = MakeBase(BaseKindJam, dir_, "b" + std::to_string(++made_), hit);
            fields.IsNetmail = std::string(name) == "NETMAIL";
            return parent.AddChild(fields);
        };
        area(root_, "ZETA", "");
        for (const char* groupName : {"CrashMail", "Fidoconfig"}) {
            TAreaFields fields;
            fields.Name = groupName;
            fields.Zilo = ZiloLinkedGroup;
            fields.Kind = LinkKindCrashMail;
            TAreaInfo* group = root_.AddChild(fields);
            area(*group, "BAD", "");
            area(*group, "NETMAIL", "");
            area(*group, "RU.TEST", "Test echo");
        }
        area(root_, "ALPHA", A("Альфа"));
        root_.SortShown();
    }
    int made_ = 0;
};

TEST_F(TwinAreasTest, FindNextFollowsTheTreeOrder) {
    std::vector<TAreaInfo*> shown;
    for (const TAreaTreeRow& row : AreaTreeRows(root_, TAreaTreeKind::Reading)) shown.push_back(row.Entry);
    ASSERT_EQ(shown.size(), 8u);
    TSearch search;
    // Marked in the order they were made.
    for (TAreaInfo* entry = root_.NextInTree(); entry != nullptr; entry = entry->NextInTree())
        search.Marked.insert(entry->ID);
    search.SearchText = A("привет");
    ASSERT_TRUE(search.Start(root_));
    std::vector<TAreaInfo*> visited;
    for (TSearchResult result = search.Next(); result.Hit != TSearchHit::None; result = search.Next())
        visited.push_back(result.Area);
    EXPECT_EQ(visited, shown);
    EXPECT_EQ(shown.front()->Name, "NETMAIL");  // netmail first, as the tree sorts it
}

TEST_F(TwinAreasTest, TwinsAreToldApartByTheirGroupAndAreasWithoutDescriptionByName) {
    TAreaInfo& crash = *root_.FindChild("CrashMail");
    TAreaInfo& fido = *root_.FindChild("Fidoconfig");
    const struct {
        TAreaInfo* Area;
        const char* Title;  // UTF-8
    } rows[] = {
        {crash.FindChild("NETMAIL"), "NETMAIL (CrashMail)"},
        {fido.FindChild("NETMAIL"), "NETMAIL (Fidoconfig)"},
        {fido.FindChild("BAD"), "BAD (Fidoconfig)"},
        {crash.FindChild("RU.TEST"), "Test echo (CrashMail)"},
        {root_.FindChild("ZETA"), "ZETA"},
        {root_.FindChild("ALPHA"), "Альфа"},
    };
    std::vector<std::string> names, data;
    TBookmarks marks(names, data);
    for (const auto& row : rows) {
        ASSERT_NE(row.Area, nullptr) << row.Title;
        EXPECT_EQ(AnsiToUtf8(AreaTitle(*row.Area)), row.Title);
        ASSERT_TRUE(marks.Add(*row.Area, "Subj", "2:5020/1 00000001"));
        EXPECT_EQ(AnsiToUtf8(names.back()), std::string(row.Title) + ": Subj");
    }
    // The search and copy dialogs' trees: names, with the group where two rows share one.
    const std::vector<TAreaTreeRow> shown = AreaTreeRows(root_, TAreaTreeKind::Reading);
    const std::vector<std::string> captions = AreaRowCaptions(shown);
    ASSERT_EQ(captions.size(), shown.size());
    for (size_t i : {0u, 1u}) EXPECT_EQ(captions[i], "NETMAIL (" + shown[i].Entry->Parent()->Name + ")");
    EXPECT_NE(captions[0], captions[1]);
    EXPECT_EQ(captions[2], "ALPHA");
    EXPECT_EQ(captions.back(), "ZETA");
}

TEST_F(SearchTest, CaseAndPatternRules) {
    const std::vector<TRow> rows = {{"ПРИВЕТ всем", "тело"}};
    TAreaInfo* area = AddArea("jam", BaseKindJam, MakeBase(BaseKindJam, dir_, "jam", rows));
    struct TCase {
        const char* Pattern;
        bool CaseSensitive, InText;
        TSearchHit Hit;
    };
    const TCase cases[] = {
        {"привет", false, false, TSearchHit::Header}, {"привет", true, false, TSearchHit::None},
        {"ПРИВЕТ", true, false, TSearchHit::Header},  {"тело", false, false, TSearchHit::None},
        {"ТЕЛО", false, true, TSearchHit::Text},
    };
    for (const TCase& test : cases) {
        TSearch search;
        search.Marked.insert(area->ID);
        search.SearchText = A(test.Pattern);
        search.SearchCaseSensitive = test.CaseSensitive;
        search.SearchInText = test.InText;
        ASSERT_TRUE(search.Start(root_));
        EXPECT_EQ(search.Next().Hit, test.Hit) << test.Pattern;
    }
}

TEST_F(SearchTest, NoMarkedAreaSearchesNothingAndBrokenBasesAreSkipped) {
    TSearch search;
    search.SearchText = "x";
    EXPECT_FALSE(search.Start(root_));
    EXPECT_FALSE(search.CanContinue());

    TAreaInfo* broken = AddArea("broken", BaseKindSquish, dir_.File("missing"));
    TAreaInfo* good = AddArea("good", BaseKindJam, MakeBase(BaseKindJam, dir_, "g", {{"x marks", ""}}));
    search.Marked = {broken->ID, good->ID};
    ASSERT_TRUE(search.Start(root_));
    const TSearchResult result = search.Next();
    EXPECT_EQ(result.Area, good);
    EXPECT_EQ(search.Marked.count(broken->ID), 0u);
}

TEST_F(SearchTest, FindNextForgetsADeletedArea) {
    TAreaInfo* area = AddArea("jam", BaseKindJam, MakeBase(BaseKindJam, dir_, "j", {{"x1", ""}, {"x2", ""}}));
    TSearch search;
    search.Marked.insert(area->ID);
    search.SearchText = "x";
    ASSERT_TRUE(search.Start(root_));
    ASSERT_EQ(search.Next().Position, 0);
    root_.RemoveChild(area).reset();
    EXPECT_FALSE(search.CanContinue());
    EXPECT_EQ(search.Next().Hit, TSearchHit::None);
}

TEST_F(SearchTest, AbortKeepsThePositionForTheNextFindNext) {
    std::vector<TRow> rows(200, TRow{"filler", ""});
    rows.push_back({"needle", ""});
    TAreaInfo* area = AddArea("jam", BaseKindJam, MakeBase(BaseKindJam, dir_, "big", rows));
    struct TStopper : TSearchObserver {
        int Polls = 0;
        void SearchingArea(const TAreaInfo&) override {}
        void SearchProgress(int, int) override {}
        bool SearchAborted() override { return ++Polls == 50; }
    } stopper;
    TSearch search;
    search.Marked.insert(area->ID);
    search.SearchText = "needle";
    ASSERT_TRUE(search.Start(root_));
    EXPECT_EQ(search.Next(&stopper).Hit, TSearchHit::Aborted);
    EXPECT_TRUE(search.CanContinue());
    EXPECT_EQ(search.SearchFrom, 49);
    const TSearchResult result = search.Next(&stopper);
    EXPECT_EQ(result.Hit, TSearchHit::Header);
    EXPECT_EQ(result.Position, 200);
}

// ---- Bookmarks -------------------------------------------------------------------------------------

TEST(Bookmarks, RefusesMessagesWithoutMsgIdAndKeepsBothListsInStep) {
    TAreaInfo area;
    area.Description = A("Почта");
    std::vector<std::string> names, data;
    TBookmarks marks(names, data);
    EXPECT_FALSE(marks.Add(area, "no id", ""));
    EXPECT_EQ(marks.Count(), 0);
    ASSERT_TRUE(marks.Add(area, A("две\r\nстроки\n"), "2:5020/1 1234abcd"));
    ASSERT_TRUE(marks.Add(area, "second", "2:5020/1 00000001"));
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], A("Почта: две  строки "));
    EXPECT_EQ(data[0], area.ID + "|2:5020/1 1234abcd");
    EXPECT_EQ(TBookmarks::Parse(data[1]).MsgId, "2:5020/1 00000001");
    EXPECT_EQ(TBookmarks::Parse(data[1]).AreaId, area.ID);
    marks.Remove(0);
    EXPECT_EQ(names, std::vector<std::string>{A("Почта: second")});
    EXPECT_EQ(data.size(), 1u);

    // Lists of unequal length from damaged settings are cut to the shorter.
    std::vector<std::string> moreNames = {"a", "b", "c"}, fewerData = {"x|1"};
    TBookmarks repaired(moreNames, fewerData);
    EXPECT_EQ(repaired.Count(), 1);
    EXPECT_EQ(moreNames.size(), 1u);
}

TEST(Bookmarks, SurviveARestartAndFindTheirArea) {
    const test::ScopedHome home;
    ASSERT_TRUE(LoadSettings());
    TAreaInfo root;
    auto made = std::make_unique<TAreaInfo>();
    made->Name = "jam";
    made->Description = "jam";
    made->Kind = BaseKindJam;
    TAreaInfo* area = root.AddChild(std::move(made));
    const TSettings before = Settings;
    {
        TBookmarks marks(Settings.BookMarkNames, Settings.BookMarkData);
        marks.Clear();
        ASSERT_TRUE(marks.Add(*area, A("Тема\r\nс переводом"), "2:5020/1 0000abcd"));
        ASSERT_TRUE(marks.Add(*area, "second", "2:5020/1 0000abce"));
    }
    ASSERT_TRUE(SaveSettings());
    // A new run: the store read back from its file.
    Settings = TSettings{};
    ASSERT_TRUE(TRegistryStore::Instance().Load(RegistryFilePath()));
    ASSERT_TRUE(LoadSettings());
    TBookmarks marks(Settings.BookMarkNames, Settings.BookMarkData);
    ASSERT_EQ(marks.Count(), 2);
    EXPECT_EQ(marks.Name(0), A("jam: Тема  с переводом"));
    EXPECT_EQ(marks.Name(1), "jam: second");
    const TBookmarkTarget target = TBookmarks::Parse(marks.Data(1));
    EXPECT_EQ(target.MsgId, "2:5020/1 0000abce");
    EXPECT_EQ(TBookmarks::FindArea(target), area);
    EXPECT_EQ(TBookmarks::FindArea(TBookmarkTarget{"gone", "x"}), nullptr);
    Settings = before;
}

// ---- Multiply --------------------------------------------------------------------------------------

int LockFirstByte(const std::string& file) {
    const int fd = ::open(file.c_str(), O_RDWR);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 1;
    if (fd < 0 || ::fcntl(fd, F_OFD_SETLK, &lock) != 0) return -1;
    return fd;
}

TEST_F(SearchTest, MultiplyWritesLocalUnsentCopiesAndStopsAtALockedBase) {
    const test::TShortLockWaits waits;
    const std::string path = MakeBase(BaseKindJam, dir_, "net", {{"original", "body"}});
    TAreaInfo* area = AddArea("net", BaseKindJam, path);
    area->IsNetmail = true;
    TOpenedBase base(*area, TBaseMode::Shared);
    ASSERT_TRUE(base);
    base->UseFlagFiles = false;
    const TMultiplyOriginal original{"Sender", "2:5020/1", "subject", A("текст\r"), AttrSent | AttrCrash};
    const std::vector<TContact> contacts = {{"First", {"2:5020/2", "2:5020/3"}, ""}, {"Second", {}, ""}};
    std::vector<int> added;
    const auto record = [&added](int position) { added.push_back(position); };

    const int held = LockFirstByte(path + ".jhr");
    ASSERT_GE(held, 0);
    TMultiplyOutcome outcome = MultiplyMessage(*area, *base.get(), original, contacts, {}, record);
    ::close(held);
    EXPECT_EQ(outcome.Written, 0);
    EXPECT_FALSE(outcome.Error.empty());
    EXPECT_TRUE(added.empty());
    EXPECT_EQ(area->MsgCount.load(), 0);
    EXPECT_EQ(area->Read.load(), 0);

    outcome = MultiplyMessage(*area, *base.get(), original, contacts, {"TZUTC: 0300", ""}, record);
    EXPECT_EQ(outcome.Written, 2);
    EXPECT_TRUE(outcome.Error.empty());
    ASSERT_EQ(added, (std::vector<int>{1, 2}));
    EXPECT_EQ(area->MsgCount.load(), 2);
    EXPECT_EQ(area->Read.load(), 2);

    std::vector<std::string> ids;
    for (int position : added) {
        base->ReadMessage(position);
        EXPECT_EQ(base->Subject, "subject");
        EXPECT_EQ(base->Attr & (AttrSent | AttrLocal | AttrCrash), AttrLocal | AttrCrash);
        ids.push_back(base->MsgId);
        bool pid = false, tz = false;
        for (const std::string& line : base->Kludges) {
            pid |= line == "PID: Plm 1.0";
            tz |= line == "TZUTC: 0300";
        }
        EXPECT_TRUE(pid && tz);
    }
    EXPECT_EQ(base->ToName, "Second");
    base->ReadMessage(1);
    EXPECT_EQ(base->ToName, "First");
    EXPECT_EQ(base->DestAddr, "2:5020/2");
    EXPECT_NE(ids[0], ids[1]);
}

// The dialog sees the book that exists when it opens, in the book's order, and nothing without one.
TEST(MultiplyContacts, FollowTheProgramsAddressBook) {
    TAddressBook* book = nullptr;
    const TAddressBookContacts source(book);
    EXPECT_TRUE(source.Contacts().empty());

    TAddressBook first("/nonexistent/");
    const int a = first.Add();
    first.SetName(a, "Ivan");
    first.Addresses(a) = {"2:5020/2", "2:5020/3.1"};
    first.SetNotes(a, "note");
    first.SetName(first.Add(), "Empty");
    book = &first;
    const std::vector<TContact> contacts = source.Contacts();
    ASSERT_EQ(contacts.size(), 2u);
    EXPECT_EQ(contacts[0].Name, "Ivan");
    EXPECT_EQ(contacts[0].Addresses, (std::vector<std::string>{"2:5020/2", "2:5020/3.1"}));
    EXPECT_EQ(contacts[0].Notes, "note");
    EXPECT_EQ(contacts[1].Name, "Empty");
    EXPECT_TRUE(contacts[1].Addresses.empty());

    TAddressBook second("/nonexistent/");
    book = &second;
    EXPECT_TRUE(source.Contacts().empty());
}

}  // namespace
}  // namespace pelmar
