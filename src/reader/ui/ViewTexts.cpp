#include "reader/ui/ViewTexts.h"

#include <QLocale>

#include "core/ui/QtText.h"

namespace pelmar::ui {

QDateTime ToQDateTime(TDateTime value) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    DecodeDateTime(value, year, month, day, hour, minute, second);
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second));
}

TDateTexts DateTexts(TDateTime value) {
    const QDateTime dateTime = ToQDateTime(value);
    const QLocale locale;
    // The locale's long time format names the time zone, which a message date does not have.
    QString timeFormat = locale.timeFormat(QLocale::ShortFormat);
    if (!timeFormat.contains(QLatin1Char('s')))
        timeFormat.replace(QLatin1String("mm"), QLatin1String("mm:ss"));
    return {FromQt(locale.toString(dateTime.date(), QLocale::ShortFormat)),
            FromQt(locale.toString(dateTime.time(), timeFormat))};
}

std::string DateTimeText(TDateTime value) {
    const TDateTexts texts = DateTexts(value);
    return texts.ShortDate + " " + texts.LongTime;
}

}  // namespace pelmar::ui
