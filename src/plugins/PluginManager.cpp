#include "plugins/PluginManager.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

#include "core/Settings.h"
#include "platform/Codepage.h"
#include "platform/Registry.h"

namespace pelmar {

namespace {

TPluginManager* current = nullptr;

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() > tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::vector<std::string> LibraryNames(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return names;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (!EndsWith(name, ".so")) continue;
        struct stat info {};
        if (stat((folder + name).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
        names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

std::string StateKey(const std::string& shortName) {
    return "\\" + Settings.PluginsKey + shortName;
}

// A value of the wrong type reads as absent: a damaged state never keeps a plug-in off.
template <typename T, typename Read>
void ReadValue(TRegistry& reg, const char* name, T& field, Read read) {
    if (!reg.ValueExists(name)) return;
    try {
        field = read(name);
    } catch (const std::exception&) {
    }
}

void ReadState(TPlugin& plugin) {
    TRegistry reg;
    if (!reg.OpenKeyReadOnly(StateKey(plugin.ShortName))) return;
    ReadValue(reg, "Active", plugin.Active, [&](const char* n) { return reg.ReadBool(n); });
    ReadValue(reg, "HasSetup", plugin.HasSetup, [&](const char* n) { return reg.ReadBool(n); });
    ReadValue(reg, "Name", plugin.Name, [&](const char* n) { return reg.ReadString(n); });
    ReadValue(reg, "Desc", plugin.Desc, [&](const char* n) { return reg.ReadString(n); });
    ReadValue(reg, "Ver", plugin.Ver,
              [&](const char* n) { return static_cast<uint16_t>(reg.ReadInteger(n)); });
}

}  // namespace

TPluginManager* PluginManager() {
    return current;
}

void SetPluginManager(TPluginManager* manager) {
    current = manager;
}

void NotifyPluginsMessageRead() {
    if (current != nullptr) current->NotifyMessageRead();
}

TPluginManager::~TPluginManager() {
    for (auto& plugin : plugins_) plugin->Unload();
}

void TPluginManager::DiscoverPlugins(const std::string& folder) {
    const std::string dir = folder.empty() ? Settings.ProgramFolder + "Plugins/" : folder;
    for (const std::string& name : LibraryNames(dir)) {
        plugins_.push_back(std::make_unique<TPlugin>(dir + name, name));
        TPlugin& plugin = *plugins_.back();
        ReadState(plugin);
        if (plugin.Active && !plugin.Load())
            std::fprintf(stderr, "pelmar: plug-in %s not loaded: %s\n", name.c_str(),
                         AnsiToUtf8(plugin.LoadError).c_str());
    }
}

void TPluginManager::NotifyAfterInit() {
    for (auto& plugin : plugins_) plugin->AfterInit();
}

void TPluginManager::NotifyMessageRead() {
    for (auto& plugin : plugins_) plugin->MessageRead();
}

void TPluginManager::SavePluginStates() {
    TRegistryBatch batch;
    for (auto& plugin : plugins_) {
        TRegistry reg;
        if (!reg.OpenKey(StateKey(plugin->ShortName), true)) continue;
        reg.WriteBool("Active", plugin->Active);
        reg.WriteBool("HasSetup", plugin->HasSetup);
        reg.WriteString("Name", plugin->Name);
        reg.WriteString("Desc", plugin->Desc);
        reg.WriteInteger("Ver", plugin->Ver);
    }
}

TPlugin* TPluginManager::Plugin(int index) {
    return index >= 0 && index < Count() ? plugins_[static_cast<size_t>(index)].get() : nullptr;
}

std::string TPluginManager::Caption(int index) {
    const TPlugin* plugin = Plugin(index);
    if (plugin == nullptr) return {};
    // A library that never loaded has no name or version to show: its file name stands alone.
    std::string caption = plugin->Name.empty() && plugin->Ver == 0
                              ? "[" + plugin->ShortName + "]"
                              : plugin->Name + " " + plugin->VersionText() + " [" + plugin->ShortName + "]";
    if (Failed(index)) caption += Utf8ToAnsi(" (не загружен: ") + plugin->LoadError + ")";
    return caption;
}

bool TPluginManager::Failed(int index) {
    const TPlugin* plugin = Plugin(index);
    return plugin != nullptr && plugin->Active && !plugin->Loaded && !plugin->LoadError.empty();
}

void TPluginManager::ShowAbout(int index) {
    if (TPlugin* plugin = Plugin(index)) plugin->About();
}

void TPluginManager::ShowSetup(int index) {
    if (TPlugin* plugin = Plugin(index)) plugin->Setup();
}

void TPluginManager::SetActive(int index, bool active) {
    TPlugin* plugin = Plugin(index);
    // Ticking a plug-in that failed to load tries it again.
    if (plugin == nullptr || (plugin->Active == active && plugin->Loaded == active)) return;
    plugin->Active = active;
    if (active) {
        if (plugin->Load()) plugin->AfterInit();
    } else {
        plugin->Unload();
    }
}

TPlugin* TPluginManager::FindByInstance(void* handle) {
    if (handle == nullptr) return nullptr;
    for (auto& plugin : plugins_)
        if (plugin->Instance() == handle) return plugin.get();
    return nullptr;
}

}  // namespace pelmar
