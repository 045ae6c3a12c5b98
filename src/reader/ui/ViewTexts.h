#pragma once
// Dates of messages as the view and the commands write them, in the user's locale.
#include <QDateTime>
#include <string>

#include "msgbase/MessageBase.h"
#include "reader/ReadingCommands.h"

namespace pelmar::ui {

QDateTime ToQDateTime(TDateTime value);
// The locale's short date and its time with seconds, CP1251.
TDateTexts DateTexts(TDateTime value);
// Both, separated by a blank: the header panel and saved files.
std::string DateTimeText(TDateTime value);

}  // namespace pelmar::ui
