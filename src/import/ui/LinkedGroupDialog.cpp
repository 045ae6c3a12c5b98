#include "import/ui/LinkedGroupDialog.h"

#include "areas/gizmo.h"
#include "core/Codepage.h"
#include "core/Settings.h"
#include "core/ui/MessageBox.h"
#include "import/ConfigLocations.h"
#include "import/FirstRun.h"
#include "import/ImportedNetmail.h"
#include "import/TosserImport.h"
#include "import/ui/AreasImportForm.h"
#include "import/ui/ImportForm.h"
#include "import/ui/ImportTmailForm.h"
#include "import/ui/SquishImportForm.h"
#include "import/ui/TosserImportForm.h"

namespace pelmar::ui {

namespace {

std::unique_ptr<TImportDialog> NewImportDialog(int linkKind, QWidget* parent) {
    switch (linkKind) {
        case LinkKindFastEcho:
            return std::make_unique<TImportForm>(parent);
        case LinkKindSquish:
            return std::make_unique<TSquishImportForm>(parent);
        case LinkKindTMail:
            return std::make_unique<TImportTmailForm>(parent);
        case LinkKindAreasBbs:
            return std::make_unique<TAreasImportForm>(parent);
        case LinkKindFidoConfig:
        case LinkKindCrashMail:
            return std::make_unique<TTosserImportForm>(linkKind, parent);
        default:
            return nullptr;
    }
}

// Without a file that exists in the field, the file the program keeps on this machine.
void OfferInstalledConfig(TImportDialog& dialog, int linkKind) {
    const TConfigEnvironment env = SystemEnvironment();
    if (!dialog.FileName().empty() && env.IsFile(dialog.FileName())) return;
    const std::string found = FindInstalledConfig(linkKind, env);
    if (!found.empty()) dialog.SetFileName(found);
}

}  // namespace

std::unique_ptr<TImportDialog> CreateImportDialog(int linkKind, QWidget* parent) {
    auto dialog = NewImportDialog(linkKind, parent);
    if (dialog) OfferInstalledConfig(*dialog, linkKind);
    return dialog;
}

namespace {

// The tossers' dialogs promise the own addresses too: those the profile lacks are added, as the
// first-run wizard does. The netmail area is the group's when none is set (or it is gone).
void AdoptFromGroup(const TAreaInfo& group) {
    const TAreaInfo* root = &group;
    while (root->Parent() != nullptr) root = root->Parent();
    bool changed = AdoptImportedNetmailArea(*root, group);
    if (group.Kind == LinkKindFidoConfig || group.Kind == LinkKindCrashMail) {
        const TTosserConfig config =
            group.Kind == LinkKindFidoConfig ? ReadFidoConfig(group.Path) : ReadCrashMailPrefs(group.Path);
        const size_t known = Settings.SelfAKA.size();
        AdoptAddresses(config.Addresses);
        changed = changed || Settings.SelfAKA.size() != known;
        changed = AdoptEchoTossLog(config.EchoTossLog) || changed;
    }
    // A failed save is reported by the settings store; the settings are saved again at exit.
    if (changed) SaveSettings();
}

}  // namespace

int EditLinkedGroup(TAreaInfo& group, QWidget* parent) {
    if (group.Zilo != ZiloLinkedGroup) return TImportDialog::ModalCancel;
    const auto dialog = CreateImportDialog(group.Kind, parent);
    if (!dialog) return TImportDialog::ModalCancel;
    dialog->PresetFromGroup(group);
    // A group the area manager has just made names no file yet.
    if (group.Path.empty()) OfferInstalledConfig(*dialog, group.Kind);
    if (dialog->ShowModal() != TImportDialog::ModalOK) return TImportDialog::ModalCancel;
    // What the dialogs change, so that a file that cannot be read leaves the group as it was:
    // the old areas under the new file's name would be wrong on the next refresh.
    const std::string oldPath = group.Path;
    const int oldRead = group.Read.load();
    const std::string oldDescription = group.Description;
    {
        const TAreaLock lock(group);
        dialog->ApplyToGroup(group);
    }
    if (group.RefreshLinkedGroup()) {
        AdoptFromGroup(group);
        return TImportDialog::ModalOK;
    }
    const std::string failedPath = group.Path;
    {
        const TAreaLock lock(group);
        group.Path = oldPath;
        group.Read = oldRead;
        group.Description = oldDescription;
    }
    ShowError(Utf8ToAnsi("Связанная группа \"") + group.Name + Utf8ToAnsi("\" не обновлена: файл \"") +
                  failedPath + Utf8ToAnsi("\" не прочитан. Группа осталась прежней."),
              parent);
    return TImportDialog::ModalCancel;
}

}  // namespace pelmar::ui
