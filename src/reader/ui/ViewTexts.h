#pragma once
// Dates of messages as the view and the commands write them (reader/MessageDates.h).
#include <QDateTime>
#include <string>

#include "msgbase/MessageBase.h"
#include "reader/ReadingCommands.h"

namespace pelmar::ui {

QDateTime ToQDateTime(TDateTime value);
// The short date and the time with seconds.
TDateTexts DateTexts(TDateTime value);
// Both, separated by a blank: the header panel and saved files.
std::string DateTimeText(TDateTime value);

}  // namespace pelmar::ui
