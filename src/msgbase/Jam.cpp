#include "msgbase/Jam.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <limits>
#include <stdexcept>
#include <system_error>

#include "core/Codepage.h"
#include "core/Errors.h"
#include "core/Settings.h"
#include "msgbase/BaseFile.h"
#include "msgbase/BodyText.h"
#include "msgbase/Charset.h"

namespace pelmar {

namespace {

constexpr const char* Extensions[] = {".jhr", ".jdt", ".jdx", ".jlr"};
// Most headers with their subfields fit; longer ones take a second read.
constexpr size_t HeaderReadAhead = 512;
// A walk reads the headers in file order through a window this large.
constexpr size_t WindowSize = 32768;
// Offsets in the files are 32-bit.
constexpr uint64_t MaxFileOffset = std::numeric_limits<uint32_t>::max();

bool LineStartsWith(const std::string& text, std::string_view prefix) {
    return text.size() >= prefix.size() && std::string_view(text).substr(0, prefix.size()) == prefix;
}

// 32-bit DOS stamp of a local time: date word in the high half, time word in the low half.
int32_t DosStamp(time_t seconds) {
    struct tm local {};
    if (!localtime_r(&seconds, &local)) return 0;
    const int year = local.tm_year + 1900;
    if (year < 1980 || year > 2107) return 0;
    const uint32_t date = static_cast<uint32_t>((year - 1980) << 9 | (local.tm_mon + 1) << 5 | local.tm_mday);
    const uint32_t time = static_cast<uint32_t>(local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2);
    return static_cast<int32_t>(date << 16 | time);
}

}  // namespace

const std::string& JamWriteLockText() {
    static const std::string text =
        Utf8ToAnsi("Не могу записать письмо т.к. не удалось получить доступ к JAM-базе!");
    return text;
}

const std::string& JamDeleteLockText() {
    static const std::string text =
        Utf8ToAnsi("Не могу удалить письмо т.к. не удалось получить доступ к JAM-базе!");
    return text;
}

TJAM::~TJAM() {
    Destroy();
}

// ---- Files ---------------------------------------------------------------------------------------

std::string TJAM::FileName(const char* extension) const {
    std::string dir, stem;
    SplitBasePath(Path, dir, stem);
    return BaseFilePath(dir, stem, extension, {".jhr", ".jdt", ".jdx", ".jlr"});
}

bool TJAM::OpenFiles() {
    std::string dir, stem;
    SplitBasePath(Path, dir, stem);
    const auto openExisting = [&](TBaseFile& file, const char* extension) {
        const std::string name = FindFileNoCase(dir, stem + extension);
        // A read-only base still opens for reading; its writes then fail to lock.
        return !name.empty() && file.Open(name);
    };
    if (!openExisting(Jhr, ".jhr") || !openExisting(Jdt, ".jdt") || !openExisting(Jdx, ".jdx")) return false;
    Jhr.SetReadAhead(WindowSize, WindowSize);
    // Tossers on this platform often leave the .jlr out; nothing here reads or writes it.
    openExisting(Jlr, ".jlr");
    return true;
}

void TJAM::CloseFiles() {
    Jhr.Close();
    Jdt.Close();
    Jdx.Close();
    Jlr.Close();
}

TJamBaseHeader TJAM::ReadBaseHeaderFromDisk() const {
    TJamBaseHeader header;
    if (!TJamBaseHeader::Parse(Jhr.ReadAt(0, JamBaseHeaderSize), header))
        throw EReadError("JAM: the base header is damaged");
    return header;
}

std::vector<TJamIndexEntry> TJAM::ReadIndexFromDisk() const {
    std::vector<TJamIndexEntry> entries;
    TJamIndexEntry::ParseAll(Jdx.ReadAt(0, Jdx.Size()), entries);
    return entries;
}

// ---- Open and close ------------------------------------------------------------------------------

void TJAM::Open() {
    Close();
    try {
        if (!OpenFiles()) {
            CloseFiles();
            return;
        }
        BaseHeader = ReadBaseHeaderFromDisk();
        Index = ReadIndexFromDisk();
        KnownOnDisk = Index.size();
        CheckedJhrSize = Jhr.Size();
    } catch (const std::exception&) {
        CloseFiles();
        Index.clear();
        return;
    }
    MsgHeader = {};
    PendingPosition = -1;
    Current = 0;
    Active = true;
}

void TJAM::Close() {
    DropWindow();
    CloseFiles();
    Index.clear();
    Index.shrink_to_fit();
    KnownOnDisk = 0;
    PendingPosition = -1;
    Active = false;
}

void TJAM::CreateBase() {
    // Names are chosen before any file is created so that all four take the same case.
    std::string names[std::size(Extensions)];
    for (size_t i = 0; i < std::size(Extensions); ++i) names[i] = FileName(Extensions[i]);
    const std::string& jhr = names[0];
    const std::string& jdt = names[1];
    const std::string& jdx = names[2];
    // Never over an existing base: only absent files are made. An index left without its header
    // file would point into a fresh header file, so such remains are left for the user to look at.
    const int64_t jhrSize = ExistingFileSize(jhr);
    if (jhrSize < 0 && ExistingFileSize(jdx) > 0)
        throw EWriteError("JAM: " + jdx + " exists without its header file; nothing was created");
    // Headers of messages without their text or index: a fresh index would hand out the numbers of
    // the messages already there, so the damage is left for the user to look at, too.
    if (jhrSize > static_cast<int64_t>(JamBaseHeaderSize)) {
        for (const std::string* companion : {&jdt, &jdx}) {
            if (ExistingFileSize(*companion) < 0)
                throw EWriteError("JAM: " + jhr + " holds messages but " + *companion +
                                  " is missing; nothing was created");
        }
    }
    for (size_t i = 1; i < std::size(Extensions); ++i) CreateNewFile(names[i]);
    // The header file last: until it exists, the files are not a base anyone opens.
    TJamBaseHeader header;
    header.DateCreated = static_cast<uint32_t>(DateTimeToUnix(NowLocal()));
    header.PasswordCRC = 0xFFFFFFFF;
    header.BaseMsgNum = 1;
    CreateNewFile(jhr, header.Serialize());
}

// ---- Other programs' changes ---------------------------------------------------------------------

TBaseRefresh TJAM::Refresh() {
    TBaseRefresh result;
    if (!Active) return result;
    DropWindow();
    // Writers add a message under the lock on the first byte of the header file, and the files are
    // consistent only once they let go: read under a shared lock, and leave a base being written.
    const TRangeLock lock(Jhr.Fd(), 0, 1, MarkReadLockWait(), TRangeLock::TMode::Shared);
    if (lock.HeldElsewhere()) {
        result.Kind = TBaseRefresh::TKind::Busy;
        return result;
    }
    // Everything is read and checked before anything in memory changes.
    const TJamBaseHeader header = ReadBaseHeaderFromDisk();
    const uint64_t indexBytes = Jdx.Size();
    const uint64_t headerBytes = Jhr.Size();
    const bool pending = PendingPosition >= 0 && static_cast<size_t>(PendingPosition) + 1 == Index.size() &&
                         static_cast<size_t>(PendingPosition) >= KnownOnDisk;
    const size_t known = std::min<size_t>(KnownOnDisk, Index.size());
    result.PositionsBefore = result.PositionsAfter = static_cast<int32_t>(known);
    // Writers change the counters with every message they add, delete or store again.
    if (header.ModCounter == BaseHeader.ModCounter && header.DateCreated == BaseHeader.DateCreated &&
        header.BaseMsgNum == BaseHeader.BaseMsgNum &&
        header.ActiveMsgs + (pending ? 1 : 0) == BaseHeader.ActiveMsgs &&
        indexBytes == uint64_t{KnownOnDisk} * JamIndexEntrySize && headerBytes >= CheckedJhrSize)
        return result;
    // A writer that does not lock may be half-way through an append: an entry being written, or
    // new entries whose headers are not all there yet. That is news for later, not damage; only
    // what was known before must read back whole.
    const auto halfWritten = [&result] {
        result = TBaseRefresh{};
        result.Kind = TBaseRefresh::TKind::Busy;
        return result;
    };
    const bool grown = indexBytes > uint64_t{known} * JamIndexEntrySize;
    if (indexBytes % JamIndexEntrySize != 0) {
        if (grown) return halfWritten();
        throw EReadError("JAM: the index of " + Path + " ends in a partial entry");
    }
    std::vector<TJamIndexEntry> disk;
    TJamIndexEntry::ParseAll(Jdx.ReadAt(0, indexBytes), disk);
    if (disk.size() != indexBytes / JamIndexEntrySize)
        throw EReadError("JAM: the index of " + Path + " could not be read whole");
    for (size_t i = 0; i < disk.size(); ++i) {
        if (disk[i].Deleted() || uint64_t{disk[i].HdrOffset} + JamMsgHeaderSize <= headerBytes) continue;
        if (i >= known) return halfWritten();
        throw EReadError("JAM: index entry " + std::to_string(i) + " of " + Path +
                         " points past the end of the header file");
    }
    // Headers are appended in the order of their entries: the last new one whole means all are.
    for (size_t i = disk.size(); i > known; --i) {
        const TJamIndexEntry& last = disk[i - 1];
        if (last.Deleted()) continue;
        TJamMsgHeader fixed;
        if (!TJamMsgHeader::Parse(Jhr.ReadAt(last.HdrOffset, JamMsgHeaderSize), fixed) ||
            uint64_t{last.HdrOffset} + JamMsgHeaderSize + fixed.SubfieldLen > headerBytes)
            return halfWritten();
        break;
    }

    result.PositionsAfter = static_cast<int32_t>(disk.size());
    const bool rebuilt = disk.size() < known || header.DateCreated != BaseHeader.DateCreated ||
                         header.BaseMsgNum != BaseHeader.BaseMsgNum;
    if (rebuilt) {
        result.Kind = TBaseRefresh::TKind::Renumbered;
        // Current follows its message where the rebuilt index still leads to the same header.
        if (!pending || Current != PendingPosition) {
            int32_t moved = -1;
            if (Current >= 0 && static_cast<size_t>(Current) < known && !Index[Current].Deleted()) {
                for (size_t i = 0; i < disk.size(); ++i) {
                    if (disk[i].HdrOffset == Index[Current].HdrOffset) {
                        moved = static_cast<int32_t>(i);
                        break;
                    }
                }
            }
            Current = moved;
        }
    } else {
        for (size_t i = 0; i < known; ++i) {
            const TJamIndexEntry& was = Index[i];
            const TJamIndexEntry& now = disk[i];
            if (was.HdrOffset == now.HdrOffset && was.ToCRC == now.ToCRC) continue;
            if (now.Deleted())
                result.Gone.push_back(static_cast<int32_t>(i));
            else
                result.Replaced.push_back(static_cast<int32_t>(i));
        }
        const bool changed = !result.Gone.empty() || !result.Replaced.empty() || disk.size() != known ||
                             header.ModCounter != BaseHeader.ModCounter ||
                             header.ActiveMsgs != BaseHeader.ActiveMsgs;
        if (changed) result.Kind = TBaseRefresh::TKind::Changed;
    }

    TJamIndexEntry pendingEntry;
    if (pending) pendingEntry = Index.back();
    Index = std::move(disk);
    KnownOnDisk = Index.size();
    CheckedJhrSize = headerBytes;
    BaseHeader = header;
    if (pending) {
        // The message being written stays last; NewMessage counted it in the header, so does this.
        const bool wasCurrent = Current == PendingPosition;
        pendingEntry.HdrOffset = static_cast<uint32_t>(headerBytes);
        Index.push_back(pendingEntry);
        PendingPosition = static_cast<int32_t>(Index.size()) - 1;
        if (wasCurrent) Current = PendingPosition;
        ++BaseHeader.ActiveMsgs;
    } else {
        PendingPosition = -1;
    }
    return result;
}

// ---- Counters and stamps -------------------------------------------------------------------------

int32_t TJAM::Count() {
    return Active ? static_cast<int32_t>(BaseHeader.ActiveMsgs) : 0;
}

double TJAM::ChangeStamp() {
    if (!Active) return 0;
    try {
        return static_cast<double>(Jhr.Size()) + BaseHeader.ActiveMsgs;
    } catch (const std::exception&) {
        return BaseHeader.ActiveMsgs;
    }
}

int32_t TJAM::ChangeCounter() {
    return static_cast<int32_t>(BaseHeader.ModCounter);
}

int32_t TJAM::FileStamp() {
    std::string dir, stem;
    SplitBasePath(Path, dir, stem);
    const std::string name = FindFileNoCase(dir, stem + ".jhr");
    struct stat st {};
    if (name.empty() || ::stat(name.c_str(), &st) != 0) return 0;
    return DosStamp(st.st_mtim.tv_sec);
}

bool TJAM::FileStampIs(int32_t stamp) {
    return FileStamp() == stamp;
}

void TJAM::GetAttrText(std::string& text) {
    text = JamAttributeText(MsgHeader.Attribute);
}

bool TJAM::CheckCurrent() {
    return (MsgHeader.Attribute & JamMsgDeleted) != 0;
}

// ---- Navigation ----------------------------------------------------------------------------------

bool TJAM::First() {
    DropWindow();
    Walking = true;
    Current = 0;
    if (Count() == 0) return false;
    const auto size = static_cast<int32_t>(Index.size());
    while (Current < size && Index[Current].Deleted()) ++Current;
    return Current < size;
}

bool TJAM::Next() {
    const auto size = static_cast<int32_t>(Index.size());
    int32_t next = Current < 0 ? 0 : Current + 1;
    while (next < size && Index[next].Deleted()) ++next;
    if (next >= size) {
        Current = size;
        return false;
    }
    Current = next;
    return true;
}

void TJAM::Seek(int32_t position) {
    DropWindow();
    Current = position;
}

bool TJAM::IsValid() {
    if (Current < 0 || Current >= static_cast<int32_t>(Index.size())) return false;
    const TJamIndexEntry& entry = Index[Current];
    return entry.ToCRC != 0xFFFFFFFF && static_cast<int32_t>(entry.HdrOffset) >= 1;
}

// ---- Reading -------------------------------------------------------------------------------------

std::string_view TJAM::ReadJhr(uint64_t offset, uint64_t length) {
    if (Walking && length <= WindowSize) return Jhr.ReadCached(offset, length);
    // The length comes from the file: it is checked against the file before anything is allocated.
    if (length > HeaderReadAhead && offset + length > Jhr.Size()) return {};
    HeaderBuffer.resize(length);
    HeaderBuffer.resize(Jhr.ReadAt(offset, HeaderBuffer.data(), length));
    return HeaderBuffer;
}

void TJAM::DropWindow() {
    Walking = false;
    Jhr.DropCache();
}

std::string_view TJAM::LoadHeader(int32_t position) {
    if (!Active || position < 0 || position >= static_cast<int32_t>(Index.size()))
        throw EReadError("JAM: no message at position " + std::to_string(position));
    const TJamIndexEntry& entry = Index[position];
    if (entry.Deleted()) throw EReadError("JAM: message " + std::to_string(position) + " is deleted");
    if (position == PendingPosition)
        throw EReadError("JAM: message " + std::to_string(position) + " has not been written yet");
    const uint64_t offset = entry.HdrOffset;
    TJamMsgHeader header;
    const std::string_view fixed = ReadJhr(offset, HeaderReadAhead);
    if (fixed.size() < JamMsgHeaderSize)
        throw EReadError("JAM: the header of message " + std::to_string(position) +
                         " is past the end of the file");
    if (!TJamMsgHeader::Parse(fixed, header))
        throw EReadError("JAM: the header of message " + std::to_string(position) + " has no signature");
    const uint64_t needed = uint64_t{JamMsgHeaderSize} + header.SubfieldLen;
    const std::string_view whole = needed <= fixed.size() ? fixed : ReadJhr(offset, needed);
    if (whole.size() < needed)
        throw EReadError("JAM: the subfields of message " + std::to_string(position) +
                         " run past the end of the file");
    MsgHeader = header;
    return whole.substr(JamMsgHeaderSize, header.SubfieldLen);
}

void TJAM::ReadHeader() {
    // A damaged header must not keep the previous message's date and read mark.
    Date = 0;
    Read = false;
    FromName.clear();
    ToName.clear();
    Subject.clear();
    OrigAddr.clear();
    DestAddr.clear();
    ReplyId.clear();
    MsgId.clear();
    Kludges.clear();
    const std::string_view block = LoadHeader(Current);
    Date = UnixToDateTime(MsgHeader.DateWritten);
    Read = (MsgHeader.Attribute2 & JamAttr2Read) != 0;
    Attr = AttrFromJamAttribute(MsgHeader.Attribute);

    // The conversion is byte for byte, so the whole block is converted once and every subfield's
    // data is taken from the same place in the converted copy. The list fill reads every header.
    Converted = FieldFromStored(block);
    const bool keepFreeForm = Settings.TextInWindowsCodePage;
    std::string_view storedFrom, storedTo, storedSubject;
    TJamSubfieldReader reader(block);
    TJamSubfield field;
    while (reader.Next(field)) {
        if (field.Data.empty()) continue;
        const std::string_view ansi =
            std::string_view(Converted).substr(field.Data.data() - block.data(), field.Data.size());
        // FTSKLUDGE and TRACE lines are free-form text: converted only under the DOS view.
        const std::string_view freeForm = keepFreeForm ? field.Data : ansi;
        const auto addLine = [this](std::string_view prefix, std::string_view data) {
            std::string& line = Kludges.emplace_back();
            line.reserve(prefix.size() + data.size());
            line.append(prefix).append(data);
        };
        switch (field.LoID) {
            case JamSfOAddress:
                OrigAddr.assign(ansi);
                break;
            case JamSfDAddress:
                DestAddr.assign(ansi);
                break;
            case JamSfSenderName:
                FromName.assign(ansi);
                storedFrom = field.Data;
                break;
            case JamSfReceiverName:
                ToName.assign(ansi);
                storedTo = field.Data;
                break;
            case JamSfMsgId:
                MsgId.assign(ansi);
                addLine("MSGID: ", ansi);
                break;
            case JamSfReplyId:
                ReplyId.assign(ansi);
                addLine("REPLY: ", ansi);
                break;
            case JamSfSubject:
            case JamSfEnclosedFile:
            case JamSfEnclosedFreq:
                Subject.assign(ansi);
                storedSubject = field.Data;
                break;
            case JamSfPid:
                addLine("PID: ", ansi);
                break;
            case JamSfTrace:
                addLine("Via ", freeForm);
                break;
            case JamSfFtsKludge:
                addLine("", freeForm);
                break;
            case JamSfSeenBy2D:
                addLine("SEEN-BY: ", ansi);
                break;
            case JamSfPath2D:
                addLine("PATH: ", ansi);
                break;
            case JamSfFlags:
                addLine("FLAGS: ", ansi);
                break;
            case JamSfTzUtcInfo:
                addLine("TZUTC: ", ansi);
                break;
            default:
                break;
        }
    }
    // Names and subject sit among the control lines, so they follow a CHRS line there too.
    ReadNamesByDeclaration(storedFrom, storedTo, storedSubject);
    if (!Netmail) {
        OrigAddr = EchoAddress(MsgId);
        DestAddr = EchoAddress(ReplyId);
    }
}

void TJAM::ReadMsgId() {
    MsgId.clear();
    TJamSubfieldReader reader(LoadHeader(Current));
    TJamSubfield field;
    while (reader.Next(field))
        if (field.LoID == JamSfMsgId && !field.Data.empty()) MsgId = FieldFromStored(field.Data);
}

void TJAM::ReadToAndRead() {
    ToName.clear();
    Read = false;
    const std::string_view block = LoadHeader(Current);
    Read = (MsgHeader.Attribute2 & JamAttr2Read) != 0;
    TJamSubfieldReader reader(block);
    TJamSubfield field;
    while (reader.Next(field)) {
        if (field.LoID != JamSfReceiverName || field.Data.empty()) continue;
        ToName = FieldFromStored(field.Data);
        return;
    }
}

void TJAM::ReadMessage(int32_t position) {
    Seek(position);
    Text.clear();
    RtfText.clear();
    ReadHeader();
    if (MsgHeader.TxtLen == 0) return;
    const uint64_t end = uint64_t{MsgHeader.TxtOffset} + MsgHeader.TxtLen;
    if (end > Jdt.Size())
        throw EReadError("JAM: the text of message " + std::to_string(position) +
                         " runs past the end of the file");
    const std::string stored = Jdt.ReadAt(MsgHeader.TxtOffset, MsgHeader.TxtLen);
    if (stored.size() < MsgHeader.TxtLen)
        throw EReadError("JAM: the text of message " + std::to_string(position) +
                         " runs past the end of the file");
    // Control lines some writers leave in the text go to Kludges, as in every other format.
    if (KeepStored) {
        Stored.Body = stored;
        Stored.BodyCharset = DeclaredBodyCharset(stored, Kludges);
    }
    SplitStoredBody(stored);
    RtfText = RtfEscape(Text);
}

void TJAM::MarkRead() {
    StoreReadMark(true);
}

void TJAM::MarkUnread() {
    StoreReadMark(false);
}

void TJAM::StoreReadMark(bool read) {
    DropWindow();
    TJamMsgHeader header;
    if (!Active || Current < 0 || Current >= static_cast<int32_t>(Index.size()) || Index[Current].Deleted() ||
        Current == PendingPosition)
        throw EReadError("JAM: no message at position " + std::to_string(Current));
    const uint64_t offset = Index[Current].HdrOffset;
    // Attribute2 is read and written under the writers' lock, so a bit another program sets
    // meanwhile is kept. A lock held elsewhere leaves the message unread until it is shown again.
    const TRangeLock lock(Jhr.Fd(), 0, 1, MarkReadLockWait());
    if (!lock) return;
    // The entry on disk must still lead to the header read: otherwise the message was deleted or
    // rewritten meanwhile and this header is no longer the message shown.
    std::vector<TJamIndexEntry> onDisk;
    TJamIndexEntry::ParseAll(
        Jdx.ReadAt(uint64_t{static_cast<uint32_t>(Current)} * JamIndexEntrySize, JamIndexEntrySize), onDisk);
    if (onDisk.empty() || onDisk.front().Deleted() || onDisk.front().HdrOffset != offset) return;
    if (!TJamMsgHeader::Parse(Jhr.ReadAt(offset, JamMsgHeaderSize), header))
        throw EReadError("JAM: the header of message " + std::to_string(Current) + " is damaged");
    if (((header.Attribute2 & JamAttr2Read) != 0) == read) return;
    if (read)
        header.Attribute2 |= JamAttr2Read;
    else
        header.Attribute2 &= ~JamAttr2Read;
    // Only the field changes, so a header another program rewrites meanwhile keeps its other fields.
    const std::string record = header.Serialize();
    Jhr.WriteAt(offset + TJamMsgHeader::Attribute2Offset,
                std::string_view(record).substr(TJamMsgHeader::Attribute2Offset, 4));
}

// ---- Writing -------------------------------------------------------------------------------------

void TJAM::NewMessage() {
    DropWindow();
    MsgHeader = {};
    ClearMessageFields();
    // A message begun but never written is replaced rather than left as a hole in the list.
    const bool replacesPending =
        PendingPosition >= 0 && PendingPosition == static_cast<int32_t>(Index.size()) - 1;
    if (replacesPending) Index.pop_back();
    TJamIndexEntry entry;
    entry.HdrOffset = Active ? static_cast<uint32_t>(Jhr.Size()) : 0;
    Index.push_back(entry);
    Current = static_cast<int32_t>(Index.size()) - 1;
    PendingPosition = Current;
    if (!Active) return;
    try {
        BaseHeader = ReadBaseHeaderFromDisk();
    } catch (const EReadError&) {
        // Keep the header in memory (it already counts a replaced pending message); WriteMessage
        // checks the disk again under the lock.
        if (replacesPending) return;
    }
    ++BaseHeader.ActiveMsgs;
}

void TJAM::PrepareRewrite() {
    DropWindow();
    MsgHeader = {};
    ClearMessageFields();
    // The new header offset is taken under the lock by WriteMessage; until then the entry keeps
    // pointing at the stored message, which stays readable if the edit is abandoned.
    if (!Active) return;
    try {
        BaseHeader = ReadBaseHeaderFromDisk();
    } catch (const EReadError&) {
    }
}

void TJAM::BuildSubfields() {
    Subfields.clear();
    MsgIdCrc = ReplyCrc = JamTextCrc({});
    bool msgIdSeen = false, replySeen = false;
    const auto add = [this](uint16_t id, std::string_view cp1251) {
        AppendJamSubfield(Subfields, id, FieldToStored(cp1251));
    };
    if (!FromName.empty()) add(JamSfSenderName, FromName);
    if (!ToName.empty()) add(JamSfReceiverName, ToName);
    if (!Subject.empty()) add(JamSfSubject, Subject);
    if (!OrigAddr.empty()) add(JamSfOAddress, OrigAddr);
    if (!DestAddr.empty()) add(JamSfDAddress, DestAddr);
    struct TPrefix {
        std::string_view Text;
        uint16_t Id;
    };
    static constexpr TPrefix Prefixes[] = {
        {"MSGID: ", JamSfMsgId}, {"REPLY: ", JamSfReplyId},    {"PID: ", JamSfPid},
        {"Via ", JamSfTrace},    {"SEEN-BY: ", JamSfSeenBy2D}, {"PATH: ", JamSfPath2D},
        {"FLAGS: ", JamSfFlags}, {"TZUTC: ", JamSfTzUtcInfo},
    };
    for (const std::string& line : Kludges) {
        uint16_t id = JamSfFtsKludge;
        std::string_view data = line;
        for (const TPrefix& prefix : Prefixes) {
            if (!LineStartsWith(line, prefix.Text)) continue;
            id = prefix.Id;
            data.remove_prefix(prefix.Text.size());
            break;
        }
        add(id, data);
        // The first MSGID and REPLY count, as readers that thread by these CRCs take them.
        if (id == JamSfMsgId && !msgIdSeen) {
            MsgIdCrc = JamTextCrc(FieldToStored(data));
            msgIdSeen = true;
        } else if (id == JamSfReplyId && !replySeen) {
            ReplyCrc = JamTextCrc(FieldToStored(data));
            replySeen = true;
        }
    }
}

bool TJAM::WriteMessage() {
    LastError.clear();
    DropWindow();
    if (!Active) return false;
    const TRangeLock lock(Jhr.Fd(), 0, 1, WriterLockWait());
    if (!lock) {
        LastError = JamWriteLockText();
        return false;
    }
    // Other programs may have added messages since Open. The index only grows at its end, so read
    // what was appended after the entries this object knows, and put the message after all of it.
    TJamBaseHeader base = ReadBaseHeaderFromDisk();
    const uint64_t diskCount = Jdx.Size() / JamIndexEntrySize;
    // A shorter index means another program rebuilt the base: take it whole.
    const uint64_t keep = diskCount < KnownOnDisk ? 0 : KnownOnDisk;
    std::vector<TJamIndexEntry> tail;
    TJamIndexEntry::ParseAll(Jdx.ReadAt(keep * JamIndexEntrySize, (diskCount - keep) * JamIndexEntrySize),
                             tail);
    if (Current < 0) throw EReadError("JAM: no message at position " + std::to_string(Current));
    const bool isNew = Current == PendingPosition || static_cast<uint64_t>(Current) >= diskCount;
    const auto position = isNew ? static_cast<uint32_t>(diskCount) : static_cast<uint32_t>(Current);
    // An edit of a message another program deleted meanwhile brings it back as a live message.
    bool replacesLive = false;
    if (!isNew) {
        std::vector<TJamIndexEntry> stored;
        TJamIndexEntry::ParseAll(Jdx.ReadAt(uint64_t{position} * JamIndexEntrySize, JamIndexEntrySize),
                                 stored);
        replacesLive = !stored.empty() && !stored.front().Deleted();
    }

    AddOriginAndTearline();
    const std::string body = FieldToStored(Text);
    BuildSubfields();
    const uint64_t textOffset = Jdt.Size();
    const uint64_t headerOffset = Jhr.Size();
    // Header offsets must stay below 2 GB: a negative offset in the index means "deleted".
    if (textOffset + body.size() > MaxFileOffset ||
        headerOffset + JamMsgHeaderSize + Subfields.size() > MaxFileOffset / 2)
        throw EWriteError("JAM: the base has reached the size limit of its format");

    TJamMsgHeader header;
    header.Revision = 1;
    header.SubfieldLen = static_cast<uint32_t>(Subfields.size());
    header.MSGIDcrc = MsgIdCrc;
    header.REPLYcrc = ReplyCrc;
    header.DateWritten = static_cast<uint32_t>(DateTimeToUnix(Date));
    header.DateReceived = header.DateWritten;
    header.DateProcessed = header.DateWritten;
    header.MessageNumber = base.BaseMsgNum + position;
    header.Attribute = JamAttributeFromAttr(Attr) | (Netmail ? JamMsgTypeNet : JamMsgTypeEcho);
    header.Attribute2 = Read ? JamAttr2Read : 0;
    header.TxtOffset = static_cast<uint32_t>(textOffset);
    header.TxtLen = static_cast<uint32_t>(body.size());
    const TJamIndexEntry entry{JamTextCrc(FieldToStored(ToName)), static_cast<uint32_t>(headerOffset)};

    // Text and header first, the index entry that makes them reachable after, counters last.
    if (!body.empty()) Jdt.WriteAt(textOffset, body);
    Jhr.WriteAt(headerOffset, header.Serialize() + Subfields);
    Jdx.WriteAt(uint64_t{position} * JamIndexEntrySize, entry.Serialize());
    ++base.ModCounter;
    if (!replacesLive) ++base.ActiveMsgs;
    Jhr.WriteAt(0, base.Serialize());

    Index.resize(keep);
    Index.insert(Index.end(), tail.begin(), tail.end());
    if (position < Index.size())
        Index[position] = entry;
    else
        Index.push_back(entry);
    KnownOnDisk = Index.size();
    BaseHeader = base;
    MsgHeader = header;
    Current = static_cast<int32_t>(position);
    PendingPosition = -1;
    TouchFlagFile();
    return true;
}

bool TJAM::DeleteCurrent(int32_t* headerOffset, uint32_t* recipientCrc) {
    LastError.clear();
    DropWindow();
    if (!Active) return false;
    const TRangeLock lock(Jhr.Fd(), 0, 1, WriterLockWait());
    if (!lock) {
        LastError = JamDeleteLockText();
        return false;
    }
    if (Current < 0 || Current >= static_cast<int32_t>(Index.size()))
        throw EReadError("JAM: no message at position " + std::to_string(Current));
    TJamIndexEntry& entry = Index[Current];
    if (Current == PendingPosition) {
        // Begun with NewMessage and never written: nothing on disk is this message, and its
        // position and header offset may by now hold another program's message.
        entry = {JamDeletedEntry, JamDeletedEntry};
        PendingPosition = -1;
        if (BaseHeader.ActiveMsgs > 0) --BaseHeader.ActiveMsgs;
        return true;
    }
    // The entry as it is on disk now: another program may have deleted or rewritten the message.
    const uint64_t entryOffset = uint64_t{static_cast<uint32_t>(Current)} * JamIndexEntrySize;
    std::vector<TJamIndexEntry> onDisk;
    TJamIndexEntry::ParseAll(Jdx.ReadAt(entryOffset, JamIndexEntrySize), onDisk);
    if (onDisk.empty()) throw EReadError("JAM: no message at position " + std::to_string(Current));
    entry = onDisk.front();
    if (entry.Deleted()) return true;

    TJamMsgHeader header;
    if (!TJamMsgHeader::Parse(Jhr.ReadAt(entry.HdrOffset, JamMsgHeaderSize), header))
        throw EReadError("JAM: the header of message " + std::to_string(Current) + " is damaged");
    TJamBaseHeader base = ReadBaseHeaderFromDisk();
    if (headerOffset) *headerOffset = static_cast<int32_t>(entry.HdrOffset);
    if (recipientCrc) *recipientCrc = entry.ToCRC;

    // The index entry goes first, so no live entry ever leads to a deleted header; the counters last.
    const uint64_t hdrOffset = entry.HdrOffset;
    entry = {JamDeletedEntry, JamDeletedEntry};
    Jdx.WriteAt(entryOffset, entry.Serialize());
    header.Attribute |= JamMsgDeleted;
    Jhr.WriteAt(hdrOffset, header.Serialize());
    if (base.ActiveMsgs > 0) --base.ActiveMsgs;
    ++base.ModCounter;
    Jhr.WriteAt(0, base.Serialize());
    BaseHeader = base;
    MsgHeader = header;
    return true;
}

}  // namespace pelmar
