#pragma once
// Telling the tosser what was written: the area tag in echotoss.log and, for JAM areas, the base and
// message number in echomail.jam, the two lists tossers read to scan only the areas that changed.
// Both files are shared with the tosser and other editors: every change is made under a lock on the
// file itself and only appends, so lines already there are never lost.
#include <cstdint>
#include <string>
#include <vector>

namespace pelmar {

class TAreaInfo;
class TMessageBase;

// Adds `tag` as a line of the echotoss.log at `path` (created when missing) unless a line already
// names it; tags compare case-insensitively, as tossers read them. Empty on success, else why the
// file could not be updated (CP1251).
std::string AddEchoTossTag(const std::string& path, const std::string& tag);

// The echomail.jam line of a JAM message: the base path without extension and the message number.
std::string EchomailJamLine(const std::string& basePath, uint32_t messageNumber);
// Appends that line to the echomail.jam at `path` (created when missing) unless it is there already.
std::string AddEchomailJamLine(const std::string& path, const std::string& basePath, uint32_t messageNumber);

// After an echomail message was written into the area's base (positioned on it): the tag goes to
// the echotoss.log of the settings, a JAM message to echomail.jam where the user enabled it. The
// message stays written whatever happens here; what failed is added to `warnings` ("echotoss.log: why").
void TellTosser(const TAreaInfo& area, const TMessageBase& base, std::vector<std::string>& warnings);

}  // namespace pelmar
