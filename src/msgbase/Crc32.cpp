#include "msgbase/Crc32.h"

namespace pelmar {

namespace {

std::array<uint32_t, 256> BuildTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        table[i] = c;
    }
    return table;
}

}  // namespace

const std::array<uint32_t, 256>& Crc32Table() {
    static const std::array<uint32_t, 256> table = BuildTable();
    return table;
}

uint32_t Crc32Update(uint32_t crc, std::string_view bytes) {
    const auto& table = Crc32Table();
    for (const char ch : bytes) crc = table[(static_cast<uint8_t>(ch) ^ crc) & 0xFF] ^ (crc >> 8);
    return crc;
}

}  // namespace pelmar
