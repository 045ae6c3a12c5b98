#pragma once
// Opening a link clicked in the message text. The text comes from a stranger's message: web, mail
// and news links go to the desktop; file: and every other scheme only after the user agrees; a
// local file that could run is never opened.
#include <QString>
#include <functional>

class QWidget;

namespace pelmar::ui {

struct TLinkHandlers {
    // An FTN address was clicked (the editor opens towards it).
    std::function<void(const QString& address)> WriteNetmail;
    // Asks the user; true to go on. Unset: the program's Yes/No box.
    std::function<bool(const QString& question)> Ask;
    // Hands a URL to the desktop; false when nothing there takes it (then Refuse says so). Unset:
    // QDesktopServices.
    std::function<bool(const QString& url)> Open;
    // Tells the user why a link stays closed. Unset: the program's information box.
    std::function<void(const QString& text)> Refuse;
};

void OpenLink(const QString& link, const TLinkHandlers& handlers, QWidget* parent = nullptr);

}  // namespace pelmar::ui
