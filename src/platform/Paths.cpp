#include "platform/Paths.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace pelmar {

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

std::string WithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

// $<xdgVar> if set and absolute (the XDG rules ignore relative values), else ~/<fallback>.
std::string XdgFolder(const char* xdgVar, const char* fallback) {
    const std::string xdg = Env(xdgVar);
    if (!xdg.empty() && xdg.front() == '/') return WithSlash(xdg);
    std::string home = Env("HOME");
    if (home.empty()) home = "/tmp";
    return WithSlash(home) + fallback;
}

}  // namespace

std::string HomeFolder() {
    std::string folder = Env("PELMAR_HOME");
    folder = folder.empty() ? XdgFolder("XDG_DATA_HOME", ".local/share/") + "pelmar/" : WithSlash(folder);
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    return folder;
}

std::string RegistryFilePath() {
    const std::string home = Env("PELMAR_HOME");
    if (!home.empty()) return WithSlash(home) + "registry.reg";
    return XdgFolder("XDG_CONFIG_HOME", ".config/") + "pelmar/registry.reg";
}

}  // namespace pelmar
