// The order of start-up and shutdown, and what a failed log-in leaves alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "core/Settings.h"
#include "core/Startup.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

using Events = std::vector<std::string>;

// Records every step; the settings the store would load are given up front.
class StartupRun : public testing::Test {
protected:
    void SetUp() override {
        Settings = TSettings{};
        profile_.SetupDone = true;
    }
    void TearDown() override { Settings = TSettings{}; }

    std::function<void()> Record(const std::string& name) {
        return [this, name] { events_.push_back(name); };
    }

    TStartup Make(std::vector<std::string> params = {}) {
        TStartup startup(std::move(params));
        startup.Ui.ActivateRunningCopy = [this] {
            events_.push_back("ActivateRunningCopy");
            return otherCopy_;
        };
        startup.Ui.ShowSplash = Record("ShowSplash");
        startup.Ui.ChooseUser = [this](const TLoginChoice& choice) {
            events_.push_back("ChooseUser");
            shownChoice_ = choice;
            return chooserAnswer_;
        };
        startup.Ui.AskPassword = [this](const std::string& stored) {
            events_.push_back("AskPassword:" + stored);
            return passwordAnswer_;
        };
        startup.Ui.RegisterFont = Record("RegisterFont");
        startup.Ui.UnregisterFont = Record("UnregisterFont");
        startup.Ui.CreateMainWindow = Record("CreateMainWindow");
        startup.Ui.DestroyMainWindow = Record("DestroyMainWindow");
        startup.Ui.ShowAbout = Record("ShowAbout");
        startup.Ui.RunEventLoop = Record("RunEventLoop");
        startup.Ui.ReportError = [this](const std::string& text) { events_.push_back("Report:" + text); };

        startup.Store.LoadLoginSettings = [this] {
            events_.push_back("LoadLoginSettings");
            Settings.UseLogin = switches_.UseLogin;
            Settings.AllowDefault = switches_.AllowDefault;
            Settings.UseDialog = switches_.UseDialog;
            Settings.UserList = users_;
        };
        startup.Store.SaveLoginSettings = Record("SaveLoginSettings");
        startup.Store.LoadSettings = [this] {
            events_.push_back("LoadSettings:" + Settings.CurrentUser);
            Settings.SetupDone = profile_.SetupDone;
            Settings.UsePassword = profile_.UsePassword;
            Settings.Magic = profile_.Magic;
        };
        startup.Store.SaveSettings = Record("SaveSettings");
        startup.Store.OpenTemplateStore = Record("OpenTemplateStore");
        startup.Store.CloseTemplateStore = Record("CloseTemplateStore");
        startup.Store.TemplatesNeedConversion = [this] { return needConversion_; };
        startup.Store.ConvertTemplates = Record("ConvertTemplates");

        auto& m = startup.Managers;
        m.CreatePluginManager = Record("CreatePluginManager");
        m.LoadPlugins = Record("LoadPlugins");
        m.PluginsAfterInit = Record("PluginsAfterInit");
        m.StorePluginsAndRelease = Record("StorePluginsAndRelease");
        m.CreateAreaManager = Record("CreateAreaManager");
        m.StoreAreasAndRelease = Record("StoreAreasAndRelease");
        m.CreateAddressBook = Record("CreateAddressBook");
        m.StoreAddressBookAndRelease = Record("StoreAddressBookAndRelease");
        m.CreateNodeList = Record("CreateNodeList");
        m.ReleaseNodeList = Record("ReleaseNodeList");
        m.RunFirstRunWizard = [this] {
            events_.push_back("RunFirstRunWizard");
            return wizardAnswer_;
        };
        m.StartScanThread = Record("StartScanThread");
        m.StopScanThread = Record("StopScanThread");
        return startup;
    }

    bool Happened(const std::string& name) const {
        return std::find(events_.begin(), events_.end(), name) != events_.end();
    }

    // Nothing is created, registered or stored.
    void ExpectNothingTouched() const {
        for (const std::string& event : events_) {
            EXPECT_TRUE(event.rfind("Create", 0) != 0 && event.rfind("Save", 0) != 0 &&
                        event.rfind("Store", 0) != 0 && event != "RegisterFont" &&
                        event != "OpenTemplateStore")
                << event;
        }
    }

