#pragma once
// The message model: one current message in memory plus the state of an open base, and the
// operations every storage format (*.MSG, Squish, JAM, Hudson) implements.
//
// Text in every field is CP1251 (the stored bytes are CP866; see ToAnsi/BodyToAnsi/ToOem below),
// except while RawText is on.
// Messages of an open base are addressed by their 0-based list position `Current`, never by the
// format's own message number.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "msgbase/Charset.h"

namespace pelmar {

// Days since 1899-12-30, the time of day as the fraction. Local time, no zone kept.
using TDateTime = double;

// ---- Common attribute set (`Attr`). Each format maps it to and from its own field. ----------------
inline constexpr uint16_t AttrLocal = 0x001;
inline constexpr uint16_t AttrKillSent = 0x002;
inline constexpr uint16_t AttrSent = 0x004;
inline constexpr uint16_t AttrCrash = 0x008;
inline constexpr uint16_t AttrDirect = 0x010;  // stored as the line "FLAGS DIR" except in JAM
inline constexpr uint16_t AttrRqRcpt = 0x020;
inline constexpr uint16_t AttrReqAudit = 0x040;
inline constexpr uint16_t AttrRetRcpt = 0x080;
inline constexpr uint16_t AttrFileAttach = 0x100;
inline constexpr int AttrCount = 9;
// Names in bit order: "Local", "KillSent", "Sent", "Crash", "Direct", "RqRcpt", "ReqAudit",
// "RetRcpt", "FileAttach".
extern const char* const AttrNames[AttrCount];

// Names of the set bits, each followed by one space ("Local Crash ").
std::string AttrText(uint16_t attr);
// The reverse of AttrText for user input: names separated by spaces or commas, case-insensitive.
// Returns false (and leaves `attr` unspecified) when a name is unknown.
bool ParseAttrText(const std::string& text, uint16_t& attr);

// ---- Text helpers --------------------------------------------------------------------------------
// Removes every LF and turns every soft CR (0x8D) into a space.
std::string CleanText(std::string_view text);
// Removes every LF and leaves every other byte alone (text kept in its stored character set).
std::string WithoutLineFeeds(std::string_view text);
// CR -> "\par ", and "\", "{", "}" get a backslash in front. Other bytes are copied.
std::string RtfEscape(std::string_view text);
// " * Origin:" / "---" at the start, case-sensitive.
bool IsOriginLine(std::string_view line);
bool IsTearLine(std::string_view line);
// CP1251 -> CP866, same length. Every stored string goes through it, whatever the view switch says.
std::string ToOem(std::string_view text);
// CP866 -> CP1251 always (names, subjects, header-type control values).
std::string ToAnsi(std::string_view text);
// CP866 -> CP1251 for bodies and control lines read by ReadMessage: converted only while the
// process-wide switch Settings.TextInWindowsCodePage is off; otherwise copied as stored.
std::string BodyToAnsi(std::string_view text);

// Strictly increasing serial for the MSGID line: local Unix seconds, or last + 1 when the clock has
// not moved on. Process-wide; call it from one thread.
uint32_t NewMsgIdSerial();
// "MSGID: " value: address + " " + the serial as 8 lower-case hex digits.
std::string FormatMsgId(const std::string& origAddr, uint32_t serial);

// ---- Warnings ------------------------------------------------------------------------------------
// Adds the Warnings of a write that succeeded to those collected over a run of writes, each line once.
void AddBaseWarnings(std::vector<std::string>& collected, const std::vector<std::string>& warnings);

// ---- Dates ---------------------------------------------------------------------------------------
// Builds a date-time; raises EConvertError when a field is out of range (month 1..12, day valid for
// the month, hour 0..23, minute and second 0..59, year 1..9999).
TDateTime EncodeDateTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
// Splits a date-time into fields (rounded to the nearest second).
void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute, int& second);
// The current local time.
TDateTime NowLocal();

// FTS date text. Accepts the FTS-0001 layout ("01 Jan 86  02:34:56"), the same with one space, the
// SEAdog layout ("Mon  1 Jan 86 02:34") and "DD-MM-YYYY HH:MM:SS"; anything else is 1970-01-01.
// An unknown month name or a field out of range raises EConvertError. Reads at most 20 bytes.
TDateTime ParseFtsDate(std::string_view text);
// "DD Mon YY  HH:MM:SS" (19 characters), as *.MSG and Squish store it.
std::string FormatFtsDate(TDateTime value);

