// The area steps of the program's start-up and shutdown, run through the real start-up sequence.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "areas/AreaLifetime.h"
#include "areas/ScanThread.h"
#include "areas/gizmo.h"
#include "core/Codepage.h"
#include "core/Settings.h"
#include "core/Startup.h"
#include "msgbase/BaseFactory.h"
#include "platform/Registry.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

TEST(AreaLifetime, StartupLoadsScansAndStoresTheTree) {
    test::ScopedHome home;
    const TSettings saved = Settings;
    Settings = TSettings{};
    {
        TRegistry reg;
        reg.OpenKey("\\" + RootKey + "\\Settings", true);
        reg.WriteBool("SetupDone", true);
        reg.OpenKey("\\" + RootKey + "\\Areas\\Fido\\Missing", true);
        reg.WriteInteger("Kind", BaseKindJam);
        reg.WriteString("Path", (home.Path() / "nothing").string());
        reg.WriteInteger("MsgCount", 9);
    }

    std::atomic<int> notified{0};
    std::vector<std::string> seen;
    TStartup startup({});
    startup.Ui.CreateMainWindow = [&] {
        seen.push_back(ScanThread() == nullptr ? "window" : "scan too early");
    };
    startup.Ui.RunEventLoop = [&] {
        ASSERT_NE(AreaManager(), nullptr);
        ASSERT_NE(ScanThread(), nullptr);
        const auto start = std::chrono::steady_clock::now();
        while (notified.load() == 0 && std::chrono::steady_clock::now() - start < std::chrono::seconds(60))
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        seen.push_back("notified " + std::to_string(notified.load()));
        TAreaInfo* missing = AreaManager()->Root().FindChild("Fido")->FindChild("Missing");
        seen.push_back("count " + std::to_string(missing->MsgCount.load()));
    };
    startup.Ui.DestroyMainWindow = [&] {
        seen.push_back(ScanThread() == nullptr ? "closed" : "scan still on");
    };
    BindAreaSteps(startup.Managers, [&](const TScanReport&) { ++notified; });

    EXPECT_EQ(startup.Run(), TStartupResult::Finished);
    EXPECT_EQ(seen, (std::vector<std::string>{"window", "notified 1", "count 0", "closed"}));
    EXPECT_EQ(AreaManager(), nullptr);
    EXPECT_EQ(ScanThread(), nullptr);
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\" + RootKey + "\\Areas\\Fido\\Missing", false));
    EXPECT_EQ(reg.ReadInteger("MsgCount"), 0);  // the counted value was stored
    EXPECT_FALSE(reg.ReadString("ID").empty());
    Settings = saved;
}

TEST(AreaLifetime, RepairsOfTheLoadAreToldOnce) {
    test::ScopedHome home;
    const TSettings saved = Settings;
    Settings = TSettings{};
    for (const bool damaged : {false, true}) {
        {
            TRegistry reg;
            reg.OpenKey("\\" + RootKey + "\\Areas\\Fido", true);
            if (damaged) reg.WriteString("Kind", "not a number");
        }
        CreateAreaManager();
        const std::string notes = TakeLoadNotes();
        if (damaged) {
            EXPECT_NE(notes.find(Utf8ToAnsi("пришлось исправить:\r\nНеверное значение \"Kind\"")),
                      std::string::npos)
                << notes;
        } else {
            EXPECT_EQ(notes, "");
        }
        EXPECT_EQ(TakeLoadNotes(), "");  // once
        StoreAreasAndRelease();
    }
    EXPECT_EQ(TakeLoadNotes(), "");  // no manager
    Settings = saved;
}

// The display connection may end the process with exit() while the areas and the scan are alive.
TEST(AreaLifetimeDeathTest, ExitWithTheTreeAndTheScanAliveEndsCleanly) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    test::ScopedHome home;
    {
        TRegistry reg;
        for (const char* name : {"A", "B", "C"}) {
            reg.OpenKey("\\" + RootKey + "\\Areas\\Fido\\" + name, true);
            reg.WriteInteger("Kind", BaseKindJam);
            reg.WriteString("Path", (home.Path() / name).string());
        }
    }
    EXPECT_EXIT(
        {
            CreateAreaManager();
            StartScanThread([](const TScanReport&) {});
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace pelmar
