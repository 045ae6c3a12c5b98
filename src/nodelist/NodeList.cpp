#include "nodelist/NodeList.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <limits>

#include "core/Address.h"
#include "core/Codepage.h"
#include "nodelist/SafeFile.h"
#include "platform/AtomicFile.h"

namespace pelmar {

namespace {

constexpr int kBlockRecords = 1000;
// A name has few records: a look-up reads ahead only a little.
constexpr int kLookupRecords = 16;
constexpr size_t kReadBuffer = 81920;
// Longer lines are read by their start only.
constexpr size_t kMaxLine = 4096;
// Far more than any nodelist set; a larger count in the header is damage, not data.
constexpr int32_t kMaxSourceFiles = 4096;
constexpr int32_t kMaxPathLength = 4096;

std::string Cp(const char* utf8) {
    return Utf8ToAnsi(utf8);
}

const std::array<unsigned char, 256>& UpperTable() {
    static const std::array<unsigned char, 256> table = [] {
        std::array<unsigned char, 256> t{};
        for (int i = 0; i < 256; ++i) t[i] = static_cast<unsigned char>(AnsiUpper(static_cast<char>(i)));
        return t;
    }();
    return table;
}

bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool StartsWithTwoLetters(std::string_view name) {
    return name.size() >= 2 && IsAsciiLetter(name[0]) && IsAsciiLetter(name[1]);
}

void PutLe32(std::string& out, uint32_t v) {
    const char bytes[4] = {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                           static_cast<char>(v >> 24)};
    out.append(bytes, 4);
}

void PutLe16(std::string& out, uint16_t v) {
    const char bytes[2] = {static_cast<char>(v), static_cast<char>(v >> 8)};
    out.append(bytes, 2);
}

uint32_t GetLe32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint16_t GetLe16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// Reads exactly `size` bytes at `offset`.
bool ReadAt(int fd, int64_t offset, void* to, size_t size) {
    auto* p = static_cast<char*>(to);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, p + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// A decimal field; 0 when it is not a number (or does not fit 32 bits), then cut to 16 bits.
uint16_t NumberField(std::string_view field) {
    size_t i = 0;
    bool negative = false;
    if (i < field.size() && (field[i] == '-' || field[i] == '+')) negative = field[i++] == '-';
    if (i == field.size()) return 0;
    int64_t value = 0;
    for (; i < field.size(); ++i) {
        if (field[i] < '0' || field[i] > '9') return 0;
        value = value * 10 + (field[i] - '0');
        if (value > std::numeric_limits<int32_t>::max()) return 0;
    }
    return static_cast<uint16_t>(negative ? -value : value);
}

struct TCompileEntry {
    std::string Name;
    TNodeEntry Entry;
    uint32_t Sequence;
};

// The state of one source file while its lines are read.
struct TListReader {
    uint16_t Zone = 2;
    uint16_t Net = 0;
    uint16_t Boss = 0;
    // After a "Boss" line the plain lines are that node's points (the pointlist layout); in a
    // nodelist the "Point" lines belong to the node listed last.
    bool InBossBlock = false;
    // The last node is down: mail cannot reach it, nor the points listed after it.
    bool BossDown = false;
};

// Where the text after the line end at `end` (CR, LF or CR LF) starts. A CR that is the last byte
// read so far may be the first half of a CR LF: `skipLf` is set, and an LF at the start of the next
// read belongs to this line end.
size_t PastLineEnd(std::string_view text, size_t end, bool atEnd, bool& skipLf) {
    size_t next = end + 1;
    if (text[end] == '\r') {
        if (next < text.size()) {
            if (text[next] == '\n') ++next;
        } else if (!atEnd) {
            skipLf = true;
        }
    }
    return next;
}

void ReadLine(std::string_view line, int32_t offset, int32_t fileIndex, TListReader& state,
              std::vector<TCompileEntry>& entries) {
    if (line.empty() || line[0] == ';' || line[0] == '\x1a') return;
    std::string_view fields[5];
    NodeLineFields(line, fields, std::size(fields));
    const std::string_view keyword = fields[0];
    const uint16_t number = NumberField(fields[1]);
    auto add = [&](uint16_t node, uint16_t point) {
        std::string name(fields[4]);
        std::replace(name.begin(), name.end(), '_', ' ');
        TNodeEntry entry{state.Zone, state.Net, node, point, offset, fileIndex};
        entries.push_back({std::move(name), entry, static_cast<uint32_t>(entries.size())});
    };
    if (keyword == "Zone") {
        // Nodes listed right after the zone line are zone:zone/node.
        state = {number, number, 0, false, false};
    } else if (keyword == "Region" || keyword == "Host") {
        state.Net = number;
        state.Boss = 0;
        state.InBossBlock = false;
        state.BossDown = false;
    } else if (keyword.empty() || keyword == "Hold" || keyword == "Hub") {
        if (state.InBossBlock) {
            add(state.Boss, number);
        } else {
            add(number, 0);
            state.Boss = number;
            state.BossDown = false;
        }
    } else if (keyword == "Pvt" || keyword == "Down") {
        // Not indexed; the points listed after a private node are still its own.
        if (!state.InBossBlock) {
            state.Boss = number;
            state.BossDown = keyword == "Down";
        }
    } else if (keyword == "Boss") {
        uint16_t point = 0;
        ParseAddress(std::string(fields[1]), false, state.Zone, state.Net, state.Boss, point);
        state.InBossBlock = true;
        state.BossDown = false;
    } else if (keyword == "Point") {
        if (!state.BossDown) add(state.Boss, number);
    }
}

std::string ErrorText(const char* what, const std::string& path, int error) {
    return Cp(what) + path + ": " + std::strerror(error);
}

// Reads one source file into `entries`; a missing file gives none and a zero size and date.
void ReadSourceFile(const std::string& path, int32_t fileIndex, TSourceFile& source,
                    std::vector<TCompileEntry>& entries, const TNodeList::TProgress& progress) {
    source = {path, {}};
    // Non-blocking so that a named pipe given as a file cannot hang the program; regular files read as usual.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return;
        throw ENodeListError(ErrorText("Не удалось открыть файл ", path, errno));
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) throw ENodeListError(ErrorText("Ошибка чтения файла ", path, errno));
    if (!S_ISREG(st.st_mode))
        throw ENodeListError(ErrorText("Ошибка чтения файла ", path, S_ISDIR(st.st_mode) ? EISDIR : EINVAL));
    // Line offsets and the stored size are 32-bit.
    if (st.st_size > std::numeric_limits<int32_t>::max())
        throw ENodeListError(ErrorText("Ошибка чтения файла ", path, EFBIG));
    const int64_t size = st.st_size;
    source.Info.FileSize = static_cast<int32_t>(size);
    source.Info.FileDate = FileDateTime(path);
    entries.reserve(entries.size() + static_cast<size_t>(std::llround(size / 90.0)));

    TListReader state;
    std::string buffer;
    std::vector<char> chunk(kReadBuffer);
    int64_t bufferOffset = 0;  // file offset of buffer[0]
    int64_t readTotal = 0;
    bool skipLf = false;      // the last chunk ended in CR; an LF at the start of the next one belongs to it
    bool discarding = false;  // inside an overlong line
    int lines = 0;
    bool atEnd = false;
    while (!atEnd) {
        const ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw ENodeListError(ErrorText("Ошибка чтения файла ", path, errno));
        atEnd = n == 0;
        size_t from = 0;
        if (skipLf && n > 0 && chunk[0] == '\n') {
            from = 1;
            ++bufferOffset;
        }
        skipLf = false;
        std::string_view data(chunk.data() + from, static_cast<size_t>(n) - from);
        readTotal += n;
        if (discarding) {
            // The rest of an overlong line: dropped up to its line end.
            const size_t end = data.find_first_of("\r\n");
            if (end == std::string_view::npos) {
                bufferOffset += static_cast<int64_t>(data.size());
                continue;
            }
            const size_t next = PastLineEnd(data, end, atEnd, skipLf);
            bufferOffset += static_cast<int64_t>(next);
            data.remove_prefix(next);
            discarding = false;
        }
        buffer.append(data);

        size_t lineStart = 0;
        while (true) {
            size_t end = buffer.find_first_of("\r\n", lineStart);
            if (end == std::string::npos) {
                if (!atEnd || lineStart == buffer.size()) break;
                end = buffer.size();  // a last line without its line end
            }
            ReadLine(std::string_view(buffer).substr(lineStart, end - lineStart),
                     static_cast<int32_t>(bufferOffset + static_cast<int64_t>(lineStart)), fileIndex, state,
                     entries);
            if (progress && ++lines % 100 == 0 && size > 0)
                progress(static_cast<int>(std::llround(static_cast<double>(readTotal) / size * 100.0)));
            if (end == buffer.size()) {
                lineStart = end;
                break;
            }
            lineStart = PastLineEnd(buffer, end, atEnd, skipLf);
        }
        buffer.erase(0, lineStart);
        bufferOffset += static_cast<int64_t>(lineStart);
        // No nodelist line is this long: a file without line ends must not be held whole in memory.
        if (buffer.size() > kMaxLine) {
            ReadLine(std::string_view(buffer).substr(0, kMaxLine), static_cast<int32_t>(bufferOffset),
                     fileIndex, state, entries);
            bufferOffset += static_cast<int64_t>(buffer.size());
            buffer.clear();
            discarding = true;
        }
    }
}

uint64_t PackAddress(uint16_t zone, uint16_t net, uint16_t node, uint16_t point) {
    return (uint64_t{zone} << 48) | (uint64_t{net} << 32) | (uint64_t{node} << 16) | point;
}

}  // namespace

size_t NodeLineFields(std::string_view line, std::string_view* fields, size_t count) {
    size_t found = 0;
    size_t start = 0;
    while (found < count) {
        const size_t comma = line.find(',', start);
        fields[found++] =
            line.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return found;
}

int CompareNodeNames(std::string_view a, std::string_view b) {
    const auto& upper = UpperTable();
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char x = upper[static_cast<unsigned char>(a[i])];
        const unsigned char y = upper[static_cast<unsigned char>(b[i])];
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

TNodeList::TNodeList(std::string dataFolder) : dataFolder_(std::move(dataFolder)), nameIndex_(kSlots, -1) {}

TNodeList::~TNodeList() {
    Close();
}

void TNodeList::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    recordCount_ = 0;
    indexStart_ = 0;
    position_ = 0;
    blockCount_ = 0;
    std::fill(nameIndex_.begin(), nameIndex_.end(), -1);
    addressOrder_ = {};
    addressOrderTried_ = false;
}

bool TNodeList::Open() {
    Close();
    openProblem_.clear();
    const std::string path = IndexPath();
    // Non-blocking so that a named pipe given as a file cannot hang the program; regular files read as usual.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        // Without an index every list counts as changed, so the next check compiles one.
        sourceFiles_.clear();
        return false;
    }
    auto damaged = [&](const char* why) {
        ::close(fd);
        sourceFiles_.clear();
        openProblem_ =
            Cp("Файл ") + path + Cp(" повреждён (") + Cp(why) + Cp(") и будет откомпилирован заново.");
        return false;
    };
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return damaged("не читается");
    const int64_t size = st.st_size;
    int64_t offset = 0;
    auto readI32 = [&](int32_t& v) {
        unsigned char b[4];
        if (offset + 4 > size || !ReadAt(fd, offset, b, 4)) return false;
        v = static_cast<int32_t>(GetLe32(b));
        offset += 4;
        return true;
    };

    int32_t fileCount = 0;
    if (!readI32(fileCount)) return damaged("нет заголовка");
    if (fileCount < 0 || fileCount > kMaxSourceFiles) return damaged("число файлов");
    std::vector<TSourceFile> files(static_cast<size_t>(fileCount));
    for (auto& file : files) {
        int32_t length = 0;
        if (!readI32(length) || length < 0 || length > kMaxPathLength || offset + length + 12 > size)
            return damaged("описание файла");
        file.Path.resize(static_cast<size_t>(length));
        unsigned char rest[12];
        if (!ReadAt(fd, offset, file.Path.data(), file.Path.size()) || !ReadAt(fd, offset + length, rest, 12))
            return damaged("описание файла");
        offset += length + 12;
        uint64_t bits = 0;
        for (int i = 7; i >= 0; --i) bits = (bits << 8) | rest[i];
        std::memcpy(&file.Info.FileDate, &bits, sizeof bits);
        file.Info.FileSize = static_cast<int32_t>(GetLe32(rest + 8));
    }
    std::vector<unsigned char> slots(kSlots * 4);
    if (offset + static_cast<int64_t>(slots.size()) > size || !ReadAt(fd, offset, slots.data(), slots.size()))
        return damaged("нет индекса имён");
    offset += static_cast<int64_t>(slots.size());
    const int64_t records = (size - offset) / kRecordSize;
    if ((size - offset) % kRecordSize != 0) return damaged("обрезан");
    if (records > std::numeric_limits<int32_t>::max()) return damaged("слишком велик");
    std::vector<int32_t> index(kSlots);
    for (int i = 0; i < kSlots; ++i) {
        index[i] = static_cast<int32_t>(GetLe32(&slots[i * 4]));
        if (index[i] < -1 || index[i] >= records) return damaged("индекс имён");
    }
    fd_ = fd;
    sourceFiles_ = std::move(files);
    nameIndex_ = std::move(index);
    indexStart_ = offset;
    recordCount_ = static_cast<int>(records);
    return true;
}

bool TNodeList::IsOutdated(const std::vector<std::string>& paths) const {
    if (paths.size() != sourceFiles_.size()) return true;
    for (const auto& path : paths) {
        const auto known = std::find_if(sourceFiles_.begin(), sourceFiles_.end(),
                                        [&](const TSourceFile& f) { return AnsiSameText(f.Path, path); });
        if (known == sourceFiles_.end()) return true;
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) return true;
        if (st.st_size != known->Info.FileSize || FileDateTime(path) != known->Info.FileDate) return true;
    }
    return false;
}

