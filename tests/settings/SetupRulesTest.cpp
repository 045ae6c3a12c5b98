// Rules of the settings dialog and the user administration that need no window.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "areas/gizmo.h"
#include "core/Codepage.h"
#include "core/Settings.h"
#include "platform/Registry.h"
#include "settings/SetupRules.h"
#include "settings/UserAdmin.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

namespace fs = std::filesystem;

TEST(SetupRules, OwnAddressesAreValidAndNotListedYet) {
    const std::vector<std::string> listed = {"2:5020/1"};
    const struct {
        const char* input;
        bool addable;
    } rows[] = {{"2:5000/10", true}, {"2:5000", false}, {"", false}, {"2:5020/1", false}, {"abc", false}};
    for (const auto& row : rows) EXPECT_EQ(CanAddAddress(row.input, listed), row.addable) << row.input;
}

TEST(SetupRules, MovingNeedsTwoLinesAndANeighbour) {
    EXPECT_FALSE(CanMoveUp(1, 0));
    EXPECT_FALSE(CanMoveUp(2, 0));
    EXPECT_TRUE(CanMoveUp(2, 1));
    EXPECT_FALSE(CanMoveUp(2, -1));
    EXPECT_TRUE(CanMoveDown(2, 0));
    EXPECT_FALSE(CanMoveDown(2, 1));
    EXPECT_FALSE(CanMoveDown(3, -1));
}

TEST(SetupRules, NodelistFilesAreListedOnce) {
    std::vector<std::string> list = {"/nl/NODELIST.ndl"};
    AddListedFiles(list, {"/nl/nodelist.NDL", "/nl/pnt.ndl", "/nl/pnt.ndl"});
    EXPECT_EQ(list, (std::vector<std::string>{"/nl/NODELIST.ndl", "/nl/pnt.ndl"}));
}

TEST(SetupRules, MultiUserBoxNeedsAnAdministrator) {
    EXPECT_EQ(LoginEnabling(false, true).UseLogin, false);
    EXPECT_EQ(LoginEnabling(false, true).Dependants, false);
    EXPECT_EQ(LoginEnabling(true, false).UseLogin, true);
    EXPECT_EQ(LoginEnabling(true, false).Dependants, false);
    EXPECT_EQ(LoginEnabling(true, true).Dependants, true);
}

TEST(SetupRules, AutoTypeShortcutsNeedCtrlOrAltAndMustBeFree) {
    const TShortCut f1{0x70, 0};
    const TShortCut shiftF1{0x70, ssShift};
    const TShortCut ctrlF1{0x70, ssCtrl};
    const TShortCut altX{'X', ssAlt};
    EXPECT_FALSE(IsAutoTypeShortcut(f1));
    EXPECT_FALSE(IsAutoTypeShortcut(shiftF1));
    EXPECT_FALSE(IsAutoTypeShortcut({0, ssCtrl}));
    EXPECT_TRUE(IsAutoTypeShortcut(ctrlF1));

    const std::vector<TAutoTypeEntry> table = {{ctrlF1, "one"}, {altX, "two"}};
    EXPECT_TRUE(ShortcutTaken(table, ctrlF1));
    EXPECT_FALSE(ShortcutTaken(table, ctrlF1, 0));  // the entry being edited keeps its key
    EXPECT_TRUE(ShortcutTaken(table, altX, 0));
    EXPECT_FALSE(ShortcutTaken(table, {0x71, ssCtrl}));
}

TEST(SetupRules, ReplacementsPairLinesByPosition) {
    const auto rows = ReplacementsFromTemplates("a\r\nb\r\n", "1\r\n");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (TReplacement{"a", "1"}));
    EXPECT_EQ(rows[1], (TReplacement{"b", ""}));
    std::string change1;
    std::string change2;
    ReplacementsToTemplates(rows, change1, change2);
    EXPECT_EQ(change1, "a\r\nb\r\n");
    EXPECT_EQ(change2, "1\r\n\r\n");
}

TEST(SetupRules, PreviewAppendsKludgesInTheirColours) {
    std::array<uint8_t, 12> colors = DefaultColorTable;
    colors[10] = 3;
    colors[11] = 7;
    EXPECT_EQ(PreviewRtf("{\\rtf1 body\\par }", colors, {"MSGID: 2:0/0.0 ffffffff", "GIF: {X}"}),
              "{\\rtf1 body\\par \\cf3\\highlight7 MSGID: 2:0/0.0 ffffffff\\par GIF: \\{X\\}\\par }");
}

