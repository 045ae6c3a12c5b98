// Every base reports its failures through one error type, so a window needs one handler: a write
// that the file system refuses is an EWriteError, whichever format it hits.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "FormatBases.h"
#include "core/Errors.h"
#include "core/Settings.h"
#include "msgbase/BaseFactory.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

namespace fs = std::filesystem;

// How the write ended in the child process.
enum TOutcome : int { WriteError = 10, OtherBaseError, OtherException, ReturnedFalse, Stored };

int WriteBeyondTheFileSizeLimit(const std::string& path, int kind, const fs::path& dir) {
    auto base = CreateMessageBase(kind);
    base->Path = path;
    base->UseFlagFiles = false;
    base->Open();
    if (!base->Active) return OtherException;
    base->NewMessage();
    base->Subject = "too large";
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

TEST(BaseErrors, AWriteTheFileSystemRefusesIsAWriteErrorInEveryFormat) {
    const TSettings saved = Settings;
    Settings.TextInWindowsCodePage = false;
    for (const auto& format : test::FormatBases()) {
        SCOPED_TRACE(format.Name);
        test::TempDir dir;
        const std::string path = test::MakeFormatBase(format, dir.Path());
        const pid_t pid = ::fork();
        if (pid == 0) _exit(WriteBeyondTheFileSizeLimit(path, format.Kind, dir.Path()));
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), WriteError);
    }
    Settings = saved;
}

}  // namespace
}  // namespace pelmar
