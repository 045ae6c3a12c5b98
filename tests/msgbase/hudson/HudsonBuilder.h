#pragma once
// Writes Hudson bases byte by byte for the tests (independently of the production code) and reads
// their raw fields back.
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// Tests fill only the fields they care about.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace pelmar::test {

// One header record as stored. Text is the stored text (CP866, control lines as ^A ... CR).
struct HudMsg {
    uint16_t Num = 0;
    uint8_t Board = 1;
    bool IdxDeleted = false;  // MSGIDX entry 0xFFFF
    std::string From = "From", To = "To", Subject = "Subj";
    std::string Date = "01-15-95", Time = "12:34";
    uint16_t TimesRead = 0;
    uint8_t MsgAttr = 0, NetAttr = 0;
    uint8_t OrigZone = 0, DestZone = 0;
    uint16_t OrigNet = 0, OrigNode = 0, DestNet = 0, DestNode = 0;
    std::string Text;
    // Overrides of the block pointers (-1: where the text was written).
    int StartBlock = -1, NumBlocks = -1;
};

struct HudBase {
    std::vector<HudMsg> Msgs;
    // MSGINFO; counts are taken from Msgs when left empty.
    int HighMsg = -1, TotalActive = -1;
    std::array<int, 200> Active{};  // 0: counted from Msgs
    void Write(const std::filesystem::path& dir) const;
};

// Path of a Hudson area: the board number as the first character, then the directory.
std::string BoardPath(int board, const std::filesystem::path& dir);

uint16_t HudLe16(const std::string& bytes, size_t offset);
// A length-prefixed string at `offset` (length byte not checked).
std::string PStr(const std::string& bytes, size_t offset);
// Record `index` of `size` bytes from a file of the base ("" when past the end).
std::string RecordOf(const std::filesystem::path& file, size_t index, size_t size);
// The stored text of the header record: NumBlocks blocks from StartBlock, concatenated.
std::string StoredText(const std::filesystem::path& dir, const std::string& header);

}  // namespace pelmar::test
