// A tosser packs or changes the base after our walk: a rewrite or delete at the listed position
// must not land on whatever message now sits in that record.
#include <gtest/gtest.h>

#include "HudsonBuilder.h"
#include "core/Errors.h"
#include "msgbase/Hudson.h"
#include "support/TestSupport.h"

namespace pelmar::test {
namespace {

HudMsg Msg(uint16_t num, const char* subject) {
    return {.Num = num, .Board = 4, .Subject = subject, .Text = std::string(subject) + "\r"};
}

struct TUnderneath {
    const char* Name;
    std::vector<HudMsg> After;  // the base the other program leaves
    bool DeleteRefused;
};

const TUnderneath Changes[] = {
    {"packed, the next message moved into the record", {Msg(1, "one"), Msg(3, "three")}, true},
    {"packed, the record is gone", {Msg(3, "three")}, true},
    {"deleted by the other program",
     {Msg(1, "one"),
      [] {
          HudMsg m = Msg(2, "two");
          m.MsgAttr = 0x01;
          m.IdxDeleted = true;
          return m;
      }(),
      Msg(3, "three")},
     false},
};

class HudsonPack : public ::testing::Test {
protected:
    // The base on disk, every file of it.
    std::string Files() const {
        std::string all;
        for (const char* name : {"msginfo.bbs", "msgidx.bbs", "msgtoidx.bbs", "msghdr.bbs", "msgtxt.bbs"})
            all += ReadFile(dir.Path() / name) + '|';
        return all;
    }
    // Message 2 listed at position 1 of an open board, then `change` written underneath.
    std::unique_ptr<THudson> ListThenChange(const TUnderneath& change, bool rewrite) {
        HudBase before;
        before.Msgs = {Msg(1, "one"), Msg(2, "two"), Msg(3, "three")};
        before.Write(dir.Path());
        auto base = std::make_unique<THudson>();
        base->SetPath(BoardPath(4, dir.Path()));
        base->UseFlagFiles = false;
        base->Open();
        for (bool more = base->First(); more; more = base->Next()) base->ReadHeader();
        base->Seek(1);
        base->ReadMessage(1);
        EXPECT_EQ(base->Subject, "two");
        if (rewrite) {
            base->PrepareRewrite();
            base->Subject = "edited";
            base->Text = "edited\r";
        }
        HudBase after;
        after.Msgs = change.After;
        after.Write(dir.Path());
        return base;
    }
    TempDir dir;
};

TEST_F(HudsonPack, RewriteAndDeleteRefuseAMessageThatIsNoLongerListedThere) {
    for (const auto& change : Changes) {
        SCOPED_TRACE(change.Name);
        auto base = ListThenChange(change, true);
        std::string disk = Files();
        EXPECT_THROW(base->WriteMessage(), EReadError);
        EXPECT_EQ(Files(), disk);
        EXPECT_FALSE(std::filesystem::exists(dir.Path() / "echomail.bbs"));

        base = ListThenChange(change, false);
        disk = Files();
        if (change.DeleteRefused) {
            EXPECT_THROW(base->DeleteCurrent(), EReadError);
            EXPECT_EQ(Files(), disk);
        } else {
            EXPECT_TRUE(base->DeleteCurrent());  // already as the caller wants it
        }
    }
}

}  // namespace
}  // namespace pelmar::test
