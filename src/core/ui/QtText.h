#pragma once
// The widget boundary: core text is CP1251 bytes, widgets take QString.
#include <QString>
#include <string>

namespace pelmar::ui {

QString ToQt(const std::string& cp1251);
std::string FromQt(const QString& text);

}  // namespace pelmar::ui
