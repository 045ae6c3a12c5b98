#pragma once
// The profiles as the user administration dialogs edit them: the name rules, the four values the
// dialogs write, and removing a profile with its folder.
#include <string>
#include <vector>

namespace pelmar {

enum class TProfileNameCheck { Ok, Invalid, Exists };
// A new profile name: a valid user name without "\" (it would become nested keys), not the reserved
// "Default" (exact) and unlike every existing name ignoring case.
TProfileNameCheck CheckNewProfileName(const std::string& name, const std::vector<std::string>& existing);
// Whether the name field may be confirmed at all (the OK button of the profile dialog).
bool IsAcceptableProfileName(const std::string& name);

// The profile names in the order the store lists them.
std::vector<std::string> ListProfiles();

struct TProfileValues {
    bool UsePassword = false;
    bool IsAdmin = false;
    std::string Magic;  // the password as typed; only meaningful with UsePassword
    bool HasMagic = false;
    std::string DataFolder;
};
// The stored values of a profile (missing ones keep the defaults).
TProfileValues ReadProfile(const std::string& name);
// Writes UsePassword and IsAdmin, Magic only when UsePassword is on, DataFolder only when `withFolder`.
// False when the store could not be saved.
bool WriteProfile(const std::string& name, const TProfileValues& values, bool withFolder);

// The own folder of a profile: ProgramFolder + name + "/", as the file system spells it (the program
// folder is already such a path; the CP1251 name is converted).
std::string ProfileFolder(const std::string& programFolder, const std::string& name);
// Creates it; false when that failed.
bool CreateProfileFolder(const std::string& programFolder, const std::string& name);

struct TDeleteResult {
    bool KeyDeleted = false;
    bool FolderDeleted = false;
    bool FolderRefused = false;  // a folder was there but the name or its kind made it unsafe
};
// Deletes the profile's key with everything below it, then its folder when one is there. The folder
// is only removed when the name passes the name check and is one plain component (no "..", no "/"),
// and the folder is a real directory directly inside the program folder: a symlink is never followed
// or removed, and links inside are removed as links.
TDeleteResult DeleteProfile(const std::string& name, const std::string& programFolder);

}  // namespace pelmar
