#pragma once
// The ways the main window opens an editor: each builds the request of its mode from the message
// and opens it through OpenRequestedEditor.
#include <string>

class QWidget;

namespace pelmar {
class TAreaInfo;
class TMessageBase;
}  // namespace pelmar

namespace pelmar::ui {

class TSendMessageForm;

TSendMessageForm* OpenNewLetter(QWidget* owner, TAreaInfo* current);
// `message`: a base whose current message has been read whole.
TSendMessageForm* OpenReply(QWidget* owner, const TMessageBase& message, TAreaInfo* shown, TAreaInfo* target,
                            bool withKludges);
TSendMessageForm* OpenForward(QWidget* owner, const TMessageBase& message, TAreaInfo* shown,
                              bool withKludges);
// Edits the stored message in place; `position` is its list position, `listMsgId` the list entry's
// MSGID (checked again before the rewrite).
TSendMessageForm* OpenEdit(QWidget* owner, const TMessageBase& message, TAreaInfo* shown, int position,
                           const std::string& listMsgId);
TSendMessageForm* OpenNetmailTo(QWidget* owner, const std::string& address, const std::string& toName);

}  // namespace pelmar::ui
