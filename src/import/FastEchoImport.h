#pragma once
// The area list of a binary FASTECHO.CFG.
#include <cstddef>
#include <cstdint>
#include <string>

namespace pelmar {

class TAreaInfo;

// Layout of the parts of the file that are read (little-endian).
namespace fastecho {
inline constexpr size_t HeaderSize = 4644;
inline constexpr size_t NodeCountOffset = 6;         // u16
inline constexpr size_t AreaCountOffset = 8;         // u16
inline constexpr size_t HudsonDirOffset = 68;        // NUL-terminated
inline constexpr size_t AkaCountOffset = 3250;       // u8
inline constexpr size_t NodeSizeOffset = 4638;       // u16
inline constexpr size_t ExtensionSizeOffset = 4640;  // u32: the blocks after the header, headers included
inline constexpr size_t BlockHeaderSize = 6;         // u16 type, u32 size of the data after it
inline constexpr uint16_t AkaBlockType = 7;
inline constexpr size_t AkaRecordSize = 42;  // u16 zone, net, node, point
inline constexpr size_t AreaRecordSize = 190;
inline constexpr size_t AreaNameOffset = 0;           // NUL-terminated, up to the board number
inline constexpr size_t AreaBoardOffset = 52;         // u16
inline constexpr size_t AreaAkaOffset = 60;           // u8: index into the own addresses
inline constexpr size_t AreaFlagsOffset = 62;         // u16: bits 0-2 base type, 0x10 netmail
inline constexpr size_t AreaPathOffset = 82;          // NUL-terminated, up to the description
inline constexpr size_t AreaDescriptionOffset = 138;  // NUL-terminated, up to the record's end
}  // namespace fastecho

// Adds the JAM, Squish, *.MSG and Hudson areas of the FASTECHO.CFG `file` to `container`;
// pass-through areas are left out. Names are proper-cased; with `splitNames` each dot of a name opens
// a sub-folder ("SU.HARDW.SELL" is the area Sell in the folder Hardw in the folder Su).
// Raises EReadError when the file cannot be opened, is shorter than its header and counts say, or an
// area refers to an own address the file does not hold; the areas read before stay in the container.
void ImportFastEchoConfig(const std::string& file, TAreaInfo& container, bool splitNames);

}  // namespace pelmar
