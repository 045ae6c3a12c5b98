#pragma once
// The password question at log-in: two attempts, then the log-in is cancelled.
#include <QDialog>
#include <functional>
#include <string>

#include "core/Login.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace pelmar::ui {

class TPasswordForm : public QDialog {
    Q_OBJECT

public:
    // `stored` is the profile's password as it was typed when set (CP1251).
    explicit TPasswordForm(std::string stored, QWidget* parent = nullptr);

private:
    QLabel* PromptLabel;
    QLineEdit* PasswordEdit;
    QPushButton* OKButton;
    QPushButton* CancelButton;

public:
    // Tells the user about a wrong first attempt; an error message box unless replaced.
    std::function<void(const std::string&)> ShowWrongPassword;

    void OKButtonClick();

private:
    TPasswordCheck check_;
};

// Shows the password dialog modally; true when the right password was typed.
bool AskPassword(const std::string& stored, QWidget* parent = nullptr);

}  // namespace pelmar::ui
