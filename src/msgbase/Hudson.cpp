#include "msgbase/Hudson.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <exception>
#include <stdexcept>
#include <string_view>
#include <system_error>

#include "core/Codepage.h"
#include "core/Errors.h"
#include "msgbase/BaseFile.h"
#include "msgbase/BodyText.h"
#include "msgbase/Charset.h"

namespace pelmar {

namespace {

constexpr const char* IdxName = "msgidx.bbs";
constexpr const char* ToIdxName = "msgtoidx.bbs";
constexpr const char* TxtName = "msgtxt.bbs";
constexpr const char* HdrName = "msghdr.bbs";
constexpr const char* InfoName = "msginfo.bbs";
constexpr const char* EchoListName = "echomail.bbs";
constexpr const char* NetListName = "netmail.bbs";

// Keeps a hostile MSGIDX.BBS from sizing the in-memory index; record numbers are 16-bit elsewhere.
constexpr int64_t MaxIndexEntries = int64_t{1} << 24;

void Increment(uint16_t& counter) {
    if (counter < 0xFFFF) ++counter;
}

void Decrement(uint16_t& counter) {
    if (counter > 0) --counter;
}

// The counters file of a base that never held a message is all zeros.
bool HoldsNonZeroByte(const std::string& path) {
    TBaseFile file;
    if (!file.Open(path)) throw EWriteError(ErrnoText("cannot open " + path));
    uint8_t bytes[HudsonInfoSize];
    const size_t got = file.ReadAt(0, bytes, sizeof bytes);
    return std::any_of(bytes, bytes + got, [](uint8_t b) { return b != 0; });
}

}  // namespace

const std::string& HudsonWriteLockText() {
    static const std::string text =
        Utf8ToAnsi("Не могу записать письмо т.к. не удалось получить доступ к Hudson-базе!");
    return text;
}

const std::string& HudsonDeleteLockText() {
    static const std::string text =
        Utf8ToAnsi("Не могу удалить письмо т.к. не удалось получить доступ к Hudson-базе!");
    return text;
}

THudson::~THudson() {
    Destroy();
}

// ---- Opening ---------------------------------------------------------------------------------------

bool THudson::OpenFiles() {
    const std::pair<TBaseFile*, const char*> files[] = {
        {&IdxFile, IdxName}, {&ToIdxFile, ToIdxName}, {&TxtFile, TxtName},
        {&HdrFile, HdrName}, {&InfoFile, InfoName},
    };
    for (const auto& [file, name] : files) {
        const std::string path = FindFileNoCase(Dir, name);
        if (path.empty() || !file->Open(path)) return false;
    }
    return true;
}

bool THudson::TakePath() {
    if (Path.empty()) return false;
    const int board = static_cast<unsigned char>(Path[0]);
    if (board < HudsonFirstBoard || board > HudsonLastBoard) return false;
    Board = board;
    Dir = Path.substr(1);
    if (Dir.empty()) Dir = "./";
    if (Dir.back() != '/') Dir += '/';
    return true;
}

std::string THudson::FileName(const char* name) const {
    return BaseFilePath(Dir, "", name, {IdxName, ToIdxName, TxtName, HdrName, InfoName});
}

void THudson::CreateBase() {
    if (Active) return;  // an open base exists
    if (!TakePath()) throw EWriteError("Hudson: the board number must be 1..200");
    if (::mkdir(Dir.c_str(), 0777) != 0 && errno != EEXIST)
        throw EWriteError(ErrnoText("Hudson: cannot create " + Dir));
    // Never over an existing base: only absent files are made. The five files are one base: when
    // any of them holds messages or counters, a missing one is damage (headers without their text,
    // an index or counters started again from zero over the messages there), and it is left for
    // the user to look at.
    const std::string info = FileName(InfoName);
    std::string held, missing;
    for (const char* name : {InfoName, IdxName, ToIdxName, TxtName, HdrName}) {
        const std::string path = FileName(name);
        const int64_t size = ExistingFileSize(path);
        if (size < 0) {
            if (missing.empty()) missing = path;
        } else if (held.empty() && (path == info ? HoldsNonZeroByte(path) : size > 0)) {
            held = path;
        }
    }
    if (!held.empty() && !missing.empty())
        throw EWriteError("Hudson: " + held + " holds data but " + missing +
                          " is missing; nothing was created");
    for (const char* name : {IdxName, ToIdxName, TxtName, HdrName}) CreateNewFile(FileName(name));
    // The counters file last: until it exists, the files are not a base anyone opens.
    CreateNewFile(info, std::string(HudsonInfoSize, '\0'));
}

void THudson::Open() {
    Close();
    if (!TakePath()) return;
    try {
        if (!OpenFiles()) return Close();
        uint8_t infoBytes[HudsonInfoSize];
        if (InfoFile.ReadAt(0, infoBytes, sizeof infoBytes) != sizeof infoBytes) return Close();
        Info = THudsonInfo::Parse(infoBytes);

        const int64_t entries = static_cast<int64_t>(IdxFile.Size() / HudsonIdxSize);
        if (entries > MaxIndexEntries) return Close();
        Index.clear();
        Index.reserve(static_cast<size_t>(entries) + 16);
        // In slices, so opening a base (the scan does it for every board) allocates only the index.
        uint8_t slice[HudsonIdxSize * 4096];
        for (int64_t offset = 0; offset < entries * static_cast<int64_t>(HudsonIdxSize);) {
            const size_t got = IdxFile.ReadAt(offset, slice, sizeof slice);
            for (size_t off = 0; off + HudsonIdxSize <= got; off += HudsonIdxSize)
                Index.push_back(THudsonIdx::Parse(slice + off));
            if (got < sizeof slice) break;
            offset += static_cast<int64_t>(got);
        }
        Index.resize(std::min(Index.size(), static_cast<size_t>(entries)));
        IndexOnDisk = Index.size();
    } catch (const std::exception&) {
        return Close();
    }
    Current = 0;
    Record = -1;  // nothing is positioned before a walk
    CurMsgNum = 0;
    WriteIsNew = false;
    Active = true;
}

void THudson::Close() {
    for (TBaseFile* file : {&IdxFile, &ToIdxFile, &TxtFile, &HdrFile, &InfoFile}) file->Close();
    Index.clear();
    Index.shrink_to_fit();
    IndexOnDisk = 0;
    BoardMap.clear();
    Sorted.clear();
    SortedValid = false;
    WriteIsNew = false;
    Active = false;
}

// ---- Counters ---------------------------------------------------------------------------------------

int32_t THudson::Count() {
    return Active ? Info.Active(Board) : 0;
}

double THudson::ChangeStamp() {
    return Count();
}

int32_t THudson::ChangeCounter() {
    return Active ? Info.HighMsg + Info.TotalActive : 0;
}

void THudson::GetAttrText(std::string& text) {
    text = HudsonAttrText(MsgHeader.MsgAttr, MsgHeader.NetAttr);
}

// ---- Walking ----------------------------------------------------------------------------------------

const std::vector<THudson::TPosition>& THudson::SortedBoard() {
    if (SortedValid) return Sorted;
    Sorted.clear();
    for (size_t i = 0; i < Index.size(); ++i) {
        const THudsonIdx& entry = Index[i];
        if (entry.Board == Board && entry.MsgNum != HudsonDeletedNum)
            Sorted.push_back({static_cast<int32_t>(i), entry.MsgNum});
    }
    // Equal numbers: a step always goes to the next greater number, so only the lowest record of
    // each number is ever reached.
    std::stable_sort(Sorted.begin(), Sorted.end(),
                     [](const TPosition& a, const TPosition& b) { return a.MsgNum < b.MsgNum; });
    Sorted.erase(std::unique(Sorted.begin(), Sorted.end(),
                             [](const TPosition& a, const TPosition& b) { return a.MsgNum == b.MsgNum; }),
                 Sorted.end());
    SortedValid = true;
    Cursor = 0;
    return Sorted;
}

TBaseRefresh THudson::Refresh() {
    TBaseRefresh result;
    result.PositionsBefore = result.PositionsAfter = static_cast<int32_t>(BoardMap.size());
    if (!Active || WriteIsNew) return result;
    // Writers change the files under the lock on MSGINFO.BBS: read under a shared lock, and leave
    // a base being written.
    const TRangeLock lock(InfoFile.Fd(), 0, HudsonInfoSize, MarkReadLockWait(), TRangeLock::TMode::Shared);
    const auto busy = [&result] {
        result.Kind = TBaseRefresh::TKind::Busy;
        return result;
    };
    if (lock.HeldElsewhere()) return busy();
    // Everything is read and checked before anything in memory changes.
    const uint64_t idxBytes = IdxFile.Size();
    // A writer that does not lock may be half-way through an append: news for later, not damage.
    const bool grown = idxBytes > uint64_t{IndexOnDisk} * HudsonIdxSize;
    if (idxBytes % HudsonIdxSize != 0) {
        if (grown) return busy();
        throw EReadError("MSGIDX.BBS ends in a partial entry");
    }
    const auto entries = static_cast<int64_t>(idxBytes / HudsonIdxSize);
    if (entries > MaxIndexEntries) throw EReadError("MSGIDX.BBS is larger than any Hudson base");
    std::vector<uint8_t> bytes(static_cast<size_t>(idxBytes));
    if (!bytes.empty()) IdxFile.ReadExact(0, bytes.data(), bytes.size());
    std::vector<THudsonIdx> index;
    index.reserve(static_cast<size_t>(entries));
    for (size_t off = 0; off + HudsonIdxSize <= bytes.size(); off += HudsonIdxSize)
        index.push_back(THudsonIdx::Parse(bytes.data() + off));
    const uint64_t headers = HdrFile.Size() / HudsonHeaderSize;
    std::vector<TPosition> sorted;
    for (size_t i = 0; i < index.size(); ++i) {
        if (index[i].Board != Board || index[i].MsgNum == HudsonDeletedNum) continue;
        if (i >= headers && i >= IndexOnDisk) return busy();
        if (i >= headers)
            throw EReadError("MSGIDX.BBS: record " + std::to_string(i) + " has no header in MSGHDR.BBS");
        sorted.push_back({static_cast<int32_t>(i), index[i].MsgNum});
    }
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const TPosition& a, const TPosition& b) { return a.MsgNum < b.MsgNum; });
    sorted.erase(std::unique(sorted.begin(), sorted.end(),
                             [](const TPosition& a, const TPosition& b) { return a.MsgNum == b.MsgNum; }),
                 sorted.end());
    const bool changed =
        index.size() != Index.size() ||
        !std::equal(index.begin(), index.end(), Index.begin(), [](const THudsonIdx& a, const THudsonIdx& b) {
            return a.MsgNum == b.MsgNum && a.Board == b.Board;
        });

    std::vector<TPosition> map = BoardMap;
    std::vector<bool> matched(sorted.size(), false);
    uint16_t highestKnown = 0;
    bool anyKnown = false;
    for (size_t p = 0; p < map.size(); ++p) {
        TPosition& known = map[p];
        if (known.Record < 0) continue;
        highestKnown = std::max(highestKnown, known.MsgNum);
        anyKnown = true;
        const auto it = std::lower_bound(sorted.begin(), sorted.end(), known.MsgNum,
                                         [](const TPosition& e, uint16_t n) { return e.MsgNum < n; });
        if (it == sorted.end() || it->MsgNum != known.MsgNum) {
            // Still walked from (Next goes on by number) but no longer a message.
            if (static_cast<size_t>(known.Record) < Index.size() &&
                Index[static_cast<size_t>(known.Record)].MsgNum == known.MsgNum)
                result.Gone.push_back(static_cast<int32_t>(p));
            continue;
        }
        matched[static_cast<size_t>(it - sorted.begin())] = true;
        if (it->Record != known.Record) {
            result.Replaced.push_back(static_cast<int32_t>(p));
            known.Record = it->Record;
        }
    }
    bool renumbered = false;
    for (size_t k = 0; k < sorted.size(); ++k) {
        if (matched[k]) continue;
        if (anyKnown && sorted[k].MsgNum <= highestKnown)
            renumbered = true;
        else
            map.push_back(sorted[k]);
    }

    ReloadInfo();
    Index = std::move(index);
    IndexOnDisk = Index.size();
    Sorted = std::move(sorted);
    SortedValid = true;
    Cursor = 0;
    DropReadAhead();
    if (renumbered) {
        // Positions are handed out again by the next walk; Current rests on no message until then.
        BoardMap.clear();
        Current = -1;
        Record = -1;
        result = TBaseRefresh{};
        result.Kind = TBaseRefresh::TKind::Renumbered;
        return result;
    }
    BoardMap = std::move(map);
    if (Current >= 0 && static_cast<size_t>(Current) < BoardMap.size())
        Record = BoardMap[static_cast<size_t>(Current)].Record;
    result.PositionsAfter = static_cast<int32_t>(BoardMap.size());
    if (changed || !result.Gone.empty() || !result.Replaced.empty())
        result.Kind = TBaseRefresh::TKind::Changed;
    return result;
}

