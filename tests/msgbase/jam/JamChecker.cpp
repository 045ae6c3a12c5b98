#include "JamChecker.h"

#include <stdexcept>

#include "core/Codepage.h"
#include "support/TestSupport.h"

namespace pelmar::test {

namespace {

uint32_t Le32(const std::string& b, size_t at) {
    if (at + 4 > b.size()) throw std::runtime_error("read past the end at " + std::to_string(at));
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 | uint32_t(uint8_t(b[at + 2])) << 16 |
           uint32_t(uint8_t(b[at + 3])) << 24;
}

uint16_t Le16(const std::string& b, size_t at) {
    if (at + 2 > b.size()) throw std::runtime_error("read past the end at " + std::to_string(at));
    return uint16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8);
}

TRawJamMessage ParseMessage(const std::string& jhr, const std::string& jdt, uint64_t offset) {
    TRawJamMessage m;
    if (offset + 76 > jhr.size()) throw std::runtime_error("header past the end of the .jhr");
    if (jhr.compare(offset, 4, std::string("JAM\0", 4)) != 0) throw std::runtime_error("header signature");
    m.Revision = Le16(jhr, offset + 4);
    m.SubfieldLen = Le32(jhr, offset + 8);
    m.MsgIdCrc = Le32(jhr, offset + 16);
    m.ReplyCrc = Le32(jhr, offset + 20);
    m.DateWritten = Le32(jhr, offset + 36);
    m.DateReceived = Le32(jhr, offset + 40);
    m.DateProcessed = Le32(jhr, offset + 44);
    m.MessageNumber = Le32(jhr, offset + 48);
    m.Attribute = Le32(jhr, offset + 52);
    m.Attribute2 = Le32(jhr, offset + 56);
    m.TxtOffset = Le32(jhr, offset + 60);
    m.TxtLen = Le32(jhr, offset + 64);
    const uint64_t end = offset + 76 + uint64_t(m.SubfieldLen);
    if (end > jhr.size()) throw std::runtime_error("SubfieldLen past the end of the .jhr");
    uint64_t at = offset + 76;
    while (at < end) {
        if (at + 8 > end) throw std::runtime_error("subfield header past SubfieldLen");
        const uint16_t id = Le16(jhr, at);
        const uint32_t len = Le32(jhr, at + 4);
        if (at + 8 + len > end) throw std::runtime_error("subfield data past SubfieldLen");
        m.Subfields.emplace_back(id, jhr.substr(at + 8, len));
        at += 8 + len;
    }
    if (uint64_t(m.TxtOffset) + m.TxtLen > jdt.size())
        throw std::runtime_error("text past the end of the .jdt");
    m.Text = jdt.substr(m.TxtOffset, m.TxtLen);
    return m;
}

}  // namespace

uint32_t BitwiseCrc32(const std::string& bytes) {
    uint32_t crc = 0xFFFFFFFF;
    for (const char ch : bytes) {
        crc ^= uint8_t(ch);
        for (int i = 0; i < 8; ++i) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return crc;
}

TRawJamBase ReadRawJamBase(const std::string& base) {
    const std::string jhr = ReadFile(base + ".jhr");
    const std::string jdx = ReadFile(base + ".jdx");
    TRawJamBase b;
    b.DateCreated = Le32(jhr, 4);
    b.ModCounter = Le32(jhr, 8);
    b.ActiveMsgs = Le32(jhr, 12);
    b.PasswordCRC = Le32(jhr, 16);
    b.BaseMsgNum = Le32(jhr, 20);
    for (size_t at = 0; at + 8 <= jdx.size(); at += 8) b.Index.emplace_back(Le32(jdx, at), Le32(jdx, at + 4));
    return b;
}

TRawJamMessage ReadRawJamMessage(const std::string& base, size_t position) {
    const TRawJamBase b = ReadRawJamBase(base);
    if (position >= b.Index.size()) throw std::runtime_error("no such index entry");
    return ParseMessage(ReadFile(base + ".jhr"), ReadFile(base + ".jdt"), b.Index[position].second);
}

std::vector<std::string> CheckJamBase(const std::string& base, bool checkToCrc) {
    std::vector<std::string> problems;
    const std::string jhr = ReadFile(base + ".jhr");
    const std::string jdt = ReadFile(base + ".jdt");
    const std::string jdx = ReadFile(base + ".jdx");
    if (jhr.size() < 1024 || jhr.compare(0, 4, std::string("JAM\0", 4)) != 0) {
        problems.push_back("base header missing or without signature");
        return problems;
    }
    if (jdx.size() % 8 != 0)
        problems.push_back(".jdx size " + std::to_string(jdx.size()) + " is not a multiple of 8");
    const TRawJamBase b = ReadRawJamBase(base);
    uint32_t live = 0;
    for (size_t pos = 0; pos < b.Index.size(); ++pos) {
        const auto [toCrc, offset] = b.Index[pos];
        const std::string where = "entry " + std::to_string(pos) + ": ";
        if (offset >= 0x80000000) {
            if (toCrc != 0xFFFFFFFF || offset != 0xFFFFFFFF) problems.push_back(where + "half-deleted entry");
            continue;
        }
        ++live;
        if (offset < 1024) problems.push_back(where + "header offset inside the base header");
        TRawJamMessage m;
        try {
            m = ParseMessage(jhr, jdt, offset);
        } catch (const std::exception& e) {
            problems.push_back(where + e.what());
            continue;
        }
        uint64_t total = 0;
        for (const auto& [id, data] : m.Subfields) total += 8 + data.size();
        if (total != m.SubfieldLen)
            problems.push_back(where + "SubfieldLen differs from the subfields' total");
        if (m.Revision != 1) problems.push_back(where + "revision " + std::to_string(m.Revision));
        if (m.MessageNumber != b.BaseMsgNum + pos)
            problems.push_back(where + "MessageNumber " + std::to_string(m.MessageNumber));
        const uint32_t type = m.Attribute & 0x03000000;
        if (type != 0x01000000 && type != 0x02000000)
            problems.push_back(where + "no single message-type bit");
        if (m.Attribute & 0x80000000) problems.push_back(where + "live entry of a deleted header");
        if (!checkToCrc) continue;
        std::string recipient;
        for (const auto& [id, data] : m.Subfields)
            if (id == 3) {
                recipient = data;
                break;
            }
        // Over the stored bytes with only ASCII lower-cased, as the JAM programs compute it.
        for (char& c : recipient)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        const uint32_t expected = BitwiseCrc32(recipient);
        if (toCrc != expected) problems.push_back(where + "ToCRC does not match the recipient");
    }
    if (live != b.ActiveMsgs)
        problems.push_back("ActiveMsgs " + std::to_string(b.ActiveMsgs) + " but " + std::to_string(live) +
                           " live entries");
    return problems;
}

}  // namespace pelmar::test
