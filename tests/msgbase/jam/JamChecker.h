#pragma once
// A JAM base read the hard way, straight from the published layout, without the program's own
// record code: the checker every write test runs, and a raw view of stored messages.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace pelmar::test {

struct TRawJamBase {
    uint32_t DateCreated = 0, ModCounter = 0, ActiveMsgs = 0, PasswordCRC = 0, BaseMsgNum = 0;
    std::vector<std::pair<uint32_t, uint32_t>> Index;  // ToCRC, HdrOffset
};

struct TRawJamMessage {
    uint32_t SubfieldLen = 0, DateWritten = 0, DateReceived = 0, DateProcessed = 0, MessageNumber = 0;
    uint32_t Attribute = 0, Attribute2 = 0, TxtOffset = 0, TxtLen = 0, MsgIdCrc = 0, ReplyCrc = 0;
    uint16_t Revision = 0;
    std::vector<std::pair<uint16_t, std::string>> Subfields;  // LoID, data as stored (CP866)
    std::string Text;                                         // as stored (CP866)
};

// `base` is the path without extension; files are base + ".jhr", ".jdt", ".jdx".
TRawJamBase ReadRawJamBase(const std::string& base);
// The message at index position `position`; throws std::runtime_error when it cannot be read.
TRawJamMessage ReadRawJamMessage(const std::string& base, size_t position);

// Every problem found, one line each; empty when the base is sound: base header signature and
// size, .jdx a whole number of entries, ActiveMsgs equal to the live entries, deleted entries
// 0xFFFFFFFF twice, and for each live entry: header inside the file with its signature and
// revision 1, SubfieldLen equal to the subfields' total, text inside the .jdt, MessageNumber =
// BaseMsgNum + position, one message-type bit, no deleted bit, and (with checkToCrc) ToCRC equal to
// the CRC of the lower-cased recipient.
std::vector<std::string> CheckJamBase(const std::string& base, bool checkToCrc = true);

// CRC-32 bit by bit (no table) from 0xFFFFFFFF, not inverted.
uint32_t BitwiseCrc32(const std::string& bytes);

}  // namespace pelmar::test
