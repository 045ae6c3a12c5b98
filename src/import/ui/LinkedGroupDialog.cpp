#include "import/ui/LinkedGroupDialog.h"

#include "areas/gizmo.h"
#include "import/ui/AreasImportForm.h"
#include "import/ui/ImportForm.h"
#include "import/ui/ImportTmailForm.h"
#include "import/ui/SquishImportForm.h"

namespace pelmar::ui {

std::unique_ptr<TImportDialog> CreateImportDialog(int linkKind, QWidget* parent) {
    switch (linkKind) {
        case LinkKindFastEcho:
            return std::make_unique<TImportForm>(parent);
        case LinkKindSquish:
            return std::make_unique<TSquishImportForm>(parent);
        case LinkKindTMail:
            return std::make_unique<TImportTmailForm>(parent);
        case LinkKindAreasBbs:
            return std::make_unique<TAreasImportForm>(parent);
        default:
            return nullptr;
    }
}

int EditLinkedGroup(TAreaInfo& group, QWidget* parent) {
    if (group.Zilo != ZiloLinkedGroup) return TImportDialog::ModalCancel;
    const auto dialog = CreateImportDialog(group.Kind, parent);
    if (!dialog) return TImportDialog::ModalCancel;
    dialog->PresetFromGroup(group);
    if (dialog->ShowModal() != TImportDialog::ModalOK) return TImportDialog::ModalCancel;
    {
        struct TGroupLock {
            TAreaInfo& Entry;
            explicit TGroupLock(TAreaInfo& entry) : Entry(entry) { Entry.Lock(); }
            ~TGroupLock() { Entry.Unlock(); }
        } lock(group);
        dialog->ApplyToGroup(group);
    }
    group.RefreshLinkedGroup();
    return TImportDialog::ModalOK;
}

}  // namespace pelmar::ui
