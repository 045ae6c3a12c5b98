#include "settings/UserAdmin.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

#include "core/Settings.h"
#include "core/TextUtils.h"
#include "platform/Codepage.h"
#include "platform/Registry.h"

namespace pelmar {

namespace fs = std::filesystem;

bool IsAcceptableProfileName(const std::string& name) {
    return !name.empty() && IsValidUserName(name) && name.find('\\') == std::string::npos &&
           name.find('/') == std::string::npos && name != "." && name != "..";
}

TProfileNameCheck CheckNewProfileName(const std::string& name, const std::vector<std::string>& existing) {
    if (!IsAcceptableProfileName(name)) return TProfileNameCheck::Invalid;
    if (name == DefaultUserName) return TProfileNameCheck::Exists;
    for (const std::string& other : existing) {
        if (AnsiSameText(other, name)) return TProfileNameCheck::Exists;
    }
    return TProfileNameCheck::Ok;
}

std::vector<std::string> ListProfiles() {
    TRegistry reg;
    if (!reg.OpenKey("\\" + UsersKey, false)) return {};
    return reg.GetKeyNames();
}

namespace {
std::string SettingsKeyOf(const std::string& name) {
    return "\\" + UsersKey + "\\" + name + SettingsSubKey;
}
}  // namespace

TProfileValues ReadProfile(const std::string& name) {
    TProfileValues values;
    TRegistry reg;
    if (!reg.OpenKey(SettingsKeyOf(name), false)) return values;
    try {
        if (reg.GetDataType("UsePassword") == RegDataType::rdInteger)
            values.UsePassword = reg.ReadBool("UsePassword");
        if (reg.GetDataType("IsAdmin") == RegDataType::rdInteger) values.IsAdmin = reg.ReadBool("IsAdmin");
        if (reg.GetDataType("Magic") == RegDataType::rdString) {
            values.Magic = reg.ReadString("Magic");
            values.HasMagic = true;
        }
        if (reg.GetDataType("DataFolder") == RegDataType::rdString)
            values.DataFolder = reg.ReadString("DataFolder");
    } catch (const ERegistryError&) {
        // A hand-edited value of another type keeps the default.
    }
    return values;
}

bool WriteProfile(const std::string& name, const TProfileValues& values, bool withFolder) {
    TRegistry reg;
    if (!reg.OpenKey(SettingsKeyOf(name), true)) return false;
    reg.WriteBool("UsePassword", values.UsePassword);
    reg.WriteBool("IsAdmin", values.IsAdmin);
    if (values.UsePassword) reg.WriteString("Magic", values.Magic);
    if (withFolder) reg.WriteString("DataFolder", values.DataFolder);
    return reg.Flush();
}

std::string ProfileFolder(const std::string& programFolder, const std::string& name) {
    std::string folder = programFolder;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder + AnsiToUtf8(name) + "/";
}

bool CreateProfileFolder(const std::string& programFolder, const std::string& name) {
    if (!IsAcceptableProfileName(name)) return false;
    const fs::path folder(ProfileFolder(programFolder, name));
    std::error_code ec;
    fs::create_directories(folder, ec);
    return !ec && fs::is_directory(folder, ec);
}

TDeleteResult DeleteProfile(const std::string& name, const std::string& programFolder) {
    TDeleteResult result;
    if (!name.empty()) {
        TRegistry reg;
        reg.OpenKey("\\" + UsersKey, false);
        result.KeyDeleted = reg.HasOpenKey() && reg.KeyExists(name) && reg.DeleteKey(name);
        reg.Flush();
    }
    const std::string folderText = ProfileFolder(programFolder, name);
    const fs::path folder = fs::path(folderText).parent_path();
    struct stat st {};
    if (name.empty() || ::lstat(folder.c_str(), &st) != 0) return result;  // nothing there
    if (!IsAcceptableProfileName(name) || !S_ISDIR(st.st_mode) || programFolder.empty()) {
        result.FolderRefused = true;
        return result;
    }
    std::error_code ec;
    const fs::path parent = fs::canonical(fs::path(programFolder), ec);
    if (ec || fs::canonical(folder.parent_path(), ec) != parent || ec) {
        result.FolderRefused = true;
        return result;
    }
    // remove_all removes symlinks inside as links and never follows them; read-only files go too
    // since only the folder's write permission matters.
    fs::remove_all(folder, ec);
    result.FolderDeleted = !ec;
    return result;
}

}  // namespace pelmar
