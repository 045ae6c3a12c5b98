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
    if (!openExisting(jhr_, ".jhr") || !openExisting(jdt_, ".jdt") || !openExisting(jdx_, ".jdx"))
        return false;
    // Tossers on this platform often leave the .jlr out; nothing here reads or writes it.
    openExisting(jlr_, ".jlr");
    return true;
}

void TJAM::CloseFiles() {
    jhr_.Close();
    jdt_.Close();
    jdx_.Close();
    jlr_.Close();
}

TJamBaseHeader TJAM::ReadBaseHeaderFromDisk() const {
    TJamBaseHeader header;
    if (!TJamBaseHeader::Parse(jhr_.ReadAt(0, JamBaseHeaderSize), header))
        throw EReadError("JAM: the base header is damaged");
    return header;
}

std::vector<TJamIndexEntry> TJAM::ReadIndexFromDisk() const {
    std::vector<TJamIndexEntry> entries;
    TJamIndexEntry::ParseAll(jdx_.ReadAt(0, jdx_.Size()), entries);
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
        baseHeader_ = ReadBaseHeaderFromDisk();
        index_ = ReadIndexFromDisk();
        knownOnDisk_ = index_.size();
    } catch (const std::exception&) {
        CloseFiles();
        index_.clear();
        return;
    }
    msgHeader_ = {};
    pendingPosition_ = -1;
    Current = 0;
    Active = true;
}

void TJAM::Close() {
    DropWindow();
    CloseFiles();
    index_.clear();
    index_.shrink_to_fit();
    knownOnDisk_ = 0;
    pendingPosition_ = -1;
    Active = false;
}

void TJAM::CreateBase() {
    // Names are chosen before any file is created so that all four take the same case.
    std::string names[std::size(Extensions)];
    for (size_t i = 0; i < std::size(Extensions); ++i) names[i] = FileName(Extensions[i]);
    const std::string& jhr = names[0];
    const std::string& jdx = names[2];
    // Never over an existing base: only absent files are made. An index left without its header
    // file would point into a fresh header file, so such remains are left for the user to look at.
    struct stat st {};
    if (::stat(jhr.c_str(), &st) != 0 && ::stat(jdx.c_str(), &st) == 0 && st.st_size > 0)
        throw EWriteError("JAM: " + jdx + " exists without its header file; nothing was created");
    for (size_t i = 1; i < std::size(Extensions); ++i) CreateNewFile(names[i]);
    // The header file last: until it exists, the files are not a base anyone opens.
    TJamBaseHeader header;
    header.DateCreated = static_cast<uint32_t>(DateTimeToUnix(NowLocal()));
    header.PasswordCRC = 0xFFFFFFFF;
    header.BaseMsgNum = 1;
    CreateNewFile(jhr, header.Serialize());
}

// ---- Counters and stamps -------------------------------------------------------------------------

int32_t TJAM::Count() {
    return Active ? static_cast<int32_t>(baseHeader_.ActiveMsgs) : 0;
}

double TJAM::ChangeStamp() {
    if (!Active) return 0;
    try {
        return static_cast<double>(jhr_.Size()) + baseHeader_.ActiveMsgs;
    } catch (const std::exception&) {
        return baseHeader_.ActiveMsgs;
    }
}

int32_t TJAM::ChangeCounter() {
    return static_cast<int32_t>(baseHeader_.ModCounter);
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
    text = JamAttributeText(msgHeader_.Attribute);
}

bool TJAM::CheckCurrent() {
    return (msgHeader_.Attribute & JamMsgDeleted) != 0;
}

// ---- Navigation ----------------------------------------------------------------------------------

bool TJAM::First() {
    DropWindow();
    walking_ = true;
    Current = 0;
    if (Count() == 0) return false;
    const auto size = static_cast<int32_t>(index_.size());
    while (Current < size && index_[Current].Deleted()) ++Current;
    return Current < size;
}

bool TJAM::Next() {
    const auto size = static_cast<int32_t>(index_.size());
    int32_t next = Current < 0 ? 0 : Current + 1;
    while (next < size && index_[next].Deleted()) ++next;
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
    if (Current < 0 || Current >= static_cast<int32_t>(index_.size())) return false;
    const TJamIndexEntry& entry = index_[Current];
    return entry.ToCRC != 0xFFFFFFFF && static_cast<int32_t>(entry.HdrOffset) >= 1;
}

// ---- Reading -------------------------------------------------------------------------------------

