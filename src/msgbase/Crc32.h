#pragma once
// The reflected CRC-32 of polynomial 0xEDB88320 (the table the JAM format uses for its name CRCs).
#include <array>
#include <cstdint>
#include <string_view>

namespace pelmar {

// The 256-entry table, built once.
const std::array<uint32_t, 256>& Crc32Table();

// Runs `crc` over the bytes: one step is crc := table[(byte xor crc) and 0xFF] xor (crc shr 8).
// No initial or final inversion: callers choose the start value and whether to invert.
uint32_t Crc32Update(uint32_t crc, std::string_view bytes);

}  // namespace pelmar