void THudson::NoteIndexChange(int32_t record, const THudsonIdx& before) {
    if (!SortedValid) return;
    const THudsonIdx& after = Index[static_cast<size_t>(record)];
    if (before.MsgNum == after.MsgNum && before.Board == after.Board) return;
    const auto inBoard = [this](const THudsonIdx& e) {
        return e.Board == Board && e.MsgNum != HudsonDeletedNum;
    };
    // Leaving the board may uncover another entry with the same number: sort again on the next walk.
    if (inBoard(before)) {
        SortedValid = false;
        return;
    }
    if (!inBoard(after)) return;
    // A new message usually has the highest number, so this is an append.
    const auto it = std::lower_bound(Sorted.begin(), Sorted.end(), after.MsgNum,
                                     [](const TPosition& p, uint16_t num) { return p.MsgNum < num; });
    if (it != Sorted.end() && it->MsgNum == after.MsgNum) {
        it->Record = std::min(it->Record, record);
        return;
    }
    Sorted.insert(it, {record, after.MsgNum});
}

void THudson::TakePosition(int32_t position, const TPosition& entry) {
    if (BoardMap.size() <= static_cast<size_t>(position)) BoardMap.resize(static_cast<size_t>(position) + 1);
    BoardMap[static_cast<size_t>(position)] = entry;
    Current = position;
    Record = entry.Record;
    CurMsgNum = entry.MsgNum;
}

