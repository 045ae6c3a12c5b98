#include "core/ui/LoginChooseForm.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "core/ui/QtText.h"
#include "core/ui/SlotGuard.h"

namespace pelmar::ui {

TLoginChooseForm::TLoginChooseForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint) {
    setWindowTitle(QStringLiteral("Пелмар"));
    WelcomeLabel = new QLabel(QStringLiteral("Добро пожаловать!"), this);
    WelcomeLabel->setObjectName(QStringLiteral("WelcomeLabel"));
    QFont welcomeFont = WelcomeLabel->font();
    welcomeFont.setBold(true);
    welcomeFont.setPointSizeF(welcomeFont.pointSizeF() * 1.3);
    WelcomeLabel->setFont(welcomeFont);
    PromptLabel = new QLabel(QStringLiteral("Выберите имя для входа в систему:"), this);
    PromptLabel->setObjectName(QStringLiteral("PromptLabel"));
    UserBox = new QComboBox(this);
    UserBox->setObjectName(QStringLiteral("UserBox"));
    UserBox->setEditable(false);
    UserBox->setMinimumWidth(240);
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
    layout->addWidget(WelcomeLabel);
    layout->addWidget(PromptLabel);
    layout->addWidget(UserBox);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    GuardedConnect(UserBox, &QComboBox::currentIndexChanged, this, [this] { UpdateOKButton(); });
    GuardedConnect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    GuardedConnect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    UpdateOKButton();
}

void TLoginChooseForm::SetChoice(const TLoginChoice& choice) {
    UserBox->clear();
    for (const std::string& item : choice.Items) UserBox->addItem(ToQt(item));
    UserBox->setCurrentIndex(choice.Selected);
    UpdateOKButton();
}

int TLoginChooseForm::SelectedIndex() const {
    return UserBox->currentIndex();
}

void TLoginChooseForm::showEvent(QShowEvent* event) {
    UpdateOKButton();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    QDialog::showEvent(event);
}

void TLoginChooseForm::UpdateOKButton() {
    OKButton->setEnabled(UserBox->currentIndex() >= 0);
}

std::optional<int> ChooseLoginUser(const TLoginChoice& choice, QWidget* parent) {
    TLoginChooseForm form(parent);
    form.SetChoice(choice);
    if (form.exec() != QDialog::Accepted || form.SelectedIndex() < 0) return std::nullopt;
    return form.SelectedIndex();
}

}  // namespace pelmar::ui
