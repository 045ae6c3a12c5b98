#pragma once
// The AREAS.BBS import dialog: the list file of a linked group and the folder of its Hudson base.
#include "import/ui/ImportDialog.h"

namespace pelmar::ui {

class TAreasImportForm : public TImportDialog {
    Q_OBJECT

public:
    explicit TAreasImportForm(QWidget* parent = nullptr);

    std::string HudsonDir() const;
    void SetHudsonDir(const std::string& dir);

    // The folder comes from the group's Description; a group without one keeps the remembered
    // folder and remembering stays on.
    void PresetFromGroup(const TAreaInfo& group) override;
    // Path and Description (the Hudson folder).
    void ApplyToGroup(TAreaInfo& group) const override;

private:
    QLabel* HudsonLabel;
    TFileChooser* HudsonChooser;

protected:
    void SaveMemory() const override;
};

}  // namespace pelmar::ui
