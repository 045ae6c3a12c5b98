#include "editor/ui/EditorWiring.h"

#include <QDialog>
#include <optional>

#include "areas/AreaEdits.h"
#include "areas/AreaLifetime.h"
#include "areas/gizmo.h"
#include "areas/ui/AreaMngr.h"
#include "editor/ui/SendMessageForm.h"
#include "nodelist/NodeList.h"
#include "nodelist/ui/NodelistWindows.h"
#include "reader/ReadingCommands.h"

namespace pelmar::ui {

void InstallEditorHooks() {
    SetAreaGoneHook(DropAreaFromEditors);
    TSendMessageForm::ChooseAreas = ChooseAreasWithPostForm;
    TSendMessageForm::FindAddressesByName = NodeListAddresses;
    TSendMessageForm::PickAddressee = [](QWidget* parent, std::string& name,
                                         std::vector<std::string>& addresses) {
        const std::optional<TContactDraft> picked = TNodelistWindows::PickContact(parent);
        if (!picked) return false;
        name = picked->Name;
        addresses = picked->Addresses;
        return true;
    };
}

bool ChooseAreasWithPostForm(QWidget* parent, std::vector<TAreaInfo*>& destinations) {
    TAreaManager* manager = AreaManager();
    return manager != nullptr && ChooseAreasIn(manager->Root(), parent, destinations);
}

bool ChooseAreasIn(TAreaInfo& root, QWidget* parent, std::vector<TAreaInfo*>& destinations) {
    TAreaPostForm form(root, parent);
    form.SetTargets(destinations);
    if (form.exec() != QDialog::Accepted) return false;
    destinations = form.Targets();
    return true;
}

TSendMessageForm* OpenRequestedEditor(QWidget* owner, const TEditorRequest& request) {
    // Replies, forwards and edits open from the stored message itself (OpenReply and the others).
    if (request.Mode != TEditorMode::ReadReceipt && request.Mode != TEditorMode::New) return nullptr;
    auto* e = new TSendMessageForm(owner);
    e->IsReceipt = request.Mode == TEditorMode::ReadReceipt;
    e->Attributes = request.Attributes;
    if (e->IsReceipt && request.Reply) {
        e->LetterDateTime = request.Reply->DateTime;
        e->ReplyMsgId = request.Reply->MsgId;
    }
    if (!request.ToName.empty()) e->SetToName(request.ToName);
    e->SetDestAddress(request.ToAddress);
    if (!request.Subject.empty()) e->SetSubject(request.Subject);
    e->Destinations = request.Destinations;
    e->ShowEditor();
    return e;
}

}  // namespace pelmar::ui
