#pragma once
// The main window's search, bookmarks, window list, copy target and multiply dialogs, and help.
// The window owns one and runs its commands through it.
#include <QObject>
#include <QPointer>
#include <string>
#include <vector>

#include "nodelist/AddressBook.h"
#include "reader/Bookmarks.h"
#include "reader/CommandState.h"
#include "reader/Multiply.h"
#include "reader/Search.h"

namespace pelmar {
class TAreaInfo;
}  // namespace pelmar

namespace pelmar::ui {

class TBookMarkForm;
class TMainFrame;

class TMainDialogs : public QObject {
    Q_OBJECT

public:
    explicit TMainDialogs(TMainFrame& frame);

    // The commands run here; false for the others.
    bool Run(TCommand command);
    // The commands Run takes.
    static const std::vector<TCommand>& Commands();

    TSearch Search;
    // Where the multiply dialog's contacts come from: the program's address book.
    TContactSource* Contacts = &addressBookContacts_;

    void RunSearchDialog();
    void SearchNext();
    void ResetSearch() { Search.Reset(); }
    // The list's selected entries become bookmarks (those without MSGID are refused, with a note).
    void AddBookmarks();
    TBookmarkGoto GotoBookmark(const std::string& data);
    TBookMarkForm& BookMarks();
    void ShowBookMarks();
    void RunWindowListDialog();
    void RunCopyDialog();
    void RunMultiplyDialog();

    // Lists `area` in the main window (its tree node selected), with no message selected by itself.
    bool OpenArea(TAreaInfo& area);
    // Selects the entry of `msgId` in the list; false when it is not there.
    bool SelectMessage(const std::string& msgId);

private:
    TAddressBookContacts addressBookContacts_{AddressBook};
    TMainFrame& frame_;
    QPointer<TBookMarkForm> bookMarks_;
};

}  // namespace pelmar::ui
