#pragma once
// Opening the import dialog of a linked group by its kind, as the area manager and the first-run
// wizard do.
#include <memory>

class QWidget;

namespace pelmar {
class TAreaInfo;
}

namespace pelmar::ui {

class TImportDialog;

// The dialog for a linked group of `linkKind` (LinkKind* of gizmo.h); null for another kind.
std::unique_ptr<TImportDialog> CreateImportDialog(int linkKind, QWidget* parent = nullptr);

// The properties of an existing linked group: its dialog preset from it; on OK the fields go into
// the group (under its lock) and the group is refreshed from its file. ModalOK or ModalCancel
// (ModalCancel also for an entry that is no linked group, and when the refresh failed: that is shown
// in an error box and the group keeps its old file, options and areas).
int EditLinkedGroup(TAreaInfo& group, QWidget* parent = nullptr);

}  // namespace pelmar::ui
