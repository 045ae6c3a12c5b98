#include "SquishLayout.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "core/Codepage.h"
#include "support/TestSupport.h"

namespace pelmar::test {

// The index hash as the Squish programs store it: over the stored (CP866) name with only ASCII
// lower-cased; the top bit marks a received (read) message.
uint32_t IndexHash(const std::string& storedName, uint32_t attr) {
    uint32_t h = 0;
    for (const char ch : storedName) {
        const auto c = static_cast<uint8_t>(ch);
        h = (h << 4) + ((c >= 'A' && c <= 'Z') ? c + 32u : c);
        if (const uint32_t g = h & 0xF0000000u) h |= (g >> 24) | g;
    }
    return (h & 0x7FFFFFFFu) | ((attr & 0x0004) ? 0x80000000u : 0);
}

uint32_t Le32(const std::string& bytes, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(bytes.at(at + i));
    return v;
}

uint16_t Le16(const std::string& bytes, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(bytes.at(at)) |
                                 (static_cast<uint8_t>(bytes.at(at + 1)) << 8));
}

void PutLe32(std::string& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.at(at + i) = static_cast<char>(value >> (8 * i));
}

void PutLe16(std::string& bytes, size_t at, uint16_t value) {
    bytes.at(at) = static_cast<char>(value);
    bytes.at(at + 1) = static_cast<char>(value >> 8);
}

TSquishBuilder::TSquishBuilder() : Sqd(kHeaderSize, '\0') {
    PutLe16(Sqd, 0, kHeaderSize);
    PutLe16(Sqd, 130, kFrameSize);  // sz_sqhdr
    PutLe32(Sqd, hdr::Uid, 1);
    SetEnd();
}

void TSquishBuilder::SetEnd() {
    PutLe32(Sqd, hdr::EndFrame, static_cast<uint32_t>(Sqd.size()));
}

uint32_t TSquishBuilder::Add(const TRawMessage& m) {
    std::string control;
    for (const auto& k : m.Kludges) control += "\x01" + k;
    std::string xmsg(kXmsgSize, '\0');
    PutLe32(xmsg, xm::Attr, m.Attr);
    std::memcpy(&xmsg[xm::From], m.From.data(), std::min<size_t>(m.From.size(), 35));
    std::memcpy(&xmsg[xm::To], m.To.data(), std::min<size_t>(m.To.size(), 35));
    std::memcpy(&xmsg[xm::Subj], m.Subject.data(), std::min<size_t>(m.Subject.size(), 71));
    for (int i = 0; i < 4; ++i) {
        PutLe16(xmsg, xm::Orig + 2 * i, m.Orig[i]);
        PutLe16(xmsg, xm::Dest + 2 * i, m.Dest[i]);
    }
    std::memcpy(&xmsg[xm::FtscDate], m.FtscDate.data(), std::min<size_t>(m.FtscDate.size(), 20));
    const std::string payload = m.NoControl ? xmsg + m.Body + '\0' : xmsg + control + '\0' + m.Body + '\0';

    const auto at = static_cast<uint32_t>(Sqd.size());
    std::string frame(kFrameSize, '\0');
    PutLe32(frame, frm::Id, kFrameId);
    const uint32_t last = Le32(Sqd, hdr::LastFrame);
    PutLe32(frame, frm::Prev, last);
    PutLe32(frame, frm::FrameLength, static_cast<uint32_t>(payload.size() + m.Slack));
    PutLe32(frame, frm::MsgLength, static_cast<uint32_t>(payload.size()));
    PutLe32(frame, frm::CLen, m.NoControl ? 0 : static_cast<uint32_t>(control.size() + 1));
    Sqd += frame + payload + std::string(m.Slack, '\0');
    if (last)
        PutLe32(Sqd, last + frm::Next, at);
    else
        PutLe32(Sqd, hdr::BeginFrame, at);
    PutLe32(Sqd, hdr::LastFrame, at);
    ++numMsg_;
    PutLe32(Sqd, hdr::NumMsg, numMsg_);
    PutLe32(Sqd, hdr::HighMsg, numMsg_);

    std::string entry(12, '\0');
    PutLe32(entry, 0, at);
    PutLe32(entry, 4, uid_);
    PutLe32(entry, 8, IndexHash(m.To, m.Attr));
    Sqi += entry;
    PutLe32(Sqd, hdr::Uid, ++uid_);
    SetEnd();
    return at;
}

