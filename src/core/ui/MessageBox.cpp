#include "core/ui/MessageBox.h"

#include <QMessageBox>

#include "core/ui/QtText.h"

namespace pelmar::ui {

namespace {
const QString kCaption = QStringLiteral("Пелмар");
}

void ShowError(const std::string& text, QWidget* parent) {
    QMessageBox::critical(parent, kCaption, ToQt(text));
}

void ShowInfo(const std::string& text, QWidget* parent) {
    QMessageBox::information(parent, kCaption, ToQt(text));
}

bool AskYesNo(const std::string& text, QWidget* parent) {
    return QMessageBox::question(parent, kCaption, ToQt(text), QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

}  // namespace pelmar::ui