void THudson::DropReadAhead() {
    HdrFile.DropCache();
    TxtFile.DropCache();
}

bool THudson::First() {
    if (!Active) return false;
    // The list readers walk with First/Next and read record after record; a new walk or a jump
    // starts from what the files hold now.
    DropReadAhead();
    const auto& board = SortedBoard();
    if (board.empty()) return false;
    Cursor = 0;
    TakePosition(0, board[0]);
    return true;
}

bool THudson::Next() {
    // Only a position a walk has handed out has a successor.
    if (!Active || Current < 0 || static_cast<size_t>(Current) >= BoardMap.size()) return false;
    const auto& board = SortedBoard();
    size_t next = 0;
    if (Cursor < board.size() && board[Cursor].MsgNum == CurMsgNum) {
        next = Cursor + 1;
    } else {
        const auto it = std::upper_bound(board.begin(), board.end(), CurMsgNum,
                                         [](uint16_t num, const TPosition& p) { return num < p.MsgNum; });
        next = static_cast<size_t>(it - board.begin());
    }
    if (next >= board.size()) return false;
    Cursor = next;
    TakePosition(Current + 1, board[next]);
    return true;
}

void THudson::Seek(int32_t position) {
    DropReadAhead();
    Current = position;
    if (position < 0 || static_cast<size_t>(position) >= BoardMap.size()) {
        Record = -1;
        return;
    }
    // The number the message had when the walk reached it, so that Next goes on from here even when
    // the message has been deleted since.
    Record = BoardMap[static_cast<size_t>(position)].Record;
    CurMsgNum = BoardMap[static_cast<size_t>(position)].MsgNum;
}

