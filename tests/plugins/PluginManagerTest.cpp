// The plug-in manager against real shared objects: call order of regular and temporary loads,
// libraries that must not load, stored state, and the text rule of the exported functions.
#include <gtest/gtest.h>
#include <pelmar/plugin.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/Settings.h"
#include "msgbase/FidoBase.h"
#include "platform/Codepage.h"
#include "platform/Registry.h"
#include "plugins/PluginHost.h"
#include "plugins/PluginLifetime.h"
#include "plugins/PluginManager.h"
#include "reader/MainWindowServices.h"
#include "reader/ReadingCommands.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

namespace fs = std::filesystem;

class PluginManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = home_.Path() / "Plugins";
        fs::create_directories(folder_);
        log_ = home_.Path() / "calls.log";
        setenv("PLM_RECORD_LOG", log_.c_str(), 1);
        unsetenv("PLM_RECORD_NAME");
        TRegistry reg;
        reg.DeleteKey("\\" + Settings.PluginsKey.substr(0, Settings.PluginsKey.size() - 1));
    }
    void TearDown() override { unsetenv("PLM_RECORD_LOG"); }

    // Copies a fixture library into the Plugins folder under `name`.
    void Install(const std::string& fixture, const std::string& name) {
        fs::copy_file(std::string(PELMAR_TEST_PLUGINS) + fixture, folder_ / name);
    }
    std::string Folder() const { return folder_.string() + "/"; }
    // The calls recorded since the last Calls().
    std::vector<std::string> Calls() {
        std::vector<std::string> calls;
        std::ifstream in(log_);
        for (std::string line; std::getline(in, line);) calls.push_back(line);
        fs::remove(log_);
        return calls;
    }
    static std::string StateKey(const std::string& name) { return "\\" + Settings.PluginsKey + name; }

    test::ScopedHome home_;
    fs::path folder_;
    fs::path log_;
};

TEST_F(PluginManagerTest, RegularLoadAndUnloadCallInOrderWithTheOptionsKey) {
    Install("test-plugin-recording.so", "rec.so");
    const std::string key = Settings.PluginsKey + Folder() + "rec.so\\";
    {
        TPluginManager manager;
        manager.DiscoverPlugins(Folder());
        ASSERT_EQ(manager.Count(), 1);
        const TPlugin& plugin = *manager.Plugin(0);
        EXPECT_TRUE(plugin.Loaded);
        EXPECT_EQ(plugin.OptionsKey(), key);
        EXPECT_EQ(manager.Caption(0), "Recorder 2.10 [rec.so]");
        EXPECT_EQ(plugin.Desc, "Records calls");
        EXPECT_TRUE(plugin.HasSetup);
        EXPECT_EQ(Calls(), (std::vector<std::string>{"plmLoaded program", "plmLoadOptions " + key,
                                                     "plmInitialize", "plmGetPluginName", "plmGetPluginVer",
                                                     "plmGetPluginDesc", "plmHasSetup"}));
        // No main window yet: the button request answers none.
        manager.NotifyAfterInit();
        manager.NotifyMessageRead();
        EXPECT_EQ(Calls(), (std::vector<std::string>{"plmAfterInit none", "plmOnMessageRead 0 "}));
        // Loaded: the settings dialog's buttons go straight to the plug-in.
        manager.ShowSetup(0);
        manager.ShowAbout(0);
        EXPECT_EQ(Calls(), (std::vector<std::string>{"plmSetup", "plmAbout"}));
    }
    EXPECT_EQ(Calls(), (std::vector<std::string>{"plmSaveOptions " + key, "plmUnloaded"}));
}

