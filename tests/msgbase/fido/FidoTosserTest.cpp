// A tosser changes a message file between our read and our mark, delete or edit: we must never act
// on whatever now carries the number.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include "core/Errors.h"
#include "core/Settings.h"
#include "msgbase/FidoBase.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

namespace fs = std::filesystem;

// Runs `action` in a child process, as a tosser would, and waits for it.
void InOtherProcess(const std::function<void()>& action) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        action();
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

const std::string Tossed = std::string(TFidoBase::HeaderSize, '\0') + "tossed by someone else\r";

struct TChange {
    const char* Name;
    std::function<void(const std::string& file)> Apply;
    bool LeavesFile;
};

const TChange Changes[] = {
    {"removed", [](const std::string& f) { fs::remove(f); }, false},
    {"replaced by rename",
     [](const std::string& f) {
         test::WriteFile(f + ".tmp", Tossed);
         fs::rename(f + ".tmp", f);
     },
     true},
    {"sent, removed and tossed again",
     [](const std::string& f) {
         fs::remove(f);
         test::WriteFile(f, Tossed);
     },
     true},
    {"changed in place",
     [](const std::string& f) {
         // Past the clock's granularity, so that the modification time moves.
         std::this_thread::sleep_for(std::chrono::milliseconds(30));
         std::string bytes = test::ReadFile(f);
         bytes[186] = 0x08;  // the tosser's Sent bit
         test::WriteFile(f, bytes);
     },
     true},
};

// Our message as 2.msg in a fresh folder, read by an open base.
class FidoTosser : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = Settings;
        Settings.bNetFlag = Settings.bEchoFlag = false;
    }
    void TearDown() override { Settings = saved_; }

    struct TArea {
        test::TempDir Dir;
        std::string File = Dir.File("2.msg");
        TFidoBase Base;
    };
    static std::unique_ptr<TArea> ReadArea() {
        auto area = std::make_unique<TArea>();
        std::string mine(TFidoBase::HeaderSize, '\0');
        mine.replace(0, 2, "me");
        mine[186] = 0x02;  // Crs
        test::WriteFile(area->File, mine + "mine, a little longer\r");
        area->Base.SetPath(area->Dir.Path().string());
        area->Base.Open();
        area->Base.Netmail = true;  // no tearline added to the edits
        area->Base.ReadMessage(0);
        EXPECT_EQ(area->Base.FromName, "me");
        return area;
    }
    static std::string Contents(const std::string& file) {
        return fs::exists(file) ? test::ReadFile(file) : "";
    }

    TSettings saved_;
};

TEST_F(FidoTosser, MarkAndDeleteRefuseAnotherFileAndAnEditBecomesANewMessage) {
    for (const auto& change : Changes) {
        SCOPED_TRACE(change.Name);
        for (const bool edit : {false, true}) {
            auto area = ReadArea();
            TFidoBase& base = area->Base;
            InOtherProcess([&] { change.Apply(area->File); });
            const std::string theirs = Contents(area->File);
            // Counting reads the new file but does not make it the one that was shown.
            base.CountUnread();
            base.Seek(0);
            if (!edit) {
                EXPECT_THROW(base.MarkRead(), EReadError);
                EXPECT_THROW(base.DeleteCurrent(), EReadError);
                EXPECT_EQ(fs::exists(area->File), change.LeavesFile);
                EXPECT_EQ(Contents(area->File), theirs);
                continue;
            }
            base.PrepareRewrite();
            base.FromName = "edited";
            ASSERT_TRUE(base.WriteMessage());
            EXPECT_EQ(Contents(area->File), theirs);
            EXPECT_EQ(base.MsgFiles, std::vector<std::string>{"3"});
            base.ReadMessage(0);
            EXPECT_EQ(base.FromName, "edited");
            // The new file is ours.
            EXPECT_NO_THROW(base.MarkRead());
            EXPECT_TRUE(base.DeleteCurrent());
            EXPECT_EQ(Contents(area->File), theirs);
        }
    }
}

TEST_F(FidoTosser, OwnMarksAndEditsKeepTheFileOurs) {
    auto area = ReadArea();
    TFidoBase& base = area->Base;
    base.MarkRead();
    base.PrepareRewrite();
    base.FromName = "edited";
    base.Read = true;
    ASSERT_TRUE(base.WriteMessage());
    EXPECT_EQ(base.MsgFiles, std::vector<std::string>{"2"});
    base.MarkRead();
    EXPECT_TRUE(base.DeleteCurrent());
    EXPECT_FALSE(base.DeleteCurrent());
    EXPECT_EQ(fs::directory_iterator(area->Dir.Path()), fs::directory_iterator());

    // A message tossed under the number we deleted is not ours to delete or mark.
    InOtherProcess([&] { test::WriteFile(area->File, Tossed); });
    EXPECT_THROW(base.DeleteCurrent(), EReadError);
    EXPECT_THROW(base.MarkRead(), EReadError);
    EXPECT_EQ(test::ReadFile(area->File), Tossed);
}

TEST_F(FidoTosser, AVanishedFileShowsNothingOfThePreviousMessage) {
    auto area = ReadArea();
    std::string attributes;
    area->Base.GetAttrText(attributes);
    ASSERT_EQ(attributes, "Crs ");
    fs::remove(area->File);
    area->Base.ReadMessage(0);
    area->Base.GetAttrText(attributes);
    EXPECT_EQ(attributes, "");
}

}  // namespace
}  // namespace pelmar