bool THudson::IsValid() {
    return Active && Record >= 0 && static_cast<size_t>(Record) < Index.size();
}

// ---- Reading ----------------------------------------------------------------------------------------

void THudson::CheckRecord() const {
    if (!Active) throw EReadError("the Hudson base is not open");
    if (Record < 0 || static_cast<size_t>(Record) >= Index.size())
        throw EReadError("no message at this position of the Hudson board");
}

std::string THudson::ReadRawHeader(bool cached) {
    CheckRecord();
    std::string raw(HudsonHeaderSize, '\0');
    const int64_t offset = int64_t{Record} * static_cast<int64_t>(HudsonHeaderSize);
    const size_t got = cached ? HdrFile.ReadCached(offset, raw.data(), raw.size())
                              : HdrFile.ReadAt(offset, raw.data(), raw.size());
    if (got != raw.size())
        throw EReadError("MSGHDR.BBS: header record " + std::to_string(Record) +
                         " is past the end of the file");
    return raw;
}

void THudson::CheckListedRecord(const std::string& raw, uint16_t msgNum) const {
    const auto* bytes = reinterpret_cast<const uint8_t*>(raw.data());
    if (GetLe16(bytes) != msgNum || bytes[HudsonBoardOffset] != Board)
        throw EReadError("MSGHDR.BBS: header record " + std::to_string(Record) + " no longer holds message " +
                         std::to_string(msgNum) +
                         "; another program has packed the base, open the area again");
}

