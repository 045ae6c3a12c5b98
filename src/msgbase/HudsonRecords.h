#pragma once
// Records of a Hudson base and their little-endian byte layout. Strings are kept as stored (CP866).
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "msgbase/LittleEndian.h"
#include "msgbase/MessageBase.h"

namespace pelmar {

// The boards one Hudson base holds, numbered 1..200; the one definition every part of the program uses.
inline constexpr int HudsonFirstBoard = 1;
inline constexpr int HudsonLastBoard = 200;
inline constexpr int HudsonBoardCount = HudsonLastBoard;
inline constexpr size_t HudsonInfoSize = 406;
inline constexpr size_t HudsonIdxSize = 3;
inline constexpr size_t HudsonToIdxSize = 36;
inline constexpr size_t HudsonHeaderSize = 187;
inline constexpr size_t HudsonBlockSize = 256;
inline constexpr size_t HudsonBlockText = 255;
inline constexpr uint16_t HudsonDeletedNum = 0xFFFF;

// Room of the header's length-prefixed strings.
inline constexpr size_t HudsonTimeRoom = 5;
inline constexpr size_t HudsonDateRoom = 8;
inline constexpr size_t HudsonNameRoom = 35;
inline constexpr size_t HudsonSubjectRoom = 72;

// MsgAttr bits.
inline constexpr uint8_t HudsonMsgDeleted = 0x01;
inline constexpr uint8_t HudsonMsgUnmovedNet = 0x02;
inline constexpr uint8_t HudsonMsgNetmail = 0x04;
inline constexpr uint8_t HudsonMsgPrivate = 0x08;
inline constexpr uint8_t HudsonMsgReceived = 0x10;
inline constexpr uint8_t HudsonMsgUnmovedEcho = 0x20;
inline constexpr uint8_t HudsonMsgLocal = 0x40;
// NetAttr bits.
inline constexpr uint8_t HudsonNetKillSent = 0x01;
inline constexpr uint8_t HudsonNetSent = 0x02;
inline constexpr uint8_t HudsonNetFileAttach = 0x04;
inline constexpr uint8_t HudsonNetCrash = 0x08;
inline constexpr uint8_t HudsonNetReceiptReq = 0x10;
inline constexpr uint8_t HudsonNetAuditReq = 0x20;
inline constexpr uint8_t HudsonNetIsReceipt = 0x40;
inline constexpr uint8_t HudsonNetFileReq = 0x80;

// MSGINFO.BBS: the counters of the whole base.
struct THudsonInfo {
    uint16_t LowMsg = 0;
    uint16_t HighMsg = 0;
    uint16_t TotalActive = 0;
    std::array<uint16_t, HudsonBoardCount> ActiveMsgs{};  // index board - 1

    uint16_t& Active(int board) { return ActiveMsgs[static_cast<size_t>(board - 1)]; }
    uint16_t Active(int board) const { return ActiveMsgs[static_cast<size_t>(board - 1)]; }

    static THudsonInfo Parse(const uint8_t* bytes);  // HudsonInfoSize bytes
    void Store(uint8_t* bytes) const;                // HudsonInfoSize bytes
};

// MSGIDX.BBS entry; one per header record.
struct THudsonIdx {
    uint16_t MsgNum = 0;  // HudsonDeletedNum: deleted
    uint8_t Board = 0;

    static THudsonIdx Parse(const uint8_t* bytes);  // HudsonIdxSize bytes
    void Store(uint8_t* bytes) const;
};

// MSGHDR.BBS record.
struct THudsonHeader {
    uint16_t MsgNum = 0;
    uint16_t PrevReply = 0;
    uint16_t NextReply = 0;
    uint16_t TimesRead = 0;
    uint16_t StartBlock = 0;
    uint16_t NumBlocks = 0;
    uint16_t DestNet = 0;
    uint16_t DestNode = 0;
    uint16_t OrigNet = 0;
    uint16_t OrigNode = 0;
    uint8_t DestZone = 0;
    uint8_t OrigZone = 0;
    uint16_t Cost = 0;
    uint8_t MsgAttr = 0;
    uint8_t NetAttr = 0;
    uint8_t Board = 0;
    std::string PostTime;  // "hh:mm"
    std::string PostDate;  // "mm-dd-yy"
    std::string WhoTo;
    std::string WhoFrom;
    std::string Subject;

    // Raises EReadError when a string's length byte exceeds its room.
    static THudsonHeader Parse(const uint8_t* bytes);  // HudsonHeaderSize bytes
    // Strings longer than their room are cut; unused room is zero.
    void Store(uint8_t* bytes) const;
};

// Byte offsets of header fields that are updated on their own.
inline constexpr size_t HudsonTimesReadOffset = 6;
inline constexpr size_t HudsonMsgAttrOffset = 24;
inline constexpr size_t HudsonBoardOffset = 26;
inline constexpr size_t HudsonWhoToOffset = 42;

// A length-prefixed string of `room` characters at `bytes`; raises EReadError when the length byte
// says more than the room.
std::string ReadPascalString(const uint8_t* bytes, size_t room);
// Length byte, at most `room` characters, zero padding: writes exactly room + 1 bytes.
void WritePascalString(uint8_t* bytes, size_t room, std::string_view text);

// Date from PostDate "mm-dd-yy" and PostTime "hh:mm". A field that is not a number takes its default
// (month 1, day 1, year 90, hour and minute 0); YY >= 90 is 19YY, else 20YY. An impossible date or
// time raises EConvertError.
TDateTime ParseHudsonDate(std::string_view postDate, std::string_view postTime);
void FormatHudsonDate(TDateTime value, std::string& postDate, std::string& postTime);

// Common attribute set <-> MsgAttr/NetAttr. Writing also marks an unsent message as waiting for
// export (unmoved netmail or echomail); Direct and RetRcpt have no bit here.
void AttrToHudson(uint16_t attr, bool netmail, uint8_t& msgAttr, uint8_t& netAttr);
uint16_t HudsonToAttr(uint8_t msgAttr, uint8_t netAttr);
// The names of the set MsgAttr bits, then of the set NetAttr bits, each followed by one space.
std::string HudsonAttrText(uint8_t msgAttr, uint8_t netAttr);

}  // namespace pelmar
