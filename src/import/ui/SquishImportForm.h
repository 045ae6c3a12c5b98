#pragma once
// The Squish import dialog: the SQUISH.CFG of a linked group and the kinds of areas taken from it.
#include "import/ui/ImportDialog.h"

class QCheckBox;

namespace pelmar::ui {

class TSquishImportForm : public TImportDialog {
    Q_OBJECT

public:
    explicit TSquishImportForm(QWidget* parent = nullptr);

    // The check boxes as a linked group's Read: 1 bad/dupe, 2 netmail, 4 echomail.
    int Options() const;
    void SetOptions(int options);

    void PresetFromGroup(const TAreaInfo& group) override;
    void ApplyToGroup(TAreaInfo& group) const override;

private:
    QLabel* ExplainLabel;
    QCheckBox* BadDupeCheck;
    QCheckBox* NetMailCheck;
    QCheckBox* EchoMailCheck;

protected:
    void SaveMemory() const override;
};

}  // namespace pelmar::ui