void TNodeList::Compile(const std::vector<std::string>& paths, const TProgress& progress) {
    const auto started = std::chrono::steady_clock::now();
    if (paths.size() > static_cast<size_t>(kMaxSourceFiles))
        throw ENodeListError(Cp("Слишком много файлов в списке узлов"));
    std::vector<TCompileEntry> entries;
    std::vector<TSourceFile> sources(paths.size());
    for (size_t i = 0; i < paths.size(); ++i)
        ReadSourceFile(paths[i], static_cast<int32_t>(i), sources[i], entries, progress);
    if (entries.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max() / kRecordSize))
        throw ENodeListError(Cp("Слишком много записей в списке узлов"));

    std::sort(entries.begin(), entries.end(), [](const TCompileEntry& a, const TCompileEntry& b) {
        const int c = CompareNodeNames(a.Name, b.Name);
        return c != 0 ? c < 0 : a.Sequence > b.Sequence;  // among equal names the one read last first
    });

    std::vector<int32_t> index(kSlots, -1);
    char last[2] = {0, 0};
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::string& name = entries[i].Name;
        if (!StartsWithTwoLetters(name)) continue;
        const char pair[2] = {AsciiUpper(name[0]), AsciiUpper(name[1])};
        if (pair[0] == last[0] && pair[1] == last[1]) continue;
        const int slot = (pair[0] - 'A') * 26 + (pair[1] - 'A');
        if (index[slot] == -1) index[slot] = static_cast<int32_t>(i);
        last[0] = pair[0];
        last[1] = pair[1];
    }

    std::string bytes;
    size_t header = 4 + kSlots * 4;
    for (const auto& source : sources) header += 16 + source.Path.size();
    bytes.reserve(header + entries.size() * kRecordSize);
    PutLe32(bytes, static_cast<uint32_t>(sources.size()));
    for (const auto& source : sources) {
        PutLe32(bytes, static_cast<uint32_t>(source.Path.size()));
        bytes += source.Path;
        uint64_t bits = 0;
        std::memcpy(&bits, &source.Info.FileDate, sizeof bits);
        for (int b = 0; b < 8; ++b) bytes.push_back(static_cast<char>(bits >> (8 * b)));
        PutLe32(bytes, static_cast<uint32_t>(source.Info.FileSize));
    }
    for (const int32_t slot : index) PutLe32(bytes, static_cast<uint32_t>(slot));
    for (size_t i = 0; i < entries.size(); ++i) {
        if (progress && i % 100 == 0)
            progress(static_cast<int>(std::llround(static_cast<double>(i) / entries.size() * 100.0)));
        const auto& e = entries[i];
        const size_t n = std::min<size_t>(e.Name.size(), kMaxName);
        bytes.push_back(static_cast<char>(n));
        bytes.append(e.Name, 0, n);
        bytes.append(kMaxName - n, '\0');
        PutLe16(bytes, e.Entry.Zone);
        PutLe16(bytes, e.Entry.Net);
        PutLe16(bytes, e.Entry.Node);
        PutLe16(bytes, e.Entry.Point);
        PutLe32(bytes, static_cast<uint32_t>(e.Entry.LineOffset));
        PutLe32(bytes, static_cast<uint32_t>(e.Entry.FileIndex));
    }
    const size_t count = entries.size();
    entries = {};

    std::error_code ec;
    if (!dataFolder_.empty()) std::filesystem::create_directories(dataFolder_, ec);
    if (const int error = ReplaceFile(IndexPath(), bytes, 0644); error != 0)
        throw ENodeListError(Cp("Не удалось записать список узлов ") + IndexPath() + ": " +
                             std::strerror(error));
    bytes = {};
    if (!Open())
        throw ENodeListError(openProblem_.empty() ? Cp("Не удалось открыть ") + IndexPath() : openProblem_);
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started).count();
    char text[160];
    std::snprintf(text, sizeof text, Cp("Откомпилирован список узлов, %d узлов, %d секунд").c_str(),
                  static_cast<int>(count), static_cast<int>(seconds));
    summary_ = text;
}

