#include "JamBuilder.h"

#include "support/TestSupport.h"

namespace pelmar::test {

void TJamBuilder::Put32(std::string& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = char(value >> (8 * i) & 0xFF);
}

void TJamBuilder::Append32(std::string& bytes, uint32_t value) {
    bytes.append(4, '\0');
    Put32(bytes, bytes.size() - 4, value);
}

TJamBuilder::TJamBuilder() : Jhr(1024, '\0') {
    Jhr.replace(0, 4, std::string("JAM\0", 4));
}

size_t TJamBuilder::Add(const TBuildMessage& message) {
    std::string subfields;
    for (const auto& [id, data] : message.Subfields) {
        subfields += char(id & 0xFF);
        subfields += char(id >> 8);
        subfields.append(2, '\0');
        Append32(subfields, uint32_t(data.size()));
        subfields += data;
    }
    const size_t position = offsets_.size();
    std::string header("JAM\0", 4);
    header += '\x01';
    header.append(3, '\0');
    for (const uint32_t field :
         {uint32_t(subfields.size()), 0u, 0u, 0u, 0u, 0u, 0u, message.DateWritten, message.DateWritten,
          message.DateWritten, uint32_t(BaseMsgNum + position), message.Attribute, message.Attribute2,
          uint32_t(Jdt.size()), uint32_t(message.Text.size()), 0u, 0u})
        Append32(header, field);
    offsets_.push_back(uint32_t(Jhr.size()));
    Jhr += header + subfields;
    Jdt += message.Text;
    Append32(Jdx, message.ToCrc);
    Append32(Jdx, offsets_.back());
    ++ActiveMsgs;
    return position;
}

void TJamBuilder::Delete(size_t position) {
    Put32(Jdx, position * 8, 0xFFFFFFFF);
    Put32(Jdx, position * 8 + 4, 0xFFFFFFFF);
    const size_t attrTopByte = offsets_.at(position) + 52 + 3;
    Jhr[attrTopByte] = char(uint8_t(Jhr[attrTopByte]) | 0x80);
    --ActiveMsgs;
}

void TJamBuilder::Write(const std::string& base, bool withJlr) const {
    std::string jhr = Jhr;
    Put32(jhr, 12, ActiveMsgs);
    Put32(jhr, 20, BaseMsgNum);
    WriteFile(base + ".jhr", jhr);
    WriteFile(base + ".jdt", Jdt);
    WriteFile(base + ".jdx", Jdx);
    if (withJlr) WriteFile(base + ".jlr", "");
}

}  // namespace pelmar::test
