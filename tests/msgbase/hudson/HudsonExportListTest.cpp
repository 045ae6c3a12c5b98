// The tosser's export lists (echomail.bbs, netmail.bbs): every unsent message once, however often it
// is saved, and a list that cannot be updated does not turn a stored message into a failed write.
#include <gtest/gtest.h>

#include "HudsonBuilder.h"
#include "msgbase/Hudson.h"
#include "support/TestSupport.h"

namespace pelmar::test {
namespace {

namespace fs = std::filesystem;

std::string Entries(std::initializer_list<uint16_t> records) {
    std::string bytes;
    for (uint16_t r : records) bytes += {static_cast<char>(r & 0xFF), static_cast<char>(r >> 8)};
    return bytes;
}

class HudsonExportList : public ::testing::Test {
protected:
    void SetUp() override {
        HudBase base;
        base.Msgs = {{.Num = 1, .Board = 2, .Text = "x\r"}, {.Num = 2, .Board = 2, .Text = "y\r"}};
        base.Write(dir.Path());
    }
    std::unique_ptr<THudson> OpenBoard(bool netmail) {
        auto base = std::make_unique<THudson>();
        base->SetPath(BoardPath(2, dir.Path()));
        base->UseFlagFiles = false;
        base->Open();
        base->Netmail = netmail;
        return base;
    }
    static bool Save(THudson& base, const std::string& subject) {
        base.Subject = subject;
        base.Text = "text of " + subject + "\r";
        return base.WriteMessage();
    }
    TempDir dir;
};

TEST_F(HudsonExportList, AMessageSavedAgainIsListedOnce) {
    for (const bool netmail : {false, true}) {
        SCOPED_TRACE(netmail ? "netmail" : "echomail");
        const fs::path list = dir.Path() / (netmail ? "netmail.bbs" : "echomail.bbs");
        // The tosser's own entries, the last one torn.
        WriteFile(list, Entries({7, 1}) + "\x09");
        auto base = OpenBoard(netmail);
        for (bool more = base->First(); more; more = base->Next()) {
        }
        base->Seek(1);  // record 1, listed already
        base->PrepareRewrite();
        ASSERT_TRUE(Save(*base, "edited"));
        EXPECT_EQ(ReadFile(list), Entries({7, 1}) + "\x09");

        base->NewMessage();
        ASSERT_TRUE(Save(*base, "new"));
        const int32_t record = base->Record;
        for (const char* again : {"again", "and again"}) {
            base->PrepareRewrite();
            ASSERT_TRUE(Save(*base, again));
        }
        EXPECT_EQ(ReadFile(list), Entries({7, 1, static_cast<uint16_t>(record)}));
        EXPECT_TRUE(base->Warnings.empty());
        fs::remove(list);
    }
}

TEST_F(HudsonExportList, AListThatCannotBeWrittenIsAWarningOfAStoredMessage) {
    fs::create_directory(dir.Path() / "echomail.bbs");
    auto base = OpenBoard(false);
    base->NewMessage();
    ASSERT_TRUE(Save(*base, "stored"));
    ASSERT_EQ(base->Warnings.size(), 1u);
    EXPECT_NE(base->Warnings[0].find("echomail.bbs"), std::string::npos);

    EXPECT_EQ(OpenBoard(false)->Count(), 3);  // stored all the same

    // The next write starts with no warnings of its own.
    fs::remove(dir.Path() / "echomail.bbs");
    base->PrepareRewrite();
    ASSERT_TRUE(Save(*base, "stored again"));
    EXPECT_TRUE(base->Warnings.empty());
    EXPECT_EQ(ReadFile(dir.Path() / "echomail.bbs"), Entries({static_cast<uint16_t>(base->Record)}));
}

}  // namespace
}  // namespace pelmar::test
