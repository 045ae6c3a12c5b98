#include "reader/Writes.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>

#include "areas/gizmo.h"
#include "core/Codepage.h"
#include "core/Settings.h"
#include "reader/MessageTransfer.h"

namespace pelmar {

namespace {

const char* const PidLine = "PID: Plm 1.0";

}  // namespace

bool IsSameMessage(const TMessageIdentity& identity, const TMessageBase& base) {
    return identity.MsgId == base.MsgId && identity.FromName == base.FromName &&
           identity.ToName == base.ToName && identity.Subject == base.Subject && identity.Date == base.Date;
}

bool StillListed(TMessageBase& base, int32_t position, const TMessageIdentity& identity) {
    base.Seek(position);
    if (!base.IsValid()) return false;
    base.ReadHeader();
    return IsSameMessage(identity, base);
}

bool RereadMessage(TMessageBase& base, int32_t position, const TMessageIdentity& identity) {
    base.Seek(position);
    if (!base.IsValid()) return false;
    base.ReadMessage(position);
    return IsSameMessage(identity, base);
}

std::string AreaLabel(const TAreaInfo& area) {
    return area.AreaName.empty() ? area.Name : area.AreaName;
}

std::string ChangedReason() {
    return Utf8ToAnsi("письмо изменено или удалено другой программой");
}

std::string BusyReason() {
    return Utf8ToAnsi("база занята другой программой");
}

std::string NotOpenReason(const TAreaInfo& area) {
    return Utf8ToAnsi("база не открывается: ") + area.Path;
}

TItemOutcome RefusedBy(const TAreaInfo& area, const TMessageBase& base) {
    return {TItemResult::Refused, AreaLabel(area), base.LastError.empty() ? BusyReason() : base.LastError};
}

TItemOutcome ChangedIn(const TAreaInfo& area) {
    return {TItemResult::Changed, AreaLabel(area), ChangedReason()};
}

TItemOutcome FailedIn(const TAreaInfo& area, const std::string& reason) {
    return {TItemResult::Failed, AreaLabel(area), reason};
}

int NotDoneCount(const std::vector<TItemOutcome>& outcomes) {
    int count = 0;
    for (const TItemOutcome& outcome : outcomes)
        count += outcome.Result != TItemResult::Done && outcome.Result != TItemResult::Skipped ? 1 : 0;
    return count;
}

std::string OutcomeSummary(const std::string& title, const std::vector<TItemOutcome>& outcomes) {
    struct TLine {
        std::string Area, Reason;
        int Count = 0;
    };
    std::vector<TLine> lines;
    for (const TItemOutcome& outcome : outcomes) {
        if (outcome.Result == TItemResult::Done || outcome.Result == TItemResult::Skipped) continue;
        bool found = false;
        for (TLine& line : lines) {
            if (line.Area == outcome.Area && line.Reason == outcome.Reason) {
                ++line.Count;
                found = true;
                break;
            }
        }
        if (!found) lines.push_back({outcome.Area, outcome.Reason, 1});
    }
    if (lines.empty()) return {};
    std::string text = title;
    for (const TLine& line : lines) {
        text += "\r\n";
        if (!line.Area.empty()) text += line.Area + ": ";
        text += line.Reason;
        if (line.Count > 1) text += " (" + std::to_string(line.Count) + ")";
    }
    return text;
}

std::string TzutcValue(time_t when) {
    struct tm local {};
    if (localtime_r(&when, &local) == nullptr) return "0000";
    const long minutes = local.tm_gmtoff / 60;
    const long magnitude = std::labs(minutes);
    char text[16];
    std::snprintf(text, sizeof text, "%s%02ld%02ld", minutes < 0 ? "-" : "", magnitude / 60 % 100,
                  magnitude % 60);
    return text;
}

std::string TzutcValueAt(TDateTime localValue) {
    int year, month, day, hour, minute, second;
    DecodeDateTime(localValue, year, month, day, hour, minute, second);
    struct tm fields {};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    fields.tm_isdst = -1;
    const time_t when = mktime(&fields);
    return TzutcValue(when == static_cast<time_t>(-1) ? time(nullptr) : when);
}

void FillNewHeader(TMessageBase& base, const TNewHeader& header) {
    base.Read = header.Read;
    base.FromName = header.FromName;
    base.ToName = header.ToName;
    base.Subject = header.Subject;
    base.OrigAddr = header.OrigAddr;
    if (!header.DestAddr.empty()) base.DestAddr = header.DestAddr;
    base.Date = NowLocal();
    base.Attr = header.Attr;
    base.Kludges.clear();
    // A MSGID names its origin; without one there is nothing to name.
    if (!header.OrigAddr.empty()) {
        const uint32_t serial = header.MsgIdSerial != 0 ? header.MsgIdSerial : NewMsgIdSerial();
        base.Kludges.push_back("MSGID: " + FormatMsgId(header.OrigAddr, serial));
    }
    if (!header.ReplyMsgId.empty()) base.Kludges.push_back("REPLY: " + header.ReplyMsgId);
    base.Kludges.push_back(PidLine);
    bool hasTz = false;
    for (const std::string& line : header.ExtraKludges) {
        if (line.empty()) continue;  // an empty control line says nothing
        base.Kludges.push_back(line);
        hasTz |= line.rfind("TZUTC:", 0) == 0;
    }
    if (!hasTz) base.Kludges.push_back("TZUTC: " + TzutcValueAt(base.Date));
}

TItemOutcome RecognisedBy(const std::string& areaLabel, const std::function<bool()>& reread) {
    try {
        if (reread()) return {};
    } catch (const std::exception& e) {
        return {TItemResult::Changed, areaLabel, ChangedReason() + " (" + e.what() + ")"};
    }
    return {TItemResult::Changed, areaLabel, ChangedReason()};
}

TItemOutcome RecogniseListed(const TAreaInfo& area, TMessageBase& base, const TListedMessage& item) {
    return RecognisedBy(AreaLabel(area), [&] { return StillListed(base, item.Position, item.Identity); });
}

void CountMarkedRead(TAreaInfo& area, const std::string& entryToName) {
    if (entryToName == Settings.FullName) DecrementToZero(area.PersonalUnread);
    DecrementToZero(area.Read);
}

namespace {

// Sets or clears the listed message's read mark under the area's lock and reads it back.
TItemOutcome StoreListedMark(TAreaInfo& area, TMessageBase& base, const TListedMessage& item, bool read) {
    try {
        const TAreaLock lock(area);
        if (TItemOutcome listed = RecogniseListed(area, base, item); listed.Result != TItemResult::Done)
            return listed;
        base.Seek(item.Position);
        if (read)
            base.MarkRead();
        else
            base.MarkUnread();
        // The mark is stored only when the base took its lock and could write: read it back.
        base.Seek(item.Position);
        base.ReadToAndRead();
        if (base.Read != read) {
            return {TItemResult::Refused, AreaLabel(area),
                    Utf8ToAnsi(read ? "отметка о прочтении не записана: база занята или только для чтения"
                                    : "отметка о прочтении не снята: база занята или только для чтения")};
        }
    } catch (const std::exception& e) {
        return FailedIn(area, e.what());
    }
    return {};
}

}  // namespace

TItemOutcome MarkListedRead(TAreaInfo& area, TMessageBase& base, const TListedMessage& item,
                            const std::string& entryToName) {
    TItemOutcome outcome = StoreListedMark(area, base, item, true);
    if (outcome.Result == TItemResult::Done) CountMarkedRead(area, entryToName);
    return outcome;
}

void CountMarkedUnread(TAreaInfo& area, const std::string& entryToName) {
    if (entryToName == Settings.FullName) ++area.PersonalUnread;
    ++area.Read;
}

TItemOutcome MarkListedUnread(TAreaInfo& area, TMessageBase& base, const TListedMessage& item,
                              const std::string& entryToName) {
    TItemOutcome outcome = StoreListedMark(area, base, item, false);
    if (outcome.Result == TItemResult::Done) CountMarkedUnread(area, entryToName);
    return outcome;
}

std::vector<TItemOutcome> MarkAreaRead(TAreaInfo& area, TMessageBase& base,
                                       const std::vector<TMarkAreaItem>& items,
                                       const std::function<bool(size_t done, size_t total)>& progress) {
    std::vector<TItemOutcome> outcomes;
    outcomes.reserve(items.size());
    std::optional<TItemOutcome> refused;
    for (const TMarkAreaItem& item : items) {
        if (progress && !progress(outcomes.size(), items.size())) break;
        if (item.Read || item.Message.Deleted) {
            outcomes.push_back({TItemResult::Skipped, {}, {}});
        } else if (refused) {
            outcomes.push_back(*refused);
        } else {
            outcomes.push_back(MarkListedRead(area, base, item.Message, item.ToName));
            if (outcomes.back().Result == TItemResult::Refused) refused = outcomes.back();
        }
    }
    return outcomes;
}

}  // namespace pelmar
