#include "plugins/Plugin.h"

#include <dlfcn.h>

#include <cstdio>

#include "core/Settings.h"
#include "platform/Codepage.h"
#include "plugins/PluginHost.h"

namespace pelmar {

namespace {

// The handle plug-ins get as the program's instance.
void* ProgramInstance() {
    static void* const self = dlopen(nullptr, RTLD_NOW);
    return self;
}

template <typename T>
T Symbol(void* library, const char* name) {
    return reinterpret_cast<T>(dlsym(library, name));
}

// The loader's own words (in the system's language) after ours.
std::string DlError() {
    const char* text = dlerror();
    return Utf8ToAnsi("не открывается: ") + (text != nullptr ? text : "?");
}

}  // namespace

TPlugin::TPlugin(std::string fileName, std::string shortName)
    : FileName(std::move(fileName)), ShortName(std::move(shortName)) {}

TPlugin::~TPlugin() {
    Unload();
}

std::string TPlugin::OptionsKey() const {
    return Settings.PluginsKey + FileName + "\\";
}

std::string TPlugin::VersionText() const {
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d", Ver >> 8, Ver & 0xFF);
    return text;
}

void* TPlugin::OpenChecked() {
    dlerror();
    void* library = dlopen(FileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        LoadError = DlError();
        return nullptr;
    }
    const auto apiVersion = Symbol<plmApiVersionFn>(library, "plmApiVersion");
    int32_t version = -1;
    if (apiVersion != nullptr) {
        try {
            version = apiVersion();
        } catch (...) {
        }
    }
    const char* missing = nullptr;
    for (const char* name :
         {"plmApiVersion", "plmGetPluginName", "plmGetPluginVer", "plmGetPluginDesc", "plmHasSetup"})
        if (missing == nullptr && dlsym(library, name) == nullptr) missing = name;
    if (missing != nullptr || version != PLM_API_VERSION) {
        LoadError = missing != nullptr ? Utf8ToAnsi("нет функции ") + missing
                                       : Utf8ToAnsi("версия интерфейса ") + std::to_string(version) +
                                             Utf8ToAnsi(" вместо ") + std::to_string(PLM_API_VERSION);
        dlclose(library);
        return nullptr;
    }
    LoadError.clear();
    return library;
}

void TPlugin::ResolveEntryPoints() {
    void* const lib = library_;
    plmLoaded = Symbol<plmLoadedFn>(lib, "plmLoaded");
    plmInitialize = Symbol<plmInitializeFn>(lib, "plmInitialize");
    plmGetPluginName = Symbol<plmGetPluginNameFn>(lib, "plmGetPluginName");
    plmGetPluginVer = Symbol<plmGetPluginVerFn>(lib, "plmGetPluginVer");
    plmGetPluginDesc = Symbol<plmGetPluginDescFn>(lib, "plmGetPluginDesc");
    plmDeinitialize = Symbol<plmDeinitializeFn>(lib, "plmDeinitialize");
    plmUnloaded = Symbol<plmUnloadedFn>(lib, "plmUnloaded");
    plmLoadOptions = Symbol<plmLoadOptionsFn>(lib, "plmLoadOptions");
    plmSaveOptions = Symbol<plmSaveOptionsFn>(lib, "plmSaveOptions");
    plmOnMessageRead = Symbol<plmOnMessageReadFn>(lib, "plmOnMessageRead");
    plmAbout = Symbol<plmAboutFn>(lib, "plmAbout");
    plmSetup = Symbol<plmSetupFn>(lib, "plmSetup");
    plmHasSetup = Symbol<plmHasSetupFn>(lib, "plmHasSetup");
    plmAfterInit = Symbol<plmAfterInitFn>(lib, "plmAfterInit");
    plmAction = Symbol<plmActionFn>(lib, "plmAction");
}

void TPlugin::ClearEntryPoints() {
    plmLoaded = nullptr;
    plmInitialize = nullptr;
    plmGetPluginName = nullptr;
    plmGetPluginVer = nullptr;
    plmGetPluginDesc = nullptr;
    plmDeinitialize = nullptr;
    plmUnloaded = nullptr;
    plmLoadOptions = nullptr;
    plmSaveOptions = nullptr;
    plmOnMessageRead = nullptr;
    plmAbout = nullptr;
    plmSetup = nullptr;
    plmHasSetup = nullptr;
    plmAfterInit = nullptr;
    plmAction = nullptr;
}

bool TPlugin::Load() {
    if (Loaded) return true;
    library_ = OpenChecked();
    if (library_ == nullptr) return false;
    ResolveEntryPoints();
    const std::string key = OptionsKey();
    SafeCall(plmLoaded, ProgramInstance());
    SafeCall(plmLoadOptions, key.c_str());
    SafeCall(plmInitialize);
    try {
        Name = CallOut(plmGetPluginName);
        Ver = plmGetPluginVer();
        Desc = CallOut(plmGetPluginDesc);
        HasSetup = plmHasSetup() != 0;
    } catch (...) {
    }
    Loaded = true;
    return true;
}

void TPlugin::Unload() {
    if (!Loaded) return;
    const std::string key = OptionsKey();
    SafeCall(plmSaveOptions, key.c_str());
    SafeCall(plmUnloaded);
    // A button left behind would call into a released library, or into the next one given the
    // same handle.
    PluginHost().RemoveActionsOf(library_);
    ClearEntryPoints();
    dlclose(library_);
    library_ = nullptr;
    Loaded = false;
}

void TPlugin::About() {
    if (Loaded) {
        SafeCall(plmAbout);
        return;
    }
    void* const library = OpenChecked();
    if (library == nullptr) return;
    SafeCall(Symbol<plmLoadedFn>(library, "plmLoaded"), ProgramInstance());
    SafeCall(Symbol<plmInitializeFn>(library, "plmInitialize"));
    SafeCall(Symbol<plmAboutFn>(library, "plmAbout"));
    SafeCall(Symbol<plmDeinitializeFn>(library, "plmDeinitialize"));
    SafeCall(Symbol<plmUnloadedFn>(library, "plmUnloaded"));
    dlclose(library);
}

void TPlugin::Setup() {
    if (Loaded) {
        SafeCall(plmSetup);
        return;
    }
    void* const library = OpenChecked();
    if (library == nullptr) return;
    const std::string key = OptionsKey();
    SafeCall(Symbol<plmLoadedFn>(library, "plmLoaded"), ProgramInstance());
    SafeCall(Symbol<plmInitializeFn>(library, "plmInitialize"));
    SafeCall(Symbol<plmLoadOptionsFn>(library, "plmLoadOptions"), key.c_str());
    SafeCall(Symbol<plmSetupFn>(library, "plmSetup"));
    SafeCall(Symbol<plmSaveOptionsFn>(library, "plmSaveOptions"), key.c_str());
    SafeCall(Symbol<plmDeinitializeFn>(library, "plmDeinitialize"));
    SafeCall(Symbol<plmUnloadedFn>(library, "plmUnloaded"));
    dlclose(library);
}

void TPlugin::AfterInit() {
    if (Loaded) SafeCall(plmAfterInit);
}

void TPlugin::MessageRead() {
    if (Loaded) SafeCall(plmOnMessageRead);
}

void TPlugin::Action(void* sender) {
    if (Loaded) SafeCall(plmAction, sender);
}

}  // namespace pelmar
