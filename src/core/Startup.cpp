#include "core/Startup.h"

#include <stdexcept>
#include <utility>

#include "core/Settings.h"
#include "platform/Paths.h"

namespace pelmar {

namespace {

void Call(const std::function<void()>& step) {
    if (step) step();
}

}  // namespace

TStartup::TStartup(std::vector<std::string> params) : params_(std::move(params)) {
    // The store reports its own failures (a file it cannot read or save) to the user.
    Store.CheckHome = [] {
        HomeFolder();
        RegistryFilePath();
    };
    Store.LoadLoginSettings = [] { pelmar::LoadLoginSettings(); };
    Store.SaveLoginSettings = [] { pelmar::SaveLoginSettings(); };
    Store.LoadSettings = [] { pelmar::LoadSettings(); };
    Store.SaveSettings = [] { pelmar::SaveSettings(); };
    Store.OpenTemplateStore = [] { pelmar::OpenTemplateStore(); };
    Store.CloseTemplateStore = [] { pelmar::CloseTemplateStore(); };
    Store.TemplatesNeedConversion = [] { return pelmar::TemplatesNeedConversion(); };
    Store.ConvertTemplates = [] { pelmar::ConvertTemplates(); };
}

TStartupResult TStartup::Run() {
    // Without a home the settings have nowhere safe to live; the single-instance test needs it too.
    try {
        Call(Store.CheckHome);
    } catch (const std::exception& error) {
        Report(error);
        return TStartupResult::Failed;
    }
    if (Ui.ActivateRunningCopy && Ui.ActivateRunningCopy()) return TStartupResult::AlreadyRunning;
    Call(Ui.ShowSplash);

    // Until a profile is loaded completely nothing may be saved: a store that could not be read
    // would otherwise be overwritten with defaults.
    try {
        Call(Store.LoadLoginSettings);
        noAnimation_ = HasNoAnimationSwitch(params_);
        if (!LogIn()) return TStartupResult::LoginFailed;
    } catch (const std::exception& error) {
        Report(error);
        return TStartupResult::Failed;
    }

    bool ok = true;
    try {
        RegisterFont();
        Call(Store.OpenTemplateStore);
        templatesOpen_ = true;
        CreateManagers();
        if (Store.TemplatesNeedConversion && Store.TemplatesNeedConversion()) Call(Store.ConvertTemplates);
        Call(Managers.LoadPlugins);
        mainWindowCreated_ = true;  // destroyed at shutdown even when creating it failed halfway
        Call(Ui.CreateMainWindow);
        if (RunWizardIfNeeded()) RunMainLoop();
    } catch (const std::exception& error) {
        Report(error);
        ok = false;
    }
    ShutDown();
    return ok ? TStartupResult::Finished : TStartupResult::Failed;
}

void TStartup::RegisterFont() {
    // The program runs without the pseudographics faces rather than not at all.
    try {
        Call(Ui.RegisterFont);
        fontRegistered_ = true;
    } catch (const std::exception&) {
    }
}

bool TStartup::LogIn() {
    const TLoginSwitches switches{Settings.UseLogin, Settings.AllowDefault, Settings.UseDialog};
    const TLoginDecision decision = DecideLogin(params_, switches, Settings.UserList);
    std::string user;
    switch (decision.Action) {
        case TLoginAction::RootProfile:
            Settings.CurrentUser.clear();
            Call(Store.LoadSettings);
            return true;
        case TLoginAction::NamedProfile:
            user = decision.User;
            break;
        case TLoginAction::ShowChooser: {
            const std::optional<int> picked = Ui.ChooseUser ? Ui.ChooseUser(decision.Choice) : std::nullopt;
            user = LoginChoiceUser(decision.Choice, switches.AllowDefault, picked);
            break;
        }
        case TLoginAction::Fail:
            return false;
    }
    if (user.empty()) return false;
    Settings.CurrentUser = user;
    Call(Store.LoadSettings);
    return CheckPassword();
}

bool TStartup::CheckPassword() {
    if (!Settings.UsePassword) return true;
    // Without a way to ask, a protected profile stays closed.
    return Ui.AskPassword && Ui.AskPassword(Settings.Magic);
}

void TStartup::CreateManagers() {
    // A manager counts as created only once it has loaded completely, so a half-loaded area tree or
    // address book is never stored over the good one.
    Call(Managers.CreatePluginManager);
    pluginsCreated_ = true;
    Call(Managers.CreateAreaManager);
    areasCreated_ = true;
    Call(Managers.CreateAddressBook);
    addressBookCreated_ = true;
    Call(Managers.CreateNodeList);
    nodeListCreated_ = true;
}

bool TStartup::RunWizardIfNeeded() {
    if (Settings.SetupDone) return true;
    // Until the wizard exists the program simply goes on; "SetupDone" stays off.
    const bool goOn = Managers.RunFirstRunWizard ? Managers.RunFirstRunWizard() : true;
    Call(Store.SaveSettings);
    if (goOn && Managers.RunFirstRunWizard) Call(Ui.ShowAbout);
    return goOn;
}

void TStartup::RunMainLoop() {
    Call(Managers.StartScanThread);
    scanStarted_ = true;
    Call(Managers.PluginsAfterInit);
    Call(Ui.RunEventLoop);
}

void TStartup::ShutDown() {
    // Nothing is stored while the scan thread may still be counting in an area.
    if (scanStarted_) ShutdownStep(Managers.StopScanThread);
    if (mainWindowCreated_) ShutdownStep(Ui.DestroyMainWindow);
    ShutdownStep(Store.SaveLoginSettings);
    ShutdownStep(Store.SaveSettings);
    if (templatesOpen_) ShutdownStep(Store.CloseTemplateStore);
    if (pluginsCreated_) ShutdownStep(Managers.StorePluginsAndRelease);
    if (areasCreated_) ShutdownStep(Managers.StoreAreasAndRelease);
    if (addressBookCreated_) ShutdownStep(Managers.StoreAddressBookAndRelease);
    if (nodeListCreated_) ShutdownStep(Managers.ReleaseNodeList);
    if (fontRegistered_) ShutdownStep(Ui.UnregisterFont);
}

void TStartup::ShutdownStep(const std::function<void()>& step) {
    try {
        Call(step);
    } catch (const std::exception& error) {
        Report(error);
    }
}

void TStartup::Report(const std::exception& error) {
    if (reported_) return;
    reported_ = true;
    if (Ui.ReportError) Ui.ReportError(error.what());
}

}  // namespace pelmar
