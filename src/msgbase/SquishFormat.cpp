#include "msgbase/SquishFormat.h"

#include <algorithm>
#include <cstring>

namespace pelmar {

TSquishFrameHeader TSquishFrameHeader::Parse(const uint8_t* p) {
    TSquishFrameHeader h;
    h.Id = GetLe32(p);
    h.NextFrame = GetLe32(p + 4);
    h.PrevFrame = GetLe32(p + 8);
    h.FrameLength = GetLe32(p + 12);
    h.MsgLength = GetLe32(p + 16);
    h.CLen = GetLe32(p + 20);
    h.FrameType = GetLe16(p + 24);
    h.Reserved = GetLe16(p + 26);
    return h;
}

void TSquishFrameHeader::Serialize(uint8_t* p) const {
    PutLe32(p, Id);
    PutLe32(p + 4, NextFrame);
    PutLe32(p + 8, PrevFrame);
    PutLe32(p + 12, FrameLength);
    PutLe32(p + 16, MsgLength);
    PutLe32(p + 20, CLen);
    PutLe16(p + 24, FrameType);
    PutLe16(p + 26, Reserved);
}

std::string_view TSquishXmsg::Field(size_t offset, size_t size) const {
    const char* begin = reinterpret_cast<const char*>(&Raw[offset]);
    const void* nul = std::memchr(begin, 0, size);
    return {begin, nul ? static_cast<size_t>(static_cast<const char*>(nul) - begin) : size};
}

void TSquishXmsg::SetField(size_t offset, size_t size, size_t maxChars, std::string_view text) {
    std::fill_n(&Raw[offset], size, uint8_t{0});
    const size_t n = std::min(text.size(), maxChars);
    std::memcpy(&Raw[offset], text.data(), n);
}

TNetAddress TSquishXmsg::Address(size_t offset) const {
    TNetAddress a;
    a.Zone = GetLe16(&Raw[offset]);
    a.Net = GetLe16(&Raw[offset + 2]);
    a.Node = GetLe16(&Raw[offset + 4]);
    a.Point = GetLe16(&Raw[offset + 6]);
    return a;
}

void TSquishXmsg::SetAddress(size_t offset, const TNetAddress& a) {
    PutLe16(&Raw[offset], a.Zone);
    PutLe16(&Raw[offset + 2], a.Net);
    PutLe16(&Raw[offset + 4], a.Node);
    PutLe16(&Raw[offset + 6], a.Point);
}

void TSquishXmsg::SetDates(uint16_t dosDate, uint16_t dosTime) {
    // date_written, then date_arrived: each the date word followed by the time word.
    PutLe16(&Raw[164], dosDate);
    PutLe16(&Raw[166], dosTime);
    PutLe16(&Raw[168], dosDate);
    PutLe16(&Raw[170], dosTime);
}

uint32_t SquishHash(std::string_view storedName) {
    uint32_t h = 0;
    for (const char ch : storedName) {
        const auto c = static_cast<uint8_t>(ch);
        h = (h << 4) + ((c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c);
        const uint32_t g = h & 0xF0000000u;
        if (g != 0) {
            h |= g >> 24;
            h |= g;
        }
    }
    return h & 0x7FFFFFFFu;
}

namespace {

struct TAttrPair {
    uint16_t Common;
    uint32_t Squish;
};

constexpr TAttrPair AttrMap[] = {
    {AttrLocal, 0x0100},  {AttrKillSent, 0x0080}, {AttrSent, 0x0008},       {AttrCrash, 0x0002},
    {AttrRqRcpt, 0x1000}, {AttrReqAudit, 0x4000}, {AttrFileAttach, 0x0010},
};

constexpr const char* SquishAttrNames[] = {"Priv", "Crsh", "Rcv", "Snt", "Fil", "Fwd", "Orp", "Kil", "Loc",
                                           "Hold", "XX2",  "Frq", "Rrq", "Cpt", "Arq", "Urg", "Scn"};

}  // namespace

uint32_t SquishAttrFromCommon(uint16_t attr) {
    uint32_t result = 0;
    for (const auto& pair : AttrMap)
        if (attr & pair.Common) result |= pair.Squish;
    return result;
}

uint16_t CommonAttrFromSquish(uint32_t attr) {
    uint16_t result = 0;
    for (const auto& pair : AttrMap)
        if (attr & pair.Squish) result |= pair.Common;
    return result;
}

std::string SquishAttrText(uint32_t attr) {
    std::string text;
    for (size_t bit = 0; bit < std::size(SquishAttrNames); ++bit) {
        if (attr & (1u << bit)) {
            text += SquishAttrNames[bit];
            text += ' ';
        }
    }
    return text;
}

}  // namespace pelmar
