#include "reader/Multiply.h"

#include <exception>

#include "areas/gizmo.h"
#include "core/Codepage.h"
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
    std::vector<std::string> warnings;
    for (const TContact& contact : contacts) {
        base.NewMessage();
        base.FromName = original.FromName;
        base.OrigAddr = original.OrigAddr;
        if (!contact.Addresses.empty()) base.DestAddr = contact.Addresses.front();
        base.ToName = contact.Name;
        base.Subject = original.Subject;
        base.Date = NowLocal();
        // A copy of a sent message would keep "Sent" and never leave: each copy waits for the tosser.
        base.Attr = static_cast<uint16_t>((original.Attr & ~AttrSent) | AttrLocal);
        base.Kludges.clear();
        base.Kludges.push_back("MSGID: " + FormatMsgId(original.OrigAddr, NewMsgIdSerial()));
        base.Kludges.push_back("PID: Plm 1.0");
        for (const std::string& line : templateKludges)
            if (!line.empty()) base.Kludges.push_back(line);
        base.Text = original.Text;

        bool written = false;
        area.Lock();
        try {
            written = base.WriteMessage();
            if (!written) outcome.Error = Utf8ToAnsi("база занята другой программой");
        } catch (const std::exception& e) {
            outcome.Error = e.what();
        }
        area.Unlock();
        if (!written) break;

        AddBaseWarnings(warnings, base.Warnings);
        ++outcome.Written;
        area.MsgCount.fetch_add(1);
        area.Read.fetch_add(1);
        if (added) added(base.Current);
    }
    ShowBaseWarnings(warnings);
    return outcome;
}

}  // namespace pelmar
