// The log-in chooser and the password dialog, driven without a user.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/Codepage.h"
#include "core/ui/LoginChooseForm.h"
#include "core/ui/PasswordForm.h"
#include "support/qt/Child.h"

namespace pelmar::ui {
namespace {

using pelmar::test::Child;

TEST(LoginChooseForm, ShowsItsTextsAndAFixedList) {
    TLoginChooseForm form;
    form.SetChoice(BuildLoginChoice(true, {"Ivan", Utf8ToAnsi("Пётр")}));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Пелмар"));
    EXPECT_EQ(Child<QLabel>(form, "WelcomeLabel")->text(), QStringLiteral("Добро пожаловать!"));
    EXPECT_EQ(Child<QLabel>(form, "PromptLabel")->text(),
              QStringLiteral("Выберите имя для входа в систему:"));
    EXPECT_EQ(Child<QPushButton>(form, "CancelButton")->text(), QStringLiteral("Отмена"));
    EXPECT_FALSE(Child<QComboBox>(form, "UserBox")->isEditable());
    ASSERT_EQ(Child<QComboBox>(form, "UserBox")->count(), 3);
    EXPECT_EQ(Child<QComboBox>(form, "UserBox")->itemText(0), QStringLiteral("<По умолчанию>"));
    EXPECT_EQ(Child<QComboBox>(form, "UserBox")->itemText(2), QStringLiteral("Пётр"));
    EXPECT_EQ(form.SelectedIndex(), 0);
}

TEST(LoginChooseForm, OKOnlyWhileAnItemIsSelected) {
    TLoginChooseForm form;
    form.SetChoice(BuildLoginChoice(false, {}));
    form.show();
    EXPECT_FALSE(Child<QPushButton>(form, "OKButton")->isEnabled());

    form.SetChoice(BuildLoginChoice(false, {"Ivan", "Zoe"}));
    EXPECT_TRUE(Child<QPushButton>(form, "OKButton")->isEnabled());
    Child<QComboBox>(form, "UserBox")->setCurrentIndex(-1);
    EXPECT_FALSE(Child<QPushButton>(form, "OKButton")->isEnabled());
    Child<QComboBox>(form, "UserBox")->setCurrentIndex(1);
    EXPECT_TRUE(Child<QPushButton>(form, "OKButton")->isEnabled());

    Child<QPushButton>(form, "OKButton")->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.SelectedIndex(), 1);
}

TEST(LoginChooseForm, CancelRejects) {
    TLoginChooseForm form;
    form.SetChoice(BuildLoginChoice(true, {"Ivan"}));
    form.show();
    Child<QPushButton>(form, "CancelButton")->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Rejected);
}

class PasswordFormTest : public testing::Test {
protected:
    void SetUp() override {
        form_ = std::make_unique<TPasswordForm>(Utf8ToAnsi("Пароль1"));
        form_->ShowWrongPassword = [this](const std::string& text) { messages_.push_back(text); };
        form_->show();
        form_->activateWindow();
        QApplication::processEvents();
    }

    void Type(const QString& text) {
        Child<QLineEdit>(*form_, "PasswordEdit")->setText(text);
        Child<QPushButton>(*form_, "OKButton")->click();
        QApplication::processEvents();
    }

    std::unique_ptr<TPasswordForm> form_;
    std::vector<std::string> messages_;
};

TEST_F(PasswordFormTest, ShowsItsTextsAndHidesTheTyping) {
    EXPECT_EQ(form_->windowTitle(), QStringLiteral("Ввод пароля"));
    EXPECT_EQ(Child<QLabel>(*form_, "PromptLabel")->text(), QStringLiteral("Введите свой пароль:"));
    EXPECT_EQ(Child<QLineEdit>(*form_, "PasswordEdit")->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(Child<QPushButton>(*form_, "OKButton")->isDefault());
    EXPECT_EQ(Child<QPushButton>(*form_, "CancelButton")->text(), QStringLiteral("Отмена"));
}

TEST_F(PasswordFormTest, RightPasswordAccepts) {
    Type(QStringLiteral("Пароль1"));
    EXPECT_EQ(form_->result(), QDialog::Accepted);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(PasswordFormTest, FirstWrongAttemptWarnsClearsAndStaysOpen) {
    Type(QStringLiteral("пароль1"));
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0], Utf8ToAnsi("Пароль введен неправильно!"));
    EXPECT_TRUE(form_->isVisible());
    EXPECT_TRUE(Child<QLineEdit>(*form_, "PasswordEdit")->text().isEmpty());
    EXPECT_EQ(QApplication::focusWidget(), Child<QLineEdit>(*form_, "PasswordEdit"));

    Type(QStringLiteral("Пароль1"));
    EXPECT_EQ(form_->result(), QDialog::Accepted);
}

TEST_F(PasswordFormTest, SecondWrongAttemptCancels) {
    Type(QStringLiteral("x"));
    Type(QStringLiteral("y"));
    EXPECT_EQ(messages_.size(), 1u);
    EXPECT_FALSE(form_->isVisible());
    EXPECT_EQ(form_->result(), QDialog::Rejected);
}

TEST(PasswordForm, EmptyStoredPasswordAcceptsEmptyInput) {
    TPasswordForm form("");
    form.show();
    Child<QPushButton>(form, "OKButton")->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
}

}  // namespace
}  // namespace pelmar::ui
