#pragma once
// The import dialog of the Linux tossers' linked groups: a fidoconfig file or a crashmail.prefs.
#include "import/ui/ImportDialog.h"

namespace pelmar::ui {

class TTosserImportForm : public TImportDialog {
    Q_OBJECT

public:
    // `linkKind` is LinkKindFidoConfig or LinkKindCrashMail.
    explicit TTosserImportForm(int linkKind, QWidget* parent = nullptr);

    void ApplyToGroup(TAreaInfo& group) const override;

private:
    QLabel* ExplainLabel;
};

}  // namespace pelmar::ui
