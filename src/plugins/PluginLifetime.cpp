#include "plugins/PluginLifetime.h"

#include <memory>

#include "plugins/PluginManager.h"

namespace pelmar {

namespace {

std::unique_ptr<TPluginManager>& Instance() {
    static std::unique_ptr<TPluginManager> manager;
    return manager;
}

}  // namespace

void BindPluginSteps(TStartup::TManagers& managers) {
    managers.CreatePluginManager = [] {
        Instance() = std::make_unique<TPluginManager>();
        SetPluginManager(Instance().get());
    };
    managers.LoadPlugins = [] {
        if (Instance()) Instance()->DiscoverPlugins();
    };
    managers.PluginsAfterInit = [] {
        if (Instance()) Instance()->NotifyAfterInit();
    };
    managers.StorePluginsAndRelease = [] {
        if (!Instance()) return;
        Instance()->SavePluginStates();
        // Unloading may reach back for the manager (FindByInstance from a plug-in's last call).
        Instance().reset();
        SetPluginManager(nullptr);
    };
}

}  // namespace pelmar
