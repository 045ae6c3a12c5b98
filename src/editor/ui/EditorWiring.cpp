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
    switch (request.Mode) {
        case TEditorMode::New:
            break;
        case TEditorMode::Reply:
            e.IsReply = true;
            if (request.Reply) {
                const pelmar::TReplyContext& source = *request.Reply;
                e.ReplyContext.QuotedText = source.QuotedText;
                e.ReplyContext.OrigDate = source.Date;
                e.ReplyContext.OrigTime = source.Time;
                e.ReplyContext.OrigFrom = source.FromName;
                e.ReplyContext.OrigTo = source.ToName;
                e.ReplyContext.OrigArea = source.SourceArea;
                e.ReplyMsgId = source.MsgId;
            }
            break;
        case TEditorMode::Forward:
            e.IsForward = true;
            if (request.Forward) {
                const pelmar::TForwardContext& source = *request.Forward;
                e.ForwardContext = {source.Text, source.Date, source.Time,
                                    source.From, source.To,   source.Subject};
            }
            break;
        case TEditorMode::Edit:
            e.IsEditMessage = true;
            if (request.Edit) e.EditContext = *request.Edit;
            break;
        case TEditorMode::ReadReceipt:
            e.IsReceipt = true;
            if (request.Reply) {
                e.LetterDateTime = request.Reply->DateTime;
                e.ReplyMsgId = request.Reply->MsgId;
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
