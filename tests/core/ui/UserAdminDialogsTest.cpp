// The user administration dialogs: adding, refusing names, passwords, editing and deleting.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <filesystem>

#include "core/Codepage.h"
#include "core/Settings.h"
#include "core/ui/QtText.h"
#include "core/ui/UserForm.h"
#include "settings/UserAdmin.h"
#include "support/TestSupport.h"
#include "support/qt/Child.h"

namespace pelmar::ui {
namespace {

using pelmar::test::Child;
namespace fs = std::filesystem;

class UserAdminDialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = Settings;
        Settings.ProgramFolder = home_.Path().string() + "/";
        Settings.DataFolder = Settings.ProgramFolder;
    }
    void TearDown() override { Settings = saved_; }

    // Fills the profile dialog the list opens as a user would and confirms it.
    void Answer(TUsersForm& list, const std::string& name, bool password = false,
                const std::string& magic = {}) {
        list.RunUserForm = [=](TUserForm& form) {
            if (!Child<QLineEdit>(form, "NameEdit")->isReadOnly())
                Child<QLineEdit>(form, "NameEdit")->setText(ToQt(name));
            Child<QCheckBox>(form, "UsePasswordCheck")->setChecked(password);
            Child<QLineEdit>(form, "PasswordEdit1")->setText(ToQt(magic));
            Child<QLineEdit>(form, "PasswordEdit2")->setText(ToQt(magic));
            if (!Child<QPushButton>(form, "OKButton")->isEnabled()) return int(QDialog::Rejected);
            return int(QDialog::Accepted);
        };
    }

    test::ScopedHome home_;
    TSettings saved_;
    std::vector<std::string> told_;
};

TEST_F(UserAdminDialogsTest, AddsProfilesAndRefusesNamesThatExistIgnoringCase) {
    TUsersForm list;
    list.ShowInfoBox = [&](const std::string& text) { told_.push_back(text); };
    Answer(list, Utf8ToAnsi("Иван"), true, "secret");
    list.AddButtonClick();
    ASSERT_EQ(Child<QListWidget>(list, "UserList")->count(), 1);
    EXPECT_TRUE(fs::is_directory(home_.Path() / "Иван"));
    const TProfileValues stored = ReadProfile(Utf8ToAnsi("Иван"));
    EXPECT_TRUE(stored.UsePassword);
    EXPECT_EQ(stored.Magic, "secret");
    EXPECT_EQ(stored.DataFolder, Settings.ProgramFolder + "Иван/");  // a path as the disk spells it

    for (const std::string& name : {Utf8ToAnsi("иван"), std::string("Default")}) {
        Answer(list, name);
        list.AddButtonClick();
    }
    EXPECT_EQ(Child<QListWidget>(list, "UserList")->count(), 1);
    EXPECT_EQ(told_, std::vector<std::string>(2, Utf8ToAnsi("Такой пользователь уже существует!")));
    EXPECT_EQ(ListProfiles().size(), 1u);
}

TEST_F(UserAdminDialogsTest, NameFieldRefusesBackslashesAndInvalidNames) {
    TUserForm form;
    const struct {
        const char* name;
        bool ok;
    } rows[] = {{"A\\B", false}, {"", false}, {" Anna", false}, {"Anna", true}};
    for (const auto& row : rows) {
        Child<QLineEdit>(form, "NameEdit")->setText(row.name);
        EXPECT_EQ(Child<QPushButton>(form, "OKButton")->isEnabled(), row.ok) << row.name;
    }
    std::vector<std::string> told;
    form.ShowInfoBox = [&](const std::string& text) { told.push_back(text); };
    Child<QCheckBox>(form, "UsePasswordCheck")->setChecked(true);
    Child<QLineEdit>(form, "PasswordEdit1")->setText("a");
    Child<QLineEdit>(form, "PasswordEdit2")->setText("b");
    form.OKButtonClick();
    EXPECT_EQ(form.result(), 0);
    EXPECT_EQ(told, std::vector<std::string>{Utf8ToAnsi("Введенные пароли не совпадают!")});
    EXPECT_TRUE(Child<QGroupBox>(form, "PasswordGroup")->isEnabled());
    Child<QCheckBox>(form, "UsePasswordCheck")->setChecked(false);
    EXPECT_FALSE(Child<QGroupBox>(form, "PasswordGroup")->isEnabled());
}

TEST_F(UserAdminDialogsTest, EditingKeepsTheFolderAndDeletingRemovesIt) {
    TUsersForm list;
    Answer(list, "Anna", true, "one");
    list.AddButtonClick();
    const std::string folder = ReadProfile("Anna").DataFolder;
    Child<QListWidget>(list, "UserList")->setCurrentRow(0);
    ASSERT_TRUE(Child<QPushButton>(list, "EditButton")->isEnabled());
    Answer(list, "ignored", false);
    list.EditButtonClick();
    TProfileValues stored = ReadProfile("Anna");
    EXPECT_FALSE(stored.UsePassword);
    EXPECT_EQ(stored.Magic, "one");  // switching the password off keeps it
    EXPECT_EQ(stored.DataFolder, folder);

    std::string asked;
    list.AskYesNoBox = [&](const std::string& text) {
        asked = text;
        return true;
    };
    Child<QListWidget>(list, "UserList")->setCurrentRow(0);
    list.DeleteButtonClick();
    EXPECT_EQ(asked, Utf8ToAnsi("Вы действительно хотите удалить пользователя Anna?"));
    EXPECT_EQ(Child<QListWidget>(list, "UserList")->count(), 0);
    EXPECT_TRUE(ListProfiles().empty());
    EXPECT_FALSE(fs::exists(home_.Path() / "Anna"));
}

}  // namespace
}  // namespace pelmar::ui
