#include "core/ui/QtText.h"

#include "core/Codepage.h"

namespace pelmar::ui {

QString ToQt(const std::string& cp1251) { return QString::fromStdString(AnsiToUtf8(cp1251)); }

std::string FromQt(const QString& text) { return Utf8ToAnsi(text.toStdString()); }

}  // namespace pelmar::ui
