#pragma once
// The FastEcho import dialog: the FASTECHO.CFG of a linked group.
#include "import/ui/ImportDialog.h"

class QRadioButton;

namespace pelmar::ui {

class TImportForm : public TImportDialog {
    Q_OBJECT

public:
    explicit TImportForm(QWidget* parent = nullptr);

    // The explanation and the name-splitting choice; hidden at first, as every caller wants them.
    void SetChoicesVisible(bool visible);
    // Split area names at dots into folders (the choice, off at first).
    bool SplitNames() const;

    // Also gives the default button the caption OK.
    void PresetFromGroup(const TAreaInfo& group) override;
    // Path, and Read 1: names are kept whole.
    void ApplyToGroup(TAreaInfo& group) const override;

private:
    QLabel* ExplainLabel;
    QRadioButton* SplitRadio;
    QLabel* SplitLabel;
    QRadioButton* KeepRadio;
};

}  // namespace pelmar::ui
