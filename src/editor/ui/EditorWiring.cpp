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

namespace {

// The inputs of the mode: what the templates fill in and what sending checks.
void ApplyModeContext(TSendMessageForm& e, const TEditorRequest& request) {
    e.Mode = request.Mode;
    switch (request.Mode) {
        case TEditorMode::New:
        case TEditorMode::Draft:
            break;
        case TEditorMode::Reply:
            if (request.Reply) e.Reply = *request.Reply;
            break;
        case TEditorMode::Forward:
            if (request.Forward) e.Forward = *request.Forward;
            break;
        case TEditorMode::Edit:
            if (request.Edit) e.EditContext = *request.Edit;
            break;
        case TEditorMode::ReadReceipt:
            if (request.Reply) {
                e.Reply.DateTime = request.Reply->DateTime;
                e.Reply.MsgId = request.Reply->MsgId;
            }
            break;
    }
}

}  // namespace

TSendMessageForm* OpenRequestedEditor(QWidget* owner, const TEditorRequest& request) {
    auto* e = new TSendMessageForm(owner);
    ApplyModeContext(*e, request);
    e->Attributes = request.Attributes;
    if (!request.FromName.empty()) e->SetFromName(request.FromName);
    for (const std::string& aka : request.FromAddresses) e->SelectAka(aka);
    e->SelectAka(request.SelectedFromAddress);
    if (!request.ToName.empty()) e->SetToName(request.ToName);
    for (const std::string& address : request.ToAddresses) e->SetDestAddress(address);
    if (!request.ToAddress.empty()) e->SetDestAddress(request.ToAddress);
    if (!request.Subject.empty()) e->SetSubject(request.Subject);
    e->Destinations = request.Destinations;
    e->ShowEditor();
    return e;
}

}  // namespace pelmar::ui
