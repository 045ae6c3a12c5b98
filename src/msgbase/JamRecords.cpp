#include "msgbase/JamRecords.h"

#include <cstring>

#include "core/Errors.h"
#include "msgbase/Crc32.h"
#include "msgbase/LittleEndian.h"

namespace pelmar {

namespace {

constexpr char Signature[4] = {'J', 'A', 'M', '\0'};

bool HasSignature(std::string_view bytes) {
    return bytes.substr(0, 4) == std::string_view(Signature, 4);
}

// Common bit -> JAM bit, in the order of the common set.
struct TAttrMap {
    uint16_t Common;
    uint32_t Jam;
};
constexpr TAttrMap AttrMap[] = {
    {0x001, JamMsgLocal},  {0x002, JamMsgKillSent},   {0x004, JamMsgSent},       {0x008, JamMsgCrash},
    {0x010, JamMsgDirect}, {0x020, JamMsgReceiptReq}, {0x040, JamMsgConfirmReq}, {0x100, JamMsgFileAttach},
};

constexpr const char* AttributeNames[32] = {
    "Loc", "Trns", "Prv",  "Rcvd", "Snt",  "K/S",    "A/S",    "Hld",   "Crsh", "Imm", "Dir",
    "Gat", "Frq",  "FAtt", "TrnF", "KilF", "RcpReq", "CnfReq", "Orph",  "Enc",  "Cmp", "Esc",
    "FPU", "Loc",  "Ech",  "Net",  "Unk",  "Unk",    "Unk",    "NDisp", "Lck",  "Del",
};

}  // namespace

bool TJamBaseHeader::Parse(std::string_view bytes, TJamBaseHeader& out) {
    if (bytes.size() < JamBaseHeaderSize || !HasSignature(bytes)) return false;
    out.DateCreated = GetLe32(bytes, 4);
    out.ModCounter = GetLe32(bytes, 8);
    out.ActiveMsgs = GetLe32(bytes, 12);
    out.PasswordCRC = GetLe32(bytes, 16);
    out.BaseMsgNum = GetLe32(bytes, 20);
    std::memcpy(out.Reserved.data(), bytes.data() + 24, out.Reserved.size());
    return true;
}

std::string TJamBaseHeader::Serialize() const {
    std::string out(Signature, 4);
    out.reserve(JamBaseHeaderSize);
    AppendLe32(out, DateCreated);
    AppendLe32(out, ModCounter);
    AppendLe32(out, ActiveMsgs);
    AppendLe32(out, PasswordCRC);
    AppendLe32(out, BaseMsgNum);
    out.append(reinterpret_cast<const char*>(Reserved.data()), Reserved.size());
    return out;
}

bool TJamMsgHeader::Parse(std::string_view bytes, TJamMsgHeader& out) {
    if (bytes.size() < JamMsgHeaderSize || !HasSignature(bytes)) return false;
    out.Revision = GetLe16(bytes, 4);
    out.ReservedWord = GetLe16(bytes, 6);
    uint32_t* const fields[] = {
        &out.SubfieldLen,   &out.TimesRead, &out.MSGIDcrc,    &out.REPLYcrc,     &out.ReplyTo,
        &out.Reply1st,      &out.ReplyNext, &out.DateWritten, &out.DateReceived, &out.DateProcessed,
        &out.MessageNumber, &out.Attribute, &out.Attribute2,  &out.TxtOffset,    &out.TxtLen,
        &out.PasswordCRC,   &out.Cost,
    };
    size_t at = 8;
    for (uint32_t* field : fields) {
        *field = GetLe32(bytes, at);
        at += 4;
    }
    return true;
}

std::string TJamMsgHeader::Serialize() const {
    std::string out(Signature, 4);
    out.reserve(JamMsgHeaderSize);
    AppendLe16(out, Revision);
    AppendLe16(out, ReservedWord);
    for (const uint32_t field :
         {SubfieldLen, TimesRead, MSGIDcrc, REPLYcrc, ReplyTo, Reply1st, ReplyNext, DateWritten, DateReceived,
          DateProcessed, MessageNumber, Attribute, Attribute2, TxtOffset, TxtLen, PasswordCRC, Cost})
        AppendLe32(out, field);
    return out;
}

void TJamIndexEntry::ParseAll(std::string_view bytes, std::vector<TJamIndexEntry>& out) {
    const size_t count = bytes.size() / JamIndexEntrySize;
    out.clear();
    out.reserve(count);
    for (size_t i = 0; i < count; ++i)
        out.push_back({GetLe32(bytes, i * JamIndexEntrySize), GetLe32(bytes, i * JamIndexEntrySize + 4)});
}

std::string TJamIndexEntry::Serialize() const {
    std::string out;
    out.reserve(JamIndexEntrySize);
    AppendLe32(out, ToCRC);
    AppendLe32(out, HdrOffset);
    return out;
}

bool TJamSubfieldReader::Next(TJamSubfield& out) {
    if (Pos >= Block.size()) return false;
    if (Block.size() - Pos < JamSubfieldHeaderSize)
        throw EReadError("JAM: subfield header runs past the end of the header");
    const uint32_t datLen = GetLe32(Block, Pos + 4);
    const size_t dataAt = Pos + JamSubfieldHeaderSize;
    if (datLen > Block.size() - dataAt)
        throw EReadError("JAM: subfield data runs past the end of the header");
    out.LoID = GetLe16(Block, Pos);
    out.HiID = GetLe16(Block, Pos + 2);
    out.Data = Block.substr(dataAt, datLen);
    Pos = dataAt + datLen;
    return true;
}

void AppendJamSubfield(std::string& block, uint16_t loId, std::string_view data) {
    AppendLe16(block, loId);
    AppendLe16(block, 0);
    AppendLe32(block, static_cast<uint32_t>(data.size()));
    block.append(data);
}

uint32_t JamAttributeFromAttr(uint16_t attr) {
    uint32_t result = 0;
    for (const auto& map : AttrMap)
        if (attr & map.Common) result |= map.Jam;
    return result;
}

uint16_t AttrFromJamAttribute(uint32_t attribute) {
    uint16_t result = 0;
    for (const auto& map : AttrMap)
        if (attribute & map.Jam) result |= map.Common;
    return result;
}

std::string JamAttributeText(uint32_t attribute) {
    std::string text;
    for (int bit = 0; bit < 32; ++bit) {
        if (!(attribute & (uint32_t{1} << bit))) continue;
        text += AttributeNames[bit];
        text += ' ';
    }
    return text;
}

uint32_t JamTextCrc(std::string_view stored) {
    std::string lower(stored);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    return Crc32Update(0xFFFFFFFF, lower);
}

}  // namespace pelmar
