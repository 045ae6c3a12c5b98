#pragma once
// Paths in configuration files written on DOS or Windows ("D:\Msg\Su.Gen") cannot be opened here as
// they stand. These functions find the file or folder such a path means on this machine.
#include <string>

namespace pelmar {

// `path` itself when it exists. Otherwise the existing path reached by reading "\" as "/", a drive
// letter ("D:") as the folder `root`, and matching every name ignoring ASCII case (an exact spelling
// wins). `path` unchanged when nothing matches. A trailing separator is kept.
std::string ResolveDosPath(const std::string& path, const std::string& root = "/");

// The Path of an imported area of base kind `kind` resolved the same way: *.MSG the message folder,
// Hudson the base folder after the board character, JAM and Squish the base name without extension
// (which names an existing <name>.jhr or <name>.sqd, in any letter case). Other kinds unchanged.
std::string ResolveAreaPath(int kind, const std::string& path, const std::string& root = "/");

// A path written in a configuration file, as the program that reads the file sees it when it runs
// from `baseDir` (an absolute folder): a relative path is taken below `baseDir` whatever the working
// directory of this process, "." and ".." are resolved by name, and the result is absolute. A path
// with a drive letter or a leading separator is not relative. Empty stays empty.
std::string ResolveConfigPath(const std::string& path, const std::string& baseDir,
                              const std::string& root = "/");
// ResolveAreaPath for an area path written in a configuration file kept in `baseDir`.
std::string ResolveAreaPathFrom(int kind, const std::string& path, const std::string& baseDir,
                                const std::string& root = "/");
// The absolute folder of a configuration file (relative names taken against the working directory).
std::string ConfigFolder(const std::string& file);

}  // namespace pelmar
