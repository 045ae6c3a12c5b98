#pragma once
// Which area replies by netmail go to after an import: the user's choice while it still names an
// area, else the netmail area the import brought.
#include <string>
#include <vector>

namespace pelmar {

class TAreaInfo;

// An area as the choice sees it.
struct TNetmailCandidate {
    std::string Id;
    std::string Tag;  // AreaName
    bool IsNetmail = false;
    bool Imported = false;  // came with the import just made
};

// The "NetmailArea" setting after an import. `current` stays while it names one of `areas` (every
// area of the tree as it will be). Otherwise the netmail area tagged `previousTag` (the tag of the
// area the setting named before the import; letter case ignored), an imported one first; else the
// imported netmail area tagged NETMAIL; else the first imported netmail area; else `current`.
std::string NetmailAreaAfterImport(const std::string& current, const std::vector<TNetmailCandidate>& areas,
                                   const std::string& previousTag = {});

// The areas below `root` in tree order; those below `imported` (when given) marked as imported.
std::vector<TNetmailCandidate> NetmailCandidates(const TAreaInfo& root, const TAreaInfo* imported,
                                                 bool allImported = false);

// The tag of the area below `root` that the "NetmailArea" setting names; empty when none.
std::string NetmailAreaTag(const TAreaInfo& root);

// Applies the choice to the setting after `imported` (a linked group, just refreshed) joined the tree
// of `root`. True when the setting changed (the caller saves the settings).
bool AdoptImportedNetmailArea(const TAreaInfo& root, const TAreaInfo& imported);

}  // namespace pelmar
