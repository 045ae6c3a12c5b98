#pragma once
// The reading commands' engine side: the shown message taken as a copy, what is saved, printed and
// taken into the template lists, and the requests the editor-opening commands hand to the editor.
//
// The shared base's fields change under every reader of the base (search, the editor, the
// pseudographics read), so a command never works on them directly: it reads the message at the
// entry's position again, checks that it still is the entry's message, and works on a copy.
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "editor/EditorMode.h"
#include "editor/SendMessages.h"
#include "msgbase/MessageBase.h"
#include "reader/Writes.h"

namespace pelmar {

class TAreaInfo;

struct TShownMessage {
    std::string FromName;
    std::string ToName;
    std::string Subject;
    std::string OrigAddr;
    std::string DestAddr;
    std::string MsgId;
    std::string ReplyId;
    TDateTime Date = 0;
    std::vector<std::string> Kludges;
    std::string Text;  // lines ended by CR
    uint16_t Attr = 0;
    bool Read = false;
    int32_t Position = 0;
};

// The base's current message fields, Position = Current.
TShownMessage TakeShownMessage(const TMessageBase& base);

// Sets the process-wide code-page switch for a scope and restores it however the scope ends (a read
// that throws must not leave every later read unconverted).
class TCodePageSwitchScope {
public:
    explicit TCodePageSwitchScope(bool windowsCodePage);
    ~TCodePageSwitchScope();
    TCodePageSwitchScope(const TCodePageSwitchScope&) = delete;
    TCodePageSwitchScope& operator=(const TCodePageSwitchScope&) = delete;

private:
    bool saved_;
};

// The control lines as the view appends them after the body: one per line, starting on a line of
// their own.
std::string KludgeViewText(const std::string& body, const std::vector<std::string>& kludges);

// ---- Header texts --------------------------------------------------------------------------------
// Name, then " [" + address + "]" when there is one.
std::string SenderText(const TShownMessage& message);
std::string AddresseeText(const TShownMessage& message);
// sender + "-" + addressee + ": " + subject (names only).
std::string PrintTitle(const TShownMessage& message);

// ---- Saving --------------------------------------------------------------------------------------
// The text file: UTF-8, LF line ends; with the header block of seven lines before the body when
// `withHeader`. `dateText` is the date and time in the user's format.
std::string SavedTextFile(const TShownMessage& message, bool withHeader, const std::string& areaDescription,
                          const std::string& dateText);
// A rendered document as saved: it declares its CP1251 bytes so that word processors read them.
std::string SavedRtfFile(const std::string& document);
// The name of the counter-th file when several messages are saved: the counter goes before the
// first '.' of the file name (not of the folders), or at its end.
std::string NumberedFileName(const std::string& chosen, int counter);

enum class TSaveFormat { TextWithHeader = 1, Text = 2, Rtf = 3 };  // the dialog's filters in order

// Saves each listed message of `area`, read again from `base`, into `chosen` (a file-system path, one
// message) or the numbered names beside it (several); the saved header names the area by its
// description. RTF is the coloured document, whatever the colour setting says. `dateText` formats a
// message date as the user reads it. One outcome per item: done; changed (no longer in the base as
// listed, not saved); failed (the file could not be written, with the path and the reason). The first
// failed write stops the command: the files before it stay, the items after it fail as not tried.
std::vector<TItemOutcome> SaveListed(const TAreaInfo& area, TMessageBase& base,
                                     const std::vector<TListedMessage>& items, TSaveFormat format,
                                     const std::string& chosen, int fontIndex,
                                     const std::function<std::string(TDateTime)>& dateText);

// ---- Editor requests -----------------------------------------------------------------------------
struct TEditorRequest {
    TEditorMode Mode = TEditorMode::New;
    std::string FromName;
    std::vector<std::string> FromAddresses;  // added to the editor's own list
    std::string SelectedFromAddress;         // empty: the editor's default
    std::string ToName;
    std::string ToAddress;
    std::vector<std::string> ToAddresses;  // added to the editor's list of destination addresses
    std::string Subject;
    uint16_t Attributes = 0;
    std::vector<TAreaInfo*> Destinations;
    std::optional<TReplyContext> Reply;
    std::optional<TForwardContext> Forward;
    std::optional<TEditContext> Edit;
};

// The date texts of the message, in the user's formats (the window formats them).
struct TDateTexts {
    std::string ShortDate;
    std::string LongTime;
};

// Builds the quoted text of a reply from the body and (when asked) the control lines.
using TQuoteBuilder =
    std::function<std::string(std::string_view text, const std::vector<std::string>& kludges,
                              const std::string& fromName, bool withKludges)>;

// Settings' default attributes for a new message into `area`.
uint16_t DefaultAttributes(const TAreaInfo* area);
// " * Origin: " -> " + Origin: " and "---" -> "-+-", so that neither is taken for the real thing.
std::string DefuseOriginAndTearline(std::string text);

// Into the current area when it is an area with a base kind (its base need not be open yet).
TEditorRequest NewLetterRequest(TAreaInfo* currentArea);
TEditorRequest ReplyRequest(const TShownMessage& message, TAreaInfo* currentArea, TAreaInfo* target,
                            bool withKludges, const TDateTexts& dates, const TQuoteBuilder& quote);
TEditorRequest ForwardRequest(const TShownMessage& message, TAreaInfo* currentArea, bool withKludges,
                              const TDateTexts& dates);
TEditorRequest EditRequest(const TShownMessage& message, TAreaInfo* currentArea, const std::string& listKey);
TEditorRequest ReadReceiptRequest(const TShownMessage& message, TAreaInfo* currentArea,
                                  const TDateTexts& dates);
// A clicked FTN address: a letter towards it, into the netmail area when one is configured.
TEditorRequest NetmailToRequest(const std::string& address, TAreaInfo* currentArea, TAreaInfo* netmailArea);

// Read receipts: asked for, not our own, unread, and offered at most once per message per session.
class TReceiptLog {
public:
    bool ShouldOffer(const TShownMessage& message, bool entryUnread, const std::string& areaId);

private:
    std::set<std::pair<std::string, std::string>> offered_;
};

}  // namespace pelmar
