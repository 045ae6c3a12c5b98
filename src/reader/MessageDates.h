#pragma once
// Dates of messages as the list, the view and the templates write them. The interface is Russian
// whatever the desktop's language, so the forms are fixed here instead of being taken from the
// process locale (under LANG=C that would write "1 Dec 2025").
#include <string>

#include "msgbase/MessageBase.h"
#include "reader/ReadingCommands.h"

namespace pelmar {

// "dd.mm.yyyy": the short date of the view and the @...Дата macros.
std::string ShortDateText(TDateTime value);
// "hh:mm:ss": the time with seconds of the view and the @...Время macros.
std::string LongTimeText(TDateTime value);
// Both of them.
TDateTexts MessageDateTexts(TDateTime value);
// "dd.mm.yyyy hh:mm:ss": the header panel, saved and printed messages.
std::string MessageDateTimeText(TDateTime value);
// "yyyy.mm.dd hh:mm:ss" for the list's date column; empty for a message without a date (0 or not a
// number), which the bases give for a header they could not read.
std::string ListDateText(TDateTime value);

}  // namespace pelmar