// Julian day number of a proleptic-Gregorian date.
int64_t JulianDay(int year, int month, int day);
// Seconds since 1970-01-01 00:00:00 with the date-time taken as it is (no time-zone shift).
// Formats that store 32 bits truncate the result.
int64_t DateTimeToUnix(TDateTime value);
TDateTime UnixToDateTime(int64_t seconds);
// DOS stamp: date = (year-1980)<<9 | month<<5 | day; time = hour<<11 | minute<<5 | second/2.
void DateTimeToDos(TDateTime value, uint16_t& dosDate, uint16_t& dosTime);
// The reverse; a stamp whose fields are out of range raises EConvertError.
TDateTime DosToDateTime(uint16_t dosDate, uint16_t dosTime);

// ---- Address fields of a stored header -----------------------------------------------------------
// The zone/net/node/point numbers a format keeps for one end of a message (Hudson has no point in its
// header: it starts from 0 and takes the point from FMPT/TOPT).
struct TNetAddress {
    uint16_t Zone = 0;
    uint16_t Net = 0;
    uint16_t Node = 0;
    uint16_t Point = 0;
};
// ParseAddress (not strict: missing parts are 0) into the four fields.
TNetAddress ParseNetAddress(const std::string& text);
// zone:net/node.point with zone and point left out when 0.
std::string FormatNetAddress(const TNetAddress& address);
// Echomail address from a MSGID/REPLY value: its first word parsed and formatted again; empty when
// the net or the node is 0 ("somewhere.org 12345678" gives "").
std::string EchoAddress(const std::string& idValue);

// ---- Changes made by other programs -----------------------------------------------------------------
// What TMessageBase::Refresh found on disk since the base was opened or last refreshed. Positions
// below PositionsBefore keep the messages they held (or lost them: Gone) unless Kind is Renumbered;
// those from PositionsBefore up to PositionsAfter are messages other programs added.
struct TBaseRefresh {
    enum class TKind {
        Unchanged,    // the disk shows what the base held
        Changed,      // see Gone, Replaced and the appended positions; in-place edits are possible too
        Renumbered,   // the base was rebuilt or renumbered: no position held before is known to keep
                      // its message, and Current was moved to its message's new position (or -1)
        Unsupported,  // this format cannot take changes in place: nothing was done
        Busy,         // another program is writing the base (it holds the writers' lock, or an
                      // append is half-way): nothing was taken or changed; try again later
    };
    TKind Kind = TKind::Unchanged;
    int32_t PositionsBefore = 0;
    int32_t PositionsAfter = 0;
    std::vector<int32_t> Gone;      // positions whose message was removed
    std::vector<int32_t> Replaced;  // positions whose message was stored anew (rewritten in place)
    int32_t Appended() const {
        return PositionsAfter > PositionsBefore ? PositionsAfter - PositionsBefore : 0;
    }
};

// ---- The abstract base ---------------------------------------------------------------------------
class TMessageBase {
public:
    // Create: empty Kludges, UseFlagFiles true, OemView false; closed.
    TMessageBase();
    // A destructor cannot reach the format's Close, so every format's destructor calls Destroy().
    virtual ~TMessageBase();
    TMessageBase(const TMessageBase&) = delete;
    TMessageBase& operator=(const TMessageBase&) = delete;

