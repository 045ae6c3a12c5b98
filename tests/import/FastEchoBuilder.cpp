#include "FastEchoBuilder.h"

#include <cstring>

#include "import/FastEchoImport.h"

namespace pelmar::test {
namespace {

using namespace fastecho;

void Put16(std::string& bytes, size_t offset, uint16_t value) {
    bytes[offset] = static_cast<char>(value & 0xFF);
    bytes[offset + 1] = static_cast<char>(value >> 8);
}

void Put32(std::string& bytes, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// Text into a field of `room` bytes; a text that fills the field has no NUL.
void PutText(std::string& bytes, size_t offset, const std::string& text, size_t room) {
    std::memcpy(bytes.data() + offset, text.data(), std::min(text.size(), room));
}

std::string Block(uint16_t type, const std::string& data) {
    std::string bytes(BlockHeaderSize, '\0');
    Put16(bytes, 0, type);
    Put32(bytes, 2, static_cast<uint32_t>(data.size()));
    return bytes + data;
}

}  // namespace

std::string TFastEchoBuilder::Build() const {
    std::string extension;
    for (const TFeBlock& block : BlocksBefore) extension += Block(block.Type, block.Data);
    std::string akas((Addresses.size() + AkaBlockSlack) * AkaRecordSize, '\0');
    for (size_t i = 0; i < Addresses.size(); ++i) {
        const TFeAddress& a = Addresses[i];
        Put16(akas, i * AkaRecordSize, a.Zone);
        Put16(akas, i * AkaRecordSize + 2, a.Net);
        Put16(akas, i * AkaRecordSize + 4, a.Node);
        Put16(akas, i * AkaRecordSize + 6, a.Point);
        PutText(akas, i * AkaRecordSize + 8, "fidonet", 28);
    }
    extension += Block(AkaBlockType, akas);
    for (const TFeBlock& block : BlocksAfter) extension += Block(block.Type, block.Data);

    std::string header(HeaderSize, '\0');
    Put16(header, 0, 6);  // revision
    Put16(header, NodeCountOffset, NodeCount);
    Put16(header, AreaCountOffset, static_cast<uint16_t>(AreaCount < 0 ? Areas.size() : AreaCount));
    PutText(header, HudsonDirOffset, HudsonDir, 80);
    header[AkaCountOffset] = static_cast<char>(AkaCount < 0 ? Addresses.size() : AkaCount);
    Put16(header, NodeSizeOffset, NodeSize);
    Put32(header, ExtensionSizeOffset, static_cast<uint32_t>(extension.size()));

    // Node records: a pattern that would show if it were read as areas.
    std::string nodes(size_t{NodeCount} * NodeSize, '\x5A');

    std::string areas;
    for (const TFeArea& area : Areas) {
        std::string record(AreaRecordSize, '\0');
        PutText(record, AreaNameOffset, area.Name, AreaBoardOffset - AreaNameOffset);
        Put16(record, AreaBoardOffset, area.Board);
        record[AreaAkaOffset] = static_cast<char>(area.Aka);
        Put16(record, AreaFlagsOffset, area.Flags);
        PutText(record, AreaPathOffset, area.Path, AreaDescriptionOffset - AreaPathOffset);
        PutText(record, AreaDescriptionOffset, area.Description, AreaRecordSize - AreaDescriptionOffset);
        areas += record;
    }
    return header + extension + nodes + areas;
}

size_t TFastEchoBuilder::AreasOffset() const {
    size_t extension = BlockHeaderSize + (Addresses.size() + AkaBlockSlack) * AkaRecordSize;
    for (const TFeBlock& block : BlocksBefore) extension += BlockHeaderSize + block.Data.size();
    for (const TFeBlock& block : BlocksAfter) extension += BlockHeaderSize + block.Data.size();
    return HeaderSize + extension + size_t{NodeCount} * NodeSize;
}

}  // namespace pelmar::test
