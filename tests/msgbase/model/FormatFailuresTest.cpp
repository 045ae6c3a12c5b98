// The same failures in every format: a damaged message must not leave the previous message's MSGID,
// REPLY and read mark behind (the list would thread it under the wrong parent), and a write the file
// system refuses is an EWriteError, so a window needs one handler for every base.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "core/Errors.h"
#include "core/Settings.h"
#include "msgbase/BaseFactory.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

namespace fs = std::filesystem;

struct TFormat {
    const char* Name;
    int Kind;
    const char* Cut;  // the file whose tail is cut off to damage the last message, not the second
    double Keep;      // the share of it kept
};

const TFormat Formats[] = {
    {"*.MSG", BaseKindMsg, "su.general/8.msg", 0.3},
    {"Squish", BaseKindSquish, "su.general.sqd", 0.75},
    {"JAM", BaseKindJam, "su.general.jhr", 0.75},
    {"Hudson", BaseKindHudson, "msghdr.bbs", 2.0 / 3},
};

// At least three messages, the second one with MSGID and REPLY. Returns the base's Path.
std::string MakeBase(const TFormat& format, const fs::path& dir) {
    const auto copy = [&](const char* folder, std::initializer_list<const char*> extensions) {
        for (const char* ext : extensions) test::CopyFixture(std::string(folder) + "/su.general" + ext, dir);
        return (dir / "su.general").string();
    };
    if (format.Kind == BaseKindMsg) return copy("smapi/bases/msg", {""});
    if (format.Kind == BaseKindSquish) return copy("smapi/bases/squish", {".sqd", ".sqi"});
    if (format.Kind == BaseKindJam) return copy("smapi/bases/jam", {".jhr", ".jdt", ".jdx"});
    for (const char* name : {"msgidx.bbs", "msgtoidx.bbs", "msgtxt.bbs", "msghdr.bbs"})
        test::WriteFile(dir / name, "");
    test::WriteFile(dir / "msginfo.bbs", std::string(406, '\0'));
    const std::string path = std::string(1, '\x01') + dir.string();
    auto base = CreateMessageBase(BaseKindHudson);
    base->Path = path;
    base->UseFlagFiles = false;
    base->Open();
    for (int i = 0; i < 3; ++i) {
        base->NewMessage();
        if (i == 1) base->Kludges = {"MSGID: 2:5020/2 6a1c0002", "REPLY: 2:5020/5 6a1c0001"};
        base->WriteMessage();
    }
    return path;
}

class FormatFailures : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = Settings;
        Settings.TextInWindowsCodePage = false;
        Settings.bNetFlag = Settings.bEchoFlag = false;
    }
    void TearDown() override { Settings = saved_; }
    TSettings saved_;
};

TEST_F(FormatFailures, FailedHeaderReadsClearTheThreadFieldsAndTheReadMark) {
    for (const auto& format : Formats) {
        SCOPED_TRACE(format.Name);
        test::TempDir dir;
        const std::string path = MakeBase(format, dir.Path());
        auto base = CreateMessageBase(format.Kind);
        base->Path = path;
        base->Open();
        ASSERT_TRUE(base->Active);
        ASSERT_TRUE(base->First() && base->Next());
        base->MarkRead();
        base->Close();
        const fs::path cut = dir.Path() / format.Cut;
        fs::resize_file(cut, static_cast<uintmax_t>(static_cast<double>(fs::file_size(cut)) * format.Keep));

        base->Open();
        int32_t last = -1;  // Hudson hands out positions only to a walk
        for (bool more = base->First(); more; more = base->Next()) last = base->Current;
        ASSERT_GT(last, 1);
        for (const bool idOnly : {false, true}) {
            base->Seek(1);
            idOnly ? base->ReadMsgId() : base->ReadHeader();
            ASSERT_FALSE(base->MsgId.empty());
            if (!idOnly) ASSERT_FALSE(base->ReplyId.empty());
            if (!idOnly) ASSERT_TRUE(base->Read);
            base->Seek(last);
            try {
                idOnly ? base->ReadMsgId() : base->ReadHeader();
                EXPECT_EQ(format.Kind, BaseKindMsg);  // the only format that reads damage silently
            } catch (const EReadError&) {
            }
            EXPECT_EQ(base->MsgId, "");
            if (idOnly) continue;
            EXPECT_EQ(base->ReplyId, "");
            EXPECT_FALSE(base->Read);
        }
    }
}

// In a child process: the write's outcome as its exit status.
enum TOutcome : int { WriteError = 10, OtherBaseError, OtherException, ReturnedFalse, Stored };

int WriteBeyondTheFileSizeLimit(const std::string& path, int kind, const fs::path& dir) {
    auto base = CreateMessageBase(kind);
    base->Path = path;
    base->Open();
    base->NewMessage();
    base->Text = std::string(200000, 'x') + "\r";
    uintmax_t largest = 0;
    for (const auto& entry : fs::directory_iterator(dir)) largest = std::max(largest, entry.file_size());
    // Past this size every write fails with EFBIG instead of a signal.
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{largest + 4096, largest + 4096};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return OtherException;
    try {
        return base->WriteMessage() ? Stored : ReturnedFalse;
    } catch (const EWriteError&) {
        return WriteError;
    } catch (const EBaseError&) {
        return OtherBaseError;
    } catch (...) {
        return OtherException;
    }
}

TEST_F(FormatFailures, AWriteTheFileSystemRefusesIsAWriteError) {
    for (const auto& format : Formats) {
        if (format.Kind == BaseKindMsg) continue;  // reports a failed write as false
        SCOPED_TRACE(format.Name);
        test::TempDir dir;
        const std::string path = MakeBase(format, dir.Path());
        const pid_t pid = ::fork();
        if (pid == 0) _exit(WriteBeyondTheFileSizeLimit(path, format.Kind, dir.Path()));
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), WriteError);
    }
}

}  // namespace
}  // namespace pelmar
