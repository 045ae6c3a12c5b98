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

namespace pelmar::ui {
namespace {

TEST(LoginChooseForm, ShowsItsTextsAndAFixedList) {
    TLoginChooseForm form;
    form.SetChoice(BuildLoginChoice(true, {"Ivan", Utf8ToAnsi("Пётр")}));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Пелмар"));
    EXPECT_EQ(form.WelcomeLabel->text(), QStringLiteral("Добро пожаловать!"));
    EXPECT_EQ(form.PromptLabel->text(), QStringLiteral("Выберите имя для входа в систему:"));
    EXPECT_EQ(form.CancelButton->text(), QStringLiteral("Отмена"));
    EXPECT_FALSE(form.UserBox->isEditable());
    ASSERT_EQ(form.UserBox->count(), 3);
    EXPECT_EQ(form.UserBox->itemText(0), QStringLiteral("<По умолчанию>"));
    EXPECT_EQ(form.UserBox->itemText(2), QStringLiteral("Пётр"));
    EXPECT_EQ(form.SelectedIndex(), 0);
}

TEST(LoginChooseForm, OKOnlyWhileAnItemIsSelected) {
    TLoginChooseForm form;
    form.SetChoice(BuildLoginChoice(false, {}));
    form.show();
    EXPECT_FALSE(form.OKButton->isEnabled());

    form.SetChoice(BuildLoginChoice(false, {"Ivan", "Zoe"}));
    EXPECT_TRUE(form.OKButton->isEnabled());
    form.UserBox->setCurrentIndex(-1);
    EXPECT_FALSE(form.OKButton->isEnabled());
    form.UserBox->setCurrentIndex(1);
    EXPECT_TRUE(form.OKButton->isEnabled());

    form.OKButton->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.SelectedIndex(), 1);
}

TEST(LoginChooseForm, CancelRejects) {
    TLoginChooseForm form;
    form.SetChoice(BuildLoginChoice(true, {"Ivan"}));
    form.show();
    form.CancelButton->click();
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
        form_->PasswordEdit->setText(text);
        form_->OKButton->click();
        QApplication::processEvents();
    }

    std::unique_ptr<TPasswordForm> form_;
    std::vector<std::string> messages_;
};

TEST_F(PasswordFormTest, ShowsItsTextsAndHidesTheTyping) {
    EXPECT_EQ(form_->windowTitle(), QStringLiteral("Ввод пароля"));
    EXPECT_EQ(form_->PromptLabel->text(), QStringLiteral("Введите свой пароль:"));
    EXPECT_EQ(form_->PasswordEdit->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(form_->OKButton->isDefault());
    EXPECT_EQ(form_->CancelButton->text(), QStringLiteral("Отмена"));
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
    EXPECT_TRUE(form_->PasswordEdit->text().isEmpty());
    EXPECT_EQ(QApplication::focusWidget(), form_->PasswordEdit);

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
    form.OKButton->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
}

}  // namespace
}  // namespace pelmar::ui
