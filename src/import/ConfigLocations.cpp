#include "import/ConfigLocations.h"

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "areas/gizmo.h"

namespace pelmar {
namespace {

// Places relative to the home folder start with "~/"; "$NAME" is a variable naming the file itself.
struct TKnownPlaces {
    std::vector<std::string> Folders;
    std::vector<std::string> Names;  // the file's names, tried in each folder in this order
    std::vector<std::string> Variables;
};

TKnownPlaces PlacesFor(int linkKind) {
    switch (linkKind) {
        case LinkKindFidoConfig:
            return {{"~/fido", "~/.fido", "/etc/fido", "/usr/local/etc/fido"}, {"config"}, {"FIDOCONFIG"}};
        case LinkKindCrashMail:
            return {
                {"~", "~/.crashmail", "~/crashmail", "~/fido", "/etc/crashmail", "/etc", "/usr/local/etc"},
                {"crashmail.prefs"},
                {"CMCONFIGFILE"}};
        case LinkKindSquish:
            return {{"~/squish", "~/fido", "/etc/squish", "/etc/fido"}, {"squish.cfg", "SQUISH.CFG"}, {}};
        case LinkKindFastEcho:
            return {{"~/fastecho", "~/fe", "~/fido"}, {"fastecho.cfg", "FASTECHO.CFG"}, {}};
        case LinkKindTMail:
            return {{"~/tmail", "~/t-mail", "~/fido"}, {"t-mail.ctl", "T-MAIL.CTL"}, {}};
        case LinkKindAreasBbs:
            return {{"~/fido", "~", "/etc/fido"}, {"areas.bbs", "AREAS.BBS"}, {}};
        default:
            return {};
    }
}

// "~" and "~/..." below the home folder; nothing when there is no home.
std::optional<std::string> Expand(const std::string& folder, const TConfigEnvironment& env) {
    if (folder.empty() || folder.front() != '~') return folder;
    const std::optional<std::string> home = env.Variable("HOME");
    if (!home || home->empty()) return std::nullopt;
    return *home + folder.substr(1);
}

std::string FirstFile(const std::vector<std::string>& folders, const std::vector<std::string>& names,
                      const TConfigEnvironment& env, std::string* folderFound = nullptr) {
    for (const std::string& folder : folders) {
        const auto dir = Expand(folder, env);
        if (!dir) continue;
        for (const std::string& name : names) {
            const std::string path = (*dir == "/" ? "" : *dir) + "/" + name;
            if (!env.IsFile(path)) continue;
            if (folderFound != nullptr) *folderFound = *dir;
            return path;
        }
    }
    return {};
}

}  // namespace

TConfigEnvironment SystemEnvironment() {
    TConfigEnvironment env;
    env.Variable = [](const std::string& name) -> std::optional<std::string> {
        const char* value = std::getenv(name.c_str());
        if (value == nullptr) return std::nullopt;
        return std::string(value);
    };
    env.IsFile = [](const std::string& path) {
        std::error_code error;
        return std::filesystem::is_regular_file(path, error);
    };
    return env;
}

std::string FindInstalledConfig(int linkKind, const TConfigEnvironment& env) {
    const TKnownPlaces places = PlacesFor(linkKind);
    for (const std::string& variable : places.Variables) {
        const auto value = env.Variable(variable);
        if (value && !value->empty() && env.IsFile(*value)) return *value;
    }
    return FirstFile(places.Folders, places.Names, env);
}

std::string FindGoldEdFolder(const TConfigEnvironment& env) {
    std::vector<std::string> folders;
    for (const char* variable : {"GOLDED", "GED"}) {
        const auto value = env.Variable(variable);
        if (value && !value->empty()) folders.push_back(*value);
    }
    for (const char* folder :
         {"~/.golded", "~/golded", "~/fido", "/etc/golded", "/etc/fido", "/usr/local/etc/golded"})
        folders.emplace_back(folder);
    std::string found;
    FirstFile(folders, {"golded.cfg", "GOLDED.CFG"}, env, &found);
    return found;
}

}  // namespace pelmar
