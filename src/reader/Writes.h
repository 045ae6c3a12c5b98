#pragma once
// The one way a listed message is acted on and a new one is written: the rule that recognises a
// listed message again, the outcome every write returns per item, the header every new message
// gets, the read mark, and the one summary a window shows when a command is over.
//
// A tosser may change a base at any time, so every command re-reads the message at its listed
// position and goes on only while it is the listed one. The writes take the area's lock and the
// base's own file lock (with its wait); none of them shows anything. The commands built on these
// pieces: SendMessages (send, edit in place), DeleteListed, CopyListed (copy, move),
// MultiplyMessage, MarkListedRead, MarkListedUnread, MarkAreaRead, SaveListed.
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "msgbase/MessageBase.h"

namespace pelmar {

class TAreaInfo;

// ---- Recognising a listed message ------------------------------------------------------------------
// What the message list knows of a message, to recognise it again after another program changed
// the base.
struct TMessageIdentity {
    std::string MsgId;
    std::string FromName;
    std::string ToName;
    std::string Subject;
    TDateTime Date = 0;
};

// One message a command acts on, as the list knows it.
struct TListedMessage {
    int32_t Position = 0;
    TMessageIdentity Identity;
    bool Deleted = false;
};

// The rule: the base's current fields carry the listed MSGID, names, subject and date.
bool IsSameMessage(const TMessageIdentity& identity, const TMessageBase& base);
// The header at the position (read now) is the listed message's. Positions, not Count(), bound
// the list: JAM keeps deleted entries at their positions.
bool StillListed(TMessageBase& base, int32_t position, const TMessageIdentity& identity);
// ReadMessage(position) and the same rule. False (base fields unspecified) when the message at the
// position is another one or there is none; read errors propagate.
bool RereadMessage(TMessageBase& base, int32_t position, const TMessageIdentity& identity);

// ---- Outcomes ----------------------------------------------------------------------------------------
enum class TItemResult {
    Done,
    Skipped,  // nothing to do (already deleted)
    Changed,  // the base no longer holds the listed message at its position
    Refused,  // the base is busy (another program holds its lock), read-only or will not open
    Failed,   // a read or write error
};

// What happened to one item of a command. Area and Reason (CP1251) say where and why for every
// result but Done and Skipped.
struct TItemOutcome {
    TItemResult Result = TItemResult::Done;
    std::string Area;
    std::string Reason;
    bool operator==(TItemResult result) const { return Result == result; }
};

// The name of an area as the user reads it in a summary.
std::string AreaLabel(const TAreaInfo& area);
// The reasons the layer gives, CP1251.
std::string ChangedReason();
std::string BusyReason();
std::string NotOpenReason(const TAreaInfo& area);
// A write or delete of `base` returned false: refused, with the reason the base gave, or the
// generic one.
TItemOutcome RefusedBy(const TAreaInfo& area, const TMessageBase& base);
TItemOutcome ChangedIn(const TAreaInfo& area);
TItemOutcome FailedIn(const TAreaInfo& area, const std::string& reason);

// The one text a window shows after a command, when every lock is released: `title`, then one line
// per area and reason (a count in brackets when it stands for several items), each area once per
// reason. Empty when every item was done or skipped.
std::string OutcomeSummary(const std::string& title, const std::vector<TItemOutcome>& outcomes);
// Outcomes that are neither Done nor Skipped.
int NotDoneCount(const std::vector<TItemOutcome>& outcomes);

// ---- The header of a new message -------------------------------------------------------------------
// "hhmm" with a leading "-" west of UTC: the local zone's offset at `when`.
std::string TzutcValue(time_t when);
// The same for a local date-time.
std::string TzutcValueAt(TDateTime local);

struct TNewHeader {
    std::string FromName;
    std::string ToName;
    std::string Subject;
    std::string OrigAddr;
    std::string DestAddr;  // empty: none
    uint16_t Attr = 0;
    bool Read = false;
    std::string ReplyMsgId;  // empty: no REPLY line
    // Control lines added after PID (the template's); empty lines are skipped.
    std::vector<std::string> ExtraKludges;
    // MSGID serial; 0 takes NewMsgIdSerial() (a caller that must know it can be kept takes it early).
    uint32_t MsgIdSerial = 0;
};

// Fills the current message's header (after NewMessage or PrepareRewrite): names, subject,
// addresses, the date now, attributes, read mark and the control lines MSGID (only with an origin
// address), REPLY, PID, the extra lines, and TZUTC unless an extra line carries one.
void FillNewHeader(TMessageBase& base, const TNewHeader& header);

// ---- The rule as every command applies it ----------------------------------------------------------
// Done when `base` still holds the listed message at its position (its header read now), Changed
// otherwise. A message that can no longer be read where it was listed (a tosser packed or rewrote
// the base meanwhile) is Changed too, with the read error in the reason.
TItemOutcome RecogniseListed(const TAreaInfo& area, TMessageBase& base, const TListedMessage& item);
// The same outcome for any read that applies the rule (`reread` is true when it found the listed
// message): Done, or Changed under `areaLabel`, with the read error when the read threw.
TItemOutcome RecognisedBy(const std::string& areaLabel, const std::function<bool()>& reread);

// ---- Read marks ----------------------------------------------------------------------------------
// The counters of a message just marked read: the area's unread count, and its personal count when
// the entry's own addressee is the user.
void CountMarkedRead(TAreaInfo& area, const std::string& entryToName);

// Marks the listed message read under the area's lock and reads the mark back. Only a mark that is
// really stored lowers the counters; a refused one (lock busy, read-only base) leaves the message
// unread and the counters as they were, to be tried again the next time it is shown.
TItemOutcome MarkListedRead(TAreaInfo& area, TMessageBase& base, const TListedMessage& item,
                            const std::string& entryToName);

// The counters of a message just marked unread again: the reverse of CountMarkedRead.
void CountMarkedUnread(TAreaInfo& area, const std::string& entryToName);

// The same for the unread mark: cleared under the area's lock and read back; only a mark really
// cleared raises the counters. Refused (lock busy, read-only base) leaves message and counters as
// they were.
TItemOutcome MarkListedUnread(TAreaInfo& area, TMessageBase& base, const TListedMessage& item,
                              const std::string& entryToName);

// Marks every listed message that is not read yet as read, one by one through MarkListedRead (so
// the counters follow each stored mark). One outcome per item, in order; items given as already
// read or deleted are Skipped. The first refusal (the base is busy or read-only) ends the pass:
// the items not tried yet are Refused with the same reason rather than each waiting for the lock.
// `progress` (optional) hears how many items are through; false from it stops the pass, and the
// items not tried are left out of the outcomes.
struct TMarkAreaItem {
    TListedMessage Message;
    std::string ToName;
    bool Read = false;
};
std::vector<TItemOutcome> MarkAreaRead(TAreaInfo& area, TMessageBase& base,
                                       const std::vector<TMarkAreaItem>& items,
                                       const std::function<bool(size_t done, size_t total)>& progress = {});

}  // namespace pelmar
