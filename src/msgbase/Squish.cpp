#include "msgbase/Squish.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <system_error>
#include <unordered_map>

#include "core/Codepage.h"
#include "core/Errors.h"
#include "msgbase/BaseFile.h"
#include "msgbase/BodyText.h"
#include "msgbase/Charset.h"

namespace pelmar {

namespace {

std::string OffsetText(uint64_t offset) {
    return std::to_string(offset);
}

[[noreturn]] void ThrowDamaged(const std::string& what) {
    throw EReadError("Squish: " + what + "; the base was not changed");
}

std::vector<TSquishIndexEntry> ParseIndex(const std::vector<uint8_t>& bytes, bool& exact) {
    std::vector<TSquishIndexEntry> entries;
    entries.reserve(bytes.size() / SquishIndexEntrySize);
    bool skippedInside = false;
    bool skipped = false;
    for (size_t at = 0; at + SquishIndexEntrySize <= bytes.size(); at += SquishIndexEntrySize) {
        TSquishIndexEntry e{GetLe32(&bytes[at]), GetLe32(&bytes[at + 4]), GetLe32(&bytes[at + 8])};
        // Unused slots (some writers leave them at the end of the file) are not messages.
        if (e.Ofs == SquishNullFrame || e.Ofs == SquishDeletedOfs) {
            skipped = true;
            continue;
        }
        if (skipped) skippedInside = true;
        // A delete rewrites the index and then cuts it by one entry; a writer stopped between the
        // two leaves the last entry twice. The copy is not a message, and the next write drops it.
        if (!entries.empty() && entries.back().Ofs == e.Ofs && entries.back().UMsgId == e.UMsgId) {
            skippedInside = true;
            continue;
        }
        entries.push_back(e);
    }
    // The file matches the entries entry for entry up to their count: appending one is enough.
    exact = !skippedInside;
    return entries;
}

}  // namespace

const std::string& SquishWriteLockText() {
    static const std::string text =
        Utf8ToAnsi("Не могу записать письмо т.к. не удалось получить доступ к Squish-базе!");
    return text;
}

const std::string& SquishDeleteLockText() {
    static const std::string text =
        Utf8ToAnsi("Не могу удалить письмо т.к. не удалось получить доступ к Squish-базе!");
    return text;
}

TSquish::~TSquish() {
    Destroy();
}

// ---- Opening and navigation -----------------------------------------------------------------------

void TSquish::Open() {
    Close();
    try {
        if (!DataFile.Open(FileName(".sqd")) || !IndexFile.Open(FileName(".sqi"))) {
            Close();
            return;
        }
        // A walk reads the frames in order, mostly: large fills once it is under way, a small one
        // for the first read after a seek.
        DataFile.SetReadAhead(8 * 1024, 256 * 1024);
        DataSize = DataFile.Size();
        if (DataSize < SquishBaseHeaderSize) {
            Close();
            return;
        }
        DataFile.ReadExact(0, BaseHeader.Raw.data(), SquishBaseHeaderSize);
        LoadIndex();
    } catch (const EReadError&) {
        Close();
        return;
    }
    Positions = DiskIndex;
    SyncedHeader = BaseHeader.Raw;
    Synced = true;
    Current = 0;
    FrameOfs = 0;
    DiskPos = 0;
    Pending = TPending::None;
    Active = true;
}

std::string TSquish::FileName(const char* extension) const {
    std::string dir, stem;
    SplitBasePath(Path, dir, stem);
    return BaseFilePath(dir, stem, extension, {".sqd", ".sqi"});
}

void TSquish::CreateBase() {
    const std::string sqd = FileName(".sqd");
    const std::string sqi = FileName(".sqi");
    // Never over an existing base: only absent files are made. An index left without its data file
    // would lead into a fresh data file, so such remains are left for the user to look at.
    const int64_t sqdSize = ExistingFileSize(sqd);
    if (sqdSize < 0 && ExistingFileSize(sqi) > 0)
        throw EWriteError("Squish: " + sqi + " exists without its data file; nothing was created");
    // Frames without their index: a fresh index would hide every message, and the next write would
    // count from zero over them.
    if (sqdSize > static_cast<int64_t>(SquishBaseHeaderSize) && ExistingFileSize(sqi) < 0)
        throw EWriteError("Squish: " + sqd + " holds messages but " + sqi +
                          " is missing; nothing was created");
    CreateNewFile(sqi);
    // The base header of an empty base as Squish programs expect it: its own length and the frame
    // header size recorded, no frames, the data ending right after the header, identifiers from 1.
    TSquishBaseHeader header;
    PutLe16(&header.Raw[0], SquishBaseHeaderSize);
    PutLe16(&header.Raw[SquishHeaderSizeField], SquishFrameHeaderSize);
    header.SetUid(1);
    header.SetEndFrame(SquishBaseHeaderSize);
    CreateNewFile(sqd, std::string_view(reinterpret_cast<const char*>(header.Raw.data()), header.Raw.size()));
}

void TSquish::Close() {
    DataFile.Close();
    IndexFile.Close();
    std::vector<TSquishIndexEntry>().swap(Positions);
    std::vector<TSquishIndexEntry>().swap(DiskIndex);
    Pending = TPending::None;
    Synced = false;
    Active = false;
}

void TSquish::LoadIndex() {
    IndexFile.DropCache();  // other programs may have rewritten it since it was last read
    const uint64_t size = IndexFile.Size();
    // Every message takes at least a frame header and an XMSG in the data file, so an index longer
    // than that allows is damaged beyond that point; its tail is not even read.
    const uint64_t most = (DataSize / (SquishFrameHeaderSize + SquishXmsgSize) + 1) * SquishIndexEntrySize;
    const uint64_t used = std::min(size - size % SquishIndexEntrySize, most);
    std::vector<uint8_t> bytes(used);
    if (!bytes.empty()) IndexFile.ReadExact(0, bytes.data(), bytes.size());
    DiskIndex = ParseIndex(bytes, DiskIndexExact);
    SyncedIndexSize = size;
    if (used != size) DiskIndexExact = false;
}

int32_t TSquish::Count() {
    if (!Active) return 0;
    return static_cast<int32_t>(std::min<uint32_t>(BaseHeader.NumMsg(), std::numeric_limits<int32_t>::max()));
}

double TSquish::ChangeStamp() {
    return Active ? static_cast<double>(BaseHeader.Uid()) : 0.0;
}

int32_t TSquish::ChangeCounter() {
    if (!Active) return 0;
    uint64_t size = DataSize;
    try {
        size = DataFile.Size();
    } catch (const EReadError&) {
    }
    return static_cast<int32_t>(static_cast<uint32_t>(size + BaseHeader.NumMsg()));
}

void TSquish::GetAttrText(std::string& text) {
    text = SquishAttrText(MsgHeader.Attr());
}

bool TSquish::LivePosition(int32_t position) const {
    return position >= 0 && static_cast<size_t>(position) < Positions.size() &&
           Positions[static_cast<size_t>(position)].Ofs != SquishDeletedOfs;
}

bool TSquish::Walkable(int32_t position) const {
    // A new message is not in the base until WriteMessage has stored it.
    return LivePosition(position) && !(Pending == TPending::New && position == PendingPosition);
}

void TSquish::AbandonPendingNew() {
    if (Pending != TPending::New) return;
    if (LivePosition(PendingPosition)) Positions[static_cast<size_t>(PendingPosition)].Ofs = SquishDeletedOfs;
    if (BaseHeader.NumMsg() > 0) BaseHeader.SetNumMsg(BaseHeader.NumMsg() - 1);
    if (BaseHeader.HighMsg() > 0) BaseHeader.SetHighMsg(BaseHeader.HighMsg() - 1);
    Pending = TPending::None;
}

bool TSquish::IsValid() {
    return Current >= 0 && static_cast<size_t>(Current) < Positions.size();
}

bool TSquish::First() {
    if (!Active) return false;
    // A new walk sees what other programs wrote since the last one.
    DataFile.DropCache();
    try {
        DataSize = DataFile.Size();
    } catch (const EReadError&) {
    }
    const auto count = static_cast<int32_t>(Positions.size());
    Current = 0;
    while (Current < count && !Walkable(Current)) ++Current;
    if (Current >= count) return false;
    FrameOfs = Positions[static_cast<size_t>(Current)].Ofs;
    return true;
}

bool TSquish::Next() {
    const auto count = static_cast<int32_t>(Positions.size());
    int32_t i = std::max(Current + 1, 0);
    while (i < count && !Walkable(i)) ++i;
    if (i >= count) {
        if (count > 0) Current = count - 1;
        return false;
    }
    Current = i;
    FrameOfs = Positions[static_cast<size_t>(Current)].Ofs;
    return true;
}

void TSquish::Seek(int32_t position) {
    Current = position;
    DataFile.DropCache();
    if (position >= 0 && static_cast<size_t>(position) < Positions.size()) {
        // Where the message sits in DiskIndex is looked up under the lock when it is written or
        // deleted: only then is DiskIndex known to match the disk.
        FrameOfs = Positions[static_cast<size_t>(position)].Ofs;
    }
}

// ---- Other programs' changes ---------------------------------------------------------------------

TBaseRefresh TSquish::Refresh() {
    TBaseRefresh result;
    if (!Active) return result;
    const bool pendingNew = Pending == TPending::New && PendingPosition >= 0 &&
                            static_cast<size_t>(PendingPosition) + 1 == Positions.size();
    const size_t known = pendingNew ? Positions.size() - 1 : Positions.size();
    result.PositionsBefore = result.PositionsAfter = static_cast<int32_t>(known);

    // Writers hold the lock on the first byte of the data file while they change the base; the
    // files are consistent only once they let go. Read under a shared lock; leave a base being written.
    const TRangeLock lock(DataFile.Fd(), 0, 1, MarkReadLockWait(), TRangeLock::TMode::Shared);
    if (lock.HeldElsewhere()) {
        result.Kind = TBaseRefresh::TKind::Busy;
        return result;
    }
    // Everything is read and checked before anything in memory changes.
    DataFile.DropCache();
    const uint64_t dataSize = DataFile.Size();
    if (dataSize < SquishBaseHeaderSize) ThrowDamaged("the data file is shorter than its header");
    TSquishBaseHeader header;
    DataFile.ReadExact(0, header.Raw.data(), SquishBaseHeaderSize);
    const uint64_t indexSize = IndexFile.Size();
    // Nobody wrote: the header and index are as this object left them (and the data did not shrink).
    if (Synced && header.Raw == SyncedHeader && indexSize == SyncedIndexSize && dataSize >= DataSize)
        return result;
    // A writer that does not lock may be half-way through an append (an index entry being written,
    // or one whose frame is not there yet): news for later, not damage.
    const auto halfWritten = [&result] {
        result = TBaseRefresh{};
        result.Kind = TBaseRefresh::TKind::Busy;
        return result;
    };
    uint32_t newestKnown = 0;
    for (size_t p = 0; p < known; ++p) newestKnown = std::max(newestKnown, Positions[p].UMsgId);
    if (indexSize % SquishIndexEntrySize != 0) {
        if (Synced && indexSize > SyncedIndexSize) return halfWritten();
        ThrowDamaged("the index ends in a partial entry");
    }
    if (indexSize > (dataSize / (SquishFrameHeaderSize + SquishXmsgSize) + 1) * SquishIndexEntrySize)
        ThrowDamaged("the index lists more messages than the data file can hold");
    if ((header.BeginFrame() == SquishNullFrame) != (header.LastFrame() == SquishNullFrame))
        ThrowDamaged("the message chain in the base header is inconsistent");
    std::vector<uint8_t> bytes(indexSize);
    IndexFile.DropCache();
    if (!bytes.empty()) IndexFile.ReadExact(0, bytes.data(), bytes.size());
    bool exact = false;
    std::vector<TSquishIndexEntry> disk = ParseIndex(bytes, exact);
    for (size_t i = 0; i < disk.size(); ++i) {
        if (disk[i].Ofs < SquishBaseHeaderSize ||
            uint64_t{disk[i].Ofs} + SquishFrameHeaderSize + SquishXmsgSize > dataSize) {
            if (known > 0 && disk[i].UMsgId > newestKnown) return halfWritten();
            ThrowDamaged("index entry " + std::to_string(i) + " leads outside the data file");
        }
    }

    std::unordered_map<uint32_t, size_t> byId;
    byId.reserve(disk.size());
    for (size_t i = 0; i < disk.size(); ++i) byId.emplace(disk[i].UMsgId, i);
    std::vector<bool> matched(disk.size(), false);
    std::vector<TSquishIndexEntry> positions(Positions.begin(),
                                             Positions.begin() + static_cast<std::ptrdiff_t>(known));
    uint32_t highestKnown = 0;
    for (size_t p = 0; p < known; ++p) {
        TSquishIndexEntry& entry = positions[p];
        highestKnown = std::max(highestKnown, entry.UMsgId);
        if (entry.Ofs == SquishDeletedOfs) continue;
        const auto it = byId.find(entry.UMsgId);
        if (it == byId.end() || matched[it->second]) {
            result.Gone.push_back(static_cast<int32_t>(p));
            entry.Ofs = SquishDeletedOfs;
            continue;
        }
        matched[it->second] = true;
        const TSquishIndexEntry& now = disk[it->second];
        if (now.Ofs != entry.Ofs || now.Hash != entry.Hash) {
            result.Replaced.push_back(static_cast<int32_t>(p));
            entry = now;
        }
    }
    bool renumbered = header.Uid() < BaseHeader.Uid() && !pendingNew;
    for (size_t i = 0; i < disk.size() && !renumbered; ++i) {
        if (matched[i]) continue;
        if (known > 0 && disk[i].UMsgId <= highestKnown)
            renumbered = true;
        else
            positions.push_back(disk[i]);
    }

    TSquishIndexEntry pendingEntry;
    if (pendingNew) pendingEntry = Positions.back();
    if (renumbered) {
        // Current (and a rewrite being prepared) follow their message by its identifier.
        const auto follow = [&](int32_t position) {
            if (!LivePosition(position)) return -1;
            const auto it = byId.find(Positions[static_cast<size_t>(position)].UMsgId);
            return it == byId.end() ? -1 : static_cast<int32_t>(it->second);
        };
        if (!(pendingNew && Current == PendingPosition)) Current = follow(Current);
        if (Pending == TPending::Rewrite) {
            PendingPosition = follow(PendingPosition);
            if (PendingPosition < 0) Pending = TPending::None;
        }
        positions = disk;
        result = TBaseRefresh{};
        result.Kind = TBaseRefresh::TKind::Renumbered;
        result.PositionsBefore = static_cast<int32_t>(known);
    } else {
        result.Kind = TBaseRefresh::TKind::Changed;
    }
    result.PositionsAfter = static_cast<int32_t>(positions.size());

    BaseHeader = header;
    DiskIndex = std::move(disk);
    DiskIndexExact = exact;
    SyncedHeader = header.Raw;
    SyncedIndexSize = indexSize;
    Synced = true;
    DataSize = dataSize;
    Positions = std::move(positions);
    if (pendingNew) {
        // The message being written stays last, counted as NewMessage counted it.
        const bool wasCurrent = Current == PendingPosition;
        Positions.push_back(pendingEntry);
        PendingPosition = static_cast<int32_t>(Positions.size()) - 1;
        if (wasCurrent) Current = PendingPosition;
        BaseHeader.SetUid(BaseHeader.Uid() + 1);
        BaseHeader.SetNumMsg(BaseHeader.NumMsg() + 1);
        BaseHeader.SetHighMsg(BaseHeader.HighMsg() + 1);
    }
    if (LivePosition(Current)) FrameOfs = Positions[static_cast<size_t>(Current)].Ofs;
    return result;
}

// ---- Reading ---------------------------------------------------------------------------------------

void TSquish::ReadFrameAndXmsg() {
    if (!LivePosition(Current)) throw EReadError("Squish: no message at position " + std::to_string(Current));
    const uint64_t ofs = FrameOfs;
    auto fail = [ofs](const char* what) {
        throw EReadError("Squish: message at offset " + OffsetText(ofs) + " " + what);
    };
    if (ofs < SquishBaseHeaderSize) fail("lies in the base header");
    constexpr uint64_t headAndXmsg = SquishFrameHeaderSize + SquishXmsgSize;
    auto fits = [&](uint64_t length) {
        if (ofs + length <= DataSize) return true;
        DataSize = DataFile.Size();  // the file may have grown since it was last looked at
        return ofs + length <= DataSize;
    };
    if (!fits(headAndXmsg)) fail("lies past the end of the data file");
    const std::string_view bytes = DataFile.ReadCachedExact(ofs, headAndXmsg);
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    FrameHeader = TSquishFrameHeader::Parse(p);
    if (FrameHeader.Id != SquishFrameId) fail("has no frame signature");
    if (FrameHeader.FrameType != SquishFrameNormal) fail("is a free frame");
    if (FrameHeader.MsgLength < SquishXmsgSize) fail("is shorter than its header");
    if (!fits(SquishFrameHeaderSize + uint64_t{FrameHeader.MsgLength}))
        fail("runs past the end of the data file");
    if (FrameHeader.CLen > FrameHeader.MsgLength - SquishXmsgSize)
        fail("has more control information than message");
    std::memcpy(MsgHeader.Raw.data(), p + SquishFrameHeaderSize, SquishXmsgSize);
}

std::string_view TSquish::ReadAfterXmsg(size_t length) {
    return DataFile.ReadCachedExact(uint64_t{FrameOfs} + SquishFrameHeaderSize + SquishXmsgSize, length);
}

void TSquish::ReadNames() {
    Subject = FieldFromStored(MsgHeader.Subj());
    FromName = FieldFromStored(MsgHeader.From());
    ToName = FieldFromStored(MsgHeader.To());
    Date = ParseFtsDate(MsgHeader.FtscDate());
}

template <typename Convert>
size_t TSquish::ParseControlLines(std::string_view bytes, Convert convert) {
    const size_t n = bytes.size();
    size_t i = 0;
    while (n > 0 && i < n - 1 && bytes[i] == '\x01') {
        const size_t start = i + 1;
        size_t end = start;
        while (end < n && bytes[end] != '\x01' && bytes[end] != '\0') ++end;
        Kludges.push_back(convert(bytes.substr(start, end - start)));
        i = end;
    }
    return i;
}

void TSquish::ReadHeader() {
    // A damaged frame must not keep the previous message's thread links and read mark.
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
    ReadFrameAndXmsg();
    ReadNames();
    // The leading control lines end at the NUL that closes the control information; when clen marks
    // that NUL, the body need not be read at all.
    std::string_view bytes = ReadAfterXmsg(FrameHeader.CLen);
    if (bytes.empty() || bytes.back() != '\0') bytes = ReadAfterXmsg(FrameHeader.MsgLength - SquishXmsgSize);
    ParseControlLines(bytes, [this](std::string_view line) { return FieldFromStored(line); });
    // Names and subject are stored in the frame with the control lines: they follow a CHRS line there.
    ReadNamesByDeclaration(MsgHeader.From(), MsgHeader.To(), MsgHeader.Subj());
    Read = (MsgHeader.Attr() & SquishReadMark) != 0;
    // The list needs MSGID/REPLY only; the attribute set is filled by ReadMessage.
    const uint16_t keptAttr = Attr;
    TNetAddress orig = MsgHeader.Orig();
    TNetAddress dest = MsgHeader.Dest();
    try {
        ApplyKludgePass(orig, dest);
    } catch (...) {
        Attr = keptAttr;
        throw;
    }
    Attr = keptAttr;
}

void TSquish::ReadMsgId() {
    MsgId.clear();
    ReadFrameAndXmsg();
    const std::string_view control = ReadAfterXmsg(FrameHeader.CLen);
    static constexpr std::string_view key = "\x01MSGID: ";
    const size_t at = control.find(key);
    if (at == std::string_view::npos) return;
    const size_t start = at + key.size();
    size_t end = start;
    while (end < control.size() && control[end] != '\x01' && control[end] != '\0') ++end;
    MsgId = FieldFromStored(control.substr(start, end - start));
    Read = (MsgHeader.Attr() & SquishReadMark) != 0;
}

void TSquish::ReadMessage(int32_t position) {
    Seek(position);
    ClearMessageFields();
    ReadFrameAndXmsg();
    Read = (MsgHeader.Attr() & SquishReadMark) != 0;
    ReadNames();

    const std::string_view bytes = ReadAfterXmsg(FrameHeader.MsgLength - SquishXmsgSize);
    size_t bodyStart = ParseControlLines(
        bytes, [this](std::string_view line) { return RawText ? std::string(line) : BodyToAnsi(line); });
    // The NUL closing the control information; a writer that stored none starts the body right here.
    ReadNamesByDeclaration(MsgHeader.From(), MsgHeader.To(), MsgHeader.Subj());
    if (bodyStart < bytes.size() && bytes[bodyStart] == '\0') ++bodyStart;
    std::string_view body = bytes.substr(std::min(bodyStart, bytes.size()));
    body = body.substr(0, body.find('\0'));

    // Control lines stored in the body (PATH and the like, at its end) belong to Kludges.
    if (KeepStored) {
        Stored.Body = body;
        Stored.BodyCharset = DeclaredBodyCharset(body, Kludges);
    }
    SplitStoredBody(body);
    RtfText = RtfEscape(Text);

    Attr = CommonAttrFromSquish(MsgHeader.Attr());
    TNetAddress orig = MsgHeader.Orig();
    TNetAddress dest = MsgHeader.Dest();
    ApplyKludgePass(orig, dest);
    SetReadAddresses(orig, dest);
}

void TSquish::ReadToAndRead() {
    ReadFrameAndXmsg();
    Read = (MsgHeader.Attr() & SquishReadMark) != 0;
    ToName = FieldFromStored(MsgHeader.To());
}

void TSquish::MarkRead() {
    StoreReadMark(true);
}

void TSquish::MarkUnread() {
    StoreReadMark(false);
}

void TSquish::StoreReadMark(bool read) {
    if (!Active || !LivePosition(Current) || !DataFile.Writable()) return;
    // The read mark shares its word with the scanner's bits: the word is read and written under the
    // writers' lock. A lock held elsewhere leaves the message unread until it is shown again.
    const TRangeLock lock(DataFile.Fd(), 0, 1, MarkReadLockWait());
    if (!lock) return;
    try {
        // The index must still lead to this frame under this message's identifier: otherwise the
        // message was deleted or rewritten meanwhile, and another program may reuse its frame.
        const TSquishIndexEntry& shown = Positions[static_cast<size_t>(Current)];
        const std::string index = IndexFile.ReadAt(0, IndexFile.Size());
        bool listed = false;
        for (size_t at = 0; at + SquishIndexEntrySize <= index.size() && !listed; at += SquishIndexEntrySize)
            listed = GetLe32(index, at) == FrameOfs && GetLe32(index, at + 4) == shown.UMsgId;
        if (!listed) return;
        DataFile.DropCache();
        ReadFrameAndXmsg();
    } catch (const EReadError&) {
        return;  // a damaged frame is left as it is; reading it already reported the damage
    }
    const uint32_t attr = MsgHeader.Attr();
    if (((attr & SquishReadMark) != 0) == read) return;
    MsgHeader.SetAttr(read ? attr | SquishReadMark : attr & ~SquishReadMark);
    DataFile.WriteAt(uint64_t{FrameOfs} + SquishFrameHeaderSize, MsgHeader.Raw.data(), 4);
}

// ---- Writing ---------------------------------------------------------------------------------------

void TSquish::NewMessage() {
    AbandonPendingNew();
    MsgHeader = TSquishXmsg{};
    FrameHeader = TSquishFrameHeader{};
    ClearMessageFields();
    if (!Active) return;
    uint64_t size = DataSize;
    try {
        size = DataFile.Size();
    } catch (const EReadError&) {
    }
    // Where the frame will go if nobody else writes first; WriteMessage settles it under the lock.
    FrameOfs = static_cast<uint32_t>(std::min<uint64_t>(size, SquishDeletedOfs - 1));
    // DiskIndex gets its entry when the message reaches the disk.
    Positions.push_back(TSquishIndexEntry{FrameOfs, BaseHeader.Uid(), 0});
    Current = static_cast<int32_t>(Positions.size() - 1);
    DiskPos = static_cast<int32_t>(DiskIndex.size());
    BaseHeader.SetUid(BaseHeader.Uid() + 1);
    BaseHeader.SetNumMsg(BaseHeader.NumMsg() + 1);
    BaseHeader.SetHighMsg(BaseHeader.HighMsg() + 1);
    FrameHeader.Id = SquishFrameId;
    FrameHeader.FrameType = SquishFrameNormal;
    FrameHeader.PrevFrame = BaseHeader.LastFrame();
    if (BaseHeader.LastFrame() == SquishNullFrame) BaseHeader.SetBeginFrame(FrameOfs);
    BaseHeader.SetLastFrame(FrameOfs);
    Pending = TPending::New;
    PendingPosition = Current;
}

void TSquish::PrepareRewrite() {
    MsgHeader = TSquishXmsg{};
    FrameHeader = TSquishFrameHeader{};
    ClearMessageFields();
    // A new message not stored yet stays a new message.
    if (Pending == TPending::New && PendingPosition == Current) return;
    AbandonPendingNew();
    // The old frame stays in the chain until WriteMessage replaces it under the lock, so an edit that
    // is never stored leaves the base as it was.
    Pending = LivePosition(Current) ? TPending::Rewrite : TPending::None;
    PendingPosition = Current;
}

bool TSquish::WriteMessage() {
    LastError.clear();
    if (!Active) return false;
    TPending kind = TPending::None;
    if (Pending != TPending::None && PendingPosition == Current)
        kind = Pending;
    else if (LivePosition(Current))
        kind = TPending::Rewrite;  // a stored message written again replaces itself
    else
        throw std::logic_error("Squish: WriteMessage without NewMessage or PrepareRewrite");
    if (kind != TPending::New) AbandonPendingNew();

    const TRangeLock lock(DataFile.Fd(), 0, 1, WriterLockWait());
    if (!lock) {
        LastError = SquishWriteLockText();
        return false;
    }
    ReloadDiskState();

    TSquishFrameHeader frame;
    std::string bytes = BuildMessageBytes(frame);
    if (kind == TPending::New)
        StoreNewMessage(std::move(bytes), frame);
    else
        StoreRewrite(std::move(bytes), frame);
    Pending = TPending::None;
    TouchFlagFile();
    return true;
}

bool TSquish::DeleteCurrent(int32_t* /*headerOffset*/, uint32_t* /*recipientCrc*/) {
    LastError.clear();
    if (!Active || !LivePosition(Current)) return false;
    const TRangeLock lock(DataFile.Fd(), 0, 1, WriterLockWait());
    if (!lock) {
        LastError = SquishDeleteLockText();
        return false;
    }
    ReloadDiskState();

    auto& position = Positions[static_cast<size_t>(Current)];
    const int32_t k = FindDiskEntry(position);
    if (k < 0) {
        // Another program removed it already: the base is as the caller wants it.
        position.Ofs = SquishDeletedOfs;
        return true;
    }
    const uint32_t ofs = DiskIndex[static_cast<size_t>(k)].Ofs;
    TSquishFrameHeader frame = ReadFrameForUpdate(ofs, SquishFrameNormal);
    // Every frame that changes is read and checked before the first byte is written.
    TSquishFrameHeader prev, next;
    if (frame.PrevFrame != SquishNullFrame) prev = ReadFrameForUpdate(frame.PrevFrame, SquishFrameNormal);
    if (frame.NextFrame != SquishNullFrame) next = ReadFrameForUpdate(frame.NextFrame, SquishFrameNormal);
    TSquishFrameHeader lastFree = FreeChainTail();

    // The index entry goes first: once the frame below turns into a free frame, nothing that readers
    // follow may still lead to it.
    DiskIndex.erase(DiskIndex.begin() + k);
    WriteIndex(false);
    if (frame.PrevFrame != SquishNullFrame) {
        prev.NextFrame = frame.NextFrame;
        WriteFrameHeader(frame.PrevFrame, prev);
    } else {
        BaseHeader.SetBeginFrame(frame.NextFrame);
    }
    if (frame.NextFrame != SquishNullFrame) {
        next.PrevFrame = frame.PrevFrame;
        WriteFrameHeader(frame.NextFrame, next);
    } else {
        BaseHeader.SetLastFrame(frame.PrevFrame);
    }
    AppendToFreeChain(ofs, frame, lastFree);

    if (BaseHeader.NumMsg() > 0) BaseHeader.SetNumMsg(BaseHeader.NumMsg() - 1);
    if (BaseHeader.HighMsg() > 0) BaseHeader.SetHighMsg(BaseHeader.HighMsg() - 1);
    WriteBaseHeader();
    position.Ofs = SquishDeletedOfs;
    if (Pending != TPending::None && PendingPosition == Current) Pending = TPending::None;
    return true;
}

void TSquish::ReloadDiskState() {
    DataFile.DropCache();
    DataSize = DataFile.Size();
    if (DataSize < SquishBaseHeaderSize) ThrowDamaged("the data file is shorter than its header");
    TSquishBaseHeader disk;
    DataFile.ReadExact(0, disk.Raw.data(), SquishBaseHeaderSize);
    const uint64_t indexSize = IndexFile.Size();
    // Unchanged header and index size: nobody wrote since our last write, the index in memory holds.
    const bool unchanged = disk.Raw == SyncedHeader && indexSize == SyncedIndexSize && Synced;
    BaseHeader = disk;
    if (!unchanged) LoadIndex();
    if ((BaseHeader.BeginFrame() == SquishNullFrame) != (BaseHeader.LastFrame() == SquishNullFrame))
        ThrowDamaged("the message chain in the base header is inconsistent");
    if ((BaseHeader.FreeFrame() == SquishNullFrame) != (BaseHeader.LastFreeFrame() == SquishNullFrame))
        ThrowDamaged("the free chain in the base header is inconsistent");
}

TSquishFrameHeader TSquish::ReadFrameForUpdate(uint32_t offset, uint16_t expectedType) {
    const std::string where = "frame at offset " + OffsetText(offset);
    if (offset < SquishBaseHeaderSize || offset == SquishDeletedOfs ||
        uint64_t{offset} + SquishFrameHeaderSize > DataSize)
        ThrowDamaged(where + " lies outside the data file");
    uint8_t raw[SquishFrameHeaderSize];
    DataFile.ReadExact(offset, raw, sizeof raw);
    const TSquishFrameHeader frame = TSquishFrameHeader::Parse(raw);
    if (frame.Id != SquishFrameId) ThrowDamaged(where + " has no frame signature");
    if (frame.FrameType != expectedType)
        ThrowDamaged(where +
                     (expectedType == SquishFrameFree ? " is not a free frame" : " is not a message"));
    return frame;
}

TSquishFrameHeader TSquish::FreeChainTail() {
    if (BaseHeader.FreeFrame() == SquishNullFrame || BaseHeader.LastFreeFrame() == SquishNullFrame)
        return TSquishFrameHeader{};
    return ReadFrameForUpdate(BaseHeader.LastFreeFrame(), SquishFrameFree);
}

void TSquish::WriteFrameHeader(uint32_t offset, const TSquishFrameHeader& frame) {
    uint8_t raw[SquishFrameHeaderSize];
    frame.Serialize(raw);
    DataFile.WriteAt(offset, raw, sizeof raw);
}

void TSquish::AppendToFreeChain(uint32_t offset, TSquishFrameHeader frame, TSquishFrameHeader lastFree) {
    frame.FrameType = SquishFrameFree;
    frame.NextFrame = SquishNullFrame;
    if (BaseHeader.FreeFrame() != SquishNullFrame && BaseHeader.LastFreeFrame() != SquishNullFrame) {
        frame.PrevFrame = BaseHeader.LastFreeFrame();
        lastFree.NextFrame = offset;
        WriteFrameHeader(BaseHeader.LastFreeFrame(), lastFree);
    } else {
        frame.PrevFrame = SquishNullFrame;
        BaseHeader.SetFreeFrame(offset);
    }
    BaseHeader.SetLastFreeFrame(offset);
    WriteFrameHeader(offset, frame);
}

void TSquish::WriteIndex(bool appendedOne) {
    const size_t n = DiskIndex.size();
    if (appendedOne && DiskIndexExact && n > 0) {
        // Everything before the new entry is on disk already.
        uint8_t raw[SquishIndexEntrySize];
        const auto& e = DiskIndex.back();
        PutLe32(raw, e.Ofs);
        PutLe32(raw + 4, e.UMsgId);
        PutLe32(raw + 8, e.Hash);
        IndexFile.WriteAt((n - 1) * SquishIndexEntrySize, raw, sizeof raw);
    } else {
        std::vector<uint8_t> raw(n * SquishIndexEntrySize);
        for (size_t i = 0; i < n; ++i) {
            PutLe32(&raw[i * SquishIndexEntrySize], DiskIndex[i].Ofs);
            PutLe32(&raw[i * SquishIndexEntrySize + 4], DiskIndex[i].UMsgId);
            PutLe32(&raw[i * SquishIndexEntrySize + 8], DiskIndex[i].Hash);
        }
        if (!raw.empty()) IndexFile.WriteAt(0, raw.data(), raw.size());
    }
    // Written first, cut after: the file is never seen empty.
    IndexFile.Truncate(n * SquishIndexEntrySize);
    DiskIndexExact = true;
    SyncedIndexSize = n * SquishIndexEntrySize;
}

void TSquish::WriteBaseHeader() {
    DataFile.WriteAt(0, BaseHeader.Raw.data(), SquishBaseHeaderSize);
    SyncedHeader = BaseHeader.Raw;
    Synced = true;
}

int32_t TSquish::FindDiskEntry(const TSquishIndexEntry& entry) const {
    int32_t byId = -1;
    for (size_t i = 0; i < DiskIndex.size(); ++i) {
        if (DiskIndex[i].UMsgId != entry.UMsgId) continue;
        if (DiskIndex[i].Ofs == entry.Ofs) return static_cast<int32_t>(i);
        if (byId < 0) byId = static_cast<int32_t>(i);
    }
    return byId;
}

std::string TSquish::BuildMessageBytes(TSquishFrameHeader& frame) {
    TNetAddress orig, dest;
    PrepareKludgesForWrite(orig, dest, false);

    std::string control;
    for (const auto& line : Kludges) {
        control += '\x01';
        control += FieldToStored(line);
    }
    if (!control.empty() && control.back() == '\r') control.pop_back();
    AddOriginAndTearline();
    const std::string body = FieldToStored(Text);

    const uint64_t msgLength = uint64_t{SquishXmsgSize} + control.size() + body.size() + 2;
    if (msgLength > std::numeric_limits<uint32_t>::max() / 2)
        throw EWriteError("Squish: the message is too large for the base");

    MsgHeader = TSquishXmsg{};
    MsgHeader.SetAttr(SquishAttrFromCommon(Attr) | (Read ? SquishReadMark : 0));
    MsgHeader.SetFrom(FieldToStored(FromName));
    MsgHeader.SetTo(FieldToStored(ToName));
    MsgHeader.SetSubj(FieldToStored(Subject));
    // The hash covers the name as stored (cut to its field).
    const uint32_t hash = SquishHash(MsgHeader.To());
    MsgHeader.SetOrig(orig);
    if (Netmail) MsgHeader.SetDest(dest);
    uint16_t dosDate = 0, dosTime = 0;
    DateTimeToDos(NowLocal(), dosDate, dosTime);
    MsgHeader.SetDates(dosDate, dosTime);
    MsgHeader.SetFtscDate(FormatFtsDate(Date));

    frame = TSquishFrameHeader{};
    frame.Id = SquishFrameId;
    frame.FrameLength = frame.MsgLength = static_cast<uint32_t>(msgLength);
    frame.CLen = static_cast<uint32_t>(control.size() + 1);
    frame.FrameType = SquishFrameNormal;
    PendingHash = hash;

    std::string bytes(SquishFrameHeaderSize, '\0');
    bytes.reserve(SquishFrameHeaderSize + msgLength);
    bytes.append(reinterpret_cast<const char*>(MsgHeader.Raw.data()), SquishXmsgSize);
    bytes += control;
    bytes += '\0';
    bytes += body;
    bytes += '\0';
    return bytes;
}

uint32_t TSquish::AppendOffset(uint64_t frameBytes) const {
    const uint64_t end = DataSize;
    if (end + frameBytes >= SquishDeletedOfs) throw EWriteError("Squish: the data file is full");
    return static_cast<uint32_t>(end);
}

void TSquish::StoreNewMessage(std::string bytes, TSquishFrameHeader frame) {
    const uint32_t at = AppendOffset(bytes.size());
    const uint32_t last = BaseHeader.LastFrame();
    TSquishFrameHeader lastFrame;
    if (last != SquishNullFrame) lastFrame = ReadFrameForUpdate(last, SquishFrameNormal);
    // Identifiers ascend in index order; others look messages up by them.
    uint32_t umsgid = std::max<uint32_t>(BaseHeader.Uid(), 1);
    if (!DiskIndex.empty() && DiskIndex.back().UMsgId >= umsgid) umsgid = DiskIndex.back().UMsgId + 1;

    frame.PrevFrame = last;
    frame.NextFrame = SquishNullFrame;
    frame.Serialize(reinterpret_cast<uint8_t*>(bytes.data()));
    DataFile.WriteAt(at, bytes.data(), bytes.size());
    if (last != SquishNullFrame) {
        lastFrame.NextFrame = at;
        WriteFrameHeader(last, lastFrame);
    } else {
        BaseHeader.SetBeginFrame(at);
    }
    BaseHeader.SetLastFrame(at);
    BaseHeader.SetNumMsg(BaseHeader.NumMsg() + 1);
    BaseHeader.SetHighMsg(BaseHeader.HighMsg() + 1);
    BaseHeader.SetUid(umsgid + 1);
    BaseHeader.SetEndFrame(static_cast<uint32_t>(at + bytes.size()));

    const TSquishIndexEntry entry{at, umsgid, PendingHash};
    DiskIndex.push_back(entry);
    WriteIndex(true);
    WriteBaseHeader();
    DataSize = at + bytes.size();

    Positions[static_cast<size_t>(Current)] = entry;
    DiskPos = static_cast<int32_t>(DiskIndex.size() - 1);
    FrameOfs = at;
    FrameHeader = frame;
}

void TSquish::StoreRewrite(std::string bytes, TSquishFrameHeader frame) {
    auto& position = Positions[static_cast<size_t>(Current)];
    const int32_t k = FindDiskEntry(position);
    if (k < 0) throw EReadError("Squish: the message was removed from the base by another program");
    const uint32_t oldOfs = DiskIndex[static_cast<size_t>(k)].Ofs;
    const uint32_t at = AppendOffset(bytes.size());
    const TSquishFrameHeader old = ReadFrameForUpdate(oldOfs, SquishFrameNormal);
    TSquishFrameHeader prev, next;
    if (old.PrevFrame != SquishNullFrame) prev = ReadFrameForUpdate(old.PrevFrame, SquishFrameNormal);
    if (old.NextFrame != SquishNullFrame) next = ReadFrameForUpdate(old.NextFrame, SquishFrameNormal);
    const TSquishFrameHeader lastFree = FreeChainTail();

    // The new frame takes the old one's place in the chain.
    frame.PrevFrame = old.PrevFrame;
    frame.NextFrame = old.NextFrame;
    frame.Serialize(reinterpret_cast<uint8_t*>(bytes.data()));
    DataFile.WriteAt(at, bytes.data(), bytes.size());
    // The index moves to the new frame before the old one is freed, so it never leads to a free frame.
    auto& entry = DiskIndex[static_cast<size_t>(k)];
    entry.Ofs = at;
    entry.Hash = PendingHash;
    WriteIndex(false);
    if (old.PrevFrame != SquishNullFrame) {
        prev.NextFrame = at;
        WriteFrameHeader(old.PrevFrame, prev);
    } else {
        BaseHeader.SetBeginFrame(at);
    }
    if (old.NextFrame != SquishNullFrame) {
        next.PrevFrame = at;
        WriteFrameHeader(old.NextFrame, next);
    } else {
        BaseHeader.SetLastFrame(at);
    }
    AppendToFreeChain(oldOfs, old, lastFree);
    BaseHeader.SetEndFrame(static_cast<uint32_t>(at + bytes.size()));
    WriteBaseHeader();
    DataSize = at + bytes.size();

    position = entry;
    DiskPos = k;
    FrameOfs = at;
    FrameHeader = frame;
}

}  // namespace pelmar