TEST_F(PluginManagerTest, InactivePluginIsLoadedOnlyForTheMomentBySetupAndAbout) {
    Install("test-plugin-recording.so", "rec.so");
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(StateKey("rec.so"), true));
        reg.WriteBool("Active", false);
        reg.WriteString("Name", "Stored name");
    }
    const std::string key = Settings.PluginsKey + Folder() + "rec.so\\";
    TPluginManager manager;
    manager.DiscoverPlugins(Folder());
    ASSERT_EQ(manager.Count(), 1);
    EXPECT_FALSE(manager.Plugin(0)->Loaded);
    EXPECT_EQ(manager.Plugin(0)->Name, "Stored name");
    EXPECT_TRUE(Calls().empty());

    manager.ShowAbout(0);
    EXPECT_EQ(Calls(), (std::vector<std::string>{"plmLoaded program", "plmInitialize", "plmAbout",
                                                 "plmDeinitialize", "plmUnloaded"}));
    manager.ShowSetup(0);
    EXPECT_EQ(Calls(), (std::vector<std::string>{"plmLoaded program", "plmInitialize",
                                                 "plmLoadOptions " + key, "plmSetup", "plmSaveOptions " + key,
                                                 "plmDeinitialize", "plmUnloaded"}));
    EXPECT_FALSE(manager.Plugin(0)->Loaded);
    EXPECT_EQ(manager.Plugin(0)->Instance(), nullptr);

    // Activated from the settings dialog: a regular load, then the after-init call.
    manager.SetActive(0, true);
    std::vector<std::string> calls = Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), "plmAfterInit none");
    EXPECT_TRUE(manager.Plugin(0)->Loaded);
    manager.SetActive(0, false);
    EXPECT_EQ(Calls(), (std::vector<std::string>{"plmSaveOptions " + key, "plmUnloaded"}));
    EXPECT_FALSE(manager.Plugin(0)->Loaded);
}

TEST_F(PluginManagerTest, BrokenLibrariesAreListedInNameOrderAndNeverLoaded) {
    Install("test-plugin-no-desc.so", "b-no-desc.so");
    Install("test-plugin-bad-api.so", "c-bad-api.so");
    Install("test-plugin-recording.so", "d-good.so");
    test::WriteFile(folder_ / "a-text.so", "this is not a shared object\n");
    test::WriteFile(folder_ / "readme.txt", "ignored");
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(StateKey("a-text.so"), true));
        reg.WriteString("Name", "Old");
        reg.WriteString("Desc", "From the stored state");
    }
    TPluginManager manager;
    manager.DiscoverPlugins(Folder());
    ASSERT_EQ(manager.Count(), 4);
    const std::vector<std::pair<std::string, bool>> expected = {
        {"a-text.so", false}, {"b-no-desc.so", false}, {"c-bad-api.so", false}, {"d-good.so", true}};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(expected[i].first);
        EXPECT_EQ(manager.Plugin(i)->ShortName, expected[i].first);
        EXPECT_EQ(manager.Plugin(i)->Loaded, expected[i].second);
        EXPECT_TRUE(manager.Plugin(i)->Active);
    }
    EXPECT_EQ(manager.Plugin(0)->Desc, "From the stored state");
    EXPECT_NE(manager.Plugin(1)->LoadError.find("plmGetPluginDesc"), std::string::npos);
    // The list says which ones are not running and why, never " 0.0 [x.so]" as if all were well.
    const std::vector<std::string> captions = {
        "Old 0.0 [a-text.so] (" + Utf8ToAnsi("не загружен: не открывается: "),
        "[b-no-desc.so] (" + Utf8ToAnsi("не загружен: нет функции plmGetPluginDesc)"),
        "[c-bad-api.so] (" + Utf8ToAnsi("не загружен: версия интерфейса "), "Recorder 2.10 [d-good.so]"};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(captions[i]);
        EXPECT_EQ(manager.Caption(i).rfind(captions[i], 0), 0u) << manager.Caption(i);
        EXPECT_EQ(manager.Failed(i), i < 3);
    }
    // Unticking a broken one leaves it plainly off; ticking it tries the library again, which the
    // user has replaced meanwhile.
    manager.SetActive(1, false);
    EXPECT_FALSE(manager.Failed(1));
    EXPECT_EQ(manager.Caption(1), "[b-no-desc.so]");
    manager.SetActive(0, true);  // stored active, never loaded: still tried
    EXPECT_TRUE(manager.Failed(0));
    fs::remove(folder_ / "c-bad-api.so");
    Install("test-plugin-recording.so", "c-bad-api.so");
    manager.SetActive(2, true);
    EXPECT_TRUE(manager.Plugin(2)->Loaded);
    EXPECT_FALSE(manager.Failed(2));
    EXPECT_EQ(manager.Caption(2), "Recorder 2.10 [c-bad-api.so]");
    // Only the good ones were ever called; a temporary load of a broken one does nothing.
    Calls();
    manager.ShowAbout(1);
    manager.ShowAbout(0);
    EXPECT_TRUE(Calls().empty());
}