uint32_t TSquishBuilder::AddFree(uint32_t length) {
    const auto at = static_cast<uint32_t>(Sqd.size());
    std::string frame(kFrameSize, '\0');
    PutLe32(frame, frm::Id, kFrameId);
    const uint32_t last = Le32(Sqd, hdr::LastFreeFrame);
    PutLe32(frame, frm::Prev, last);
    PutLe32(frame, frm::FrameLength, length);
    PutLe16(frame, frm::Type, 1);
    Sqd += frame + std::string(length, '\0');
    if (last)
        PutLe32(Sqd, last + frm::Next, at);
    else
        PutLe32(Sqd, hdr::FreeFrame, at);
    PutLe32(Sqd, hdr::LastFreeFrame, at);
    SetEnd();
    return at;
}

void TSquishBuilder::Save(const std::string& base) const {
    WriteFile(base + ".sqd", Sqd);
    WriteFile(base + ".sqi", Sqi);
}

namespace {

bool FrameAt(const std::string& sqd, uint32_t at) {
    return at >= kHeaderSize && uint64_t{at} + kFrameSize <= sqd.size() &&
           Le32(sqd, at + frm::Id) == kFrameId;
}

std::vector<uint32_t> WalkChain(const std::string& sqd, size_t headField) {
    std::vector<uint32_t> chain;
    std::set<uint32_t> seen;
    for (uint32_t at = Le32(sqd, headField); at != 0 && FrameAt(sqd, at) && seen.insert(at).second;
         at = Le32(sqd, at + frm::Next))
        chain.push_back(at);
    return chain;
}

std::string Hex(uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", v);
    return text;
}

// Problems of one chain: links, types, lengths and the head/tail fields of the base header.
void CheckChain(const std::string& sqd, size_t headField, size_t tailField, uint16_t type, const char* name,
                std::vector<std::string>& problems, std::vector<uint32_t>& chain) {
    std::set<uint32_t> seen;
    uint32_t prev = 0;
    const uint32_t end = Le32(sqd, hdr::EndFrame);
    for (uint32_t at = Le32(sqd, headField); at != 0; at = Le32(sqd, at + frm::Next)) {
        const std::string where = std::string(name) + " frame " + Hex(at);
        if (!FrameAt(sqd, at)) {
            problems.push_back(where + " is not a frame");
            return;
        }
        if (!seen.insert(at).second) {
            problems.push_back(where + " closes a loop");
            return;
        }
        chain.push_back(at);
        if (Le32(sqd, at + frm::Prev) != prev)
            problems.push_back(where + ": prev_frame " + Hex(Le32(sqd, at + frm::Prev)) + ", expected " +
                               Hex(prev));
        if (Le16(sqd, at + frm::Type) != type) problems.push_back(where + ": wrong frame_type");
        const uint32_t frameLength = Le32(sqd, at + frm::FrameLength);
        if (uint64_t{at} + kFrameSize + frameLength > end)
            problems.push_back(where + ": runs past end_frame");
        if (type == 0) {
            const uint32_t msgLength = Le32(sqd, at + frm::MsgLength);
            const uint32_t clen = Le32(sqd, at + frm::CLen);
            if (msgLength < kXmsgSize || msgLength > frameLength)
                problems.push_back(where + ": msg_length " + std::to_string(msgLength) + " does not fit");
            else if (clen > msgLength - kXmsgSize)
                problems.push_back(where + ": clen larger than the message");
            else if (clen > 0 && sqd.at(at + kFrameSize + kXmsgSize + clen - 1) != '\0')
                problems.push_back(where + ": control information not closed by NUL");
        }
        prev = at;
    }
    if (Le32(sqd, tailField) != prev)
        problems.push_back(std::string(name) + " chain ends at " + Hex(prev) + " but the header says " +
                           Hex(Le32(sqd, tailField)));
}

}  // namespace

