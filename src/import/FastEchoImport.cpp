#include "import/FastEchoImport.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>
#include <vector>

#include "areas/gizmo.h"
#include "core/Address.h"
#include "core/Errors.h"
#include "import/AreaImport.h"
#include "import/DosPath.h"
#include "msgbase/BaseFactory.h"
#include "msgbase/HudsonRecords.h"
#include "msgbase/LittleEndian.h"

namespace pelmar {
namespace {

using namespace fastecho;

constexpr uint16_t BaseTypeMask = 0x07;
constexpr uint16_t PassThrough = 0x07;
constexpr uint16_t NetmailFlag = 0x10;

class TConfigFile {
public:
    explicit TConfigFile(const std::string& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)) {
        if (fd_ < 0) throw EReadError("FASTECHO.CFG: " + path + ": " + std::strerror(errno));
    }
    ~TConfigFile() { ::close(fd_); }
    TConfigFile(const TConfigFile&) = delete;
    TConfigFile& operator=(const TConfigFile&) = delete;

    // Exactly `size` bytes at `offset`; EReadError when the file ends before.
    std::vector<uint8_t> Read(uint64_t offset, size_t size, const char* what) const {
        std::vector<uint8_t> bytes(size);
        size_t done = 0;
        while (done < size) {
            const ssize_t got =
                ::pread(fd_, bytes.data() + done, size - done, static_cast<off_t>(offset + done));
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) throw EReadError(std::string("FASTECHO.CFG: ") + what + ": " + std::strerror(errno));
            if (got == 0) throw EReadError(std::string("FASTECHO.CFG is truncated: ") + what);
            done += static_cast<size_t>(got);
        }
        return bytes;
    }

private:
    int fd_;
};

uint16_t U16(const std::vector<uint8_t>& bytes, size_t offset) {
    return GetLe16(bytes.data() + offset);
}

uint32_t U32(const std::vector<uint8_t>& bytes, size_t offset) {
    return GetLe32(bytes.data() + offset);
}

// A NUL-terminated text of the field [offset, end); the whole field when it holds no NUL.
std::string Text(const std::vector<uint8_t>& bytes, size_t offset, size_t end) {
    const auto* begin = reinterpret_cast<const char*>(bytes.data()) + offset;
    const std::string_view field(begin, end - offset);
    return std::string(field.substr(0, field.find('\0')));
}

struct THeader {
    uint16_t NodeCount;
    uint16_t AreaCount;
    std::string HudsonDir;
    uint8_t AkaCount;
    uint16_t NodeSize;
    uint32_t ExtensionSize;
};

THeader ReadHeader(const TConfigFile& file) {
    const auto bytes = file.Read(0, HeaderSize, "header");
    return THeader{
        U16(bytes, NodeCountOffset), U16(bytes, AreaCountOffset), Text(bytes, HudsonDirOffset, HeaderSize),
        bytes[AkaCountOffset],       U16(bytes, NodeSizeOffset),  U32(bytes, ExtensionSizeOffset)};
}

// The own addresses from the address blocks among the extension blocks.
std::vector<std::string> ReadAddresses(const TConfigFile& file, const THeader& header) {
    std::vector<std::string> addresses;
    uint64_t walked = 0;
    while (walked < header.ExtensionSize) {
        const uint64_t blockStart = HeaderSize + walked;
        const auto block = file.Read(blockStart, BlockHeaderSize, "extension block");
        const uint16_t type = U16(block, 0);
        const uint32_t size = U32(block, 2);
        if (type == AkaBlockType) {
            // Never read past the block, whatever the count says.
            const size_t count = std::min<size_t>(header.AkaCount, size / AkaRecordSize);
            const auto records = file.Read(blockStart + BlockHeaderSize, count * AkaRecordSize, "addresses");
            for (size_t i = 0; i < count; ++i) {
                const size_t at = i * AkaRecordSize;
                addresses.push_back(FormatAddress(U16(records, at), U16(records, at + 2),
                                                  U16(records, at + 4), U16(records, at + 6)));
            }
        }
        // The next block follows this one's data, however much of it was used.
        walked += BlockHeaderSize + uint64_t{size};
    }
    return addresses;
}

