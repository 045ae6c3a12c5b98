#pragma once
// The program's start-up and shutdown sequence. TStartup owns the order of the steps; every step is a
// function set by whoever provides it: the settings store (bound by default), the window layer
// (splash, dialogs, main window, event loop) and the long-lived managers. A manager's functions stay
// empty until its subsystem is wired in, and an empty step is skipped.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/Login.h"

namespace pelmar {

enum class TStartupResult {
    AlreadyRunning,  // another copy was activated; nothing was loaded or saved
    LoginFailed,     // cancelled or no usable profile; nothing was created or saved
    Finished,        // ran (or the first-run wizard was cancelled) and shut down in order
    Failed,          // a step failed; the error was reported and what had been created was released
};

class TStartup {
public:
    // Services of the window layer.
    struct TUi {
        // True when another copy of the program runs; it has been asked to come to the front.
        std::function<bool()> ActivateRunningCopy;
        std::function<void()> ShowSplash;
        // The log-in chooser: the index of the item confirmed with OK, nothing for Cancel.
        std::function<std::optional<int>(const TLoginChoice&)> ChooseUser;
        // The password dialog for the stored password: true when the right password was typed.
        std::function<bool(const std::string& stored)> AskPassword;
        std::function<void()> RegisterFont;
        std::function<void()> UnregisterFont;
        // Creates the main window and the windows that live beside it.
        std::function<void()> CreateMainWindow;
        // Destroys them again at shutdown, once the scan thread no longer posts to the main window
        // and before the areas it shows are released.
        std::function<void()> DestroyMainWindow;
        std::function<void()> ShowAbout;
        // Runs until the main window closes.
        std::function<void()> RunEventLoop;
        // Shows a failure to the user (modal message box).
        std::function<void(const std::string&)> ReportError;
    };

    // The settings store; bound to the real store by the constructor, replaceable for tests.
    struct TStore {
        // Finds the per-user folders; throws when there are none (nothing else may run then).
        std::function<void()> CheckHome;
        std::function<void()> LoadLoginSettings;
        std::function<void()> SaveLoginSettings;
        std::function<void()> LoadSettings;
        std::function<void()> SaveSettings;
        std::function<void()> OpenTemplateStore;
        std::function<void()> CloseTemplateStore;
        std::function<bool()> TemplatesNeedConversion;
        std::function<void()> ConvertTemplates;
    };

    // The long-lived managers, one place each.
    struct TManagers {
        // Plug-in manager: created empty, plug-ins loaded later, told when start-up is complete,
        // its plug-in states stored and every plug-in unloaded at shutdown.
        std::function<void()> CreatePluginManager;
        std::function<void()> LoadPlugins;
        std::function<void()> PluginsAfterInit;
        std::function<void()> StorePluginsAndRelease;
        // Area manager with the area tree.
        std::function<void()> CreateAreaManager;
        std::function<void()> StoreAreasAndRelease;
        // Address book.
        std::function<void()> CreateAddressBook;
        std::function<void()> StoreAddressBookAndRelease;
        // Nodelist index.
        std::function<void()> CreateNodeList;
        std::function<void()> ReleaseNodeList;
        // First-run wizard: true when it ended with OK.
        std::function<bool()> RunFirstRunWizard;
        // Background scan: started at the lowest priority; Stop asks it to end and waits for it.
        std::function<void()> StartScanThread;
        std::function<void()> StopScanThread;
    };

    explicit TStartup(std::vector<std::string> params);

    TStartupResult Run();

    // "-noavi" was given; known after Run has read the command line.
    bool NoAnimation() const { return noAnimation_; }

    TUi Ui;
    TStore Store;
    TManagers Managers;

private:
    bool LogIn();
    void RegisterFont();
    bool CheckPassword();
    void CreateManagers();
    bool RunWizardIfNeeded();
    void RunMainLoop();
    void ShutDown();
    // Runs one shutdown step; a failure is reported (the first one only) and the rest still run.
    void ShutdownStep(const std::function<void()>& step);
    void Report(const std::exception& error);

    std::vector<std::string> params_;
    bool noAnimation_ = false;
    bool reported_ = false;
    // What has been set up, so a failed start releases exactly that.
    bool fontRegistered_ = false;
    bool templatesOpen_ = false;
    bool pluginsCreated_ = false;
    bool areasCreated_ = false;
    bool addressBookCreated_ = false;
    bool nodeListCreated_ = false;
    bool scanStarted_ = false;
    bool mainWindowCreated_ = false;
};

}  // namespace pelmar
