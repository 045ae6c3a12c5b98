#pragma once
// What the main window does with the nodelist and the address book: its one node browser, the
// address book command and the check that offers to recompile a changed nodelist.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "nodelist/NodeSearch.h"

class QWidget;

namespace pelmar {
class TAddressBook;
class TNodeList;
}  // namespace pelmar

namespace pelmar::ui {

class TNodeBrowser;

class TNodelistWindows {
public:
    // How a compile shows its progress (the main window's status bar).
    struct TProgress {
        std::function<void()> Begin;
        std::function<void(int percent)> Percent;
        std::function<void()> End;
    };

    // Starts a netmail to a node; unset while there is no editor (the browser's command is disabled).
    std::function<void(const std::string& toName, const std::string& address)> SendLetter;

    TNodelistWindows();
    ~TNodelistWindows();
    TNodelistWindows(const TNodelistWindows&) = delete;
    TNodelistWindows& operator=(const TNodelistWindows&) = delete;

    // "Список узлов": the browser is made on first use, then only shown and hidden.
    void ShowNodeBrowser(QWidget* parent);
    // Frees the browser (before a compile, or when the nodelist changes under it).
    void FreeNodeBrowser();
    TNodeBrowser* NodeBrowser() const;
    // "Адресная книга" from the main window: manage only.
    void ShowAddressBook(QWidget* parent);
    // The editor's To button: the address book as a picker; the chosen entry's name and addresses, or
    // nothing when it was closed without a choice (or there is no book).
    static std::optional<TContactDraft> PickContact(QWidget* parent);
    // Asks whether to recompile when the nodelist files changed and compiles them. True when compiled.
    bool CheckNodelist(QWidget* parent, const std::vector<std::string>& files, const TProgress& progress);

private:
    struct TState;
    std::unique_ptr<TState> state_;
};

}  // namespace pelmar::ui