    test::ScopedHome home_;
    Events events_;
    bool otherCopy_ = false;
    TLoginSwitches switches_;
    std::vector<std::string> users_{"Ivan"};
    TSettings profile_;
    std::optional<int> chooserAnswer_;
    bool passwordAnswer_ = true;
    bool wizardAnswer_ = true;
    bool needConversion_ = false;
    TLoginChoice shownChoice_;
};

const Events kShutdown{"SaveLoginSettings",      "SaveSettings",         "CloseTemplateStore",
                       "StorePluginsAndRelease", "StoreAreasAndRelease", "StoreAddressBookAndRelease",
                       "ReleaseNodeList",        "UnregisterFont"};

TEST_F(StartupRun, FullRunKeepsTheOrder) {
    TStartup startup = Make();
    EXPECT_EQ(startup.Run(), TStartupResult::Finished);
    Events expected{"ActivateRunningCopy", "ShowSplash",        "LoadLoginSettings",   "LoadSettings:",
                    "RegisterFont",        "OpenTemplateStore", "CreatePluginManager", "CreateAreaManager",
                    "CreateAddressBook",   "CreateNodeList",    "LoadPlugins",         "CreateMainWindow",
                    "StartScanThread",     "PluginsAfterInit",  "RunEventLoop",        "StopScanThread",
                    "DestroyMainWindow"};
    expected.insert(expected.end(), kShutdown.begin(), kShutdown.end());
    EXPECT_EQ(events_, expected);
}

TEST_F(StartupRun, WithoutAHomeNothingRuns) {
    TStartup startup = Make();
    startup.Store.CheckHome = [] { throw std::runtime_error("no home"); };
    EXPECT_EQ(startup.Run(), TStartupResult::Failed);
    EXPECT_EQ(events_, Events{"Report:no home"});
}

TEST_F(StartupRun, SecondCopyOnlyActivatesTheFirst) {
    otherCopy_ = true;
    TStartup startup = Make();
    EXPECT_EQ(startup.Run(), TStartupResult::AlreadyRunning);
    EXPECT_EQ(events_, Events{"ActivateRunningCopy"});
}

