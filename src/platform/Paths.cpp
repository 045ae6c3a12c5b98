#include "platform/Paths.h"

#include <pwd.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/Codepage.h"

namespace pelmar {

namespace fs = std::filesystem;

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

std::string PasswordDatabaseHome() {
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
        found->pw_dir == nullptr) {
        return {};
    }
    return found->pw_dir;
}

std::atomic<THomeLookup> HomeLookup{nullptr};

std::string UserHome() {
    std::string home = Env("HOME");
    if (!home.empty()) return home;
    const THomeLookup lookup = HomeLookup.load();
    home = lookup != nullptr ? lookup() : PasswordDatabaseHome();
    if (home.empty()) {
        throw EHomeFolderError(
            Utf8ToAnsi("Не найдена домашняя папка пользователя: переменная HOME не задана, а в базе "
                       "пользователей её нет. Задайте HOME или PELMAR_HOME."));
    }
    return home;
}

// Absolute, symlinks resolved as far as the folder exists, no trailing '/', so that "/x/h",
// "/x/h/", "/x/./h" and a link to it are one home.
std::string Canonical(const std::string& folder) {
    std::error_code ec;
    fs::path path = fs::absolute(folder, ec);
    if (ec) path = folder;
    const fs::path resolved = fs::weakly_canonical(path, ec);
    std::string text = (ec ? path.lexically_normal() : resolved).string();
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
}

std::string WithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

// $<xdgVar> if set and absolute (the XDG rules ignore relative values), else ~/<fallback>.
std::string XdgFolder(const char* xdgVar, const char* fallback) {
    const std::string xdg = Env(xdgVar);
    if (!xdg.empty() && xdg.front() == '/') return WithSlash(xdg);
    return WithSlash(UserHome()) + fallback;
}

}  // namespace

std::string HomeFolder() {
    const std::string home = Env("PELMAR_HOME");
    const std::string folder = home.empty() ? XdgFolder("XDG_DATA_HOME", ".local/share/") + "pelmar" : home;
    std::error_code ignored;
    // Created first, so that the links in it resolve.
    fs::create_directories(folder, ignored);
    return WithSlash(Canonical(folder));
}

std::string RegistryFilePath() {
    const std::string home = Env("PELMAR_HOME");
    if (!home.empty()) return WithSlash(Canonical(home)) + "registry.reg";
    return WithSlash(Canonical(XdgFolder("XDG_CONFIG_HOME", ".config/") + "pelmar")) + "registry.reg";
}

void SetPasswordHomeLookup(THomeLookup lookup) {
    HomeLookup.store(lookup);
}

}  // namespace pelmar