std::string_view TJAM::ReadJhr(uint64_t offset, uint64_t length) {
    if (walking_) {
        if (offset >= windowStart_ && offset + length <= windowStart_ + window_.size())
            return std::string_view(window_).substr(offset - windowStart_, length);
        if (length <= WindowSize) {
            window_.resize(WindowSize);
            window_.resize(jhr_.ReadAt(offset, window_.data(), WindowSize));
            windowStart_ = offset;
            return std::string_view(window_).substr(0, length);
        }
    }
    // The length comes from the file: it is checked against the file before anything is allocated.
    if (length > HeaderReadAhead && offset + length > jhr_.Size()) return {};
    headerBuf_.resize(length);
    headerBuf_.resize(jhr_.ReadAt(offset, headerBuf_.data(), length));
    return headerBuf_;
}

void TJAM::DropWindow() {
    walking_ = false;
    window_.clear();
    windowStart_ = 0;
}

std::string_view TJAM::LoadHeader(int32_t position) {
    if (!Active || position < 0 || position >= static_cast<int32_t>(index_.size()))
        throw EReadError("JAM: no message at position " + std::to_string(position));
    const TJamIndexEntry& entry = index_[position];
    if (entry.Deleted()) throw EReadError("JAM: message " + std::to_string(position) + " is deleted");
    if (position == pendingPosition_)
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
    msgHeader_ = header;
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
    Date = UnixToDateTime(msgHeader_.DateWritten);
    Read = (msgHeader_.Attribute2 & JamAttr2Read) != 0;
    Attr = AttrFromJamAttribute(msgHeader_.Attribute);

    // The conversion is byte for byte, so the whole block is converted once and every subfield's
    // data is taken from the same place in the converted copy. The list fill reads every header.
    converted_ = ToAnsi(block);
    const bool keepFreeForm = Settings.TextInWindowsCodePage;
    std::string_view storedFrom, storedTo, storedSubject;
    TJamSubfieldReader reader(block);
    TJamSubfield field;
    while (reader.Next(field)) {
        if (field.Data.empty()) continue;
        const std::string_view ansi =
            std::string_view(converted_).substr(field.Data.data() - block.data(), field.Data.size());
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
    const TCharset charset = DeclaredCharset(Kludges);
    if (charset != TCharset::Unknown && charset != TCharset::Cp866) {
        FromName = CharsetToAnsi(charset, storedFrom);
        ToName = CharsetToAnsi(charset, storedTo);
        Subject = CharsetToAnsi(charset, storedSubject);
    }
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
        if (field.LoID == JamSfMsgId && !field.Data.empty()) MsgId = ToAnsi(field.Data);
}

void TJAM::ReadToAndRead() {
    ToName.clear();
    Read = false;
    const std::string_view block = LoadHeader(Current);
    Read = (msgHeader_.Attribute2 & JamAttr2Read) != 0;
    TJamSubfieldReader reader(block);
    TJamSubfield field;
    while (reader.Next(field)) {
        if (field.LoID != JamSfReceiverName || field.Data.empty()) continue;
        ToName = ToAnsi(field.Data);
        return;
    }
}

void TJAM::ReadMessage(int32_t position) {
    Seek(position);
    Text.clear();
    RtfText.clear();
    ReadHeader();
    if (msgHeader_.TxtLen == 0) return;
    const uint64_t end = uint64_t{msgHeader_.TxtOffset} + msgHeader_.TxtLen;
    if (end > jdt_.Size())
        throw EReadError("JAM: the text of message " + std::to_string(position) +
                         " runs past the end of the file");
    const std::string stored = jdt_.ReadAt(msgHeader_.TxtOffset, msgHeader_.TxtLen);
    if (stored.size() < msgHeader_.TxtLen)
        throw EReadError("JAM: the text of message " + std::to_string(position) +
                         " runs past the end of the file");
    // Control lines some writers leave in the text go to Kludges, as in every other format.
    SplitStoredText(DeclaredBodyToAnsi(stored, Kludges), Text, Kludges);
    RtfText = RtfEscape(Text);
}

void TJAM::MarkRead() {
    DropWindow();
    TJamMsgHeader header;
    if (!Active || Current < 0 || Current >= static_cast<int32_t>(index_.size()) ||
        index_[Current].Deleted() || Current == pendingPosition_)
        throw EReadError("JAM: no message at position " + std::to_string(Current));
    const uint64_t offset = index_[Current].HdrOffset;
    // Attribute2 is read and written under the writers' lock, so a bit another program sets
    // meanwhile is kept. A lock held elsewhere leaves the message unread until it is shown again.
    const TRangeLock lock(jhr_.Fd(), 0, 1, MarkReadLockWait());
    if (!lock) return;
    // The entry on disk must still lead to the header read: otherwise the message was deleted or
    // rewritten meanwhile and this header is no longer the message shown.
    std::vector<TJamIndexEntry> onDisk;
    TJamIndexEntry::ParseAll(
        jdx_.ReadAt(uint64_t{static_cast<uint32_t>(Current)} * JamIndexEntrySize, JamIndexEntrySize), onDisk);
    if (onDisk.empty() || onDisk.front().Deleted() || onDisk.front().HdrOffset != offset) return;
    if (!TJamMsgHeader::Parse(jhr_.ReadAt(offset, JamMsgHeaderSize), header))
        throw EReadError("JAM: the header of message " + std::to_string(Current) + " is damaged");
    if (header.Attribute2 & JamAttr2Read) return;
    header.Attribute2 |= JamAttr2Read;
    // Only the field changes, so a header another program rewrites meanwhile keeps its other fields.
    const std::string record = header.Serialize();
    jhr_.WriteAt(offset + TJamMsgHeader::Attribute2Offset,
                 std::string_view(record).substr(TJamMsgHeader::Attribute2Offset, 4));
}

// ---- Writing -------------------------------------------------------------------------------------

void TJAM::NewMessage() {
    DropWindow();
    msgHeader_ = {};
    ClearMessageFields();
    // A message begun but never written is replaced rather than left as a hole in the list.
    const bool replacesPending =
        pendingPosition_ >= 0 && pendingPosition_ == static_cast<int32_t>(index_.size()) - 1;
    if (replacesPending) index_.pop_back();
    TJamIndexEntry entry;
    entry.HdrOffset = Active ? static_cast<uint32_t>(jhr_.Size()) : 0;
    index_.push_back(entry);
    Current = static_cast<int32_t>(index_.size()) - 1;
    pendingPosition_ = Current;
    if (!Active) return;
    try {
        baseHeader_ = ReadBaseHeaderFromDisk();
    } catch (const EReadError&) {
        // Keep the header in memory (it already counts a replaced pending message); WriteMessage
        // checks the disk again under the lock.
        if (replacesPending) return;
    }
    ++baseHeader_.ActiveMsgs;
}

void TJAM::PrepareRewrite() {
    DropWindow();
    msgHeader_ = {};
    ClearMessageFields();
    // The new header offset is taken under the lock by WriteMessage; until then the entry keeps
    // pointing at the stored message, which stays readable if the edit is abandoned.
    if (!Active) return;
    try {
        baseHeader_ = ReadBaseHeaderFromDisk();
    } catch (const EReadError&) {
    }
}

void TJAM::BuildSubfields() {
    subfields_.clear();
    msgIdCrc_ = replyCrc_ = JamTextCrc({});
    bool msgIdSeen = false, replySeen = false;
    const auto add = [this](uint16_t id, std::string_view cp1251) {
        AppendJamSubfield(subfields_, id, ToOem(cp1251));
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
            msgIdCrc_ = JamTextCrc(ToOem(data));
            msgIdSeen = true;
        } else if (id == JamSfReplyId && !replySeen) {
            replyCrc_ = JamTextCrc(ToOem(data));
            replySeen = true;
        }
    }
}