THudsonHeader THudson::ReadCurrentHeader(bool cached) {
    const std::string raw = ReadRawHeader(cached);
    return THudsonHeader::Parse(reinterpret_cast<const uint8_t*>(raw.data()));
}

std::string THudson::ReadFirstBlock(const THudsonHeader& header) {
    // A message without text has no block of its own; the one at StartBlock belongs to a later message.
    if (header.NumBlocks == 0) return {};
    uint8_t block[HudsonBlockSize];
    const int64_t offset = int64_t{header.StartBlock} * static_cast<int64_t>(HudsonBlockSize);
    const size_t got = TxtFile.ReadCached(offset, block, sizeof block);
    if (got == 0 || got < 1u + block[0])
        throw EReadError("MSGTXT.BBS: the text of message " + std::to_string(header.MsgNum) +
                         " is past the end of the file");
    return std::string(reinterpret_cast<const char*>(block + 1), block[0]);
}

std::string THudson::ReadStoredText(const THudsonHeader& header) const {
    if (header.NumBlocks == 0) return {};
    const int64_t offset = int64_t{header.StartBlock} * static_cast<int64_t>(HudsonBlockSize);
    const int64_t available = static_cast<int64_t>(TxtFile.Size()) - offset;
    const int64_t wanted = int64_t{header.NumBlocks} * static_cast<int64_t>(HudsonBlockSize);
    const std::string pastEnd =
        "MSGTXT.BBS: the text of message " + std::to_string(header.MsgNum) + " is past the end of the file";
    if (available <= 0) throw EReadError(pastEnd);
    std::vector<uint8_t> blocks(static_cast<size_t>(std::min(available, wanted)));
    const size_t got = TxtFile.ReadAt(offset, blocks.data(), blocks.size());
    std::string stored;
    stored.reserve(got);
    for (size_t k = 0; k < header.NumBlocks; ++k) {
        const size_t at = k * HudsonBlockSize;
        if (at >= got || got - at < 1u + blocks[at]) throw EReadError(pastEnd);
        stored.append(reinterpret_cast<const char*>(blocks.data() + at + 1), blocks[at]);
    }
    return stored;
}

void THudson::FillNamesAndDate(const THudsonHeader& header) {
    Subject = FieldFromStored(header.Subject);
    FromName = FieldFromStored(header.WhoFrom);
    ToName = FieldFromStored(header.WhoTo);
    Date = ParseHudsonDate(header.PostDate, header.PostTime);
}

void THudson::ReadHeader() {
    // A damaged record must not keep the previous message's thread links and read mark.
    ReplyId.clear();
    Read = false;
    Subject.clear();
    FromName.clear();
    ToName.clear();
    Date = 0;
    OrigAddr.clear();
    DestAddr.clear();
    MsgId.clear();
    Kludges.clear();
    MsgHeader = ReadCurrentHeader(true);
    const THudsonHeader& h = MsgHeader;
    Read = (h.TimesRead & 1) != 0;
    FillNamesAndDate(h);

    Kludges = LeadingControlLines(FieldFromStored(ReadFirstBlock(h)));
    TNetAddress orig{h.OrigZone, h.OrigNet, h.OrigNode, 0};
    TNetAddress dest{h.DestZone, h.DestNet, h.DestNode, 0};
    ApplyKludgePass(orig, dest);
    OrigPoint = orig.Point;
    DestPoint = dest.Point;
}

void THudson::ReadMsgId() {
    // A message without MSGID must not keep the previous message's value.
    MsgId.clear();
    MsgHeader = ReadCurrentHeader(true);
    const std::string block = FieldFromStored(ReadFirstBlock(MsgHeader));
    static constexpr std::string_view tag = "\x01MSGID: ";
    const size_t start = block.find(tag);
    if (start == std::string::npos) return;
    const size_t valueAt = start + tag.size();
    const size_t end = block.find('\r', valueAt);
    if (end == std::string::npos) return;
    MsgId = block.substr(valueAt, end - valueAt);
    Read = (MsgHeader.TimesRead & 1) != 0;
}

void THudson::ReadMessage(int32_t position) {
    Seek(position);
    ClearMessageFields();
    MsgHeader = ReadCurrentHeader(false);
    const THudsonHeader& h = MsgHeader;
    FillNamesAndDate(h);
    const std::string stored = ReadStoredText(h);
    if (KeepStored) {
        Stored.Body = stored;
        Stored.BodyCharset = DeclaredBodyCharset(stored, {});
    }
    SplitStoredBody(stored);
    RtfText = RtfEscape(Text);
    Attr = HudsonToAttr(h.MsgAttr, h.NetAttr);
    TNetAddress orig{h.OrigZone, h.OrigNet, h.OrigNode, 0};
    TNetAddress dest{h.DestZone, h.DestNet, h.DestNode, 0};
    ApplyKludgePass(orig, dest);
    OrigPoint = orig.Point;
    DestPoint = dest.Point;
    SetReadAddresses(orig, dest);
    Read = (h.TimesRead & 1) != 0;
}

