#pragma once
// Taking over a GoldEd configuration: user name, own addresses, nodelists, origin, tearline and robot
// lists, and the tossers' area lists as linked groups. The whole file is read into a plan before
// anything is changed, so a file that fails half-way leaves the settings and the areas as they were.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "areas/gizmo.h"

namespace pelmar {

// A linked group to create below the root.
struct TPlannedGroup {
    TAreaFields Fields;   // Zilo 1, Kind = LinkKind*, Path = the configuration file
    int32_t Options = 0;  // the group's Read
};

struct TGoldEdPlan {
    std::optional<std::string> FullName;
    std::vector<std::string> SelfAKA;
    std::vector<std::string> NodeListFiles;
    std::vector<std::string> Origins;
    std::vector<std::string> RobotNames;
    std::vector<std::string> Tearlines;
    std::vector<TPlannedGroup> Groups;
};

// The GOLDED.CFG of `directory`, its name matched ignoring case; nullopt when there is none.
std::optional<std::string> FindGoldEdConfig(const std::string& directory);

// Reads the configuration file into a plan. INCLUDE lines are not followed. EReadError when the
// file is not a regular file, is too large or cannot be read; nothing is changed either way.
TGoldEdPlan ReadGoldEdConfig(const std::string& file);

// What the import must close before the settings and the tree change (the windows that depend on
// them); installed by the user interface, nothing without it.
void SetGoldEdImportPrepare(std::function<void()> prepare);
// What brings back what the preparation closed once the import is over, whether or not it could
// save everything (the letters of open editors); installed by the user interface.
void SetGoldEdImportFinish(std::function<void()> finish);

// Replaces the settings, the three template lists and every top-level entry of `root` by the plan,
// refreshes the new linked groups and saves the settings. Entries go the way the area manager deletes
// them (DeleteEntry). False when the settings or a template list could not be saved.
bool ApplyGoldEdPlan(const TGoldEdPlan& plan, TAreaInfo& root);

// False with nothing changed when `directory` holds no GOLDED.CFG; EReadError with nothing changed
// when it cannot be read; otherwise reads, applies and returns true.
bool ImportGoldEdConfig(const std::string& directory, TAreaInfo& root);

}  // namespace pelmar
