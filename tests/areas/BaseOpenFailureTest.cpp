// Why an area's base does not open: bases of every kind broken on purpose (a file removed, a header
// cut short, a tosser holding the lock over a half-written base, a file this user may not read), as
// the area reports it to the scan and the list.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "areas/AreaTestSupport.h"
#include "areas/gizmo.h"
#include "msgbase/BaseFactory.h"
#include "msgbase/BaseOpenFailure.h"
#include "msgbase/HudsonRecords.h"
#include "msgbase/TosserLock.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

namespace fs = std::filesystem;

// Where each kind keeps the file its writers lock (and whose header a cut makes unreadable), and a
// file the base cannot do without.
struct TKindFiles {
    int Kind;
    const char* Locked;  // relative to the base's folder, with the base name for JAM and Squish
    uint64_t LockLength;
    const char* Needed;
};

std::string FileOf(int kind, const std::string& path, const char* suffix) {
    if (kind == BaseKindHudson) return BaseLocation(kind, path) + "/" + suffix;
    return path + suffix;
}

const TKindFiles kKinds[] = {
    {BaseKindJam, ".jhr", 1, ".jdx"},
    {BaseKindSquish, ".sqd", 1, ".sqi"},
    {BaseKindHudson, "msginfo.bbs", HudsonInfoSize, "msgtxt.bbs"},
};

class BaseOpenFailureTest : public ::testing::Test {
protected:
    // An area of `kind` with three messages in a folder of its own.
    TAreaInfo& MakeArea(int kind, const std::string& name) {
        TAreaFields fields;
        fields.Name = name;
        fields.Kind = kind;
        fields.Path = test::CreateEmptyBase(kind, dir_.Path(), name);
        test::AppendMessages(kind, fields.Path, test::Messages(3, 0, 0, ""));
        return *root_.AddChild(fields);
    }

    // What the area reports after trying to open its base (both ways must agree).
    static TBaseOpenFailure OpenFails(TAreaInfo& area) {
        EXPECT_EQ(area.OpenBase(TBaseMode::Private), nullptr) << area.Name;
        const TBaseOpenFailure privately = area.OpenFailure.load();
        EXPECT_EQ(area.OpenBase(TBaseMode::Shared), nullptr) << area.Name;
        EXPECT_EQ(area.OpenFailure.load(), privately) << area.Name;
        return privately;
    }

    test::TempDir dir_;
    TAreaInfo root_;
};

TEST_F(BaseOpenFailureTest, EachBrokenBaseNamesItsReason) {
    for (const TKindFiles& kind : kKinds) {
        SCOPED_TRACE(kind.Kind);
        const std::string tag = std::to_string(kind.Kind);

        TAreaInfo& missingFile = MakeArea(kind.Kind, "gone" + tag);
        fs::remove(FileOf(kind.Kind, missingFile.Path, kind.Needed));
        EXPECT_EQ(OpenFails(missingFile), TBaseOpenFailure::Missing);

        // The header cut short: damaged while nobody writes, locked while a tosser holds the lock.
        TAreaInfo& cut = MakeArea(kind.Kind, "cut" + tag);
        const std::string header = FileOf(kind.Kind, cut.Path, kind.Locked);
        fs::resize_file(header, 10);
        EXPECT_EQ(OpenFails(cut), TBaseOpenFailure::Damaged);
        {
            const test::TTosserLock tosser(header, kind.LockLength, 10000);
            ASSERT_TRUE(tosser.Locked);
            EXPECT_EQ(OpenFails(cut), TBaseOpenFailure::Locked);
        }
        EXPECT_EQ(OpenFails(cut), TBaseOpenFailure::Damaged);
    }
}

// Run as another user (nobody) when this one is root: root reads every file.
TBaseOpenFailure ReasonAsOtherUser(int kind, const std::string& path) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(100);
        auto base = CreateMessageBase(kind);
        base->SetPath(path);
        base->Open();
        ::_exit(base->Active ? 101 : static_cast<int>(BaseOpenFailureReason(kind, path)));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return static_cast<TBaseOpenFailure>(WIFEXITED(status) ? WEXITSTATUS(status) : 102);
}

TEST_F(BaseOpenFailureTest, UnreadableFilesAndFoldersAreNoPermission) {
    fs::permissions(dir_.Path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                     fs::perms::others_read | fs::perms::others_exec);
    for (const TKindFiles& kind : kKinds) {
        SCOPED_TRACE(kind.Kind);
        TAreaInfo& area = MakeArea(kind.Kind, "closed" + std::to_string(kind.Kind));
        fs::permissions(FileOf(kind.Kind, area.Path, kind.Needed), fs::perms::none);
        EXPECT_EQ(ReasonAsOtherUser(kind.Kind, area.Path), TBaseOpenFailure::NoPermission);
    }
    TAreaInfo& msg = MakeArea(BaseKindMsg, "closedmsg");
    fs::permissions(msg.Path, fs::perms::owner_all);
    EXPECT_EQ(ReasonAsOtherUser(BaseKindMsg, msg.Path), TBaseOpenFailure::NoPermission);
}

}  // namespace
}  // namespace pelmar
