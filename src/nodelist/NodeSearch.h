#pragma once
// The rules behind the node browser's and the address book's dialogs, kept apart from the widgets.
#include <string>
#include <vector>

#include "nodelist/AddressBook.h"
#include "nodelist/NodeList.h"

namespace pelmar {

// "Найти человека" / "Искать дальше": the last name part and mask, and where the next step starts.
struct TNodeSearch {
    std::string NamePart;
    std::string AddressMask;
    int SearchStart = 0;
    bool SearchFound = false;

    // A new search from the first record.
    int Start(TNodeList& list, const std::string& namePart, const std::string& mask);
    // The next match after the previous one: its record index, or -1 (the search is then over).
    int Step(TNodeList& list);
};

// What the entry dialog edits.
struct TContactDraft {
    std::string Name;
    std::vector<std::string> Addresses;
    std::string Notes;
};

// The entry dialog's preset for a person of the nodelist: their addresses from the index, then the
// book's addresses of the same name not yet listed; the book's notes, else the node's station.
TContactDraft PresetFromNode(TNodeList& list, const TAddressBook& book, const std::string& name,
                             const std::string& station);
// Puts a confirmed draft into entry `index` of the book, or into a new entry when it is -1. Returns
// the entry's index.
int StoreContact(TAddressBook& book, const TContactDraft& draft, int index = -1);
TContactDraft DraftOf(const TAddressBook& book, int index);

// The entry dialog's "Добавить": a non-empty text the list does not hold yet (case-insensitive).
bool CanAddAddress(const std::vector<std::string>& list, const std::string& text);

}  // namespace pelmar
