#pragma once
// The area list of an AREAS.BBS file.
#include <string>
#include <vector>

namespace pelmar {

class TAreaInfo;

// Adds the areas of the AREAS.BBS `file` to `container`. Each line is "<location> <tag> <links...>":
// a board number 1..200 is a Hudson area in `hudsonDir`, "!<base>" JAM, "$<base>" Squish, anything
// else a *.MSG folder (and a netmail area). The own address (of `ownAddresses`) whose zone, net and
// node equal the first link's becomes the area's address. The origin line that opens the file is not
// an area. A missing file adds nothing; a read error ends the import quietly with what was read.
void ImportAreasBbs(const std::string& file, TAreaInfo& container, const std::string& hudsonDir,
                    const std::vector<std::string>& ownAddresses);
// The same with the user's own addresses (SelfAKA of the settings).
void ImportAreasBbs(const std::string& file, TAreaInfo& container, const std::string& hudsonDir);

}  // namespace pelmar
