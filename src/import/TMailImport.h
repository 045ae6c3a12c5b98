#pragma once
// The netmail folder and mailboxes of a T-MAIL.CTL.
#include <string>

namespace pelmar {

class TAreaInfo;

// Adds to `container` the *.MSG netmail areas of the T-MAIL.CTL `file`: "Netmail" for the
// "Mail_In" folder and one per "MailBox <name> = <folder>", each with the address of the last
// "Address" line before it. A file that is missing or cannot be opened adds nothing; a read error in
// an opened file raises EReadError (the areas read before it stay in the container).
void ImportTMailConfig(const std::string& file, TAreaInfo& container);

}  // namespace pelmar
