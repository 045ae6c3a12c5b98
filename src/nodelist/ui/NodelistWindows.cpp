#include "nodelist/ui/NodelistWindows.h"

#include <QApplication>
#include <exception>

#include "core/Codepage.h"
#include "core/ui/MessageBox.h"
#include "nodelist/AddressBook.h"
#include "nodelist/NodeList.h"
#include "nodelist/ui/AddressBookForm.h"
#include "nodelist/ui/NodeBrowser.h"

namespace pelmar::ui {

TNodelistWindows::~TNodelistWindows() {
    FreeNodeBrowser();
}

void TNodelistWindows::ShowNodeBrowser(QWidget* parent) {
    if (NodeList == nullptr || AddressBook == nullptr) return;
    if (browser_ == nullptr) {
        browser_ = new TNodeBrowser(*NodeList, *AddressBook, parent);
        browser_->SendLetter = SendLetter;
        browser_->UpdateButtons();
    }
    browser_->show();
    browser_->raise();
    browser_->activateWindow();
}

void TNodelistWindows::FreeNodeBrowser() {
    delete browser_.data();
    browser_ = nullptr;
}

void TNodelistWindows::ShowAddressBook(QWidget* parent) {
    if (AddressBook == nullptr) return;
    TAddressBookForm form(*AddressBook, NodeList, TAddressBookForm::TMode::Manager, parent);
    form.exec();
}

bool TNodelistWindows::CheckNodelist(QWidget* parent, const std::vector<std::string>& files,
                                     const TProgress& progress) {
    if (NodeList == nullptr || !NodeList->IsOutdated(files)) return false;
    if (!AskYesNo(Utf8ToAnsi("Файлы, составляющие список узлов, изменились.\r\nОткомпилировать список?"),
                  parent))
        return false;
    FreeNodeBrowser();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (progress.Begin) progress.Begin();
    bool compiled = true;
    std::string failure;
    try {
        NodeList->Compile(files, progress.Percent);
    } catch (const std::exception& e) {
        compiled = false;
        failure = e.what();
    }
    if (progress.End) progress.End();
    QApplication::restoreOverrideCursor();
    // The old index stays in use after a failure.
    if (!compiled) ShowError(failure, parent);
    return compiled;
}

}  // namespace pelmar::ui
