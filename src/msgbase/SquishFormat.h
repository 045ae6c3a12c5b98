#pragma once
// On-disk records of a Squish base: the .SQD base header, frame headers, the XMSG message header and
// the .SQI index entries. All integers are little-endian. Records keep their raw bytes so that fields
// this program does not use are written back exactly as they were read.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "msgbase/LittleEndian.h"
#include "msgbase/MessageBase.h"

namespace pelmar {

inline constexpr size_t SquishBaseHeaderSize = 256;
inline constexpr size_t SquishFrameHeaderSize = 28;
inline constexpr size_t SquishXmsgSize = 238;
inline constexpr size_t SquishIndexEntrySize = 12;
// Offset in the base header of the 16-bit frame header size (sz_sqhdr).
inline constexpr size_t SquishHeaderSizeField = 130;
inline constexpr uint32_t SquishFrameId = 0xAFAE4453;
inline constexpr uint16_t SquishFrameNormal = 0;
inline constexpr uint16_t SquishFrameFree = 1;
// Offset 0 is the base header, so no frame can start there: 0 means "no frame" in every link.
inline constexpr uint32_t SquishNullFrame = 0;
// Offset of a deleted position in the in-memory index.
inline constexpr uint32_t SquishDeletedOfs = 0xFFFFFFFF;
// Bit of XMSG attr that holds this program's read mark.
inline constexpr uint32_t SquishReadMark = 0x00080000;

struct TSquishBaseHeader {
    std::array<uint8_t, SquishBaseHeaderSize> Raw{};

    uint32_t NumMsg() const { return GetLe32(&Raw[4]); }
    uint32_t HighMsg() const { return GetLe32(&Raw[8]); }
    uint32_t Uid() const { return GetLe32(&Raw[20]); }
    uint32_t BeginFrame() const { return GetLe32(&Raw[104]); }
    uint32_t LastFrame() const { return GetLe32(&Raw[108]); }
    uint32_t FreeFrame() const { return GetLe32(&Raw[112]); }
    uint32_t LastFreeFrame() const { return GetLe32(&Raw[116]); }
    uint32_t EndFrame() const { return GetLe32(&Raw[120]); }

    void SetNumMsg(uint32_t v) { PutLe32(&Raw[4], v); }
    void SetHighMsg(uint32_t v) { PutLe32(&Raw[8], v); }
    void SetUid(uint32_t v) { PutLe32(&Raw[20], v); }
    void SetBeginFrame(uint32_t v) { PutLe32(&Raw[104], v); }
    void SetLastFrame(uint32_t v) { PutLe32(&Raw[108], v); }
    void SetFreeFrame(uint32_t v) { PutLe32(&Raw[112], v); }
    void SetLastFreeFrame(uint32_t v) { PutLe32(&Raw[116], v); }
    void SetEndFrame(uint32_t v) { PutLe32(&Raw[120], v); }
};

struct TSquishFrameHeader {
    uint32_t Id = 0;
    uint32_t NextFrame = 0;
    uint32_t PrevFrame = 0;
    uint32_t FrameLength = 0;
    uint32_t MsgLength = 0;
    uint32_t CLen = 0;
    uint16_t FrameType = 0;
    uint16_t Reserved = 0;

    static TSquishFrameHeader Parse(const uint8_t* p);
    void Serialize(uint8_t* p) const;
};

// The XMSG with the fields this program reads or writes decoded; the rest stays in Raw.
struct TSquishXmsg {
    std::array<uint8_t, SquishXmsgSize> Raw{};

    uint32_t Attr() const { return GetLe32(&Raw[0]); }
    void SetAttr(uint32_t v) { PutLe32(&Raw[0], v); }
    // NUL-terminated text of a fixed-size field, as stored (CP866).
    std::string_view From() const { return Field(4, 36); }
    std::string_view To() const { return Field(40, 36); }
    std::string_view Subj() const { return Field(76, 72); }
    std::string_view FtscDate() const { return Field(218, 20); }
    TNetAddress Orig() const { return Address(148); }
    TNetAddress Dest() const { return Address(156); }

    // Writes at most maxChars bytes of text into the field, the rest of the field zero.
    void SetFrom(std::string_view text) { SetField(4, 36, 35, text); }
    void SetTo(std::string_view text) { SetField(40, 36, 35, text); }
    void SetSubj(std::string_view text) { SetField(76, 72, 70, text); }
    void SetFtscDate(std::string_view text) { SetField(218, 20, 20, text); }
    void SetOrig(const TNetAddress& a) { SetAddress(148, a); }
    void SetDest(const TNetAddress& a) { SetAddress(156, a); }
    void SetDates(uint16_t dosDate, uint16_t dosTime);

private:
    std::string_view Field(size_t offset, size_t size) const;
    void SetField(size_t offset, size_t size, size_t maxChars, std::string_view text);
    TNetAddress Address(size_t offset) const;
    void SetAddress(size_t offset, const TNetAddress& a);
};

struct TSquishIndexEntry {
    uint32_t Ofs = 0;
    uint32_t UMsgId = 0;
    uint32_t Hash = 0;
};

// Hash of a recipient name as the index keeps it, computed as the other Squish programs do: over the
// stored (CP866) bytes with the ASCII letters lower-cased. The top bit is left clear.
uint32_t SquishHash(std::string_view storedName);

// XMSG attr <-> the common attribute set. "Direct" travels as a control line and "RetRcpt" is not
// stored, so neither appears here.
uint32_t SquishAttrFromCommon(uint16_t attr);
uint16_t CommonAttrFromSquish(uint32_t attr);
// Names of the set bits 0..16 of XMSG attr, each followed by one space.
std::string SquishAttrText(uint32_t attr);

}  // namespace pelmar