    // ---- Fields (declared order) ----
    std::string Path;     // *.MSG: directory; Squish/JAM: path without extension; Hudson: char(board)+dir
    bool Active = false;  // the base is open; change it with SetActive
    int32_t Current = 0;  // current list position, 0-based
    std::string FromName;
    std::string ToName;
    std::string Subject;
    std::string OrigAddr;  // FormatAddress text
    std::string DestAddr;
    std::string ReplyId;  // text after "REPLY: "
    std::string MsgId;    // text after "MSGID: "
    TDateTime Date = 0;
    std::vector<std::string> Kludges;  // control lines without the leading 0x01
    std::string RtfText;               // RtfEscape(Text), filled by ReadMessage
    std::string Text;                  // body, lines ended by a single CR, no LF, no control lines
    bool Read = false;
    int32_t PersonalUnread = 0;  // result of CountUnread
    int32_t FontIndex = 0;       // 0 fixed font, 2 proportional font
    uint16_t Attr = 0;           // common attribute set (Attr* constants)
    bool Netmail = false;
    bool UseFlagFiles = true;
    bool OemView = false;
    // The stored bytes of what a read decodes by the message's declared set, for a caller that
    // wants them in Unicode rather than in CP1251 (pelmar-tool). Kept only while KeepStored is on:
    // ReadMessage fills the body, ReadHeader the names and subject where the format reads them
    // together with the control lines (JAM); NamesCharset stays Unknown where it does not.
    struct TStored {
        TCharset BodyCharset = TCharset::Unknown;
        std::string Body;
        TCharset NamesCharset = TCharset::Unknown;
        std::string FromName, ToName, Subject;
    };
    bool KeepStored = false;
    TStored Stored;
    // What went wrong after the last WriteMessage had stored the message (the tosser's export list
    // could not be updated, say): the write succeeded and must not be repeated, but the user should
    // hear of it. WriteMessage clears the list first; callers show its lines after a true result.
    std::vector<std::string> Warnings;
    // Why the last WriteMessage or DeleteCurrent that returned false refused (CP1251, for the user:
    // the base was locked by another program). Empty when the format gives no reason. A base never
    // shows it: the caller turns it into its outcome.
    std::string LastError;
    // While on, reads and writes leave text as the base stores it: names, subject, control lines and
    // body keep their bytes, whatever character set the message declares and whatever the view's
    // code-page switch says (and a byte 0x8D is not taken for a soft CR). Copy and move read and
    // write with it, so a message arrives byte for byte with the CHRS line that describes it.
    bool RawText = false;

    // ---- Virtual operations (this order is the class's operation table) ----
    // Number of messages (Hudson: in the board).
    virtual int32_t Count() = 0;
    // The format's own attribute names of the last read current message, each followed by a space.
    virtual void GetAttrText(std::string& text) = 0;
    // *.MSG: the current file exists; JAM: the current message carries the deleted bit; else false.
    virtual bool CheckCurrent() = 0;
    // Two change indicators; a cached message list is reused only while both are unchanged.
    virtual double ChangeStamp() = 0;
    virtual int32_t ChangeCounter() = 0;
    // Opens the base at Path. Success sets Active (Squish/JAM/Hudson also set Current = 0); a failure
    // leaves Active false and raises nothing unless the format says otherwise.
    virtual void Open() = 0;
    // Releases files and buffers; Active false. Message fields stay as they are.
    virtual void Close() = 0;
    // Creates an empty base at Path (*.MSG: the directory; JAM: the four files; Squish, Hudson: none).
    virtual void CreateBase() = 0;
    virtual bool Ready();  // true in every base
    // Positions on the first / following message; false when there is none.
    virtual bool First() = 0;
    virtual bool Next() = 0;
    // Names, subject, date, read mark and leading control lines of the current message into the
    // fields (Kludges, MsgId, ReplyId via ApplyKludgePass); no body. Used to fill the message list.
    virtual void ReadHeader() = 0;
    // Only MsgId of the current message (thread building).
    virtual void ReadMsgId() = 0;
    // Seek(position), then everything: header, Kludges, Text, RtfText, Attr, OrigAddr, DestAddr and
    // Read (*.MSG leaves Read as it was).
    virtual void ReadMessage(int32_t position) = 0;
    virtual void Seek(int32_t position) = 0;
    // Deletes the current message; false when the base could not be locked. The out values are JAM's
    // header offset and recipient CRC; callers may pass null.
    virtual bool DeleteCurrent(int32_t* headerOffset = nullptr, uint32_t* recipientCrc = nullptr) = 0;
    // Sets the read mark of the current message in the file.
    virtual void MarkRead() = 0;
    // Clears all message fields, appends an empty message at the end of the list, makes it current.
    virtual void NewMessage() = 0;
    // Stores the fields as the current message (after NewMessage or PrepareRewrite). Calls
    // PrepareKludgesForWrite (not JAM), AddOriginAndTearline and, after success, TouchFlagFile.
    // False when the base could not be locked.
    virtual bool WriteMessage() = 0;
    // Clears all message fields but keeps the current message's identity, so WriteMessage replaces it.
    virtual void PrepareRewrite() = 0;
    // The current position designates a message.
    virtual bool IsValid() = 0;
    // Only ToName and Read of the current message (fast counting).
    virtual void ReadToAndRead() = 0;
    // *.MSG: highest message number; JAM: modification date of the header file; else 0.
    virtual int32_t FileStamp() = 0;
    // Recomputes FileStamp from the disk and compares; Squish, Hudson: false.
    virtual bool FileStampIs(int32_t stamp) = 0;
    // Clears the read mark of the current message in the file, under the same rules as MarkRead (a
    // lock held elsewhere leaves it as it is). A format without a way to clear it leaves the mark:
    // callers read it back.
    virtual void MarkUnread() {}
    // Takes up what other programs changed on disk since Open or the last Refresh, keeping the
    // identity of every position this object handed out (a caller's Current keeps its message, a
    // message begun with NewMessage and not yet written stays pending, after the new ones) except
    // when the result is Renumbered. A damaged or truncated base raises EReadError and the base
    // stays as it was; a base another program is writing right now gives Busy and stays as it was
    // too. Formats that cannot do it return Unsupported.
    virtual TBaseRefresh Refresh();

