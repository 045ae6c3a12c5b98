#pragma once
// The area lists of the Linux tossers: a fidoconfig file (with its include files) and a
// crashmail.prefs. Echo, netmail, bad, dupe and local areas with a *.MSG, Squish or JAM base are
// taken; pass-through areas have no base and are left out.
#include <string>
#include <vector>

#include "import/AreaImport.h"

namespace pelmar {

class TAreaInfo;

struct TTosserConfig {
    std::vector<TImportedArea> Areas;    // in file order
    std::vector<std::string> Addresses;  // own addresses, the main one first
    std::vector<std::string> Warnings;   // CP1251 lines for the user (commands not run, includes refused)
    std::string EchoTossLog;             // fidoconfig's EchoTossLog, resolved; empty when not set
};

// Include files are followed up to this depth; an include of a file already being read is refused.
inline constexpr int MaxIncludeDepth = 8;
// No more include lines than this are taken (followed or refused) in one import.
inline constexpr int MaxIncludes = 100;

// Never throws: a missing or unreadable file gives what was read up to there, with a warning.
// Back-quoted commands are never run; a line using one is taken with the command unexpanded.
TTosserConfig ReadFidoConfig(const std::string& file);
TTosserConfig ReadCrashMailPrefs(const std::string& file);

// The areas into the import container, as the other importers do.
void StoreTosserAreas(const TTosserConfig& config, TAreaInfo& container);

}  // namespace pelmar
