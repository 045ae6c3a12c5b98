#include "nodelist/ui/NodelistWindows.h"

#include <QApplication>
#include <QPointer>
#include <exception>

#include "core/Codepage.h"
#include "core/ui/MessageBox.h"
#include "nodelist/AddressBook.h"
#include "nodelist/NodeList.h"
#include "nodelist/ui/AddressBookForm.h"
#include "nodelist/ui/NodeBrowser.h"

namespace pelmar::ui {

struct TNodelistWindows::TState {
    QPointer<TNodeBrowser> Browser;
};

TNodelistWindows::TNodelistWindows() : state_(std::make_unique<TState>()) {}

TNodelistWindows::~TNodelistWindows() {
    FreeNodeBrowser();
}

TNodeBrowser* TNodelistWindows::NodeBrowser() const {
    return state_->Browser.data();
}

void TNodelistWindows::ShowNodeBrowser(QWidget* parent) {
    if (NodeList == nullptr || AddressBook == nullptr) return;
    auto& browser = state_->Browser;
    if (browser == nullptr) {
        browser = new TNodeBrowser(*NodeList, *AddressBook, parent);
        browser->SendLetter = SendLetter;
        browser->UpdateButtons();
    }
    browser->show();
    browser->raise();
    browser->activateWindow();
}

void TNodelistWindows::FreeNodeBrowser() {
    delete state_->Browser.data();
    state_->Browser = nullptr;
}

void TNodelistWindows::ShowAddressBook(QWidget* parent) {
    if (AddressBook == nullptr) return;
    TAddressBookForm form(*AddressBook, NodeList, TAddressBookForm::TMode::Manager, parent);
    form.SendLetter = SendLetter;
    form.exec();
    if (const auto& letter = form.RequestedLetter(); letter && SendLetter)
        SendLetter(letter->first, letter->second);
}

std::optional<TContactDraft> TNodelistWindows::PickContact(QWidget* parent) {
    if (AddressBook == nullptr) return std::nullopt;
    TAddressBookForm form(*AddressBook, NodeList, TAddressBookForm::TMode::Picker, parent);
    if (form.exec() != QDialog::Accepted || form.SelectedEntry() < 0) return std::nullopt;
    return DraftOf(*AddressBook, form.SelectedEntry());
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
