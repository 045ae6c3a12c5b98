// A header read that fails on a damaged message must not leave the previous message's MSGID, REPLY
// and read mark behind: the list would thread the damaged entry under the wrong parent.
#include <gtest/gtest.h>

#include <filesystem>

#include "FormatBases.h"
#include "core/Errors.h"
#include "core/Settings.h"
#include "msgbase/BaseFactory.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

namespace fs = std::filesystem;

// The share of the header file kept when its tail is cut off: the last message goes, the second stays.
double KeptShare(const test::TFormatBase& format) {
    return format.Kind == BaseKindHudson ? 2.0 / 3 : 0.75;
}

TEST(StaleFields, FailedHeaderReadsClearTheThreadFieldsAndTheReadMark) {
    const TSettings saved = Settings;
    Settings.TextInWindowsCodePage = false;
    for (const auto& format : test::FormatBases()) {
        SCOPED_TRACE(format.Name);
        test::TempDir dir;
        const std::string path = test::MakeFormatBase(format, dir.Path());
        {
            auto base = CreateMessageBase(format.Kind);
            base->Path = path;
            base->Open();
            ASSERT_TRUE(base->Active);
            ASSERT_TRUE(base->First() && base->Next());
            base->MarkRead();
        }
        const fs::path cut = dir.Path() / format.HeaderFile;
        fs::resize_file(cut,
                        static_cast<uintmax_t>(static_cast<double>(fs::file_size(cut)) * KeptShare(format)));

        auto base = CreateMessageBase(format.Kind);
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
