#include "reader/Multiply.h"

#include <exception>

#include "areas/gizmo.h"
#include "editor/TosserHandoff.h"
#include "msgbase/MessageBase.h"
#include "nodelist/AddressBook.h"

namespace pelmar {

std::vector<TContact> TAddressBookContacts::Contacts() const {
    std::vector<TContact> contacts;
    const TAddressBook* book = book_;
    if (book == nullptr) return contacts;
    contacts.reserve(static_cast<size_t>(book->Count()));
    for (int i = 0; i < book->Count(); ++i)
        contacts.push_back({book->Name(i), book->Addresses(i), book->Notes(i)});
    return contacts;
}

TMultiplyOutcome MultiplyMessage(TAreaInfo& area, TMessageBase& base, const TMultiplyOriginal& original,
                                 const std::vector<TContact>& contacts,
                                 const std::vector<std::string>& templateKludges,
                                 const std::function<void(int position)>& added) {
    TMultiplyOutcome outcome;
    for (const TContact& contact : contacts) {
        TItemOutcome result;
        try {
            base.NewMessage();
            TNewHeader header;
            header.FromName = original.FromName;
            header.OrigAddr = original.OrigAddr;
            if (!contact.Addresses.empty()) header.DestAddr = contact.Addresses.front();
            header.ToName = contact.Name;
            header.Subject = original.Subject;
            // A copy of a sent message would keep "Sent" and never leave: each copy waits for the tosser.
            header.Attr = static_cast<uint16_t>((original.Attr & ~AttrSent) | AttrLocal);
            header.ExtraKludges = templateKludges;
            FillNewHeader(base, header);
            base.Text = original.Text;
            const TAreaLock lock(area);
            if (!base.WriteMessage()) result = RefusedBy(area, base);
        } catch (const std::exception& e) {
            result = FailedIn(area, e.what());
        }
        outcome.Results.push_back(result);
        if (result.Result != TItemResult::Done) {
            outcome.Error = result.Reason;
            break;
        }
        std::vector<std::string> warnings = base.Warnings;
        TellTosser(area, base, warnings);
        AddBaseWarnings(outcome.Warnings, warnings);
        ++outcome.Written;
        area.MsgCount.fetch_add(1);
        area.Read.fetch_add(1);
        if (added) added(base.Current);
    }
    return outcome;
}

}  // namespace pelmar
