#pragma once
// "Флаги": the nine attribute bits of a message as a check list.
#include <QDialog>
#include <cstdint>

class QListWidget;

namespace pelmar::ui {

class TFlagsForm : public QDialog {
    Q_OBJECT

public:
    explicit TFlagsForm(QWidget* parent = nullptr);
    void SetAttributes(uint16_t attributes);
    // Exactly the ticked bits; bits 9 to 15 are cleared.
    uint16_t Attributes() const;

private:
    QListWidget* CheckList = nullptr;
};

// Runs the dialog; on OK the word becomes the ticked bits, on cancel it is unchanged. True on OK.
bool EditAttributes(uint16_t& attributes, QWidget* parent = nullptr);

}  // namespace pelmar::ui
