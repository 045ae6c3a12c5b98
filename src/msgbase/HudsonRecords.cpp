#include "msgbase/HudsonRecords.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/Errors.h"

namespace pelmar {

namespace {

// A decimal number filling the whole field (leading blanks and a sign allowed); `fallback` otherwise.
int FieldOrDefault(std::string_view text, size_t start, size_t length, int fallback) {
    if (start >= text.size()) return fallback;
    std::string_view field = text.substr(start, length);
    size_t i = 0;
    while (i < field.size() && field[i] == ' ') ++i;
    bool negative = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';
    if (i == field.size()) return fallback;
    int value = 0;
    for (; i < field.size(); ++i) {
        if (field[i] < '0' || field[i] > '9') return fallback;
        value = value * 10 + (field[i] - '0');
    }
    return negative ? -value : value;
}

const char* const MsgAttrNames[7] = {"Del", "UnmN", "Netmail", "Prv", "Rcvd", "UnmE", "Loc"};
const char* const NetAttrNames[8] = {"KSnt", "Snt", "FAt", "Crsh", "RRcpt", "RAud", "RetRcp", "FReq"};

// Common bits that have a NetAttr counterpart, both ways.
struct TNetBit {
    uint16_t Common;
    uint8_t Net;
};
constexpr TNetBit NetBits[] = {
    {AttrKillSent, HudsonNetKillSent}, {AttrSent, HudsonNetSent},
    {AttrCrash, HudsonNetCrash},       {AttrRqRcpt, HudsonNetReceiptReq},
    {AttrReqAudit, HudsonNetAuditReq}, {AttrFileAttach, HudsonNetFileAttach},
};

}  // namespace

THudsonInfo THudsonInfo::Parse(const uint8_t* bytes) {
    THudsonInfo info;
    info.LowMsg = GetLe16(bytes);
    info.HighMsg = GetLe16(bytes + 2);
    info.TotalActive = GetLe16(bytes + 4);
    for (size_t i = 0; i < info.ActiveMsgs.size(); ++i) info.ActiveMsgs[i] = GetLe16(bytes + 6 + 2 * i);
    return info;
}

void THudsonInfo::Store(uint8_t* bytes) const {
    PutLe16(bytes, LowMsg);
    PutLe16(bytes + 2, HighMsg);
    PutLe16(bytes + 4, TotalActive);
    for (size_t i = 0; i < ActiveMsgs.size(); ++i) PutLe16(bytes + 6 + 2 * i, ActiveMsgs[i]);
}

THudsonIdx THudsonIdx::Parse(const uint8_t* bytes) {
    return {GetLe16(bytes), bytes[2]};
}

void THudsonIdx::Store(uint8_t* bytes) const {
    PutLe16(bytes, MsgNum);
    bytes[2] = Board;
}

std::string ReadPascalString(const uint8_t* bytes, size_t room) {
    const size_t length = bytes[0];
    if (length > room) throw EReadError("damaged Hudson header: a string is longer than its field");
    return std::string(reinterpret_cast<const char*>(bytes + 1), length);
}

void WritePascalString(uint8_t* bytes, size_t room, std::string_view text) {
    const size_t length = std::min(room, text.size());
    bytes[0] = static_cast<uint8_t>(length);
    std::memcpy(bytes + 1, text.data(), length);
    std::memset(bytes + 1 + length, 0, room - length);
}

THudsonHeader THudsonHeader::Parse(const uint8_t* b) {
    THudsonHeader h;
    h.MsgNum = GetLe16(b);
    h.PrevReply = GetLe16(b + 2);
    h.NextReply = GetLe16(b + 4);
    h.TimesRead = GetLe16(b + 6);
    h.StartBlock = GetLe16(b + 8);
    h.NumBlocks = GetLe16(b + 10);
    h.DestNet = GetLe16(b + 12);
    h.DestNode = GetLe16(b + 14);
    h.OrigNet = GetLe16(b + 16);
    h.OrigNode = GetLe16(b + 18);
    h.DestZone = b[20];
    h.OrigZone = b[21];
    h.Cost = GetLe16(b + 22);
    h.MsgAttr = b[24];
    h.NetAttr = b[25];
    h.Board = b[26];
    h.PostTime = ReadPascalString(b + 27, HudsonTimeRoom);
    h.PostDate = ReadPascalString(b + 33, HudsonDateRoom);
    h.WhoTo = ReadPascalString(b + 42, HudsonNameRoom);
    h.WhoFrom = ReadPascalString(b + 78, HudsonNameRoom);
    h.Subject = ReadPascalString(b + 114, HudsonSubjectRoom);
    return h;
}

void THudsonHeader::Store(uint8_t* b) const {
    PutLe16(b, MsgNum);
    PutLe16(b + 2, PrevReply);
    PutLe16(b + 4, NextReply);
    PutLe16(b + 6, TimesRead);
    PutLe16(b + 8, StartBlock);
    PutLe16(b + 10, NumBlocks);
    PutLe16(b + 12, DestNet);
    PutLe16(b + 14, DestNode);
    PutLe16(b + 16, OrigNet);
    PutLe16(b + 18, OrigNode);
    b[20] = DestZone;
    b[21] = OrigZone;
    PutLe16(b + 22, Cost);
    b[24] = MsgAttr;
    b[25] = NetAttr;
    b[26] = Board;
    WritePascalString(b + 27, HudsonTimeRoom, PostTime);
    WritePascalString(b + 33, HudsonDateRoom, PostDate);
    WritePascalString(b + 42, HudsonNameRoom, WhoTo);
    WritePascalString(b + 78, HudsonNameRoom, WhoFrom);
    WritePascalString(b + 114, HudsonSubjectRoom, Subject);
}

TDateTime ParseHudsonDate(std::string_view postDate, std::string_view postTime) {
    const int month = FieldOrDefault(postDate, 0, 2, 1);
    const int day = FieldOrDefault(postDate, 3, 2, 1);
    const int yy = FieldOrDefault(postDate, 6, 2, 90);
    const int hour = FieldOrDefault(postTime, 0, 2, 0);
    const int minute = FieldOrDefault(postTime, 3, 2, 0);
    const int year = yy >= 90 ? 1900 + yy : 2000 + yy;
    return EncodeDateTime(year, month, day, hour, minute, 0);
}

void FormatHudsonDate(TDateTime value, std::string& postDate, std::string& postTime) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    DecodeDateTime(value, year, month, day, hour, minute, second);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d-%02d-%02d", month, day, ((year % 100) + 100) % 100);
    postDate = buf;
    std::snprintf(buf, sizeof buf, "%02d:%02d", hour, minute);
    postTime = buf;
}

