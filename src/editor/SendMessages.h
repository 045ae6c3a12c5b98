#pragma once
// Turning a letter into stored messages: character replacements, header, control lines, one
// message per destination area (several when a uuencoded file goes in parts) or the rewrite of the
// message being edited. The main window hears of every message really written.
#include <cstdint>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "editor/Templates.h"
#include "msgbase/MessageBase.h"
#include "reader/Writes.h"

namespace pelmar {

class TAreaInfo;

struct TEditContext {
    std::string Body;
    int32_t MessagePosition = -1;  // list position of the message in its area
    std::string ListMsgId;         // the list entry's key, for the window told of the change
    // The message that must still be at the position (StillListed).
    TMessageIdentity Listed;
};

// What SendMessages reads of an editor.
struct TSendState {
    std::vector<TAreaInfo*> Destinations;
    uint16_t Attributes = 0;
    std::string ReplyMsgId;
    TEditContext EditContext;
    bool IsEditMessage = false;
    bool UUSplit = false;
    std::vector<std::string> UUSections;
    bool AutoAKA = false;
    // Header fields; the replacements are written back here.
    std::string FromName;
    std::string SelectedAKA;  // empty: none selected
    std::string DestAddress;
    bool DestAddressVisible = false;
    std::string ToName;
    std::string Subject;
    std::string Body;
    // Expands the text of parts 2.. of a split file.
    TTemplateInput Template;
    // After a partly failed send: the parts (1-based) still to write per destination; a destination
    // not listed gets every part.
    std::map<const TAreaInfo*, std::vector<int>> OnlyParts;
};

struct TSendFailure {
    TAreaInfo* Area = nullptr;
    std::vector<int> Parts;                     // 1-based parts not written (1 for an unsplit letter)
    std::string Reason;                         // CP1251, for the user; the area is not part of it
    TItemResult Result = TItemResult::Refused;  // Refused, Changed (edit in place) or Failed
};

struct TSendResult {
    int Written = 0;
    std::vector<TSendFailure> Failed;
    // Messages written, but with a problem the user must hear of (a Hudson base whose export list
    // could not be updated: the tosser will not send the message). "AREA: text", CP1251.
    std::vector<std::string> Warnings;
    bool Ok() const { return Failed.empty(); }
    // The one text for the user about the destinations not written (each area once); empty when
    // every destination was written.
    std::string Summary() const;
};

// Every occurrence of from[i] replaced by to[i], i in order; empty patterns are skipped and a
// missing replacement is empty.
std::string ApplyReplacements(const std::string& text, const std::vector<std::string>& from,
                              const std::vector<std::string>& to);
// The same with the lists of the templates "change1" and "change2".
std::string ApplyReplacements(const std::string& text, const TTemplateReader& read);
std::string ApplyReplacements(const std::string& text);

// The macro values of the header fields (first and second word of each name, the selected AKA, the
// destination address when shown) and whether the To name is a robot's.
void CollectHeaderValues(const TSendState& state, const std::vector<std::string>& robotNames,
                         TTemplateInput& input);
// The expanded template with `text` where its caret marker stood (at the start without one); its
// further markers are removed. A "@Курсор" of a quoted or forwarded text stays as it is.
std::string InsertAtCursor(const TExpandedTemplate& expanded, const std::string& text);
// The same for a text in which every "@Курсор" is a marker (one that holds no message text).
std::string InsertAtCursor(const std::string& expanded, const std::string& text);

// Writes the letter. Destinations not written are returned with the reason; their counters are
// not raised and the window is not told of them. Warnings of messages written also go to the
// window's status line.
TSendResult SendMessages(TSendState& state, const TTemplateReader& read);
TSendResult SendMessages(TSendState& state);

}  // namespace pelmar
