#pragma once
// One plug-in library found in the Plugins folder: its stored state and, while loaded, its entry
// points.
#include <cstdint>
#include <string>

#include <pelmar/plugin.h>

namespace pelmar {

class TPlugin {
public:
    TPlugin(std::string fileName, std::string shortName);
    ~TPlugin();
    TPlugin(const TPlugin&) = delete;
    TPlugin& operator=(const TPlugin&) = delete;

    // Regular load; false when the library cannot be loaded or lacks a required entry point
    // (it stays not loaded, its stored name and description kept).
    bool Load();
    void Unload();
    // The settings dialog's buttons: on the loaded library, or on a temporary load.
    void About();
    void Setup();
    void AfterInit();
    void MessageRead();
    // The button `sender` of this plug-in was clicked.
    void Action(void* sender);

    // The key handed to the plug-in for its own options.
    std::string OptionsKey() const;
    // "%d.%d" of Ver.
    std::string VersionText() const;
    void* Instance() const { return library_; }

    plmLoadedFn plmLoaded = nullptr;
    plmInitializeFn plmInitialize = nullptr;
    plmGetPluginNameFn plmGetPluginName = nullptr;
    plmGetPluginVerFn plmGetPluginVer = nullptr;
    plmGetPluginDescFn plmGetPluginDesc = nullptr;
    plmDeinitializeFn plmDeinitialize = nullptr;
    plmUnloadedFn plmUnloaded = nullptr;
    plmLoadOptionsFn plmLoadOptions = nullptr;
    plmSaveOptionsFn plmSaveOptions = nullptr;
    plmOnMessageReadFn plmOnMessageRead = nullptr;
    plmAboutFn plmAbout = nullptr;
    plmSetupFn plmSetup = nullptr;
    plmHasSetupFn plmHasSetup = nullptr;
    plmAfterInitFn plmAfterInit = nullptr;
    plmActionFn plmAction = nullptr;

    std::string Name;
    std::string FileName;
    std::string ShortName;
    std::string Desc;
    uint16_t Ver = 0;
    bool Active = true;
    bool Loaded = false;
    bool HasSetup = false;
    // Why the last load failed (empty after a good load), CP1251: for the log and the settings page.
    std::string LoadError;

private:
    // Opens the library and checks the interface version and the required exports; null on failure.
    void* OpenChecked();
    void ResolveEntryPoints();
    void ClearEntryPoints();

    void* library_ = nullptr;
};

// Calls into a plug-in: anything it throws stops here.
template <typename Fn, typename... Args>
void SafeCall(Fn fn, Args... args) {
    if (fn == nullptr) return;
    try {
        fn(args...);
    } catch (...) {
    }
}

}  // namespace pelmar
