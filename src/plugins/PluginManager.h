#pragma once
// The plug-in libraries of the Plugins folder, in name order, with their stored states.
#include <memory>
#include <string>
#include <vector>

#include "plugins/Plugin.h"

namespace pelmar {

class TPluginManager {
public:
    TPluginManager() = default;
    // Unloads every loaded plug-in in list order.
    ~TPluginManager();

    // Lists folder/*.so (sorted by name), reads each stored state and loads the active ones.
    // The folder defaults to ProgramFolder + "Plugins/".
    void DiscoverPlugins(const std::string& folder = {});
    void NotifyAfterInit();
    void NotifyMessageRead();
    // Writes every plug-in's state below PluginsKey.
    void SavePluginStates();
    void ShowAbout(int index);
    void ShowSetup(int index);
    // The settings dialog's check mark changed: loads (then plmAfterInit) or unloads. Ticking one
    // that failed to load tries again.
    void SetActive(int index, bool active);

    int Count() const { return static_cast<int>(plugins_.size()); }
    TPlugin* Plugin(int index);
    // "%s %s [%s]": name, version, short name; a plug-in that failed to load adds why (CP1251).
    std::string Caption(int index);
    // Meant to run (stored active) but not loaded: its library cannot be opened or is not a plug-in.
    bool Failed(int index);
    TPlugin* FindByInstance(void* handle);

private:
    std::vector<std::unique_ptr<TPlugin>> plugins_;
};

// The manager of the running program; null before its creation at start-up and after shutdown.
TPluginManager* PluginManager();
void SetPluginManager(TPluginManager* manager);

// The main window has shown a message (nothing without a manager).
void NotifyPluginsMessageRead();

}  // namespace pelmar
