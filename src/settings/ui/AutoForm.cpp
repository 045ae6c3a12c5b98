#include "settings/ui/AutoForm.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "core/Codepage.h"
#include "core/ui/MessageBox.h"
#include "core/ui/QtText.h"
#include "settings/SetupRules.h"
#include "core/ui/SlotGuard.h"

namespace pelmar::ui {

TShortCutEdit::TShortCutEdit(QWidget* parent) : QLineEdit(parent) {
    setReadOnly(true);  // the text shows the shortcut; keys are taken, not typed
}

void TShortCutEdit::SetShortCut(const TShortCut& shortCut) {
    shortCut_ = shortCut;
    setText(shortCut.Key == 0 ? QString() : ToQt(ShortCutToText(shortCut)));
    emit ShortCutChanged();
}

bool TShortCutEdit::ShortCutFor(int qtKey, Qt::KeyboardModifiers modifiers, TShortCut& result) {
    TShortCut shortCut;
    shortCut.Key = VirtualKeyOf(qtKey);
    if (modifiers & Qt::ShiftModifier) shortCut.Shift |= ssShift;
    if (modifiers & Qt::ControlModifier) shortCut.Shift |= ssCtrl;
    if (modifiers & Qt::AltModifier) shortCut.Shift |= ssAlt;
    if (!IsAutoTypeShortcut(shortCut)) return false;
    result = shortCut;
    return true;
}

void TShortCutEdit::keyPressEvent(QKeyEvent* event) {
    TShortCut shortCut;
    if (ShortCutFor(event->key(), event->modifiers(), shortCut)) {
        SetShortCut(shortCut);
        event->accept();
        return;
    }
    // Tab and Shift+Tab still move between the fields.
    if (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab)
        QLineEdit::keyPressEvent(event);
    else
        event->accept();
}

TAutoForm::TAutoForm(const std::vector<TAutoTypeEntry>& table, int editing, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), table_(table), editing_(editing) {
    setWindowTitle(QStringLiteral("Автоввод"));
    setModal(true);
    KeyEdit = new TShortCutEdit(this);
    KeyEdit->setObjectName(QStringLiteral("KeyEdit"));
    TextEdit = new QPlainTextEdit(this);
    TextEdit->setObjectName(QStringLiteral("TextEdit"));
    TextEdit->setMinimumSize(320, 120);
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Отмена"), this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Клавиша:"), KeyEdit);
    form->addRow(QStringLiteral("Текст:"), TextEdit);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    ShowInfoBox = [this](const std::string& text) { ShowInfo(text, this); };
    GuardedConnect(TextEdit, &QPlainTextEdit::textChanged, this, [this] { UpdateButtons(); });
    GuardedConnect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(); });
    GuardedConnect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    UpdateButtons();
}

TAutoTypeEntry TAutoForm::Entry() const {
    // Lines end in CR LF as the editor types them.
    QString text = TextEdit->toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return {KeyEdit->ShortCut(), FromQt(text)};
}

void TAutoForm::SetEntry(const TAutoTypeEntry& entry) {
    KeyEdit->SetShortCut(entry.ShortCut);
    QString text = ToQt(entry.Text);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    TextEdit->setPlainText(text);
    UpdateButtons();
}

void TAutoForm::UpdateButtons() {
    OKButton->setEnabled(!TextEdit->toPlainText().isEmpty());
}

void TAutoForm::OKButtonClick() {
    if (!OKButton->isEnabled() || KeyEdit->ShortCut().Key == 0) return;
    if (ShortcutTaken(table_, KeyEdit->ShortCut(), editing_)) {
        if (ShowInfoBox) ShowInfoBox(Utf8ToAnsi("Эта клавиша уже используется в автовводе."));
        return;
    }
    accept();
}

TChangeForm::TChangeForm(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
    setWindowTitle(QStringLiteral("Замена"));
    setModal(true);
    WhatEdit = new QLineEdit(this);
    WhatEdit->setObjectName(QStringLiteral("WhatEdit"));
    WithEdit = new QLineEdit(this);
    WithEdit->setObjectName(QStringLiteral("WithEdit"));
    WhatEdit->setMinimumWidth(260);
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Отмена"), this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Заменять что"), WhatEdit);
    form->addRow(QStringLiteral("На что"), WithEdit);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    // Replacing "nothing" would insert the replacement everywhere.
    GuardedConnect(WhatEdit, &QLineEdit::textChanged, this, [this] { UpdateButtons(); });
    GuardedConnect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    GuardedConnect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    UpdateButtons();
}

void TChangeForm::UpdateButtons() {
    OKButton->setEnabled(!WhatEdit->text().isEmpty());
}

void TChangeForm::SetPair(const std::string& what, const std::string& with) {
    WhatEdit->setText(ToQt(what));
    WithEdit->setText(ToQt(with));
}

std::string TChangeForm::What() const {
    return FromQt(WhatEdit->text());
}

std::string TChangeForm::With() const {
    return FromQt(WithEdit->text());
}

}  // namespace pelmar::ui
