#include "reader/ui/ViewTexts.h"

#include "core/ui/QtText.h"
#include "reader/MessageDates.h"

namespace pelmar::ui {

QDateTime ToQDateTime(TDateTime value) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    DecodeDateTime(value, year, month, day, hour, minute, second);
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second));
}

TDateTexts DateTexts(TDateTime value) {
    return MessageDateTexts(value);
}

std::string DateTimeText(TDateTime value) {
    return MessageDateTimeText(value);
}

}  // namespace pelmar::ui
