#include <gtest/gtest.h>

#include <filesystem>

#include "platform/Codepage.h"
#include "reader/DraftStore.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

namespace fs = std::filesystem;

TDraft MakeDraft(const std::string& to, std::vector<std::string> ids, std::string body = "Hi\r") {
    TDraft d;
    d.FromName = "Ivan Petrov";
    d.OrigAddr = "2:5020/120.5";
    d.DestAddr = "2:5020/1";
    d.ToName = to;
    d.Subject = "Re: test";
    d.Attributes = 0x0101;
    d.AreaIds = std::move(ids);
    d.Body = std::move(body);
    return d;
}

std::vector<std::string> Names(const fs::path& dir) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

TEST(DraftStore, SavesNumbersAndRestoresEveryField) {
    test::TempDir home;
    test::WriteFile(home.Path() / "7.msg", "not a draft");
    TDraftStore store(home.Path().string(), {});
    TDraft a = MakeDraft("All", {"11", "22"});
    TDraft b = MakeDraft("Sysop", {}, "");
    b.DestAddr.clear();
    ASSERT_TRUE(store.Save({&a, &b}, false));
    EXPECT_GT(a.Number, 0);
    EXPECT_GT(b.Number, a.Number);
    EXPECT_EQ(Names(home.Path() / "drafts"), (std::vector<std::string>{std::to_string(a.Number) + ".msg",
                                                                       std::to_string(b.Number) + ".msg"}));
    EXPECT_EQ(test::ReadFile(home.Path() / "7.msg"), "not a draft");  // never touched

    const auto loaded = store.Load();
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_EQ(loaded[0].ToName, "All");
    EXPECT_EQ(loaded[0].FromName, "Ivan Petrov");
    EXPECT_EQ(loaded[0].OrigAddr, "2:5020/120.5");
    EXPECT_EQ(loaded[0].DestAddr, "2:5020/1");
    EXPECT_EQ(loaded[0].Subject, "Re: test");
    EXPECT_EQ(loaded[0].Attributes & 0x01FF, 0x0101);
    EXPECT_EQ(loaded[0].AreaIds, (std::vector<std::string>{"11", "22"}));
    EXPECT_EQ(loaded[0].Number, a.Number);
    EXPECT_EQ(loaded[1].Number, b.Number);
    EXPECT_EQ(loaded[1].Body, " ");  // an empty body comes back as one blank
    EXPECT_TRUE(loaded[1].AreaIds.empty());
    EXPECT_EQ(loaded[1].DestAddr, "");
}

// Closing A and then B must delete their own drafts, not whatever moved into their list place.
TEST(DraftStore, DeletesByNumberNotPosition) {
    test::TempDir home;
    TDraftStore store(home.Path().string(), {});
    TDraft a = MakeDraft("A", {}), b = MakeDraft("B", {}), c = MakeDraft("C", {});
    ASSERT_TRUE(store.Save({&a, &b, &c}, false));
    EXPECT_TRUE(store.Delete(a.Number));
    EXPECT_TRUE(store.Delete(b.Number));
    EXPECT_FALSE(store.Delete(-1));
    EXPECT_FALSE(store.Delete(b.Number));  // already gone
    const auto left = store.Load();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].ToName, "C");
    EXPECT_EQ(left[0].Number, c.Number);
}

TEST(DraftStore, EmptySetOnlyWhenAllowed) {
    test::TempDir home;
    TDraftStore store(home.Path().string(), {});
    TDraft a = MakeDraft("A", {});
    ASSERT_TRUE(store.Save({&a}, false));
    ASSERT_TRUE(store.Save({}, false));  // a shutdown path after the editors closed
    EXPECT_EQ(store.Load().size(), 1u);
    ASSERT_TRUE(store.Save({}, true));
    EXPECT_TRUE(store.Load().empty());
    EXPECT_FALSE(fs::exists(home.Path() / "drafts.new"));
    EXPECT_FALSE(fs::exists(home.Path() / "drafts.old"));
}

