#pragma once
// "Файлы": the uuencoded files collected from the messages handed over, their sections so far, and
// saving the complete ones.
#include <QWidget>
#include <string>

#include "editor/UUCode.h"

class QAction;
class QTreeWidget;

namespace pelmar::ui {

class TUUDecodeForm : public QWidget {
    Q_OBJECT

public:
    explicit TUUDecodeForm(QWidget* parent = nullptr);
    // Scans a message text; a second single-part file of a listed name is refused with the message.
    void AddText(const std::string& text);
    // Saves the selected complete file to `path` (asks for one when empty); the entry leaves the
    // list once written. False when nothing was written.
    bool SaveSelected(const QString& path = QString());
    void RemoveSelected();
    const TUUDecoder& Decoder() const { return decoder_; }

private:
    QTreeWidget* FileList = nullptr;
    QAction* SaveAction = nullptr;
    QAction* RemoveAction = nullptr;

private:
    void Refill();
    void UpdateActions();
    TUUDecoder decoder_;
};

// The one window, made on first use.
TUUDecodeForm* UUDecodeWindow(QWidget* parent);

}  // namespace pelmar::ui
