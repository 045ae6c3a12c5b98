#pragma once
// Little-endian access to the bytes of on-disk records, shared by the base formats.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pelmar {

inline uint16_t GetLe16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t GetLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void PutLe16(uint8_t* p, uint16_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}
inline void PutLe32(uint8_t* p, uint32_t value) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

// The same over the bytes of a record held as text (`at` must leave room for the field).
inline uint16_t GetLe16(std::string_view bytes, size_t at) {
    return GetLe16(reinterpret_cast<const uint8_t*>(bytes.data()) + at);
}
inline uint32_t GetLe32(std::string_view bytes, size_t at) {
    return GetLe32(reinterpret_cast<const uint8_t*>(bytes.data()) + at);
}
// Appends the field to a record being built.
inline void AppendLe16(std::string& out, uint16_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8));
}
inline void AppendLe32(std::string& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

}  // namespace pelmar