void AttrToHudson(uint16_t attr, bool netmail, uint8_t& msgAttr, uint8_t& netAttr) {
    msgAttr = netmail ? (HudsonMsgNetmail | HudsonMsgPrivate) : 0;
    netAttr = 0;
    if (attr & AttrLocal) msgAttr |= HudsonMsgLocal;
    for (const TNetBit& bit : NetBits)
        if (attr & bit.Common) netAttr |= bit.Net;
    if (!(attr & AttrSent)) msgAttr |= netmail ? HudsonMsgUnmovedNet : HudsonMsgUnmovedEcho;
}

uint16_t HudsonToAttr(uint8_t msgAttr, uint8_t netAttr) {
    uint16_t attr = (msgAttr & HudsonMsgLocal) ? AttrLocal : 0;
    for (const TNetBit& bit : NetBits)
        if (netAttr & bit.Net) attr |= bit.Common;
    return attr;
}

std::string HudsonAttrText(uint8_t msgAttr, uint8_t netAttr) {
    std::string text;
    for (int bit = 0; bit < 7; ++bit)
        if (msgAttr & (1 << bit)) text.append(MsgAttrNames[bit]).push_back(' ');
    for (int bit = 0; bit < 8; ++bit)
        if (netAttr & (1 << bit)) text.append(NetAttrNames[bit]).push_back(' ');
    return text;
}

}  // namespace pelmar