bool TNodeList::ReadBlock(int index, int count) {
    blockStart_ = index;
    blockCount_ = 0;
    const int want = std::min(count, recordCount_ - index);
    if (want <= 0) return false;
    block_.resize(static_cast<size_t>(want) * kRecordSize);
    const int64_t offset = indexStart_ + static_cast<int64_t>(index) * kRecordSize;
    size_t done = 0;
    while (done < block_.size()) {
        const ssize_t n = ::pread(fd_, block_.data() + done, block_.size() - done, offset + done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // the file shrank under us: what was read is still good
        done += static_cast<size_t>(n);
    }
    blockCount_ = static_cast<int>(done / kRecordSize);
    return blockCount_ > 0;
}

bool TNodeList::RecordAt(int index, TNodeRecord& record, int readAhead) {
    if (fd_ < 0 || index < 0 || index >= recordCount_) return false;
    if (index < blockStart_ || index >= blockStart_ + blockCount_) {
        if (!ReadBlock(index, readAhead)) return false;
    }
    const unsigned char* p = block_.data() + static_cast<size_t>(index - blockStart_) * kRecordSize;
    const size_t n = std::min<size_t>(p[0], kMaxName);
    record.Name.assign(reinterpret_cast<const char*>(p + 1), n);
    record.Entry.Zone = GetLe16(p + 36);
    record.Entry.Net = GetLe16(p + 38);
    record.Entry.Node = GetLe16(p + 40);
    record.Entry.Point = GetLe16(p + 42);
    record.Entry.LineOffset = static_cast<int32_t>(GetLe32(p + 44));
    record.Entry.FileIndex = static_cast<int32_t>(GetLe32(p + 48));
    return true;
}

bool TNodeList::Seek(int index) {
    position_ = index;
    return fd_ >= 0 && index >= 0 && index < recordCount_;
}

bool TNodeList::ReadRecord(TNodeRecord& record) {
    if (!RecordAt(position_, record)) return false;
    ++position_;
    return true;
}

int TNodeList::Slot(char a, char b) const {
    return nameIndex_[(AsciiUpper(a) - 'A') * 26 + (AsciiUpper(b) - 'A')];
}

int TNodeList::LowerBound(int from, std::string_view query) {
    // The records are sorted by CompareNodeNames, so the first name not below the query is found by
    // halving; a damaged order only gives a wrong answer, never a long one.
    int low = from;
    int high = recordCount_;
    std::string name;
    while (low < high) {
        const int mid = low + (high - low) / 2;
        if (!NameAt(mid, name)) return recordCount_;
        if (CompareNodeNames(name, query) < 0)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

bool TNodeList::NameAt(int index, std::string& name) {
    if (index >= blockStart_ && index < blockStart_ + blockCount_) {
        const unsigned char* p = block_.data() + static_cast<size_t>(index - blockStart_) * kRecordSize;
        name.assign(reinterpret_cast<const char*>(p + 1), std::min<size_t>(p[0], kMaxName));
        return true;
    }
    unsigned char bytes[1 + kMaxName];
    if (index < 0 || index >= recordCount_ ||
        !ReadAt(fd_, indexStart_ + static_cast<int64_t>(index) * kRecordSize, bytes, sizeof bytes))
        return false;
    name.assign(reinterpret_cast<const char*>(bytes + 1), std::min<size_t>(bytes[0], kMaxName));
    return true;
}

std::vector<int> TNodeList::FindRecordsByName(const std::string& name) {
    std::vector<int> found;
    if (fd_ < 0 || !StartsWithTwoLetters(name)) return found;
    const int slot = Slot(name[0], name[1]);
    if (slot < 0) return found;
    // Records hold at most 35 bytes of a name; a longer query is found by its stored part.
    const std::string_view query = std::string_view(name).substr(0, kMaxName);
    TNodeRecord record;
    for (int i = LowerBound(slot, query); RecordAt(i, record, kLookupRecords); ++i) {
        if (!StartsWithTwoLetters(record.Name) || CompareNodeNames(record.Name, query) != 0) break;
        found.push_back(i);
    }
    return found;
}

void TNodeList::FindAddressesByName(const std::string& name, std::vector<std::string>& out) {
    out.clear();
    TNodeRecord record;
    for (const int i : FindRecordsByName(name)) {
        if (!RecordAt(i, record, kLookupRecords)) break;
        const auto& e = record.Entry;
        out.push_back(FormatAddress(e.Zone, e.Net, e.Node, e.Point));
    }
}

int TNodeList::FirstIndexForPrefix(const std::string& text) {
    if (fd_ < 0 || text.empty() || !IsAsciiLetter(text[0])) return 0;
    if (text.size() == 1) return std::max(0, Slot(text[0], 'A'));
    if (!IsAsciiLetter(text[1])) return 0;
    const int slot = Slot(text[0], text[1]);
    if (text.size() == 2) return std::max(0, slot);
    const int found = LowerBound(std::max(0, slot), std::string_view(text).substr(0, kMaxName));
    std::string name;
    if (!NameAt(found, name) || !StartsWithTwoLetters(name)) return 0;
    return found;
}

int TNodeList::FindNext(const std::string& namePart, const std::string& addressMask, int start) {
    if (fd_ < 0) return -1;
    int16_t mask[4] = {-1, -1, -1, -1};
    if (!addressMask.empty()) ParseAddressMask(addressMask, mask[0], mask[1], mask[2], mask[3]);
    const bool whole = std::none_of(std::begin(mask), std::end(mask), [](int16_t m) { return m == -1; });
    if (whole && BuildAddressOrder())
        return FindAtAddress(namePart,
                             PackAddress(static_cast<uint16_t>(mask[0]), static_cast<uint16_t>(mask[1]),
                                         static_cast<uint16_t>(mask[2]), static_cast<uint16_t>(mask[3])),
                             start);
    auto matches = [](int16_t m, uint16_t v) { return m == -1 || static_cast<uint16_t>(m) == v; };
    // Straight over the read blocks: a scan of the whole list must not build a string per record.
    for (int i = std::max(0, start); i < recordCount_; ++i) {
        if ((i < blockStart_ || i >= blockStart_ + blockCount_) && !ReadBlock(i, kBlockRecords)) return -1;
        const unsigned char* p = block_.data() + static_cast<size_t>(i - blockStart_) * kRecordSize;
        const std::string_view name(reinterpret_cast<const char*>(p + 1), std::min<size_t>(p[0], kMaxName));
        if (!namePart.empty() && name.find(namePart) == std::string_view::npos) continue;
        if (matches(mask[0], GetLe16(p + 36)) && matches(mask[1], GetLe16(p + 38)) &&
            matches(mask[2], GetLe16(p + 40)) && matches(mask[3], GetLe16(p + 42)))
            return i;
    }
    return -1;
}

bool TNodeList::BuildAddressOrder() {
    if (addressOrderTried_) return !addressOrder_.empty() || recordCount_ == 0;
    addressOrderTried_ = true;
    std::vector<TAddressRecord> order;
    order.reserve(static_cast<size_t>(recordCount_));
    for (int i = 0; i < recordCount_; ++i) {
        if ((i < blockStart_ || i >= blockStart_ + blockCount_) && !ReadBlock(i, kBlockRecords)) return false;
        const unsigned char* p = block_.data() + static_cast<size_t>(i - blockStart_) * kRecordSize;
        order.push_back({PackAddress(GetLe16(p + 36), GetLe16(p + 38), GetLe16(p + 40), GetLe16(p + 42)), i});
    }
    // Equal addresses keep the name order, so the first one at or after `start` is the one a scan finds.
    std::sort(order.begin(), order.end());
    addressOrder_ = std::move(order);
    return true;
}

int TNodeList::FindAtAddress(const std::string& namePart, uint64_t address, int start) {
    const TAddressRecord from{address, std::max(0, start)};
    auto it = std::lower_bound(addressOrder_.begin(), addressOrder_.end(), from);
    std::string name;
    for (; it != addressOrder_.end() && it->Address == address; ++it) {
        if (namePart.empty()) return it->Index;
        if (!NameAt(it->Index, name)) return -1;
        if (name.find(namePart) != std::string::npos) return it->Index;
    }
    return -1;
}

TNodeList* NodeList = nullptr;

std::vector<std::string> NodeListAddresses(const std::string& name) {
    std::vector<std::string> found;
    if (NodeList != nullptr) NodeList->FindAddressesByName(name, found);
    return found;
}

}  // namespace pelmar