void THudson::ReadToAndRead() {
    const THudsonHeader h = ReadCurrentHeader(true);
    Read = (h.TimesRead & 1) != 0;
    ToName = FieldFromStored(h.WhoTo);
}

// ---- Writing ----------------------------------------------------------------------------------------

void THudson::ReloadInfo() {
    // Another program may have changed the counters since Open; start from what the file holds.
    uint8_t bytes[HudsonInfoSize];
    if (InfoFile.ReadAt(0, bytes, sizeof bytes) == sizeof bytes) Info = THudsonInfo::Parse(bytes);
}

void THudson::ReloadInfoForNewMessage() {
    ReloadInfo();
    // 0xFFFF marks deleted index entries; a base that got this far must be renumbered first.
    if (Info.HighMsg >= HudsonDeletedNum - 1)
        throw EWriteError("the Hudson base has no message numbers left");
}

void THudson::StoreInfo() {
    uint8_t bytes[HudsonInfoSize];
    Info.Store(bytes);
    InfoFile.WriteAt(0, bytes, sizeof bytes);
}

void THudson::StoreIdx(int32_t record) {
    uint8_t bytes[HudsonIdxSize];
    Index[static_cast<size_t>(record)].Store(bytes);
    IdxFile.WriteAt(int64_t{record} * static_cast<int64_t>(HudsonIdxSize), bytes, sizeof bytes);
}

void THudson::MarkRead() {
    StoreReadMark(true);
}

void THudson::MarkUnread() {
    StoreReadMark(false);
}

void THudson::StoreReadMark(bool read) {
    CheckRecord();
    // TimesRead is read and written under the writers' lock. A lock held elsewhere leaves the
    // message unread until it is shown again.
    const TRangeLock lock(InfoFile.Fd(), 0, HudsonInfoSize, MarkReadLockWait());
    if (!lock) return;
    const std::string raw = ReadRawHeader(false);
    // A pack by the tosser may have put another message into this record.
    if (GetLe16(reinterpret_cast<const uint8_t*>(raw.data())) != CurMsgNum) return;
    uint8_t timesRead[2];
    const uint16_t stored = GetLe16(reinterpret_cast<const uint8_t*>(raw.data()) + HudsonTimesReadOffset);
    PutLe16(timesRead, read ? stored | 1 : stored & static_cast<uint16_t>(~1u));
    HdrFile.WriteAt(int64_t{Record} * static_cast<int64_t>(HudsonHeaderSize) + HudsonTimesReadOffset,
                    timesRead, sizeof timesRead);
    Read = read;
}

bool THudson::DeleteCurrent(int32_t*, uint32_t*) {
    LastError.clear();
    CheckRecord();
    const TRangeLock lock(InfoFile.Fd(), 0, HudsonInfoSize, WriterLockWait());
    if (!lock) {
        LastError = HudsonDeleteLockText();
        return false;
    }
    const std::string raw = ReadRawHeader(false);
    CheckListedRecord(raw, CurMsgNum);
    uint8_t msgAttr = static_cast<uint8_t>(raw[HudsonMsgAttrOffset]);
    if (msgAttr & HudsonMsgDeleted) return true;
    msgAttr |= HudsonMsgDeleted;
    HdrFile.WriteAt(int64_t{Record} * static_cast<int64_t>(HudsonHeaderSize) + HudsonMsgAttrOffset, &msgAttr,
                    1);
    const THudsonIdx before = Index[static_cast<size_t>(Record)];
    Index[static_cast<size_t>(Record)].MsgNum = HudsonDeletedNum;
    NoteIndexChange(Record, before);
    StoreIdx(Record);
    ReloadInfo();
    Decrement(Info.TotalActive);
    Decrement(Info.Active(Board));
    StoreInfo();
    return true;
}