// A crash after the store was moved aside and before the new set took its place.
TEST(DraftStore, CrashBetweenTheRenamesLosesNoDraft) {
    for (const bool unfinishedNewSet : {false, true}) {
        SCOPED_TRACE(unfinishedNewSet);
        test::TempDir home;
        TDraftStore store(home.Path().string(), {});
        TDraft a = MakeDraft("A", {"11"});
        ASSERT_TRUE(store.Save({&a}, false));
        fs::rename(home.Path() / "drafts", home.Path() / "drafts.old");
        if (unfinishedNewSet) {
            fs::create_directory(home.Path() / "drafts.new");
            test::WriteFile(home.Path() / "drafts.new" / "1.msg", "half a");
        }
        const auto back = store.Load();
        ASSERT_EQ(back.size(), 1u);
        EXPECT_EQ(back[0].ToName, "A");
        EXPECT_EQ(back[0].AreaIds, std::vector<std::string>{"11"});
        EXPECT_TRUE(fs::is_directory(home.Path() / "drafts"));
    }
}

TEST(DraftStore, RefusesAnAreaFolder) {
    struct Row {
        const char* area;  // relative to the data folder; "" is the data folder itself
    };
    for (const Row row :
         {Row{""}, Row{"drafts"}, Row{"drafts/sub"}, Row{"drafts.new"}, Row{"drafts.old/sub"}}) {
        SCOPED_TRACE(row.area);
        test::TempDir home;
        const fs::path area = home.Path() / row.area;
        fs::create_directories(area);
        test::WriteFile(area / "1.msg", "area mail");
        TDraftStore store(home.Path().string(), {area.string()});
        EXPECT_FALSE(store.Usable());
        TDraft a = MakeDraft("A", {});
        std::string error;
        EXPECT_FALSE(store.Save({&a}, true, &error));
        EXPECT_FALSE(error.empty());
        EXPECT_FALSE(store.Delete(1));
        EXPECT_EQ(test::ReadFile(area / "1.msg"), "area mail");
        EXPECT_EQ(a.Number, -1);
    }
    test::TempDir home;
    fs::create_directories(home.Path() / "netmail");
    EXPECT_TRUE(TDraftStore(home.Path().string(), {(home.Path() / "netmail").string()}).Usable());
}

// A save made to fail leaves the stored set as it was; the rescue file then holds the letters as
// text, a new file each time, and says why when its folder cannot take it.
TEST(DraftStore, FailedSaveKeepsTheSetAndTheRescueFileHoldsTheLetters) {
    test::TempDir home;
    TDraftStore store(home.Path().string(), {});
    TDraft a = MakeDraft("All", {"11", "22"}, Utf8ToAnsi("Привет, мир\rвторая строка\r"));
    ASSERT_TRUE(store.Save({&a}, false));
    TDraft b = MakeDraft("Sysop", {});
    TDraftStore::SetSaveFaultForTesting("disk full");
    std::string error;
    EXPECT_FALSE(store.Save({&a, &b}, false, &error));
    TDraftStore::SetSaveFaultForTesting({});
    EXPECT_EQ(error, "disk full");
    ASSERT_EQ(store.Load().size(), 1u);

    const std::string first = WriteRescueFile(home.Path().string(), {a, b});
    const std::string second = WriteRescueFile(home.Path().string(), {a, b});
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    EXPECT_NE(first, second);
    EXPECT_EQ(fs::path(first).parent_path(), home.Path());
    const std::string text = test::ReadFile(first);
    EXPECT_EQ(text, test::ReadFile(second));
    for (const char* part : {"To: All, 2:5020/1\n", "Areas: 11 22\n", "\nПривет, мир\nвторая строка\n",
                             "From: Ivan Petrov, 2:5020/120.5\n", "To: Sysop, 2:5020/1\n", "\nHi\n"})
        EXPECT_NE(text.find(part), std::string::npos) << part;

    error.clear();
    EXPECT_EQ(WriteRescueFile((home.Path() / "missing").string(), {a}, &error), "");
    EXPECT_NE(error.find("missing"), std::string::npos) << error;
}

TEST(DraftStore, SavedLineAndInterval) {
    EXPECT_EQ(SavedLine({}), "SAVED:");
    EXPECT_EQ(SavedLine({"a1", "b2"}), "SAVED: a1 b2");
    bool saved = false;
    EXPECT_EQ(ParseSavedLine("SAVED:  a1 b2 ", &saved), (std::vector<std::string>{"a1", "b2"}));
    EXPECT_TRUE(saved);
    EXPECT_TRUE(ParseSavedLine("MSGID: 1:2/3 1", &saved).empty());
    EXPECT_FALSE(saved);
    const std::pair<int64_t, int32_t> rows[] = {{0, 1}, {-5, 1}, {5, 5}, {1440, 1440}, {1LL << 40, 1440}};
    for (auto [in, out] : rows) EXPECT_EQ(ClampSaveMinutes(in), out) << in;
}

}  // namespace
}  // namespace pelmar