// Kind and Path of an area record (relative paths from `baseDir`, the folder of FASTECHO.CFG); false
// for pass-through areas and boards no Hudson base has.
bool Locate(const std::vector<uint8_t>& record, const THeader& header, const std::string& baseDir,
            TImportedArea& area) {
    const uint16_t flags = U16(record, AreaFlagsOffset);
    const uint16_t type = flags & BaseTypeMask;
    if (type == PassThrough) return false;
    const std::string path = Text(record, AreaPathOffset, AreaDescriptionOffset);
    if ((type & 3) == 3) {
        area.Kind = BaseKindJam;
    } else if ((type & 2) != 0) {
        area.Kind = BaseKindSquish;
    } else if ((type & 1) != 0) {
        area.Kind = BaseKindMsg;
    } else {
        const uint16_t board = U16(record, AreaBoardOffset);
        // Board 0 is no board: a Path beginning with a NUL could not be stored.
        if (board == 0 || board > HudsonLastBoard) return false;
        area.Kind = BaseKindHudson;
        area.Path = ResolveAreaPathFrom(BaseKindHudson,
                                        std::string(1, static_cast<char>(board)) + header.HudsonDir, baseDir);
        return true;
    }
    area.Path = ResolveAreaPathFrom(area.Kind, path, baseDir);
    return true;
}

// Every dot-separated part but the last is a folder below the one before it.
void StoreSplit(TAreaInfo& container, TImportedArea area) {
    std::vector<std::string> parts;
    size_t begin = 0;
    while (begin <= area.Name.size()) {
        size_t end = area.Name.find('.', begin);
        if (end == std::string::npos) end = area.Name.size();
        // Empty parts ("A..B", a dot at either end) would give entries without a name.
        if (end > begin) parts.push_back(area.Name.substr(begin, end - begin));
        begin = end + 1;
    }
    if (parts.empty()) return;
    TAreaInfo* level = &container;
    for (size_t i = 0; i + 1 < parts.size(); ++i) level = &FindOrAddFolder(*level, parts[i]);
    area.Name = parts.back();
    StoreArea(*level, area);
}

}  // namespace

void ImportFastEchoConfig(const std::string& file, TAreaInfo& container, bool splitNames) {
    const TConfigFile config(file);
    const THeader header = ReadHeader(config);
    const std::vector<std::string> addresses = ReadAddresses(config, header);
    const std::string baseDir = ConfigFolder(file);
    const uint64_t areasStart =
        HeaderSize + uint64_t{header.ExtensionSize} + uint64_t{header.NodeCount} * header.NodeSize;
    for (uint32_t i = 0; i < header.AreaCount; ++i) {
        const auto record =
            config.Read(areasStart + uint64_t{i} * AreaRecordSize, AreaRecordSize, "area records");
        TImportedArea area;
        if (!Locate(record, header, baseDir, area)) continue;
        const uint8_t akaIndex = record[AreaAkaOffset];
        if (akaIndex >= addresses.size())
            throw EReadError("FASTECHO.CFG: area " + std::to_string(i + 1) + " uses own address " +
                             std::to_string(akaIndex + 1) + " of " + std::to_string(addresses.size()));
        area.AreaName = Text(record, AreaNameOffset, AreaBoardOffset);
        area.Description = Text(record, AreaDescriptionOffset, AreaRecordSize);
        area.UseAKA = addresses[akaIndex];
        area.IsNetmail = (U16(record, AreaFlagsOffset) & NetmailFlag) != 0;
        area.Name = ProperCaseName(area.AreaName);
        if (splitNames)
            StoreSplit(container, area);
        else
            StoreArea(container, area);
    }
}

}  // namespace pelmar
