#include "msgbase/FidoBase.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "core/Errors.h"
#include "msgbase/BaseFile.h"
#include "msgbase/BodyText.h"
#include "msgbase/Charset.h"
#include "msgbase/LittleEndian.h"

namespace pelmar {

namespace {

// Larger files are read only this far; no message of a real area comes near it.
constexpr size_t MaxMessageFile = 32u << 20;

// Header offsets.
constexpr size_t OfsFrom = 0, OfsTo = 36, OfsSubject = 72, OfsDate = 144;
constexpr size_t OfsDestNode = 166, OfsOrigNode = 168, OfsOrigNet = 172, OfsDestNet = 174;
constexpr size_t OfsDestZone = 176, OfsOrigZone = 178, OfsDestPoint = 180, OfsOrigPoint = 182;
constexpr size_t OfsAttribute = 186, OfsNextReply = 188;

constexpr uint16_t FtsPrivate = 0x0001;
constexpr int64_t FirstNewNumber = 2;

// Common attribute bit -> FTS attribute bits ("Direct" lives in a control line).
struct TAttrMap {
    uint16_t Common;
    uint16_t Fts;
};
constexpr TAttrMap AttrMap[] = {
    {AttrLocal, 0x0100},  {AttrKillSent, 0x0080}, {AttrSent, 0x0008},    {AttrCrash, 0x0002},
    {AttrRqRcpt, 0x1000}, {AttrReqAudit, 0x4000}, {AttrRetRcpt, 0x2000}, {AttrFileAttach, 0x0010},
};

constexpr const char* FtsAttrNames[16] = {"Pvt", "Crs", "Red", "Snt", "Fil", "Fwd", "Orp", "Kil",
                                          "Loc", "Hld", "",    "Frq", "Rrq", "Cpt", "Arq", "Urq"};

// Every stored-message file is written whole into a file just opened (or just emptied).
bool WriteAll(int fd, const std::string& bytes) {
    return WriteFileAt(fd, bytes.data(), bytes.size(), 0);
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Ordinary files of an open directory whose names pass `wanted`, in directory order. The type comes
// from the listing itself; only names the listing cannot type (a symbolic link, or a file system
// that leaves the type out) cost a stat, which follows links as opening the file would.
template <class TWanted>
void ListFiles(DIR* d, std::vector<std::string>& names, TWanted wanted) {
    while (const dirent* e = ::readdir(d)) {
        if (e->d_type != DT_REG && e->d_type != DT_LNK && e->d_type != DT_UNKNOWN) continue;
        std::string name = e->d_name;
        if (!wanted(name)) continue;
        if (e->d_type != DT_REG) {
            struct stat st {};
            if (::fstatat(::dirfd(d), e->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode)) continue;
        }
        names.push_back(std::move(name));
    }
}

// The same by path; false when the directory cannot be listed.
template <class TWanted>
bool ListFiles(const std::string& dir, std::vector<std::string>& names, TWanted wanted) {
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) return false;
    ListFiles(d, names, wanted);
    ::closedir(d);
    return true;
}

bool IsTempName(const std::string& name) {
    return EndsWithNoCase(name, ".$$$");
}

bool IsMsgName(const std::string& name) {
    return EndsWithNoCase(name, ".msg");
}

// The number of a message file name "<decimal>.msg"; false for anything else (such files are not
// messages of the area and are left alone).
bool MessageNumber(const std::string& name, int64_t& number) {
    if (!IsMsgName(name)) return false;
    const size_t stemLength = name.size() - 4;
    if (stemLength == 0 || stemLength > 10) return false;
    int64_t value = 0;
    for (size_t i = 0; i < stemLength; ++i) {
        if (name[i] < '0' || name[i] > '9') return false;
        value = value * 10 + (name[i] - '0');
    }
    if (value > INT32_MAX) return false;
    number = value;
    return true;
}

void DeleteFiles(const std::string& dir, const std::vector<std::string>& names) {
    for (const auto& name : names) ::unlink((dir + name).c_str());
}

void DeleteTempFiles(const std::string& dir) {
    std::vector<std::string> names;
    if (ListFiles(dir, names, IsTempName)) DeleteFiles(dir, names);
}

// Highest message number on disk; 0 when there is none or the directory cannot be listed.
int64_t HighestOnDisk(const std::string& dir) {
    std::vector<std::string> names;
    ListFiles(dir, names, IsMsgName);
    int64_t highest = 0;
    for (const auto& name : names) {
        int64_t number = 0;
        if (MessageNumber(name, number)) highest = std::max(highest, number);
    }
    return highest;
}

// Absent for -1 and for anything that is not an ordinary file.
TMsgFileIdentity IdentityOf(int fd) {
    TMsgFileIdentity id;
    id.State = TMsgFileIdentity::TState::Absent;
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return id;
    id.State = TMsgFileIdentity::TState::Present;
    id.Device = st.st_dev;
    id.Inode = st.st_ino;
    id.Size = st.st_size;
    id.MTimeSec = st.st_mtim.tv_sec;
    id.MTimeNsec = st.st_mtim.tv_nsec;
    return id;
}

std::string DirWithSlash(std::string path) {
    if (!path.empty() && path.back() != '/') path += '/';
    return path;
}

// A NUL-terminated string of a fixed-size header field; a field without NUL ends at its size.
std::string FieldString(const std::array<uint8_t, TFidoBase::HeaderSize>& header, size_t offset,
                        size_t size) {
    const char* begin = reinterpret_cast<const char*>(header.data() + offset);
    const char* end = std::find(begin, begin + size, '\0');
    return std::string(begin, end);
}

void PutField(std::array<uint8_t, TFidoBase::HeaderSize>& header, size_t offset, const std::string& text,
              size_t maxLength) {
    const size_t n = std::min(text.size(), maxLength);
    std::copy_n(text.begin(), n, header.begin() + static_cast<ptrdiff_t>(offset));
}

// The stored message after the header, ending at the FTS terminator (the first NUL) if there is one.
std::string_view MessageBytes(const std::string& file) {
    std::string_view rest(file);
    rest.remove_prefix(std::min(rest.size(), TFidoBase::HeaderSize));
    return rest.substr(0, rest.find('\0'));
}

}  // namespace

TFidoBase::TFidoBase() = default;

TFidoBase::~TFidoBase() {
    Destroy();
    CloseDir();
}

std::string TFidoBase::FilePath(int32_t position) const {
    if (position < 0 || static_cast<size_t>(position) >= Entries.size()) return {};
    return DirWithSlash(Path) + Entries[static_cast<size_t>(position)].FileName;
}

std::string TFidoBase::NewFileName(int64_t number) const {
    // New files follow the case of their siblings; lower case in an empty area, as Linux tossers do.
    std::string extension = ".msg";
    for (auto it = Entries.rbegin(); it != Entries.rend(); ++it) {
        if (it->FileName.size() > 4) {
            extension = it->FileName.substr(it->FileName.size() - 4);
            break;
        }
    }
    return std::to_string(number) + extension;
}

int32_t TFidoBase::Count() {
    return static_cast<int32_t>(MsgFiles.size());
}

void TFidoBase::GetAttrText(std::string& text) {
    text.clear();
    const uint16_t attribute = GetLe16(Header.data() + OfsAttribute);
    for (int bit = 0; bit < 16; ++bit) {
        if ((attribute & (1u << bit)) && *FtsAttrNames[bit] != '\0') {
            text += FtsAttrNames[bit];
            text += ' ';
        }
    }
}

bool TFidoBase::CheckCurrent() {
    return IsValid() && IsRegularFile(FilePath(Current));
}

double TFidoBase::ChangeStamp() {
    return FileStamp();
}

int32_t TFidoBase::ChangeCounter() {
    return Count();
}

void TFidoBase::Open() {
    if (!IsDirectory(Path)) return;
    Path = DirWithSlash(Path);
    TFileHandle dir(::open(Path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.Valid()) return;

    // One listing serves both the clean-up of temporary files and the message list; the temporary
    // files are removed once the listing is done.
    std::vector<std::string> names;
    {
        const int listFd = ::openat(dir.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        DIR* d = listFd < 0 ? nullptr : ::fdopendir(listFd);
        if (d == nullptr) {
            if (listFd >= 0) ::close(listFd);
            return;
        }
        ListFiles(d, names, [](const std::string& name) { return IsTempName(name) || IsMsgName(name); });
        ::closedir(d);
    }
    std::vector<std::string> temps;
    std::vector<TEntry> found;
    found.reserve(names.size());
    for (auto& name : names) {
        int64_t number = 0;
        if (IsTempName(name))
            temps.push_back(std::move(name));
        else if (MessageNumber(name, number))
            found.push_back({number, std::move(name)});
    }
    DeleteFiles(Path, temps);
    std::stable_sort(found.begin(), found.end(),
                     [](const TEntry& a, const TEntry& b) { return a.Number < b.Number; });

    Entries = std::move(found);
    MsgFiles.clear();
    MsgFiles.reserve(Entries.size());
    for (const auto& e : Entries) MsgFiles.push_back(e.FileName.substr(0, e.FileName.size() - 4));
    CloseDir();
    DirFd = dir.Release();
    Active = true;
}

TBaseRefresh TFidoBase::Refresh() {
    TBaseRefresh result;
    if (!Active || DirFd < 0) return result;
    result.PositionsBefore = result.PositionsAfter = Count();
    std::vector<std::string> names;
    {
        const int listFd = ::openat(DirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        DIR* d = listFd < 0 ? nullptr : ::fdopendir(listFd);
        if (d == nullptr) {
            if (listFd >= 0) ::close(listFd);
            throw EReadError("*.MSG: the folder " + Path + " cannot be listed");
        }
        ListFiles(d, names, IsMsgName);
        ::closedir(d);
    }
    std::vector<TEntry> found;
    found.reserve(names.size());
    for (auto& name : names) {
        int64_t number = 0;
        if (MessageNumber(name, number)) found.push_back({number, std::move(name)});
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const TEntry& a, const TEntry& b) { return a.Number < b.Number; });
    const auto lookUp = [&found](int64_t number) -> TEntry* {
        const auto it = std::lower_bound(found.begin(), found.end(), number,
                                         [](const TEntry& e, int64_t n) { return e.Number < n; });
        return it != found.end() && it->Number == number ? &*it : nullptr;
    };

    int64_t highestKnown = 0;
    std::vector<bool> matched(found.size(), false);
    std::vector<std::pair<size_t, TEntry*>> present;
    std::vector<size_t> missing, back;
    for (size_t i = 0; i < Entries.size(); ++i) {
        const TEntry& entry = Entries[i];
        if (entry.Pending) continue;
        highestKnown = std::max(highestKnown, entry.Number);
        TEntry* now = lookUp(entry.Number);
        if (now == nullptr) {
            if (!entry.Missing) missing.push_back(i);
            continue;
        }
        matched[static_cast<size_t>(now - found.data())] = true;
        present.emplace_back(i, now);
        if (entry.Missing) back.push_back(i);
    }
    std::vector<size_t> appended;
    bool renumbered = false;
    for (size_t k = 0; k < found.size(); ++k) {
        if (matched[k]) continue;
        if (found[k].Number <= highestKnown) renumbered = true;
        appended.push_back(k);
    }

    // A tosser creates a message file and fills it after: one without a whole header yet is taken
    // by a later Refresh, and so is every newer one, so that numbers keep growing with positions.
    bool halfWritten = false;
    if (!renumbered) {
        for (size_t n = 0; n < appended.size(); ++n) {
            struct stat st {};
            if (::fstatat(DirFd, found[appended[n]].FileName.c_str(), &st, 0) == 0 &&
                static_cast<uint64_t>(st.st_size) >= HeaderSize)
                continue;
            halfWritten = true;
            appended.resize(n);
            break;
        }
    }

    if (renumbered) {
        // Current follows its file when the file at its number is still the one last read.
        int32_t moved = -1;
        std::vector<TEntry> pending;
        int32_t pendingCurrent = -1;
        for (size_t i = 0; i < Entries.size(); ++i) {
            if (!Entries[i].Pending) continue;
            if (static_cast<int32_t>(i) == Current) pendingCurrent = static_cast<int32_t>(pending.size());
            pending.push_back(Entries[i]);
        }
        if (Current >= 0 && static_cast<size_t>(Current) < Entries.size() && pendingCurrent < 0) {
            const TEntry& entry = Entries[static_cast<size_t>(Current)];
            if (TEntry* now = lookUp(entry.Number)) {
                struct stat st {};
                const bool same = entry.Seen.State != TMsgFileIdentity::TState::Present ||
                                  (::fstatat(DirFd, now->FileName.c_str(), &st, 0) == 0 &&
                                   static_cast<uint64_t>(st.st_dev) == entry.Seen.Device &&
                                   static_cast<uint64_t>(st.st_ino) == entry.Seen.Inode);
                if (same) moved = static_cast<int32_t>(now - found.data());
            }
        }
        if (pendingCurrent >= 0) moved = static_cast<int32_t>(found.size()) + pendingCurrent;
        Entries = std::move(found);
        for (auto& entry : pending) Entries.push_back(std::move(entry));
        Current = moved;
        result.Kind = TBaseRefresh::TKind::Renumbered;
    } else {
        for (const auto& [i, now] : present) {
            Entries[i].Missing = false;
            Entries[i].FileName = now->FileName;  // the same number, perhaps spelled otherwise now
        }
        for (const size_t i : missing) {
            Entries[i].Missing = true;
            // A message this object deleted itself is no news.
            if (Entries[i].Seen.State != TMsgFileIdentity::TState::Absent)
                result.Gone.push_back(static_cast<int32_t>(i));
        }
        // A file that came back under a known number is another message, as far as anyone knows.
        for (const size_t i : back) {
            Entries[i].Seen = {};
            result.Replaced.push_back(static_cast<int32_t>(i));
        }
        for (const size_t k : appended) Entries.push_back(std::move(found[k]));
        if (!result.Gone.empty() || !back.empty() || !appended.empty())
            result.Kind = TBaseRefresh::TKind::Changed;
        else if (halfWritten)
            result.Kind = TBaseRefresh::TKind::Busy;
    }
    MsgFiles.clear();
    MsgFiles.reserve(Entries.size());
    for (const auto& e : Entries)
        MsgFiles.push_back(e.Pending ? std::to_string(e.Number)
                                     : e.FileName.substr(0, e.FileName.size() - 4));
    result.PositionsAfter = Count();
    return result;
}

void TFidoBase::CloseDir() {
    if (DirFd >= 0) ::close(DirFd);
    DirFd = -1;
}

void TFidoBase::Close() {
    MsgFiles.clear();
    Entries.clear();
    CloseDir();
    if (IsDirectory(Path)) DeleteTempFiles(DirWithSlash(Path));
    Active = false;
}

void TFidoBase::CreateBase() {
    if (!Path.empty()) ::mkdir(Path.c_str(), 0777);
}

bool TFidoBase::First() {
    Current = -1;
    return Next();
}

bool TFidoBase::Next() {
    // Files a Refresh found gone keep their positions but are not walked.
    do ++Current;
    while (Current < Count() && Entries[static_cast<size_t>(Current)].Missing);
    return Current < Count();
}

void TFidoBase::Seek(int32_t position) {
    Current = position;
}

bool TFidoBase::IsValid() {
    return Current >= 0 && Current < Count();
}

int32_t TFidoBase::FileStamp() {
    return Entries.empty() ? 0 : static_cast<int32_t>(Entries.back().Number);
}

bool TFidoBase::FileStampIs(int32_t stamp) {
    if (!IsDirectory(Path)) return false;
    return HighestOnDisk(DirWithSlash(Path)) == stamp;
}

bool TFidoBase::ReadCurrentFile(std::string& bytes, size_t limit) {
    bytes.clear();
    if (Current < 0 || static_cast<size_t>(Current) >= Entries.size()) return false;
    TEntry& entry = Entries[static_cast<size_t>(Current)];
    TFileHandle fd(::open(FilePath(Current).c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid() && errno != ENOENT) return false;
    entry.Seen = IdentityOf(fd.Get());
    if (entry.Seen.State != TMsgFileIdentity::TState::Present) return false;
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    bytes.resize(std::min<size_t>(static_cast<size_t>(std::max<off_t>(st.st_size, 0)), limit));
    const ssize_t n = ReadFileAt(fd.Get(), bytes.data(), bytes.size(), 0);
    if (n < 0) return false;
    bytes.resize(static_cast<size_t>(n));
    return true;
}

// Names, subject and date from Header. The date text of a damaged header leaves Date at 0.
void TFidoBase::ParseHeaderFields() {
    FromName = FieldFromStored(FieldString(Header, OfsFrom, 36));
    ToName = FieldFromStored(FieldString(Header, OfsTo, 36));
    Subject = FieldFromStored(FieldString(Header, OfsSubject, 72));
    try {
        Date = ParseFtsDate(ToAnsi(FieldString(Header, OfsDate, 20)));
    } catch (const EConvertError&) {
        Date = 0;
    }
}

void TFidoBase::ReadHeader() {
    // A vanished or short file must not keep the previous message's MSGID, REPLY and read mark.
    MsgId.clear();
    ReplyId.clear();
    Read = false;
    Header.fill(0);
    Subject.clear();
    FromName.clear();
    ToName.clear();
    Date = 0;
    OrigAddr.clear();
    DestAddr.clear();
    Kludges.clear();

    std::string file;
    if (!ReadCurrentFile(file, MaxMessageFile) || file.size() < HeaderSize) return;
    std::copy_n(file.begin(), HeaderSize, Header.begin());
    ParseHeaderFields();
    Read = (GetLe16(Header.data() + OfsNextReply) & ReadMarkBit) != 0;
    Kludges = LeadingControlLines(FieldFromStored(MessageBytes(file)));

    // Points come only from FMPT/TOPT: other writers keep dates in the header's point words.
    TNetAddress orig{GetLe16(&Header[OfsOrigZone]), GetLe16(&Header[OfsOrigNet]),
                     GetLe16(&Header[OfsOrigNode])};
    TNetAddress dest{GetLe16(&Header[OfsDestZone]), GetLe16(&Header[OfsDestNet]),
                     GetLe16(&Header[OfsDestNode])};
    try {
        ApplyKludgePass(orig, dest);
    } catch (const EConvertError&) {
        // This base reads what it can and reports nothing; the bad point stays 0.
    }
    OrigAddr = FormatNetAddress(orig);
    DestAddr = FormatNetAddress(dest);
}

void TFidoBase::ReadMsgId() {
    MsgId.clear();
    std::string file;
    if (!ReadCurrentFile(file, MaxMessageFile) || file.size() < HeaderSize) return;
    for (const auto& line : LeadingControlLines(FieldFromStored(MessageBytes(file)))) {
        if (line.compare(0, 7, "MSGID: ") == 0) {
            MsgId = line.substr(7);
            return;
        }
    }
}

void TFidoBase::ReadMessage(int32_t position) {
    Seek(position);
    if (!IsValid()) return;
    const bool read = Read;  // this base keeps the read mark of the list, not of the file
    ClearMessageFields();
    Read = read;
    Header.fill(0);  // GetAttrText must not name the previous message's attributes

    std::string file;
    if (!ReadCurrentFile(file, MaxMessageFile) || file.size() < HeaderSize) return;
    std::copy_n(file.begin(), HeaderSize, Header.begin());
    ParseHeaderFields();

    const std::string_view stored = MessageBytes(file);
    if (KeepStored) {
        Stored.Body = stored;
        Stored.BodyCharset = DeclaredBodyCharset(stored, {});
    }
    SplitStoredBody(stored);
    RtfText = RtfEscape(Text);

    const uint16_t attribute = GetLe16(Header.data() + OfsAttribute);
    for (const auto& m : AttrMap) {
        if ((attribute & m.Fts) == m.Fts) Attr |= m.Common;
    }

    TNetAddress orig{GetLe16(&Header[OfsOrigZone]), GetLe16(&Header[OfsOrigNet]),
                     GetLe16(&Header[OfsOrigNode])};
    TNetAddress dest{GetLe16(&Header[OfsDestZone]), GetLe16(&Header[OfsDestNet]),
                     GetLe16(&Header[OfsDestNode])};
    try {
        ApplyKludgePass(orig, dest);
    } catch (const EConvertError&) {
    }
    SetReadAddresses(orig, dest);
}

void TFidoBase::ReadToAndRead() {
    ToName.clear();
    if (!IsValid()) return;
    // Relative to the listed directory: the count opens every file, and a full path walk for each
    // of them is a good part of its cost.
    // Counting leaves the remembered file alone: marks and edits compare with what was shown.
    const std::string& name = Entries[static_cast<size_t>(Current)].FileName;
    TFileHandle fd(DirFd >= 0 ? ::openat(DirFd, name.c_str(), O_RDONLY | O_CLOEXEC)
                              : ::open(FilePath(Current).c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid()) return;
    std::array<uint8_t, HeaderSize> header{};
    if (ReadFileAt(fd.Get(), header.data(), header.size(), 0) != static_cast<ssize_t>(HeaderSize)) return;
    ToName = FieldFromStored(FieldString(header, OfsTo, 36));
    Read = (GetLe16(header.data() + OfsNextReply) & ReadMarkBit) != 0;
}

void TFidoBase::CheckSameFile(int fd) const {
    const TEntry& entry = Entries[static_cast<size_t>(Current)];
    if (entry.Seen.State == TMsgFileIdentity::TState::Unknown) return;
    const TMsgFileIdentity now = IdentityOf(fd);
    if (now == entry.Seen) return;
    const std::string name = DirWithSlash(Path) + entry.FileName;
    if (now.State == TMsgFileIdentity::TState::Absent)
        throw EReadError("*.MSG: " + name + " was removed by another program");
    if (entry.Seen.State == TMsgFileIdentity::TState::Absent)
        throw EReadError("*.MSG: another program stored a new message as " + name);
    throw EReadError("*.MSG: " + name + " was replaced or changed by another program");
}

void TFidoBase::MarkRead() {
    StoreReadMark(true);
}

void TFidoBase::MarkUnread() {
    StoreReadMark(false);
}

void TFidoBase::StoreReadMark(bool read) {
    if (!IsValid()) return;
    TEntry& entry = Entries[static_cast<size_t>(Current)];
    TFileHandle fd(::open(FilePath(Current).c_str(), O_RDWR | O_CLOEXEC));
    if (!fd.Valid() && errno != ENOENT) return;
    CheckSameFile(fd.Get());
    if (!fd.Valid()) return;
    std::array<uint8_t, HeaderSize> header{};
    // Only a complete header is touched: a damaged file is never written because it was read.
    if (ReadFileAt(fd.Get(), header.data(), header.size(), 0) != static_cast<ssize_t>(HeaderSize)) return;
    uint8_t word[2];
    const uint16_t stored = GetLe16(header.data() + OfsNextReply);
    PutLe16(word, read ? stored | ReadMarkBit : stored & static_cast<uint16_t>(~ReadMarkBit));
    while (::pwrite(fd.Get(), word, sizeof word, OfsNextReply) < 0 && errno == EINTR) {
    }
    // The mark moved the modification time; the file is still the one that was read.
    if (entry.Seen.State != TMsgFileIdentity::TState::Unknown) entry.Seen = IdentityOf(fd.Get());
}

bool TFidoBase::DeleteCurrent(int32_t*, uint32_t*) {
    LastError.clear();
    if (!IsValid()) return false;
    TEntry& entry = Entries[static_cast<size_t>(Current)];
    const std::string path = FilePath(Current);
    TFileHandle fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid() && errno != ENOENT) return false;
    CheckSameFile(fd.Get());
    if (IdentityOf(fd.Get()).State != TMsgFileIdentity::TState::Present) return false;
    if (::unlink(path.c_str()) != 0) return false;
    entry.Seen = TMsgFileIdentity{TMsgFileIdentity::TState::Absent};
    return true;
}

void TFidoBase::NewMessage() {
    Header.fill(0);
    ClearMessageFields();
    // Never 1: Linux tossers keep 1.msg as their high-water mark and skip it when exporting, so a
    // message stored there would be overwritten or never sent.
    const int64_t number = std::max<int64_t>(FirstNewNumber, Entries.empty() ? 0 : Entries.back().Number + 1);
    const std::string name = NewFileName(number);
    Entries.push_back({number, name, true});
    MsgFiles.push_back(std::to_string(number));
    Current = Count() - 1;
}

void TFidoBase::PrepareRewrite() {
    Header.fill(0);
    ClearMessageFields();
}

bool TFidoBase::WriteMessage() {
    LastError.clear();
    if (!IsValid()) return false;
    Header.fill(0);
    PutField(Header, OfsFrom, FieldToStored(FromName), 35);
    PutField(Header, OfsTo, FieldToStored(ToName), 35);
    PutField(Header, OfsSubject, FieldToStored(Subject), 71);
    PutField(Header, OfsDate, FormatFtsDate(Date), 19);

    TNetAddress orig, dest;
    PrepareKludgesForWrite(orig, dest, true);
    uint16_t attribute = FtsPrivate;  // everything this base writes is private
    for (const auto& m : AttrMap) {
        if (Attr & m.Common) attribute |= m.Fts;
    }
    PutLe16(&Header[OfsAttribute], attribute);
    PutLe16(&Header[OfsOrigZone], orig.Zone);
    PutLe16(&Header[OfsOrigNet], orig.Net);
    PutLe16(&Header[OfsOrigNode], orig.Node);
    PutLe16(&Header[OfsOrigPoint], orig.Point);
    PutLe16(&Header[OfsDestZone], dest.Zone);
    PutLe16(&Header[OfsDestNet], dest.Net);
    PutLe16(&Header[OfsDestNode], dest.Node);
    PutLe16(&Header[OfsDestPoint], dest.Point);
    if (Read) PutLe16(&Header[OfsNextReply], ReadMarkBit);

    std::string bytes(reinterpret_cast<const char*>(Header.data()), Header.size());
    for (const auto& line : Kludges) {
        bytes += '\x01';
        bytes += FieldToStored(line);
        bytes += '\r';
    }
    AddOriginAndTearline();
    bytes += FieldToStored(Text);

    if (!StoreCurrent(bytes)) return false;
    TouchFlagFile();
    return true;
}

// Writes the current message file: a stored one through RewriteCurrent. A new message is created with
// create-new semantics and, when its number was taken meanwhile (a tosser works in the same directory), the
// next free one above everything on disk: an existing message is never overwritten.
bool TFidoBase::StoreCurrent(const std::string& bytes) {
    const std::string dir = DirWithSlash(Path);
    TEntry& entry = Entries[static_cast<size_t>(Current)];

    if (!entry.Pending) {
        bool moved = false;
        if (RewriteCurrent(bytes, moved)) return true;
        if (!moved) return false;
        // The file read is gone or is another message now: the edit becomes a new message, numbered
        // above the old one and everything on disk, and the other message stays untouched.
        entry = {entry.Number + 1, NewFileName(entry.Number + 1), true};
        MsgFiles[static_cast<size_t>(Current)] = std::to_string(entry.Number);
    }

    int64_t number = std::max(entry.Number, HighestOnDisk(dir) + 1);
    // The text goes to a temporary file that is then linked under the number: link() takes the name
    // only while it is free, and the message appears whole or not at all even if this process dies
    // in the middle. File systems without hard links get the file created in place.
    const std::string temp = dir + "new" + std::to_string(::getpid()) + ".$$$";
    bool linkable = false;
    TMsgFileIdentity written;
    {
        TFileHandle fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
        linkable = fd.Valid() && WriteAll(fd.Get(), bytes);
        written = IdentityOf(fd.Get());
        linkable = fd.Close() && linkable;
    }
    for (int attempt = 0; linkable && attempt < 1000 && number <= INT32_MAX; ++attempt, ++number) {
        const std::string name = NewFileName(number);
        if (::link(temp.c_str(), (dir + name).c_str()) != 0) {
            if (errno == EEXIST) continue;
            linkable = false;
            break;
        }
        ::unlink(temp.c_str());
        entry = {number, name, false, written};
        MsgFiles[static_cast<size_t>(Current)] = std::to_string(number);
        return true;
    }
    ::unlink(temp.c_str());
    if (linkable) return false;  // a thousand numbers taken: something else is wrong

    for (int attempt = 0; attempt < 1000 && number <= INT32_MAX; ++attempt, ++number) {
        const std::string name = NewFileName(number);
        TFileHandle fd(::open((dir + name).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!fd.Valid()) {
            if (errno == EEXIST) continue;
            return false;
        }
        bool ok = WriteAll(fd.Get(), bytes);
        written = IdentityOf(fd.Get());
        ok = fd.Close() && ok;
        if (!ok) {
            ::unlink((dir + name).c_str());
            return false;
        }
        entry = {number, name, false, written};
        MsgFiles[static_cast<size_t>(Current)] = std::to_string(number);
        return true;
    }
    return false;
}

// Replaces the current message's file. A rewrite goes through a "*.$$$" file renamed over the old
// one, so the message is never half-written. `moved` tells that nothing was written because the
// file is no longer the one last read.
bool TFidoBase::RewriteCurrent(const std::string& bytes, bool& moved) {
    moved = false;
    const std::string dir = DirWithSlash(Path);
    TEntry& entry = Entries[static_cast<size_t>(Current)];
    const std::string target = dir + entry.FileName;
    const bool known = entry.Seen.State != TMsgFileIdentity::TState::Unknown;
    const auto stillOurs = [&](int fd) {
        return !known ||
               (entry.Seen.State == TMsgFileIdentity::TState::Present && IdentityOf(fd) == entry.Seen);
    };

    const std::string temp = dir + MsgFiles[static_cast<size_t>(Current)] + ".$$$";
    {
        TFileHandle fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
        if (fd.Valid() && WriteAll(fd.Get(), bytes)) {
            const TMsgFileIdentity written = IdentityOf(fd.Get());
            if (fd.Close()) {
                const TFileHandle now(::open(target.c_str(), O_RDONLY | O_CLOEXEC));
                if (!stillOurs(now.Get())) {
                    ::unlink(temp.c_str());
                    moved = true;
                    return false;
                }
                if (::rename(temp.c_str(), target.c_str()) == 0) {
                    entry.Seen = written;
                    return true;
                }
            }
        }
    }
    ::unlink(temp.c_str());
    // Without a usable temporary file (a full or odd file system) write in place, into the same file.
    TFileHandle fd(::open(target.c_str(), O_WRONLY | O_CLOEXEC | (known ? 0 : O_CREAT), 0666));
    if (!stillOurs(fd.Get())) {
        moved = true;
        return false;
    }
    if (!fd.Valid() || ::ftruncate(fd.Get(), 0) != 0 || !WriteAll(fd.Get(), bytes)) return false;
    if (known) entry.Seen = IdentityOf(fd.Get());
    return fd.Close();
}

void TFidoBase::DeleteAllMessages() {
    if (IsDirectory(Path)) {
        const std::string dir = DirWithSlash(Path);
        std::vector<std::string> names;
        ListFiles(dir, names, IsMsgName);
        DeleteFiles(dir, names);
    }
    MsgFiles.clear();
    Entries.clear();
}

}  // namespace pelmar
