#pragma once
// Where the FTN programs whose area lists can be linked keep their configuration on this machine.
#include <functional>
#include <optional>
#include <string>

namespace pelmar {

// What the search may look at: the environment and whether a regular file exists.
struct TConfigEnvironment {
    std::function<std::optional<std::string>(const std::string& name)> Variable;
    std::function<bool(const std::string& path)> IsFile;
};

// The process's environment and file system.
TConfigEnvironment SystemEnvironment();

// The configuration file that a linked group of `linkKind` (LinkKind* of gizmo.h) would read, at the
// first place its program keeps it: fidoconfig $FIDOCONFIG, ~/fido/config, ~/.fido/config,
// /etc/fido/config, /usr/local/etc/fido/config; crashmail $CMCONFIGFILE, then crashmail.prefs in ~,
// ~/.crashmail, ~/crashmail, ~/fido, /etc/crashmail, /etc, /usr/local/etc; the DOS programs' files
// (in either letter case) in their own folder below ~, in ~/fido and in /etc/fido. "" when none.
std::string FindInstalledConfig(int linkKind, const TConfigEnvironment& env);

// The folder of a golded.cfg (GOLDED.CFG): $GOLDED, $GED, ~/.golded, ~/golded, ~/fido, /etc/golded,
// /etc/fido, /usr/local/etc/golded. "" when none.
std::string FindGoldEdFolder(const TConfigEnvironment& env);

}  // namespace pelmar