bool TJAM::WriteMessage() {
    DropWindow();
    if (!Active) return false;
    const TRangeLock lock(jhr_.Fd(), 0, 1, WriterLockWait());
    if (!lock) {
        ShowBaseErrorBox(JamWriteLockText());
        return false;
    }
    // Other programs may have added messages since Open. The index only grows at its end, so read
    // what was appended after the entries this object knows, and put the message after all of it.
    TJamBaseHeader base = ReadBaseHeaderFromDisk();
    const uint64_t diskCount = jdx_.Size() / JamIndexEntrySize;
    // A shorter index means another program rebuilt the base: take it whole.
    const uint64_t keep = diskCount < knownOnDisk_ ? 0 : knownOnDisk_;
    std::vector<TJamIndexEntry> tail;
    TJamIndexEntry::ParseAll(jdx_.ReadAt(keep * JamIndexEntrySize, (diskCount - keep) * JamIndexEntrySize),
                             tail);
    if (Current < 0) throw EReadError("JAM: no message at position " + std::to_string(Current));
    const bool isNew = Current == pendingPosition_ || static_cast<uint64_t>(Current) >= diskCount;
    const auto position = isNew ? static_cast<uint32_t>(diskCount) : static_cast<uint32_t>(Current);
    // An edit of a message another program deleted meanwhile brings it back as a live message.
    bool replacesLive = false;
    if (!isNew) {
        std::vector<TJamIndexEntry> stored;
        TJamIndexEntry::ParseAll(jdx_.ReadAt(uint64_t{position} * JamIndexEntrySize, JamIndexEntrySize),
                                 stored);
        replacesLive = !stored.empty() && !stored.front().Deleted();
    }

    AddOriginAndTearline();
    const std::string body = ToOem(Text);
    BuildSubfields();
    const uint64_t textOffset = jdt_.Size();
    const uint64_t headerOffset = jhr_.Size();
    // Header offsets must stay below 2 GB: a negative offset in the index means "deleted".
    if (textOffset + body.size() > MaxFileOffset ||
        headerOffset + JamMsgHeaderSize + subfields_.size() > MaxFileOffset / 2)
        throw EWriteError("JAM: the base has reached the size limit of its format");

    TJamMsgHeader header;
    header.Revision = 1;
    header.SubfieldLen = static_cast<uint32_t>(subfields_.size());
    header.MSGIDcrc = msgIdCrc_;
    header.REPLYcrc = replyCrc_;
    header.DateWritten = static_cast<uint32_t>(DateTimeToUnix(Date));
    header.DateReceived = header.DateWritten;
    header.DateProcessed = header.DateWritten;
    header.MessageNumber = base.BaseMsgNum + position;
    header.Attribute = JamAttributeFromAttr(Attr) | (Netmail ? JamMsgTypeNet : JamMsgTypeEcho);
    header.Attribute2 = Read ? JamAttr2Read : 0;
    header.TxtOffset = static_cast<uint32_t>(textOffset);
    header.TxtLen = static_cast<uint32_t>(body.size());
    const TJamIndexEntry entry{JamTextCrc(ToOem(ToName)), static_cast<uint32_t>(headerOffset)};

    // Text and header first, the index entry that makes them reachable after, counters last.
    if (!body.empty()) jdt_.WriteAt(textOffset, body);
    jhr_.WriteAt(headerOffset, header.Serialize() + subfields_);
    jdx_.WriteAt(uint64_t{position} * JamIndexEntrySize, entry.Serialize());
    ++base.ModCounter;
    if (!replacesLive) ++base.ActiveMsgs;
    jhr_.WriteAt(0, base.Serialize());

    index_.resize(keep);
    index_.insert(index_.end(), tail.begin(), tail.end());
    if (position < index_.size())
        index_[position] = entry;
    else
        index_.push_back(entry);
    knownOnDisk_ = index_.size();
    baseHeader_ = base;
    msgHeader_ = header;
    Current = static_cast<int32_t>(position);
    pendingPosition_ = -1;
    TouchFlagFile();
    return true;
}

