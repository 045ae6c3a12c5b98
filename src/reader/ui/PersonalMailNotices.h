#pragma once
// What the desktop is told about newly arrived personal mail: a notice per message when a few
// arrive, one notice that counts them and names their areas when many arrive at once.
#include <QString>
#include <cstddef>
#include <vector>

#include "areas/LiveMail.h"

namespace pelmar::ui {

struct TPersonalMailNotice {
    QString Summary;   // plain text
    QString Body;      // plain text, lines separated by '\n'
    size_t Opens = 0;  // the index in the announced mail of the message a click opens
};

// Up to this many messages get a notice each.
inline constexpr size_t kSeparateNotices = 3;
// A name or a subject longer than this is cut (with "…").
inline constexpr int kNoticeFieldChars = 100;

std::vector<TPersonalMailNotice> PersonalMailNotices(const std::vector<TNewPersonalMail>& mail);

}  // namespace pelmar::ui
