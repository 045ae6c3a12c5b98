#pragma once
// Builds JAM bases byte by byte, so tests can write exactly the records (and the damage) they need.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace pelmar::test {

struct TBuildMessage {
    std::vector<std::pair<uint16_t, std::string>> Subfields;  // LoID, data (CP866)
    std::string Text;                                         // CP866
    uint32_t Attribute = 0x01000000;
    uint32_t Attribute2 = 0;
    uint32_t DateWritten = 0;
    uint32_t ToCrc = 0;
};

class TJamBuilder {
public:
    TJamBuilder();
    // Appends the message; returns its index position.
    size_t Add(const TBuildMessage& message);
    // Marks the entry deleted the way the format does (index 0xFFFFFFFF twice, header flag).
    void Delete(size_t position);
    // Writes base + ".jhr", ".jdt", ".jdx" and, unless told not to, an empty ".jlr".
    void Write(const std::string& base, bool withJlr = true) const;

    uint32_t HeaderOffset(size_t position) const { return offsets_.at(position); }
    static void Put32(std::string& bytes, size_t at, uint32_t value);
    static void Append32(std::string& bytes, uint32_t value);

    std::string Jhr, Jdt, Jdx;
    uint32_t ActiveMsgs = 0;
    uint32_t BaseMsgNum = 1;

private:
    std::vector<uint32_t> offsets_;
};

}  // namespace pelmar::test