TEST(ProfileNames, NewNamesAreCheckedAgainstRulesAndExistingProfiles) {
    const std::vector<std::string> existing = {Utf8ToAnsi("Иван"), "Petr"};
    const struct {
        std::string name;
        TProfileNameCheck check;
    } rows[] = {
        {Utf8ToAnsi("иван"), TProfileNameCheck::Exists},
        {"PETR", TProfileNameCheck::Exists},
        {"Default", TProfileNameCheck::Exists},
        {"default", TProfileNameCheck::Ok},  // the reserved name compares exactly
        {"A\\B", TProfileNameCheck::Invalid},
        {"..", TProfileNameCheck::Invalid},
        {"Anna", TProfileNameCheck::Ok},
        {"", TProfileNameCheck::Invalid},
    };
    for (const auto& row : rows) EXPECT_EQ(CheckNewProfileName(row.name, existing), row.check) << row.name;
}

class ProfileDeleteTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = Settings;
        program_ = home_.Path() / "program";
        fs::create_directories(program_);
        outside_ = home_.Path() / "outside";
        fs::create_directories(outside_);
        test::WriteFile(outside_ / "precious.txt", "keep");
    }
    void TearDown() override { Settings = saved_; }

    void MakeProfileKey(const std::string& name) {
        TProfileValues values;
        values.DataFolder = "x";
        ASSERT_TRUE(WriteProfile(name, values, true));
    }
    std::string ProgramFolder() const { return program_.string() + "/"; }

    test::ScopedHome home_;
    TSettings saved_;
    fs::path program_;
    fs::path outside_;
};

TEST_F(ProfileDeleteTest, RemovesTheKeyAndTheOwnFolderWithReadOnlyFiles) {
    MakeProfileKey("Anna");
    ASSERT_TRUE(CreateProfileFolder(ProgramFolder(), "Anna"));
    test::WriteFile(program_ / "Anna" / "ro.txt", "x");
    fs::permissions(program_ / "Anna" / "ro.txt", fs::perms::owner_read);
    fs::create_symlink(outside_, program_ / "Anna" / "link");

    const TDeleteResult result = DeleteProfile("Anna", ProgramFolder());
    EXPECT_TRUE(result.KeyDeleted);
    EXPECT_TRUE(result.FolderDeleted);
    EXPECT_FALSE(fs::exists(program_ / "Anna"));
    EXPECT_EQ(test::ReadFile(outside_ / "precious.txt"), "keep");  // the link went, not its target
    EXPECT_TRUE(ListProfiles().empty());
}

TEST_F(ProfileDeleteTest, LeavesCraftedNamesAndSymlinksAlone) {
    // A hand-edited store may hold a profile named "..": its folder would be the program's parent.
    MakeProfileKey("..");
    fs::create_directories(program_ / "sub");
    const TDeleteResult dots = DeleteProfile("..", (program_ / "sub").string() + "/");
    EXPECT_FALSE(dots.FolderDeleted);
    EXPECT_TRUE(dots.FolderRefused);
    EXPECT_TRUE(fs::exists(program_ / "sub"));

    fs::create_directory_symlink(outside_, program_ / "Linked");
    MakeProfileKey("Linked");
    const TDeleteResult linked = DeleteProfile("Linked", ProgramFolder());
    EXPECT_TRUE(linked.KeyDeleted);
    EXPECT_TRUE(linked.FolderRefused);
    EXPECT_TRUE(fs::is_symlink(program_ / "Linked"));
    EXPECT_EQ(test::ReadFile(outside_ / "precious.txt"), "keep");
}

}  // namespace
}  // namespace pelmar

namespace pelmar {
namespace {

// Whether another thread (as the scan does) can take the area's lock now.
bool FreeForTheScan(TAreaInfo& area) {
    bool taken = false;
    std::thread scan([&] {
        const TAreaLock lock(area, TAreaLock::TryTag{});
        taken = static_cast<bool>(lock);
    });
    scan.join();
    return taken;
}

TEST(ScanWaits, AChangeThatThrowsReleasesEveryLockOfTheTree) {
    TAreaInfo root;
    TAreaFields fields;
    fields.Name = "child";
    TAreaInfo* child = root.AddChild(fields);
    ASSERT_NE(child, nullptr);
    EXPECT_THROW(ChangeWhileScanWaits(&root,
                                      [&] {
                                          EXPECT_FALSE(FreeForTheScan(*child));
                                          throw std::runtime_error("the change failed");
                                      }),
                 std::runtime_error);
    EXPECT_TRUE(FreeForTheScan(root));
    EXPECT_TRUE(FreeForTheScan(*child));
}

}  // namespace
}  // namespace pelmar
