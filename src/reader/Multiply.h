#pragma once
// Copies of a netmail message to contacts of the address book.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "reader/Writes.h"

namespace pelmar {

class TAddressBook;
class TAreaInfo;
class TMessageBase;

// One contact as the dialog lists it.
struct TContact {
    std::string Name;
    std::vector<std::string> Addresses;
    std::string Notes;
};

// Where the dialog's contacts come from (the address book, once it is there).
class TContactSource {
public:
    virtual ~TContactSource() = default;
    virtual std::vector<TContact> Contacts() const = 0;
};

// The contacts of the program's address book as it is when the dialog opens; none while there is
// no book. The book is looked up on every call, it is made and freed with the profile.
class TAddressBookContacts : public TContactSource {
public:
    explicit TAddressBookContacts(TAddressBook* const& book) : book_(book) {}
    std::vector<TContact> Contacts() const override;

private:
    TAddressBook* const& book_;
};

// What is kept of the shown message.
struct TMultiplyOriginal {
    std::string FromName;
    std::string OrigAddr;
    std::string Subject;
    std::string Text;
    uint16_t Attr = 0;
};

struct TMultiplyOutcome {
    int Written = 0;
    // One per contact tried; the contacts after a refusal are not tried.
    std::vector<TItemOutcome> Results;
    std::string Error;  // why the copy after the last written one failed; empty when all went
    // What the base reported after storing copies (Warnings), each line once, for the caller to show.
    std::vector<std::string> Warnings;
};

// Writes one copy per contact into `base` (the area's open base) under the area's lock. Each copy
// is a fresh local, unsent message with the header every new message gets (its own MSGID, TZUTC);
// the counters rise and `added` hears of the new position only after its write succeeded. The
// first failed write stops the run.
TMultiplyOutcome MultiplyMessage(TAreaInfo& area, TMessageBase& base, const TMultiplyOriginal& original,
                                 const std::vector<TContact>& contacts,
                                 const std::vector<std::string>& templateKludges,
                                 const std::function<void(int position)>& added);

}  // namespace pelmar
