#pragma once
// The area list of a SQUISH.CFG.
#include <string>

namespace pelmar {

class TAreaInfo;

// Adds the areas of the SQUISH.CFG `file` to `container`: "BadArea"/"DupeArea" lines with
// `badDupe`, "NetArea" lines with `netmail`, "EchoArea" lines with `echomail`, each with the address
// of the last "Address" line before it. A missing file adds nothing; a read error ends the import
// quietly with what was read so far.
void ImportSquishConfig(const std::string& file, TAreaInfo& container, bool badDupe, bool netmail,
                        bool echomail);

}  // namespace pelmar
