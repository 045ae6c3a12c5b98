#pragma once
// Where the program keeps its per-user files. The environment is read on every call so that a
// changed PELMAR_HOME (tests do this) takes effect at once.
#include <string>

namespace pelmar {

// The per-user home that stands in for the folder beside the executable: $PELMAR_HOME if set,
// else $XDG_DATA_HOME/pelmar/ (default ~/.local/share/pelmar/). Always ends with '/'; the folder
// is created when missing (errors are ignored here and show up when a file is written).
std::string HomeFolder();

// The settings store file: $PELMAR_HOME/registry.reg if PELMAR_HOME is set, else
// $XDG_CONFIG_HOME/pelmar/registry.reg (default ~/.config/pelmar/registry.reg). The folder is not
// created here; saving the store does that.
std::string RegistryFilePath();

}  // namespace pelmar
