#include "editor/ui/EditorOpeners.h"

#include "areas/AreaLifetime.h"
#include "areas/gizmo.h"
#include "core/Settings.h"
#include "core/ui/QtText.h"
#include "editor/Quote.h"
#include "editor/ui/EditorWiring.h"
#include "msgbase/MessageBase.h"
#include "reader/MessageDates.h"
#include "reader/ReadingCommands.h"

namespace pelmar::ui {

namespace {

TAreaInfo* NetmailArea() {
    TAreaManager* manager = AreaManager();
    return manager != nullptr ? manager->NetmailAreaObject() : nullptr;
}

}  // namespace

TSendMessageForm* OpenNewLetter(QWidget* owner, TAreaInfo* current) {
    return OpenRequestedEditor(owner, NewLetterRequest(current));
}

TSendMessageForm* OpenReply(QWidget* owner, const TMessageBase& m, TAreaInfo* shown, TAreaInfo* target,
                            bool withKludges) {
    return OpenRequestedEditor(owner, ReplyRequest(TakeShownMessage(m), shown, target, withKludges,
                                                   MessageDateTexts(m.Date), BuildReplyQuote));
}

TSendMessageForm* OpenForward(QWidget* owner, const TMessageBase& m, TAreaInfo* shown, bool withKludges) {
    return OpenRequestedEditor(
        owner, ForwardRequest(TakeShownMessage(m), shown, withKludges, MessageDateTexts(m.Date)));
}

TSendMessageForm* OpenEdit(QWidget* owner, const TMessageBase& m, TAreaInfo* shown, int position,
                           const std::string& listMsgId) {
    TShownMessage message = TakeShownMessage(m);
    message.Position = position;
    return OpenRequestedEditor(owner, EditRequest(message, shown, listMsgId));
}

TSendMessageForm* OpenNetmailTo(QWidget* owner, const std::string& address, const std::string& toName) {
    TAreaInfo* net = NetmailArea();
    TEditorRequest request = NetmailToRequest(address, net, net);
    // A letter to a node always takes the netmail defaults, with or without a netmail area.
    request.Attributes = Settings.NetmailDef;
    request.ToName = toName;
    return OpenRequestedEditor(owner, request);
}

}  // namespace pelmar::ui
