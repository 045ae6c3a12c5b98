#pragma once
// Writes FASTECHO.CFG files field by field, with the knobs damaged files need.
#include <cstdint>
#include <string>
#include <vector>

namespace pelmar::test {

struct TFeAddress {
    uint16_t Zone = 0, Net = 0, Node = 0, Point = 0;
};

struct TFeArea {
    std::string Name;
    uint16_t Flags = 0;  // bits 0-2 base type (0 Hudson, 1 *.MSG, 2 Squish, 3 JAM, 7 pass-through)
    std::string Path;
    std::string Description;
    uint16_t Board = 0;
    uint8_t Aka = 0;
};

struct TFeBlock {
    uint16_t Type = 0;
    std::string Data;
};

class TFastEchoBuilder {
public:
    std::string HudsonDir;
    std::vector<TFeAddress> Addresses;
    int AkaCount = -1;                   // header count; -1: Addresses.size()
    size_t AkaBlockSlack = 0;            // unused records' room after the addresses in their block
    std::vector<TFeBlock> BlocksBefore;  // extension blocks before the address block
    std::vector<TFeBlock> BlocksAfter;   // ... and after it
    uint16_t NodeCount = 0;
    uint16_t NodeSize = 0;
    std::vector<TFeArea> Areas;
    int AreaCount = -1;  // header count; -1: Areas.size()

    std::string Build() const;
    // The byte offset of the first area record in Build()'s result.
    size_t AreasOffset() const;
};

}  // namespace pelmar::test