    // ---- Non-virtual operations ----
    // Closes (SetActive(false)). Call it from each format's destructor.
    void Destroy();
    // Opens or closes; nothing when the value equals Active.
    void SetActive(bool value);
    // Nothing when equal to Path; otherwise stores it and reopens an open base.
    void SetPath(const std::string& value);
    // Number of unread messages; also counts PersonalUnread (unread, ToName == Settings.FullName).
    int32_t CountUnread();
    // Copies FromName, ToName, Subject, Date, Kludges, Text, OrigAddr, DestAddr, Attr and Read from
    // another base (after NewMessage on this one, before WriteMessage).
    void CopyFrom(const TMessageBase& other);
    // After a successful write: creates the netmail or echomail flag file named in the settings when
    // UseFlagFiles and the matching switch are on. Never reports errors.
    void TouchFlagFile();
    // Cleans Text; in echomail makes it end in a tearline and an origin line (adding what is missing).
    void AddOriginAndTearline();
    // Rich-text documents of the current message; defined with the rendering code.
    void RenderRtf(std::string& document);
    void RenderPlainRtf(std::string& document);

    // Clears FromName, ToName, Subject, OrigAddr, DestAddr, ReplyId, MsgId, Date, Kludges, RtfText,
    // Text, Read and Attr (NewMessage/PrepareRewrite).
    void ClearMessageFields();

protected:
    // The pass every format except JAM runs over Kludges after reading. Clears MsgId and ReplyId, then
    // line by line: "MSGID: "/"REPLY: " set MsgId/ReplyId; "FMPT "/"TOPT " set orig.Point/dest.Point
    // (a non-numeric value raises EConvertError, but only after the rest of the pass has run, so a
    // format that swallows it still has every other field); "INTL dest orig" overwrites zone, net and
    // node of both. Later lines win. Finally a "FLAGS" line containing "DIR" sets AttrDirect (never
    // clears it). `orig`/`dest` come in holding the format's header fields and go out corrected.
    void ApplyKludgePass(TNetAddress& orig, TNetAddress& dest);
    // Netmail: OrigAddr/DestAddr from the corrected fields. Echomail: from the first words of MsgId and
    // ReplyId (EchoAddress). Call after ApplyKludgePass in ReadMessage.
    void SetReadAddresses(const TNetAddress& orig, const TNetAddress& dest);
    // Before writing (every format except JAM): parses OrigAddr into `orig`, and DestAddr into `dest`
    // for netmail or when `destInEchomail` is set (*.MSG). For netmail puts INTL, TOPT, FMPT at the
    // top of Kludges (points never in INTL; TOPT/FMPT only when not 0), replacing such lines the list
    // already held. With AttrDirect appends "FLAGS DIR" unless it is there.
    void PrepareKludgesForWrite(TNetAddress& orig, TNetAddress& dest, bool destInEchomail);
    // Stored bytes of a name, subject or header-type control value to the field (ToAnsi), and a field
    // to the bytes to store (ToOem); both copy the bytes while RawText is on.
    std::string FieldFromStored(std::string_view stored) const;
    std::string FieldToStored(std::string_view text) const;
    // The body of ReadMessage: `stored` is converted by the set declared in Kludges (the control lines
    // the format keeps apart from the text, if any) or in the text itself, unless RawText is on, then
    // split into Text and further Kludges.
    void SplitStoredBody(std::string_view stored);
    // For formats that keep names and subject with the control lines: once Kludges are read, the
    // stored names and subject are decoded by the character set a CHRS line there declares (and kept
    // in Stored when KeepStored is on).
    void ReadNamesByDeclaration(std::string_view storedFrom, std::string_view storedTo,
                                std::string_view storedSubject);
};

}  // namespace pelmar
