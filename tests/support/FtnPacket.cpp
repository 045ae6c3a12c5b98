#include "support/FtnPacket.h"

namespace pelmar::test {

namespace {

void Add16(std::string& bytes, uint16_t value) {
    bytes += static_cast<char>(value & 0xFF);
    bytes += static_cast<char>(value >> 8);
}

}  // namespace

TPacket::TPacket() {
    const uint16_t words[] = {2, 1, 2026, 11, 9, 12, 0, 0, 0, 2, 5020, 5020};
    for (const uint16_t w : words) Add16(bytes_, w);
    bytes_ += '\xFE';  // product code, low byte
    bytes_ += '\x01';
    bytes_ += std::string(8, '\0');  // password
    Add16(bytes_, 2);                // orig zone
    Add16(bytes_, 2);                // dest zone
    Add16(bytes_, 0);                // aux net
    Add16(bytes_, 0x0100);           // capability word, byte-swapped copy
    bytes_ += '\0';
    bytes_ += '\0';
    Add16(bytes_, 0x0001);  // capability word
    Add16(bytes_, 2);
    Add16(bytes_, 2);
    Add16(bytes_, 0);  // orig point
    Add16(bytes_, 0);  // dest point
    bytes_ += std::string(4, '\0');
}

void TPacket::Add(uint16_t origNode, uint16_t destNode, uint16_t attr, const std::string& date,
                  const std::string& to, const std::string& from, const std::string& subject,
                  const std::string& text) {
    Add16(bytes_, 2);
    Add16(bytes_, origNode);
    Add16(bytes_, destNode);
    Add16(bytes_, 5020);
    Add16(bytes_, 5020);
    Add16(bytes_, attr);
    Add16(bytes_, 0);
    bytes_ += date + std::string(20 - date.size(), '\0');
    for (const auto* field : {&to, &from, &subject, &text}) {
        bytes_ += *field;
        bytes_ += '\0';
    }
}

}  // namespace pelmar::test
