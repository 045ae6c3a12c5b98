// A header read that fails on a damaged message must not leave the previous message's MSGID, REPLY
// and read mark behind: the list would thread the damaged entry under the wrong parent.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "core/Errors.h"
#include "core/Settings.h"
#include "msgbase/BaseFactory.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

namespace fs = std::filesystem;

// Three messages, the second one with MSGID and REPLY, written by the base itself.
void WriteHudsonBase(const fs::path& dir) {
    for (const char* name : {"msgidx.bbs", "msgtoidx.bbs", "msgtxt.bbs", "msghdr.bbs"})
        test::WriteFile(dir / name, "");
    test::WriteFile(dir / "msginfo.bbs", std::string(406, '\0'));
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

struct TRow {
    const char* Name;
    int Kind;
    std::function<std::string(const fs::path& dir)> Make;  // returns the base path
    const char* HeaderFile;                                // the file whose tail is cut off
    double Keep;                                           // the share of that file kept
};

const TRow Rows[] = {
    {"Squish", BaseKindSquish,
     [](const fs::path& dir) {
         for (const char* ext : {".sqd", ".sqi"})
             test::CopyFixture("smapi/bases/squish/su.general" + std::string(ext), dir);
         return (dir / "su.general").string();
     },
     "su.general.sqd", 0.75},
    {"JAM", BaseKindJam,
     [](const fs::path& dir) {
         for (const char* ext : {".jhr", ".jdt", ".jdx"})
             test::CopyFixture("smapi/bases/jam/su.general" + std::string(ext), dir);
         return (dir / "su.general").string();
     },
     "su.general.jhr", 0.75},
    {"Hudson", BaseKindHudson,
     [](const fs::path& dir) {
         WriteHudsonBase(dir);
         return std::string(1, '\x01') + dir.string();
     },
     "msghdr.bbs", 2.0 / 3},
};

TEST(StaleFields, FailedHeaderReadsClearTheThreadFieldsAndTheReadMark) {
    const TSettings saved = Settings;
    Settings.TextInWindowsCodePage = false;
    for (const auto& row : Rows) {
        SCOPED_TRACE(row.Name);
        test::TempDir dir;
        const std::string path = row.Make(dir.Path());
        {
            auto base = CreateMessageBase(row.Kind);
            base->Path = path;
            base->Open();
            ASSERT_TRUE(base->Active);
            ASSERT_TRUE(base->First() && base->Next());
            base->MarkRead();
        }
        const fs::path cut = dir.Path() / row.HeaderFile;
        fs::resize_file(cut, static_cast<uintmax_t>(static_cast<double>(fs::file_size(cut)) * row.Keep));

        auto base = CreateMessageBase(row.Kind);
        base->Path = path;
        base->Open();
        ASSERT_TRUE(base->Active);
        // Hudson hands out positions only to a walk.
        int32_t last = -1;
        for (bool more = base->First(); more; more = base->Next()) last = base->Current;
        ASSERT_GT(last, 1);
        base->Seek(1);
        base->ReadHeader();
        ASSERT_FALSE(base->MsgId.empty());
        ASSERT_FALSE(base->ReplyId.empty());
        ASSERT_TRUE(base->Read);
        base->Seek(last);
        EXPECT_THROW(base->ReadHeader(), EReadError);
        EXPECT_EQ(base->MsgId, "");
        EXPECT_EQ(base->ReplyId, "");
        EXPECT_FALSE(base->Read);

        base->Seek(1);
        base->ReadMsgId();
        ASSERT_FALSE(base->MsgId.empty());
        base->Seek(last);
        EXPECT_THROW(base->ReadMsgId(), EReadError);
        EXPECT_EQ(base->MsgId, "");
    }
    Settings = saved;
}

}  // namespace
}  // namespace pelmar
