#include "areas/AreaTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <stdexcept>

#include "msgbase/BaseFactory.h"
#include "msgbase/MessageBase.h"
#include "msgbase/SquishFormat.h"

namespace fs = std::filesystem;

namespace pelmar::test {

namespace {

void WriteBytes(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

}  // namespace

std::string HudsonPath(int board, const fs::path& dir) {
    return std::string(1, static_cast<char>(board)) + dir.string() + "/";
}

std::string CreateEmptyBase(int kind, const fs::path& dir, const std::string& name) {
    switch (kind) {
        case BaseKindMsg: {
            fs::create_directories(dir / name);
            return (dir / name).string();
        }
        case BaseKindJam: {
            const std::string path = (dir / name).string();
            auto base = CreateMessageBase(kind);
            base->SetPath(path);
            base->CreateBase();
            return path;
        }
        case BaseKindHudson: {
            fs::create_directories(dir / name);
            WriteBytes(dir / name / "msginfo.bbs", std::string(406, '\0'));
            for (const char* file : {"msgidx.bbs", "msgtoidx.bbs", "msghdr.bbs", "msgtxt.bbs"})
                WriteBytes(dir / name / file, "");
            return HudsonPath(1, dir / name);
        }
        case BaseKindSquish: {
            TSquishBaseHeader header;
            PutLe16(&header.Raw[0], SquishBaseHeaderSize);
            header.SetUid(1);
            header.SetEndFrame(SquishBaseHeaderSize);
            PutLe16(&header.Raw[254], SquishFrameHeaderSize);
            const std::string path = (dir / name).string();
            WriteBytes(path + ".sqd", std::string(header.Raw.begin(), header.Raw.end()));
            WriteBytes(path + ".sqi", "");
            return path;
        }
        default:
            throw std::invalid_argument("no such base kind");
    }
}

void AppendMessages(int kind, const std::string& path, const std::vector<TTestMessage>& messages) {
    auto base = CreateMessageBase(kind);
    base->SetPath(path);
    base->Open();
    if (!base->Active) throw std::runtime_error("cannot open " + path);
    base->UseFlagFiles = false;
    int n = 0;
    for (const TTestMessage& message : messages) {
        base->NewMessage();
        base->FromName = "Tester";
        base->ToName = message.To;
        base->Subject = "Subject " + std::to_string(++n);
        base->OrigAddr = "2:5020/1";
        base->Date = EncodeDateTime(2025, 1, 2, 3, 4, 5);
        base->Attr = AttrLocal;
        base->Read = message.Read;
        base->Kludges = {"MSGID: 2:5020/1 " + std::to_string(1000 + n)};
        base->Text = "Line one\rLine two\r";
        if (!base->WriteMessage()) throw std::runtime_error("cannot write to " + path);
        if (message.Read) base->MarkRead();
    }
    base->Close();
}

std::vector<TTestMessage> Messages(int count, int readEvery, int toUserEvery, const std::string& user) {
    std::vector<TTestMessage> messages(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        if (readEvery > 0 && i % readEvery == 0) messages[i].Read = true;
        if (toUserEvery > 0 && i % toUserEvery == 0) messages[i].To = user;
    }
    return messages;
}

}  // namespace pelmar::test
