#include "FormatBases.h"

#include <gtest/gtest.h>

#include "msgbase/BaseFactory.h"
#include "support/TestSupport.h"

namespace pelmar::test {

namespace fs = std::filesystem;

namespace {

void WriteHudsonBase(const fs::path& dir) {
    for (const char* name : {"msgidx.bbs", "msgtoidx.bbs", "msgtxt.bbs", "msghdr.bbs"})
        WriteFile(dir / name, "");
    WriteFile(dir / "msginfo.bbs", std::string(406, '\0'));
    auto base = CreateMessageBase(BaseKindHudson);
    base->Path = std::string(1, '\x01') + dir.string();
    base->UseFlagFiles = false;
    base->Open();
    ASSERT_TRUE(base->Active);
    for (int i = 0; i < 3; ++i) {
        base->NewMessage();
        base->Subject = "Message " + std::to_string(i);
        if (i == 1) base->Kludges = {"MSGID: 2:5020/2 6a1c0002", "REPLY: 2:5020/5 6a1c0001"};
        ASSERT_TRUE(base->WriteMessage());
    }
}

}  // namespace

const std::vector<TFormatBase>& FormatBases() {
    static const std::vector<TFormatBase> formats = {
        {"Squish", BaseKindSquish, "su.general.sqd"},
        {"JAM", BaseKindJam, "su.general.jhr"},
        {"Hudson", BaseKindHudson, "msghdr.bbs"},
    };
    return formats;
}

std::string MakeFormatBase(const TFormatBase& format, const fs::path& dir) {
    switch (format.Kind) {
        case BaseKindSquish:
            for (const char* ext : {".sqd", ".sqi"})
                CopyFixture("smapi/bases/squish/su.general" + std::string(ext), dir);
            return (dir / "su.general").string();
        case BaseKindJam:
            for (const char* ext : {".jhr", ".jdt", ".jdx"})
                CopyFixture("smapi/bases/jam/su.general" + std::string(ext), dir);
            return (dir / "su.general").string();
        default:
            WriteHudsonBase(dir);
            return std::string(1, '\x01') + dir.string();
    }
}

}  // namespace pelmar::test