std::vector<uint32_t> MessageChain(const std::string& sqd) {
    return WalkChain(sqd, hdr::BeginFrame);
}
std::vector<uint32_t> FreeChain(const std::string& sqd) {
    return WalkChain(sqd, hdr::FreeFrame);
}

std::vector<std::string> CheckSquishBase(const std::string& base, bool allowEmptySlots, bool checkHashes) {
    std::vector<std::string> problems;
    const std::string sqd = ReadFile(base + ".sqd");
    const std::string sqi = ReadFile(base + ".sqi");
    if (sqd.size() < kHeaderSize) return {"data file shorter than the base header"};
    if (Le16(sqd, 0) != kHeaderSize) problems.push_back("base header len is not 256");
    if (Le16(sqd, 130) != kFrameSize) problems.push_back("sz_sqhdr is not 28");
    if (Le32(sqd, hdr::EndFrame) != sqd.size())
        problems.push_back("end_frame " + std::to_string(Le32(sqd, hdr::EndFrame)) + " but the file has " +
                           std::to_string(sqd.size()) + " bytes");

    std::vector<uint32_t> messages, frees;
    CheckChain(sqd, hdr::BeginFrame, hdr::LastFrame, 0, "message", problems, messages);
    CheckChain(sqd, hdr::FreeFrame, hdr::LastFreeFrame, 1, "free", problems, frees);
    const uint32_t numMsg = Le32(sqd, hdr::NumMsg);
    if (messages.size() != numMsg)
        problems.push_back("num_msg " + std::to_string(numMsg) + " but the chain holds " +
                           std::to_string(messages.size()));
    if (Le32(sqd, hdr::HighMsg) != numMsg) problems.push_back("high_msg differs from num_msg");

    // Frames tile the data area: no overlap, no gap, nothing outside a chain.
    std::vector<uint32_t> all = messages;
    all.insert(all.end(), frees.begin(), frees.end());
    std::sort(all.begin(), all.end());
    uint64_t expected = kHeaderSize;
    for (uint32_t at : all) {
        if (at != expected) problems.push_back("frame " + Hex(at) + " does not follow the previous frame");
        expected = uint64_t{at} + kFrameSize + Le32(sqd, at + frm::FrameLength);
    }
    if (expected != Le32(sqd, hdr::EndFrame)) problems.push_back("frames do not reach end_frame");

    // Index: one entry per message, in chain order, ascending UMSGIDs below uid.
    if (sqi.size() % 12 != 0) problems.push_back("index size is not a multiple of 12");
    size_t live = sqi.size() / 12;
    if (allowEmptySlots)
        while (live > 0 && Le32(sqi, (live - 1) * 12) == 0) --live;
    if (live != messages.size())
        problems.push_back("index holds " + std::to_string(live) + " entries for " +
                           std::to_string(messages.size()) + " messages");
    uint32_t lastId = 0;
    for (size_t i = 0; i < std::min(live, messages.size()); ++i) {
        const uint32_t ofs = Le32(sqi, i * 12), id = Le32(sqi, i * 12 + 4), hash = Le32(sqi, i * 12 + 8);
        const std::string where = "index entry " + std::to_string(i);
        if (ofs != messages[i])
            problems.push_back(where + " points to " + Hex(ofs) + ", chain has " + Hex(messages[i]));
        if (id <= lastId) problems.push_back(where + ": umsgid not ascending");
        if (id >= Le32(sqd, hdr::Uid)) problems.push_back(where + ": umsgid not below uid");
        lastId = id;
        if (checkHashes && FrameAt(sqd, ofs)) {
            const size_t to = ofs + kFrameSize + xm::To;
            const std::string name = sqd.substr(to, std::min<size_t>(sqd.find('\0', to) - to, 36));
            const uint32_t attr = Le32(sqd, ofs + kFrameSize + xm::Attr);
            if (hash != IndexHash(name, attr))
                problems.push_back(where + ": hash does not match the recipient");
        }
    }
    return problems;
}

}  // namespace pelmar::test
