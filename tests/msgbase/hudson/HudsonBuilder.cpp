#include "HudsonBuilder.h"

#include <algorithm>

#include "support/TestSupport.h"

namespace pelmar::test {

namespace {

void Put16(std::string& out, uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

void PutStr(std::string& out, const std::string& s, size_t room) {
    out.push_back(static_cast<char>(s.size()));
    std::string field = s.substr(0, room);
    field.resize(room, '\0');
    out += field;
}

}  // namespace

void HudBase::Write(const std::filesystem::path& dir) const {
    std::string idx, toIdx, hdr, txt, info;
    int high = 0, total = 0;
    std::array<int, 200> active{};
    for (const HudMsg& m : Msgs) {
        const size_t blocks = (m.Text.size() + 254) / 255;
        const size_t start = txt.size() / 256;
        for (size_t k = 0; k < blocks; ++k) {
            std::string block = m.Text.substr(k * 255, 255);
            txt.push_back(static_cast<char>(block.size()));
            block.resize(255, '\0');
            txt += block;
        }
        Put16(idx, m.IdxDeleted ? 0xFFFF : m.Num);
        idx.push_back(static_cast<char>(m.Board));
        PutStr(toIdx, m.To, 35);
        Put16(hdr, m.Num);
        Put16(hdr, 0);
        Put16(hdr, 0);
        Put16(hdr, m.TimesRead);
        Put16(hdr, static_cast<uint16_t>(m.StartBlock >= 0 ? m.StartBlock : static_cast<int>(start)));
        Put16(hdr, static_cast<uint16_t>(m.NumBlocks >= 0 ? m.NumBlocks : static_cast<int>(blocks)));
        for (uint16_t v : {m.DestNet, m.DestNode, m.OrigNet, m.OrigNode}) Put16(hdr, v);
        hdr.push_back(static_cast<char>(m.DestZone));
        hdr.push_back(static_cast<char>(m.OrigZone));
        Put16(hdr, 0);
        hdr.push_back(static_cast<char>(m.MsgAttr));
        hdr.push_back(static_cast<char>(m.NetAttr));
        hdr.push_back(static_cast<char>(m.Board));
        PutStr(hdr, m.Time, 5);
        PutStr(hdr, m.Date, 8);
        PutStr(hdr, m.To, 35);
        PutStr(hdr, m.From, 35);
        PutStr(hdr, m.Subject, 72);
        high = std::max<int>(high, m.Num);
        if (!m.IdxDeleted) {
            ++total;
            if (m.Board >= 1 && m.Board <= 200) ++active[m.Board - 1];
        }
    }
    Put16(info, 1);
    Put16(info, static_cast<uint16_t>(HighMsg >= 0 ? HighMsg : high));
    Put16(info, static_cast<uint16_t>(TotalActive >= 0 ? TotalActive : total));
    for (size_t b = 0; b < 200; ++b) Put16(info, static_cast<uint16_t>(Active[b] ? Active[b] : active[b]));
    WriteFile(dir / "msgidx.bbs", idx);
    WriteFile(dir / "msgtoidx.bbs", toIdx);
    WriteFile(dir / "msghdr.bbs", hdr);
    WriteFile(dir / "msgtxt.bbs", txt);
    WriteFile(dir / "msginfo.bbs", info);
}

std::string BoardPath(int board, const std::filesystem::path& dir) {
    return std::string(1, static_cast<char>(board)) + dir.string();
}

uint16_t HudLe16(const std::string& bytes, size_t offset) {
    return static_cast<uint16_t>(static_cast<uint8_t>(bytes.at(offset)) |
                                 static_cast<uint8_t>(bytes.at(offset + 1)) << 8);
}

std::string PStr(const std::string& bytes, size_t offset) {
    return bytes.substr(offset + 1, static_cast<uint8_t>(bytes.at(offset)));
}

std::string RecordOf(const std::filesystem::path& file, size_t index, size_t size) {
    const std::string all = ReadFile(file);
    if ((index + 1) * size > all.size()) return {};
    return all.substr(index * size, size);
}

std::string StoredText(const std::filesystem::path& dir, const std::string& header) {
    const std::string txt = ReadFile(dir / "msgtxt.bbs");
    std::string text;
    for (size_t k = 0; k < HudLe16(header, 10); ++k) text += PStr(txt, (HudLe16(header, 8) + k) * 256);
    return text;
}

}  // namespace pelmar::test
