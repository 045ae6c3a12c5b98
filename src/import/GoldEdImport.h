#pragma once
// Taking over a GoldEd configuration: user name, own addresses, nodelists, origin, tearline and robot
// lists, and the tossers' area lists as linked groups. The whole file is read into a plan before
// anything is changed, and the plan is applied whole or not at all: a file that fails half-way, an
// area list that cannot be read or a save that fails leaves the settings and the areas as they were.
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

// Makes the plan's linked groups below `staging` and reads their area lists: ApplyGoldEdPlan's first
// step, before anything is saved. A list that does not exist gives a group without areas; one that
// exists and cannot be read stops it (its reason, CP1251; empty when every group was read).
std::string StageGroups(const TGoldEdPlan& plan, TAreaInfo& staging);

// What ApplyGoldEdPlan did.
struct TGoldEdResult {
    bool Applied = false;  // the settings, the lists and the tree are the plan's, and saved
    std::string Reason;    // CP1251, when not applied: what stopped it (nothing was changed)
};

// Replaces the settings, the three template lists and every top-level entry of `root` by the plan,
// or changes nothing. The plan's linked groups are built and refreshed apart from the tree first; an
// area list that exists but cannot be read stops the import. The settings and the lists are then
// saved in one save of the store; when it fails the store and the settings in memory are put back
// (no later save writes them). Only then do the old entries go the way the area manager deletes
// them (DeleteEntry) and the new groups take their place; the main window's tree gets no nodes for
// them (its owner rebuilds it). The "NetmailArea" setting follows the old netmail area's tag into the
// new tree (NetmailAreaAfterImport).
TGoldEdResult ApplyGoldEdPlan(const TGoldEdPlan& plan, TAreaInfo& root);

// False with nothing changed when `directory` holds no GOLDED.CFG; EReadError with nothing changed
// when it cannot be read; std::runtime_error with the reason, nothing changed, when the plan could
// not be applied; otherwise reads, applies and returns true.
bool ImportGoldEdConfig(const std::string& directory, TAreaInfo& root);

}  // namespace pelmar
