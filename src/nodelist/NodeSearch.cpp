#include "nodelist/NodeSearch.h"

#include <algorithm>

#include "core/Codepage.h"

namespace pelmar {

int TNodeSearch::Start(TNodeList& list, const std::string& namePart, const std::string& mask) {
    NamePart = namePart;
    AddressMask = mask;
    SearchStart = 0;
    return Step(list);
}

int TNodeSearch::Step(TNodeList& list) {
    const int found = list.FindNext(NamePart, AddressMask, SearchStart);
    SearchFound = found >= 0;
    if (SearchFound) SearchStart = found + 1;
    return found;
}

bool CanAddAddress(const std::vector<std::string>& list, const std::string& text) {
    if (text.empty()) return false;
    return std::none_of(list.begin(), list.end(),
                        [&](const std::string& a) { return AnsiSameText(a, text); });
}

TContactDraft PresetFromNode(TNodeList& list, const TAddressBook& book, const std::string& name,
                             const std::string& station) {
    TContactDraft draft;
    draft.Name = name;
    list.FindAddressesByName(name, draft.Addresses);
    const int known = book.IndexOf(name);
    if (known >= 0) {
        for (const auto& address : book.Addresses(known))
            if (CanAddAddress(draft.Addresses, address)) draft.Addresses.push_back(address);
    }
    draft.Notes = known >= 0 && !book.Notes(known).empty() ? book.Notes(known) : station;
    return draft;
}

int StoreContact(TAddressBook& book, const TContactDraft& draft, int index) {
    if (index < 0 || index >= book.Count()) index = book.Add();
    book.SetName(index, draft.Name);
    book.Addresses(index) = draft.Addresses;
    book.SetNotes(index, draft.Notes);
    return index;
}

TContactDraft DraftOf(const TAddressBook& book, int index) {
    return {book.Name(index), book.Addresses(index), book.Notes(index)};
}

}  // namespace pelmar