TEST_F(PluginManagerTest, MissingActiveCountsAsOnAndStatesAreWrittenAtShutdown) {
    Install("test-plugin-recording.so", "new.so");
    Install("test-plugin-recording.so", "damaged.so");
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(StateKey("damaged.so"), true));
        reg.WriteString("Active", "yes");  // wrong type
        reg.WriteString("Ver", "x");
    }
    TPluginManager manager;
    manager.DiscoverPlugins(Folder());
    ASSERT_EQ(manager.Count(), 2);
    EXPECT_TRUE(manager.Plugin(0)->Loaded);
    EXPECT_TRUE(manager.Plugin(1)->Loaded);
    manager.SetActive(0, false);
    manager.SavePluginStates();

    TRegistryStore fresh;
    ASSERT_TRUE(fresh.Load(TRegistryStore::Instance().FilePath()));
    for (const auto& [name, active] : {std::pair<std::string, bool>{"damaged.so", false}, {"new.so", true}}) {
        SCOPED_TRACE(name);
        TRegistry reg(fresh);
        ASSERT_TRUE(reg.OpenKey(StateKey(name), false));
        EXPECT_EQ(reg.ReadBool("Active"), active);
        EXPECT_TRUE(reg.ReadBool("HasSetup"));
        EXPECT_EQ(reg.ReadString("Name"), "Recorder");
        EXPECT_EQ(reg.ReadString("Desc"), "Records calls");
        EXPECT_EQ(reg.ReadInteger("Ver"), 0x020A);
    }
}

TEST_F(PluginManagerTest, StartupStepsLoadFromTheProgramFolderAndStoreAtShutdown) {
    Install("test-plugin-recording.so", "rec.so");
    const std::string savedFolder = Settings.ProgramFolder;
    Settings.ProgramFolder = home_.Path().string() + "/";
    TStartup::TManagers managers;
    BindPluginSteps(managers);
    managers.CreatePluginManager();
    ASSERT_NE(PluginManager(), nullptr);
    EXPECT_EQ(PluginManager()->Count(), 0);
    managers.LoadPlugins();
    managers.PluginsAfterInit();
    ASSERT_EQ(PluginManager()->Count(), 1);
    EXPECT_TRUE(PluginManager()->Plugin(0)->Loaded);
    managers.StorePluginsAndRelease();
    EXPECT_EQ(PluginManager(), nullptr);
    const std::vector<std::string> calls = Calls();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[calls.size() - 3], "plmAfterInit none");
    EXPECT_EQ(calls.back(), "plmUnloaded");
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(StateKey("rec.so"), false));
    EXPECT_TRUE(reg.ReadBool("Active"));
    Settings.ProgramFolder = savedFolder;
}

TEST_F(PluginManagerTest, LongPluginNameIsReadWithALargerBuffer) {
    const std::string name(5000, 'N');
    setenv("PLM_RECORD_NAME", name.c_str(), 1);
    Install("test-plugin-recording.so", "rec.so");
    TPluginManager manager;
    manager.DiscoverPlugins(Folder());
    ASSERT_EQ(manager.Count(), 1);
    EXPECT_EQ(manager.Plugin(0)->Name, name);
}

// Records what the exported functions ask of the window layer.
class TRecordingHost : public TPluginHost {
public:
    void* AddAction(int, const std::string&, void* instance, const std::string&, int) override {
        Instances.push_back(instance);
        return &Instances;
    }
    void RemoveActionsOf(void* instance) override { Removed.push_back(instance); }
    std::vector<void*> Instances;
    std::vector<void*> Removed;
};

TEST_F(PluginManagerTest, UnloadRemovesThePluginsButtonsAndItsOwnHandleFindsIt) {
    Install("test-plugin-recording.so", "rec.so");
    TRecordingHost host;
    InstallPluginHost(&host);
    TPluginManager manager;
    SetPluginManager(&manager);
    manager.DiscoverPlugins(Folder());
    manager.NotifyAfterInit();
    void* const instance = manager.Plugin(0)->Instance();
    ASSERT_NE(instance, nullptr);
    // The handle the plug-in passed is the library handle the manager knows it by.
    ASSERT_EQ(host.Instances, std::vector<void*>{instance});
    EXPECT_EQ(manager.FindByInstance(instance), manager.Plugin(0));
    EXPECT_EQ(manager.FindByInstance(nullptr), nullptr);
    manager.SetActive(0, false);
    EXPECT_EQ(host.Removed, std::vector<void*>{instance});
    EXPECT_EQ(manager.FindByInstance(instance), nullptr);
    SetPluginManager(nullptr);
    InstallPluginHost(nullptr);
}