TEST_F(StartupRun, FailedLoginsCreateAndSaveNothing) {
    struct TCase {
        const char* Name;
        TLoginSwitches Switches;
        std::vector<std::string> Params;
        std::optional<int> Chooser;
        bool PasswordOk;
    };
    const std::vector<TCase> cases{
        {"no dialog, no parameter", {true, true, false}, {}, std::nullopt, true},
        {"no dialog, unknown profile", {true, true, false}, {"-LNobody"}, std::nullopt, true},
        {"chooser cancelled", {true, true, true}, {}, std::nullopt, true},
        {"wrong password", {true, true, true}, {"-LIvan"}, std::nullopt, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        events_.clear();
        switches_ = c.Switches;
        chooserAnswer_ = c.Chooser;
        passwordAnswer_ = c.PasswordOk;
        profile_.UsePassword = true;
        TStartup startup = Make(c.Params);
        EXPECT_EQ(startup.Run(), TStartupResult::LoginFailed);
        ExpectNothingTouched();
        EXPECT_FALSE(Happened("RunEventLoop"));
    }
}

TEST_F(StartupRun, ParameterLogsInWithoutChooserAndAsksThePassword) {
    switches_ = {true, true, true};
    profile_.UsePassword = true;
    profile_.Magic = "s3cret";
    TStartup startup = Make({"-Livan", "-noavi"});
    EXPECT_EQ(startup.Run(), TStartupResult::Finished);
    EXPECT_FALSE(Happened("ChooseUser"));
    EXPECT_TRUE(Happened("LoadSettings:ivan"));
    EXPECT_TRUE(Happened("AskPassword:s3cret"));
    EXPECT_TRUE(startup.NoAnimation());
    EXPECT_EQ(Settings.CurrentUser, "ivan");
}

TEST_F(StartupRun, ChooserOffersProfilesAndItsFirstItemIsTheDefaultProfile) {
    switches_ = {true, true, true};
    users_ = {"Ivan", "Zoe"};
    chooserAnswer_ = 0;
    TStartup startup = Make();
    EXPECT_EQ(startup.Run(), TStartupResult::Finished);
    EXPECT_EQ(shownChoice_.Items.size(), 3u);
    EXPECT_EQ(shownChoice_.Selected, 0);
    EXPECT_TRUE(Happened("LoadSettings:Default"));
    EXPECT_FALSE(Happened("AskPassword:"));
    EXPECT_FALSE(startup.NoAnimation());
}

TEST_F(StartupRun, LoginOffLoadsTheRootProfileWithoutPassword) {
    profile_.UsePassword = true;
    Settings.CurrentUser = "left over";
    TStartup startup = Make({"-LIvan"});
    EXPECT_EQ(startup.Run(), TStartupResult::Finished);
    EXPECT_TRUE(Happened("LoadSettings:"));
    EXPECT_FALSE(Happened("ChooseUser"));
    EXPECT_FALSE(Happened("AskPassword:"));
}

TEST_F(StartupRun, CancelledWizardSavesAtOnceAndStillShutsDownInOrder) {
    profile_.SetupDone = false;
    wizardAnswer_ = false;
    TStartup startup = Make();
    EXPECT_EQ(startup.Run(), TStartupResult::Finished);
    const auto wizard = std::find(events_.begin(), events_.end(), "RunFirstRunWizard");
    ASSERT_NE(wizard, events_.end());
    EXPECT_EQ(*(wizard + 1), "SaveSettings");
    EXPECT_FALSE(Happened("ShowAbout"));
    EXPECT_FALSE(Happened("StartScanThread"));
    EXPECT_FALSE(Happened("RunEventLoop"));
    Events tail(wizard + 2, events_.end());
    Events expected{"DestroyMainWindow"};
    expected.insert(expected.end(), kShutdown.begin(), kShutdown.end());
    EXPECT_EQ(tail, expected);
}

TEST_F(StartupRun, FinishedWizardShowsAboutAndRuns) {
    profile_.SetupDone = false;
    TStartup startup = Make();
    EXPECT_EQ(startup.Run(), TStartupResult::Finished);
    const auto wizard = std::find(events_.begin(), events_.end(), "RunFirstRunWizard");
    ASSERT_NE(wizard, events_.end());
    EXPECT_EQ(Events(wizard + 1, wizard + 4), (Events{"SaveSettings", "ShowAbout", "StartScanThread"}));
}

TEST_F(StartupRun, WithoutAWizardTheProgramGoesOn) {
    profile_.SetupDone = false;
    TStartup startup = Make();
    startup.Managers.RunFirstRunWizard = nullptr;
    EXPECT_EQ(startup.Run(), TStartupResult::Finished);
    EXPECT_TRUE(Happened("RunEventLoop"));
    EXPECT_FALSE(Happened("ShowAbout"));
}

TEST_F(StartupRun, OldTemplateStoreIsConvertedAfterTheManagersExist) {
    needConversion_ = true;
    TStartup startup = Make();
    startup.Run();
    const auto convert = std::find(events_.begin(), events_.end(), "ConvertTemplates");
    ASSERT_NE(convert, events_.end());
    EXPECT_EQ(*(convert - 1), "CreateNodeList");
    EXPECT_EQ(*(convert + 1), "LoadPlugins");
}

TEST_F(StartupRun, EmptyManagerSlotsAreSkipped) {
    TStartup startup = Make();
    startup.Managers = {};
    EXPECT_EQ(startup.Run(), TStartupResult::Finished);
    EXPECT_TRUE(Happened("RunEventLoop"));
    EXPECT_EQ(events_.back(), "UnregisterFont");
}

TEST_F(StartupRun, ManagerThatFailsToLoadIsReportedAndNotStored) {
    TStartup startup = Make();
    startup.Managers.CreateAreaManager = [] { throw std::runtime_error("areas are damaged"); };
    EXPECT_EQ(startup.Run(), TStartupResult::Failed);
    EXPECT_TRUE(Happened("Report:areas are damaged"));
    EXPECT_FALSE(Happened("RunEventLoop"));
    EXPECT_FALSE(Happened("StoreAreasAndRelease"));
    EXPECT_FALSE(Happened("StoreAddressBookAndRelease"));
    // What was set up before the failure is still put away.
    EXPECT_TRUE(Happened("StorePluginsAndRelease"));
    EXPECT_TRUE(Happened("SaveSettings"));
    EXPECT_EQ(events_.back(), "UnregisterFont");
}

TEST_F(StartupRun, FontThatCannotBeRegisteredIsDoneWithout) {
    TStartup startup = Make();
    startup.Ui.RegisterFont = [] { throw std::runtime_error("no font"); };
    EXPECT_EQ(startup.Run(), TStartupResult::Finished);
    EXPECT_TRUE(Happened("RunEventLoop"));
    EXPECT_FALSE(Happened("Report:no font"));
    EXPECT_FALSE(Happened("UnregisterFont"));
}

TEST_F(StartupRun, FailureWhileLoadingTheProfileSavesNothing) {
    TStartup startup = Make();
    startup.Store.LoadSettings = [] { throw std::runtime_error("unreadable"); };
    EXPECT_EQ(startup.Run(), TStartupResult::Failed);
    EXPECT_TRUE(Happened("Report:unreadable"));
    ExpectNothingTouched();
}

TEST_F(StartupRun, ShutdownGoesOnAfterAFailedStepAndReportsOnce) {
    TStartup startup = Make();
    startup.Store.SaveLoginSettings = [] { throw std::runtime_error("disk full"); };
    startup.Store.SaveSettings = [] { throw std::runtime_error("disk full again"); };
    EXPECT_EQ(startup.Run(), TStartupResult::Finished);
    EXPECT_EQ(std::count_if(events_.begin(), events_.end(),
                            [](const std::string& e) { return e.rfind("Report:", 0) == 0; }),
              1);
    EXPECT_TRUE(Happened("StoreAreasAndRelease"));
    EXPECT_EQ(events_.back(), "UnregisterFont");
}

// The same sequence on the real settings store in a temporary home.
class StartupWithStore : public testing::Test {
protected:
    void SetUp() override { Settings = TSettings{}; }
    void TearDown() override { Settings = TSettings{}; }

    std::filesystem::path RegistryFile() const { return home_.Path() / "registry.reg"; }

    TStartup Make(std::vector<std::string> params) {
        TStartup startup(std::move(params));
        startup.Ui.ChooseUser = [this](const TLoginChoice&) {
            chooserShown_ = true;
            return std::optional<int>();
        };
        startup.Ui.RunEventLoop = [this] { loopRan_ = true; };
        return startup;
    }

    test::ScopedHome home_;
    bool chooserShown_ = false;
    bool loopRan_ = false;
};

TEST_F(StartupWithStore, FailedLoginLeavesTheStoreFileAlone) {
    const std::string before =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Quorvant\\Pelmar Editor\\1.0]\r\n"
        "\"UseLogin\"=dword:00000001\r\n"
        "\"UseDialog\"=dword:00000000\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Quorvant\\Pelmar Editor\\1.0\\Users]\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Quorvant\\Pelmar Editor\\1.0\\Users\\Ivan]\r\n";
    test::WriteFile(RegistryFile(), before);
    TStartup startup = Make({"-LNobody"});
    EXPECT_EQ(startup.Run(), TStartupResult::LoginFailed);
    EXPECT_FALSE(chooserShown_);
    EXPECT_FALSE(loopRan_);
    EXPECT_EQ(test::ReadFile(RegistryFile()), before);
}

TEST_F(StartupWithStore, FreshHomeRunsAndStoresTheProfile) {
    TStartup startup = Make({});
    EXPECT_EQ(startup.Run(), TStartupResult::Finished);
    EXPECT_TRUE(loopRan_);
    const std::string stored = test::ReadFile(RegistryFile());
    EXPECT_NE(stored.find("\"UseLogin\"=dword:00000000"), std::string::npos);
    EXPECT_NE(stored.find("\"SetupDone\"=dword:00000000"), std::string::npos);
    EXPECT_NE(stored.find("\\1.0\\Templates]"), std::string::npos);
}

}  // namespace
}  // namespace pelmar
