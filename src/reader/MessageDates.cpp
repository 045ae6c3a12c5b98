#include "reader/MessageDates.h"

#include <cmath>
#include <cstdio>

namespace pelmar {

namespace {

struct TParts {
    int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};

TParts Decode(TDateTime value) {
    TParts p;
    DecodeDateTime(value, p.Year, p.Month, p.Day, p.Hour, p.Minute, p.Second);
    return p;
}

}  // namespace

std::string ShortDateText(TDateTime value) {
    const TParts p = Decode(value);
    char text[32];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d", p.Day, p.Month, p.Year);
    return text;
}

std::string LongTimeText(TDateTime value) {
    const TParts p = Decode(value);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", p.Hour, p.Minute, p.Second);
    return text;
}

TDateTexts MessageDateTexts(TDateTime value) {
    return {ShortDateText(value), LongTimeText(value)};
}

std::string MessageDateTimeText(TDateTime value) {
    return ShortDateText(value) + " " + LongTimeText(value);
}

std::string ListDateText(TDateTime value) {
    if (!std::isfinite(value) || value == 0) return {};
    const TParts p = Decode(value);
    char text[48];
    std::snprintf(text, sizeof text, "%04d.%02d.%02d %02d:%02d:%02d", p.Year, p.Month, p.Day, p.Hour,
                  p.Minute, p.Second);
    return text;
}

}  // namespace pelmar