void THudson::NewMessage() {
    ClearMessageFields();
    MsgHeader = {};
    if (!Active) throw EWriteError("the Hudson base is not open");
    ReloadInfoForNewMessage();

    const auto& board = SortedBoard();
    for (size_t i = 0; i < board.size(); ++i) TakePosition(static_cast<int32_t>(i), board[i]);
    const auto position = static_cast<int32_t>(board.size());

    // The entry stays outside every board until WriteMessage fills it. MSGINFO is not touched here:
    // WriteMessage takes the number and raises the counters under the lock, so a message that is
    // never written (or whose write fails) leaves no trace, and nothing is written under another
    // program's lock. The number below is provisional until then.
    Index.push_back({});
    WriteMsgNum = static_cast<uint16_t>(Info.HighMsg + 1);
    WriteIsNew = true;
    TakePosition(position, {static_cast<int32_t>(Index.size() - 1), WriteMsgNum});
}

void THudson::PrepareRewrite() {
    ClearMessageFields();
    MsgHeader = {};
    WriteMsgNum = CurMsgNum;
    WriteIsNew = false;
}

void THudson::PlaceNewRecord() {
    // A new message always takes the record after the last one in the file, also when another
    // program appended records since Open; their index entries are taken over so the in-memory index
    // keeps matching the file.
    const auto onDisk = static_cast<size_t>(static_cast<int64_t>(IdxFile.Size() / HudsonIdxSize));
    if (onDisk > IndexOnDisk) {
        std::vector<uint8_t> bytes((onDisk - IndexOnDisk) * HudsonIdxSize);
        const size_t got = IdxFile.ReadAt(int64_t(IndexOnDisk * HudsonIdxSize), bytes.data(), bytes.size());
        Index.resize(std::max(Index.size(), onDisk));
        for (size_t off = 0; off + HudsonIdxSize <= got; off += HudsonIdxSize)
            Index[IndexOnDisk + off / HudsonIdxSize] = THudsonIdx::Parse(bytes.data() + off);
    }
    // Entries below IndexOnDisk are unchanged unless the file grew or shrank; above it there are
    // only placeholders of unwritten messages, which belong to no board.
    if (onDisk != IndexOnDisk) SortedValid = false;
    Index.resize(onDisk);
    Index.push_back({});
    IndexOnDisk = onDisk;
    Record = static_cast<int32_t>(onDisk);
}

std::string THudson::BuildStoredText() {
    std::string stored;
    for (const std::string& line : Kludges) {
        stored.push_back('\x01');
        stored += FieldToStored(line);
        stored.push_back('\r');
    }
    AddOriginAndTearline();
    stored += FieldToStored(Text);
    return stored;
}

void THudson::AppendExportList(const std::string& name) {
    // The lists keep their lower-case names whatever the case of the base files.
    std::string path = FindFileNoCase(Dir, name);
    if (path.empty()) path = Dir + name;
    TBaseFile list;
    if (!list.OpenOrCreate(path)) throw EWriteError(ErrnoText("cannot open " + path));
    auto size = static_cast<int64_t>(list.Size());
    size -= size % 2;  // a torn last entry is overwritten rather than shifting every later one
    // An edit of an unsent message is exported once, not once per save.
    std::vector<uint8_t> chunk(64 * 1024);
    for (int64_t at = 0; at < size;) {
        const size_t got =
            list.ReadAt(at, chunk.data(), static_cast<size_t>(std::min<int64_t>(size - at, chunk.size())));
        if (got < 2) break;
        for (size_t k = 0; k + 1 < got; k += 2)
            if (GetLe16(chunk.data() + k) == static_cast<uint16_t>(Record)) return;
        at += static_cast<int64_t>(got - got % 2);
    }
    uint8_t bytes[2];
    PutLe16(bytes, static_cast<uint16_t>(Record));
    list.WriteAt(size, bytes, sizeof bytes);
}

