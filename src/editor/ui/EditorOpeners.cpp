#include "editor/ui/EditorOpeners.h"

#include <QDateTime>
#include <QLocale>

#include "areas/AreaLifetime.h"
#include "areas/gizmo.h"
#include "core/Settings.h"
#include "core/TextUtils.h"
#include "core/ui/QtText.h"
#include "editor/Quote.h"
#include "editor/ui/SendMessageForm.h"
#include "msgbase/MessageBase.h"

namespace pelmar::ui {

namespace {

QDateTime ToQDateTime(TDateTime value) {
    int y, mo, d, h, mi, s;
    DecodeDateTime(value, y, mo, d, h, mi, s);
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
}

std::string ShortDate(TDateTime value) {
    return FromQt(QLocale::system().toString(ToQDateTime(value).date(), QLocale::ShortFormat));
}

std::string TimeText(TDateTime value) {
    return FromQt(QLocale::system().toString(ToQDateTime(value).time(), QLocale::ShortFormat));
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

// Quoted and forwarded text must not end the new letter early with a second origin or tearline.
std::string Defuse(std::string text) {
    ReplaceAll(text, " * Origin: ", " + Origin: ");
    ReplaceAll(text, "---", "-+-");
    return text;
}

TSendMessageForm* Create(QWidget* owner) {
    return new TSendMessageForm(owner);
}

TAreaInfo* NetmailArea() {
    TAreaManager* manager = AreaManager();
    return manager != nullptr ? manager->NetmailAreaObject() : nullptr;
}

}  // namespace

uint16_t DefaultAttributes(const TAreaInfo& area) {
    return area.IsNetmail ? Settings.NetmailDef : Settings.EchomailDef;
}

TSendMessageForm* OpenNewLetter(QWidget* owner, TAreaInfo* current) {
    TSendMessageForm* e = Create(owner);
    if (current != nullptr && current->Kind > 0) {
        e->Attributes = DefaultAttributes(*current);
        e->Destinations = {current};
        e->SetToName("All");
    } else {
        e->Attributes = AttrLocal;
    }
    e->ShowEditor();
    return e;
}

TSendMessageForm* OpenReply(QWidget* owner, const TMessageBase& m, TAreaInfo* shown, TAreaInfo* target,
                            bool withKludges) {
    TSendMessageForm* e = Create(owner);
    e->IsReply = true;
    e->ReplyContext.QuotedText = Defuse(BuildReplyQuote(m.Text, m.Kludges, m.FromName, withKludges));
    e->ReplyContext.OrigDate = ShortDate(m.Date);
    e->ReplyContext.OrigTime = TimeText(m.Date);
    e->ReplyContext.OrigFrom = m.FromName;
    e->ReplyContext.OrigTo = m.ToName;
    e->ReplyContext.OrigArea = shown;
    e->ReplyMsgId = m.MsgId;
    e->SetToName(m.FromName);
    e->SetDestAddress(m.OrigAddr);
    e->SetSubject(CompactReplyPrefix("Re", "Re: " + m.Subject));
    if (target != nullptr) e->Destinations = {target};
    if (shown != nullptr) e->Attributes = DefaultAttributes(*shown);
    e->ShowEditor();
    return e;
}

TSendMessageForm* OpenForward(QWidget* owner, const TMessageBase& m, TAreaInfo* shown, bool withKludges) {
    TSendMessageForm* e = Create(owner);
    e->IsForward = true;
    std::string text = m.Text;
    if (withKludges)
        for (const auto& k : m.Kludges) text += "@" + k + "\r";
    e->ForwardContext.Text = Defuse(text);
    e->ForwardContext.Date = ShortDate(m.Date);
    e->ForwardContext.Time = TimeText(m.Date);
    e->ForwardContext.From = m.FromName + (m.OrigAddr.empty() ? "" : " <" + m.OrigAddr + ">");
    e->ForwardContext.To = m.ToName + (m.DestAddr.empty() ? "" : " <" + m.DestAddr + ">");
    e->ForwardContext.Subject = m.Subject;
    e->SetToName("All");
    e->SetSubject(CompactReplyPrefix("Fwd", "Fwd: " + m.Subject));
    if (shown != nullptr) e->Attributes = DefaultAttributes(*shown);
    e->ShowEditor();
    return e;
}

TSendMessageForm* OpenEdit(QWidget* owner, const TMessageBase& m, TAreaInfo* shown, int position,
                           const std::string& listMsgId) {
    TSendMessageForm* e = Create(owner);
    e->IsEditMessage = true;
    e->EditContext.Body = m.Text;
    e->EditContext.MessagePosition = position;
    e->EditContext.ListMsgId = listMsgId;
    e->EditContext.ListFrom = m.FromName;
    e->EditContext.ListSubject = m.Subject;
    e->SetFromName(m.FromName);
    e->SelectAka(m.OrigAddr);
    e->SetDestAddress(m.DestAddr);
    e->SetToName(m.ToName);
    e->SetSubject(m.Subject);
    e->Attributes = m.Attr;
    if (shown != nullptr) e->Destinations = {shown};
    e->ShowEditor();
    return e;
}

TSendMessageForm* OpenNetmailTo(QWidget* owner, const std::string& address, const std::string& toName) {
    TSendMessageForm* e = Create(owner);
    e->SetDestAddress(address);
    if (!toName.empty()) {
        e->SetToName(toName);
        e->Attributes = Settings.NetmailDef;
    }
    if (TAreaInfo* net = NetmailArea()) e->Destinations = {net};
    e->ShowEditor();
    return e;
}

}  // namespace pelmar::ui
