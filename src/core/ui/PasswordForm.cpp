#include "core/ui/PasswordForm.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

#include "core/Codepage.h"
#include "core/ui/MessageBox.h"
#include "core/ui/QtText.h"
#include "core/ui/SlotGuard.h"

namespace pelmar::ui {

TPasswordForm::TPasswordForm(std::string stored, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint),
      check_(std::move(stored)) {
    setWindowTitle(QStringLiteral("Ввод пароля"));
    PromptLabel = new QLabel(QStringLiteral("Введите свой пароль:"), this);
    PromptLabel->setObjectName(QStringLiteral("PromptLabel"));
    PasswordEdit = new QLineEdit(this);
    PasswordEdit->setObjectName(QStringLiteral("PasswordEdit"));
    PasswordEdit->setEchoMode(QLineEdit::Password);
    // One "*" per typed character, whatever the style would draw.
    PasswordEdit->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    PasswordEdit->setMinimumWidth(220);
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Отмена"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PromptLabel);
    layout->addWidget(PasswordEdit);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    ShowWrongPassword = [this](const std::string& text) { ShowError(text, this); };
    GuardedConnect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(); });
    GuardedConnect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void TPasswordForm::OKButtonClick() {
    switch (check_.Check(FromQt(PasswordEdit->text()))) {
        case TPasswordCheck::TVerdict::Accepted:
            accept();
            return;
        case TPasswordCheck::TVerdict::Retry:
            if (ShowWrongPassword) ShowWrongPassword(Utf8ToAnsi("Пароль введен неправильно!"));
            PasswordEdit->clear();
            PasswordEdit->setFocus();
            return;
        case TPasswordCheck::TVerdict::Rejected:
            reject();
            return;
    }
}

bool AskPassword(const std::string& stored, QWidget* parent) {
    TPasswordForm form(stored, parent);
    return form.exec() == QDialog::Accepted;
}

}  // namespace pelmar::ui
