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

}  // namespace pelmar
