#pragma once
// Where the program keeps its per-user files. The environment is read on every call so that a
// changed PELMAR_HOME (tests do this) takes effect at once.
#include <stdexcept>
#include <string>

namespace pelmar {

// No folder for the per-user files can be found (HOME unset and the user missing from the password
// database). what() is CP1251 text for the user.
struct EHomeFolderError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The per-user home that stands in for the folder beside the executable: $PELMAR_HOME if set,
// else $XDG_DATA_HOME/pelmar/ (default ~/.local/share/pelmar/). The folder is canonical (absolute,
// symlinks resolved) so that every spelling of one folder names the same home, and ends with '/';
// it is created when missing (errors are ignored here and show up when a file is written).
// ~ is $HOME, else the home of the user in the password database; throws EHomeFolderError when
// neither is known (a shared fallback such as /tmp would expose the settings to every user).
std::string HomeFolder();

// The settings store file: $PELMAR_HOME/registry.reg if PELMAR_HOME is set, else
// $XDG_CONFIG_HOME/pelmar/registry.reg (default ~/.config/pelmar/registry.reg), with the folder
// canonical as above. The folder is not created here; saving the store does that.
std::string RegistryFilePath();

// The lookup of the user's home in the password database ("" when the user has none); replaceable
// so tests can take the user away. nullptr restores the real lookup.
using THomeLookup = std::string (*)();
void SetPasswordHomeLookup(THomeLookup lookup);

}  // namespace pelmar