bool THudson::WriteMessage() {
    LastError.clear();
    Warnings.clear();
    CheckRecord();
    const TRangeLock lock(InfoFile.Fd(), 0, HudsonInfoSize, WriterLockWait());
    if (!lock) {
        LastError = HudsonWriteLockText();
        return false;
    }
    const bool isNew = WriteIsNew;
    if (isNew) {
        ReloadInfoForNewMessage();
        PlaceNewRecord();
    } else {
        const std::string raw = ReadRawHeader(false);
        CheckListedRecord(raw, WriteMsgNum);
        // Storing it again would bring back a message another program deleted, uncounted.
        if (static_cast<uint8_t>(raw[HudsonMsgAttrOffset]) & HudsonMsgDeleted)
            throw EReadError("MSGHDR.BBS: message " + std::to_string(WriteMsgNum) +
                             " was deleted by another program");
    }

    THudsonHeader h;
    h.Board = static_cast<uint8_t>(Board);
    h.WhoFrom = FieldToStored(FromName);
    h.WhoTo = FieldToStored(ToName);
    h.Subject = FieldToStored(Subject);
    FormatHudsonDate(Date, h.PostDate, h.PostTime);

    TNetAddress orig, dest;
    PrepareKludgesForWrite(orig, dest, false);
    h.OrigZone = static_cast<uint8_t>(orig.Zone & 0xFF);
    h.OrigNet = orig.Net;
    h.OrigNode = orig.Node;
    if (Netmail) {
        OrigPoint = orig.Point;
        h.DestZone = static_cast<uint8_t>(dest.Zone & 0xFF);
        h.DestNet = dest.Net;
        h.DestNode = dest.Node;
        DestPoint = dest.Point;
    }
    AttrToHudson(Attr, Netmail, h.MsgAttr, h.NetAttr);
    if (Read) h.TimesRead = 1;

    const std::string stored = BuildStoredText();
    const size_t numBlocks = (stored.size() + HudsonBlockText - 1) / HudsonBlockText;
    // A partial block at the end of the file is overwritten, so StartBlock points at the text.
    const auto startBlock = static_cast<int64_t>(TxtFile.Size() / HudsonBlockSize);
    if (startBlock > 0xFFFF || numBlocks > 0xFFFF || Record > 0xFFFF)
        throw EWriteError("the Hudson base is full");
    h.StartBlock = static_cast<uint16_t>(startBlock);
    h.NumBlocks = static_cast<uint16_t>(numBlocks);

    // The number is taken before anything carries it, so a write cut short can leave a gap in the
    // numbers but never hand the same number out twice.
    if (isNew) {
        WriteMsgNum = ++Info.HighMsg;
        StoreInfo();
    }
    h.MsgNum = WriteMsgNum;

    // Text first and the index entry last: until the entry is written, nothing refers to the new data.
    std::vector<uint8_t> blocks(numBlocks * HudsonBlockSize, 0);
    for (size_t k = 0; k < numBlocks; ++k) {
        const size_t from = k * HudsonBlockText;
        const size_t length = std::min(HudsonBlockText, stored.size() - from);
        blocks[k * HudsonBlockSize] = static_cast<uint8_t>(length);
        std::copy_n(stored.data() + from, length,
                    blocks.begin() + static_cast<std::ptrdiff_t>(k * HudsonBlockSize + 1));
    }
    if (!blocks.empty())
        TxtFile.WriteAt(startBlock * static_cast<int64_t>(HudsonBlockSize), blocks.data(), blocks.size());

    uint8_t header[HudsonHeaderSize];
    h.Store(header);
    HdrFile.WriteAt(int64_t{Record} * static_cast<int64_t>(HudsonHeaderSize), header, sizeof header);
    uint8_t toIdx[HudsonToIdxSize];
    WritePascalString(toIdx, HudsonToIdxSize - 1, h.WhoTo);
    ToIdxFile.WriteAt(int64_t{Record} * static_cast<int64_t>(HudsonToIdxSize), toIdx, sizeof toIdx);

    const THudsonIdx before = Index[static_cast<size_t>(Record)];
    Index[static_cast<size_t>(Record)] = {h.MsgNum, h.Board};
    NoteIndexChange(Record, before);
    StoreIdx(Record);
    IndexOnDisk = std::max(IndexOnDisk, static_cast<size_t>(Record) + 1);
    WriteIsNew = false;
    // The message is stored: a failure from here on must not make the caller write it again.
    // Counters last: until here nothing in the index counts the new message.
    if (isNew) {
        Increment(Info.TotalActive);
        Increment(Info.Active(Board));
        try {
            StoreInfo();
        } catch (const std::exception& e) {
            Warnings.push_back("Hudson: the message was stored, but MSGINFO.BBS could not be updated (" +
                               std::string(e.what()) + ")");
        }
    }
    if (Current >= 0) TakePosition(Current, {Record, h.MsgNum});

    if (!(Attr & AttrSent)) {
        const char* list = Netmail ? NetListName : EchoListName;
        try {
            AppendExportList(list);
        } catch (const std::exception& e) {
            Warnings.push_back(std::string("Hudson: the message was stored, but it could not be added to ") +
                               list + " (" + e.what() + "); the tosser will not export it");
        }
    }
    TouchFlagFile();
    return true;
}

}  // namespace pelmar
