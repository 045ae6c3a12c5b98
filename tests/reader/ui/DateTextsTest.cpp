// Message dates read the same whatever the desktop's language: under the C locale the toolkit would
// write "1 Dec 2025" and drop the seconds.
#include <gtest/gtest.h>

#include <QLocale>
#include <clocale>

#include "core/ui/QtText.h"
#include "msgbase/MessageBase.h"
#include "reader/ui/MessageListModel.h"
#include "reader/MessageDates.h"

namespace pelmar::ui {
namespace {

class DateTextsUnderC : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = QLocale();
        QLocale::setDefault(QLocale::c());
        std::setlocale(LC_ALL, "C");
    }
    void TearDown() override { QLocale::setDefault(saved_); }

    QLocale saved_;
};

TEST_F(DateTextsUnderC, ListViewAndTemplatesUseTheirOwnForms) {
    struct TRow {
        TDateTime Date;
        const char* List;   // the list's date column
        const char* Date_;  // short date: view and the @...Дата macros
        const char* Time;   // time with seconds: the @...Время macros
    };
    const TRow rows[] = {
        {EncodeDateTime(2025, 12, 1, 9, 5, 7), "2025.12.01 09:05:07", "01.12.2025", "09:05:07"},
        {EncodeDateTime(1999, 2, 28, 23, 59, 59), "1999.02.28 23:59:59", "28.02.1999", "23:59:59"},
        {EncodeDateTime(2026, 7, 14, 0, 0, 0), "2026.07.14 00:00:00", "14.07.2026", "00:00:00"},
        // a header the base could not read has no date: an empty column, not 1899
        {0, "", "30.12.1899", "00:00:00"},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.List);
        EXPECT_EQ(TMessageListModel::DateText(row.Date), QString::fromLatin1(row.List));
        const TDateTexts texts = MessageDateTexts(row.Date);
        EXPECT_EQ(texts.ShortDate, row.Date_);
        EXPECT_EQ(texts.LongTime, row.Time);
        EXPECT_EQ(MessageDateTimeText(row.Date), std::string(row.Date_) + " " + row.Time);
    }
}

}  // namespace
}  // namespace pelmar::ui
