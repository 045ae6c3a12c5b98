#pragma once
// On-disk records of a JAM base: the base header and message headers of the .JHR file, the
// subfields that follow each message header, and the 8-byte entries of the .JDX index.
// All integers are little-endian; parsing never reads outside the bytes it is given.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelmar {

inline constexpr uint32_t JamBaseHeaderSize = 1024;
inline constexpr uint32_t JamMsgHeaderSize = 76;
inline constexpr uint32_t JamIndexEntrySize = 8;
inline constexpr uint32_t JamSubfieldHeaderSize = 8;
// Both fields of a deleted index entry.
inline constexpr uint32_t JamDeletedEntry = 0xFFFFFFFF;

// Subfield identifiers (LoID) this base reads or writes.
inline constexpr uint16_t JamSfOAddress = 0;
inline constexpr uint16_t JamSfDAddress = 1;
inline constexpr uint16_t JamSfSenderName = 2;
inline constexpr uint16_t JamSfReceiverName = 3;
inline constexpr uint16_t JamSfMsgId = 4;
inline constexpr uint16_t JamSfReplyId = 5;
inline constexpr uint16_t JamSfSubject = 6;
inline constexpr uint16_t JamSfPid = 7;
inline constexpr uint16_t JamSfTrace = 8;
inline constexpr uint16_t JamSfEnclosedFile = 9;
inline constexpr uint16_t JamSfEnclosedFreq = 11;
inline constexpr uint16_t JamSfFtsKludge = 2000;
inline constexpr uint16_t JamSfSeenBy2D = 2001;
inline constexpr uint16_t JamSfPath2D = 2002;
inline constexpr uint16_t JamSfFlags = 2003;
inline constexpr uint16_t JamSfTzUtcInfo = 2004;

// Attribute bits of a message header.
inline constexpr uint32_t JamMsgLocal = 0x00000001;
inline constexpr uint32_t JamMsgSent = 0x00000010;
inline constexpr uint32_t JamMsgKillSent = 0x00000020;
inline constexpr uint32_t JamMsgCrash = 0x00000100;
inline constexpr uint32_t JamMsgDirect = 0x00000400;
inline constexpr uint32_t JamMsgFileAttach = 0x00002000;
inline constexpr uint32_t JamMsgReceiptReq = 0x00010000;
inline constexpr uint32_t JamMsgConfirmReq = 0x00020000;
inline constexpr uint32_t JamMsgTypeEcho = 0x01000000;
inline constexpr uint32_t JamMsgTypeNet = 0x02000000;
inline constexpr uint32_t JamMsgDeleted = 0x80000000;
// Attribute2 bit holding this program's read mark.
inline constexpr uint32_t JamAttr2Read = 0x00000800;

// The 1024 bytes at offset 0 of the .JHR file. Reserved bytes are kept as read.
struct TJamBaseHeader {
    uint32_t DateCreated = 0;
    uint32_t ModCounter = 0;
    uint32_t ActiveMsgs = 0;
    uint32_t PasswordCRC = 0;
    uint32_t BaseMsgNum = 0;
    std::array<uint8_t, 1000> Reserved{};

    // False when fewer than 1024 bytes are given or the signature is not "JAM\0".
    static bool Parse(std::string_view bytes, TJamBaseHeader& out);
    // 1024 bytes, signature included.
    std::string Serialize() const;
};

// The fixed 76-byte part of a message header; SubfieldLen bytes of subfields follow it.
struct TJamMsgHeader {
    uint16_t Revision = 0;
    uint16_t ReservedWord = 0;
    uint32_t SubfieldLen = 0;
    uint32_t TimesRead = 0;
    uint32_t MSGIDcrc = 0;
    uint32_t REPLYcrc = 0;
    uint32_t ReplyTo = 0;
    uint32_t Reply1st = 0;
    uint32_t ReplyNext = 0;
    uint32_t DateWritten = 0;
    uint32_t DateReceived = 0;
    uint32_t DateProcessed = 0;
    uint32_t MessageNumber = 0;
    uint32_t Attribute = 0;
    uint32_t Attribute2 = 0;
    uint32_t TxtOffset = 0;
    uint32_t TxtLen = 0;
    uint32_t PasswordCRC = 0;
    uint32_t Cost = 0;

    // Byte offset of Attribute2 inside the record (the read mark is written there alone).
    static constexpr uint32_t Attribute2Offset = 56;

    // False when fewer than 76 bytes are given or the signature is not "JAM\0".
    static bool Parse(std::string_view bytes, TJamMsgHeader& out);
    // 76 bytes, signature included.
    std::string Serialize() const;
};

// One .JDX entry. HdrOffset read as signed: a negative value marks a deleted message.
struct TJamIndexEntry {
    uint32_t ToCRC = 0;
    uint32_t HdrOffset = 0;

    bool Deleted() const { return static_cast<int32_t>(HdrOffset) < 0; }
    // Entries from the raw .JDX bytes; a trailing partial entry is ignored.
    static void ParseAll(std::string_view bytes, std::vector<TJamIndexEntry>& out);
    std::string Serialize() const;
};

struct TJamSubfield {
    uint16_t LoID = 0;
    uint16_t HiID = 0;
    std::string_view Data;
};

// Walks the subfield block of one message header.
class TJamSubfieldReader {
public:
    explicit TJamSubfieldReader(std::string_view block) : Block(block) {}
    // The next subfield; false at the end of the block. Raises EReadError when a subfield header or
    // its data runs past the end of the block.
    bool Next(TJamSubfield& out);

private:
    std::string_view Block;
    size_t Pos = 0;
};

// Appends one subfield (HiID 0) to a block being built.
void AppendJamSubfield(std::string& block, uint16_t loId, std::string_view data);

// Common attribute set <-> JAM Attribute (without the message-type bits; RetRcpt has no JAM bit).
uint32_t JamAttributeFromAttr(uint16_t attr);
uint16_t AttrFromJamAttribute(uint32_t attribute);
// Names of the set bits of a JAM Attribute in bit order, each followed by one space.
std::string JamAttributeText(uint32_t attribute);

// The CRC of the index's ToCRC and of the headers' MSGIDcrc and REPLYcrc: CRC-32 from 0xFFFFFFFF,
// not inverted, over the stored (CP866) bytes with the ASCII letters lower-cased, as the other JAM
// programs compute it (their lookups find our messages only then). Empty text gives 0xFFFFFFFF.
uint32_t JamTextCrc(std::string_view stored);

}  // namespace pelmar
