#include "reader/ui/PersonalMailNotices.h"

#include <QStringList>

#include "core/ui/QtText.h"

namespace pelmar::ui {

namespace {

QString Field(const std::string& cp1251, const QString& whenEmpty) {
    QString text = ToQt(cp1251).simplified();
    if (text.isEmpty()) return whenEmpty;
    if (text.size() > kNoticeFieldChars) text = text.left(kNoticeFieldChars - 1) + QChar(0x2026);
    return text;
}

// "1 новое личное письмо", "3 новых личных письма", "25 новых личных писем".
QString CountText(size_t count) {
    const size_t tens = count % 100, ones = count % 10;
    const QString number = QString::number(count);
    if (ones == 1 && tens != 11) return number + QStringLiteral(" новое личное письмо");
    if (ones >= 2 && ones <= 4 && (tens < 12 || tens > 14))
        return number + QStringLiteral(" новых личных письма");
    return number + QStringLiteral(" новых личных писем");
}

// The first few distinct values in order, then how many more there are.
QString Listing(const QStringList& values, int shown) {
    QStringList distinct;
    for (const QString& value : values)
        if (!distinct.contains(value)) distinct.append(value);
    if (distinct.size() <= shown) return distinct.join(QStringLiteral(", "));
    return distinct.mid(0, shown).join(QStringLiteral(", ")) +
           QStringLiteral(" и ещё %1").arg(distinct.size() - shown);
}

}  // namespace

std::vector<TPersonalMailNotice> PersonalMailNotices(const std::vector<TNewPersonalMail>& mail) {
    std::vector<TPersonalMailNotice> notices;
    const QString noSender = QStringLiteral("неизвестного");
    const QString noSubject = QStringLiteral("(без темы)");
    if (mail.size() <= kSeparateNotices) {
        for (size_t i = 0; i < mail.size(); ++i) {
            const TNewPersonalMail& one = mail[i];
            notices.push_back({QStringLiteral("Личное письмо от ") + Field(one.FromName, noSender),
                               QStringLiteral("Тема: ") + Field(one.Subject, noSubject) +
                                   QStringLiteral("\nОбласть: ") + Field(one.AreaName, QStringLiteral("?")),
                               i});
        }
        return notices;
    }
    QStringList areas, senders;
    for (const TNewPersonalMail& one : mail) {
        areas.append(Field(one.AreaName, QStringLiteral("?")));
        senders.append(Field(one.FromName, noSender));
    }
    notices.push_back(
        {CountText(mail.size()),
         QStringLiteral("Области: ") + Listing(areas, 4) + QStringLiteral("\nОт: ") + Listing(senders, 3),
         0});
    return notices;
}

}  // namespace pelmar::ui
