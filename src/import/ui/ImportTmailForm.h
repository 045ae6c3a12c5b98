#pragma once
// The T-Mail import dialog: the T-MAIL.CTL of a linked group.
#include "import/ui/ImportDialog.h"

namespace pelmar::ui {

class TImportTmailForm : public TImportDialog {
    Q_OBJECT

public:
    explicit TImportTmailForm(QWidget* parent = nullptr);

private:
    QLabel* ExplainLabel;
};

}  // namespace pelmar::ui