TEST(PluginTextTest, OutputTextCopiesWhatFitsAndReturnsTheFullLength) {
    struct Row {
        std::string text;
        int32_t cap;
        std::string copied;
    };
    const std::vector<Row> rows = {
        {"Ivan", 16, "Ivan"}, {"Ivan", 5, "Ivan"}, {"Ivan", 4, "Iva"}, {"Ivan", 1, ""}, {"", 8, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text + "/" + std::to_string(row.cap));
        std::string buffer(32, 'x');
        EXPECT_EQ(CopyOut(row.text, buffer.data(), row.cap), static_cast<int32_t>(row.text.size()));
        EXPECT_EQ(std::string(buffer.c_str()), row.copied);
        EXPECT_EQ(buffer[static_cast<size_t>(row.cap)], 'x');  // nothing written past cap
    }
    EXPECT_EQ(CopyOut("Ivan", nullptr, 100), 4);
    char untouched = 'x';
    EXPECT_EQ(CopyOut("Ivan", &untouched, 0), 4);
    EXPECT_EQ(untouched, 'x');
    EXPECT_EQ(CopyOut("Ivan", &untouched, -5), 4);
}

TEST(PluginTextTest, OutputTextIsReadWholeOrCutAtTheCapNeverPadded) {
    struct Row {
        std::string name;
        std::string text;  // what the plug-in holds
        int32_t claimed;   // the length it reports; -1: the text's own
        std::string expected;
    };
    const std::string big(MaxPluginText, 'd');
    const std::vector<Row> rows = {
        {"short", "Sender status", -1, "Sender status"},
        {"grown once", std::string(300, 'n'), -1, std::string(300, 'n')},
        {"at the cap", big, -1, big},
        {"above the cap", big + "tail", -1, big},
        {"claims more than it writes", "abc", 5000, "abc"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string read = CallOut([&](char* buf, int32_t cap) {
            const int32_t length = CopyOut(row.text, buf, cap);
            return row.claimed < 0 ? length : row.claimed;
        });
        EXPECT_EQ(read.size(), row.expected.size());
        EXPECT_TRUE(read == row.expected);  // no gtest dump of a megabyte
    }
}

class TShownServices : public TMainWindowServices {
public:
    const TShownMessage* ShownMessage() override { return &Message; }
    TShownMessage Message;
};

TEST(PluginExportsTest, MessageFunctionsReadTheShownMessageOfAnySize) {
    char buffer[16] = "junk";
    // No main window: empty texts.
    EXPECT_EQ(plmMBGetFrom(buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "");

    TShownServices shown;
    shown.Message.FromName = "\xC8\xE2\xE0\xED \xCF\xE5\xF2\xF0\xEE\xE2";  // CP1251
    shown.Message.OrigAddr = "2:5020/1.5";
    shown.Message.Kludges = {"MSGID: 2:5020/1 1234abcd", "PID: x"};
    shown.Message.Text = std::string(1 << 20, 'a') + "z";
    InstallMainWindowServices(&shown);

    EXPECT_EQ(plmMBGetFrom(buffer, sizeof buffer), 11);
    EXPECT_STREQ(buffer, shown.Message.FromName.c_str());
    EXPECT_EQ(plmMBGetFidoOrig(buffer, 4), 10);
    EXPECT_STREQ(buffer, "2:5");
    std::string kludges(64, '\0');
    kludges.resize(static_cast<size_t>(plmMBGetKludges(kludges.data(), 64)));
    EXPECT_EQ(kludges, "MSGID: 2:5020/1 1234abcd\r\nPID: x\r\n");

    const int32_t length = plmMBGetPureText(nullptr, 0);
    ASSERT_EQ(length, (1 << 20) + 1);
    std::string body(static_cast<size_t>(length) + 1, '\0');
    EXPECT_EQ(plmMBGetPureText(body.data(), length + 1), length);
    body.resize(static_cast<size_t>(length));
    EXPECT_EQ(body, shown.Message.Text);
    InstallMainWindowServices(nullptr);

    // Without a window the button functions answer none and refuse what they did not make.
    int local = 0;
    EXPECT_EQ(plmAddAction(0, "", "hint", &local, "", 1, 0, 1), nullptr);
    EXPECT_EQ(plmRemoveAction(&local), 0);
    EXPECT_EQ(plmRemoveAction(reinterpret_cast<void*>(0x10)), 0);
    EXPECT_EQ(plmGetMainForm(), nullptr);
    EXPECT_EQ(plmGetVerInfo(buffer, sizeof buffer), static_cast<int32_t>(Settings.VersionText.size()));
}

}  // namespace
}  // namespace pelmar