bool TJAM::DeleteCurrent(int32_t* headerOffset, uint32_t* recipientCrc) {
    DropWindow();
    if (!Active) return false;
    const TRangeLock lock(jhr_.Fd(), 0, 1, WriterLockWait());
    if (!lock) {
        ShowBaseErrorBox(JamDeleteLockText());
        return false;
    }
    if (Current < 0 || Current >= static_cast<int32_t>(index_.size()))
        throw EReadError("JAM: no message at position " + std::to_string(Current));
    TJamIndexEntry& entry = index_[Current];
    if (Current == pendingPosition_) {
        // Begun with NewMessage and never written: nothing on disk is this message, and its
        // position and header offset may by now hold another program's message.
        entry = {JamDeletedEntry, JamDeletedEntry};
        pendingPosition_ = -1;
        if (baseHeader_.ActiveMsgs > 0) --baseHeader_.ActiveMsgs;
        return true;
    }
    // The entry as it is on disk now: another program may have deleted or rewritten the message.
    const uint64_t entryOffset = uint64_t{static_cast<uint32_t>(Current)} * JamIndexEntrySize;
    std::vector<TJamIndexEntry> onDisk;
    TJamIndexEntry::ParseAll(jdx_.ReadAt(entryOffset, JamIndexEntrySize), onDisk);
    if (onDisk.empty()) throw EReadError("JAM: no message at position " + std::to_string(Current));
    entry = onDisk.front();
    if (entry.Deleted()) return true;

    TJamMsgHeader header;
    if (!TJamMsgHeader::Parse(jhr_.ReadAt(entry.HdrOffset, JamMsgHeaderSize), header))
        throw EReadError("JAM: the header of message " + std::to_string(Current) + " is damaged");
    TJamBaseHeader base = ReadBaseHeaderFromDisk();
    if (headerOffset) *headerOffset = static_cast<int32_t>(entry.HdrOffset);
    if (recipientCrc) *recipientCrc = entry.ToCRC;

    // The index entry goes first, so no live entry ever leads to a deleted header; the counters last.
    const uint64_t hdrOffset = entry.HdrOffset;
    entry = {JamDeletedEntry, JamDeletedEntry};
    jdx_.WriteAt(entryOffset, entry.Serialize());
    header.Attribute |= JamMsgDeleted;
    jhr_.WriteAt(hdrOffset, header.Serialize());
    if (base.ActiveMsgs > 0) --base.ActiveMsgs;
    ++base.ModCounter;
    jhr_.WriteAt(0, base.Serialize());
    baseHeader_ = base;
    msgHeader_ = header;
    return true;
}

}  // namespace pelmar
