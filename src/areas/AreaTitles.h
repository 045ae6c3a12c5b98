#pragma once
// What the windows call an area in hints, captions and the status line (CP1251).
//
// An area is named by its description, or by its name where it has none. Two areas of one name
// (two linked groups that each hold a NETMAIL) are told apart by the group they come from.
#include <string>
#include <vector>

namespace pelmar {

class TAreaInfo;
struct TAreaTreeRow;

// The description, or the name when the description is empty.
std::string AreaDisplayName(const TAreaInfo& area);
// The group the area belongs to as the tree shows it: the linked group it was read from, else the
// folder that holds it; empty for an area at the top of the tree.
std::string AreaGroup(const TAreaInfo& area);
// AreaDisplayName, followed by " (" + AreaGroup + ")" when another area of the reading tree has the same
// name or the same label (letter case ignored) and the area has a group.
std::string AreaTitle(const TAreaInfo& area);
// Captions of the rows of an area chooser: each area's name, followed by " (" + AreaGroup + ")"
// when another of the rows has the same name (letter case ignored). One caption per row.
std::vector<std::string> AreaRowCaptions(const std::vector<TAreaTreeRow>& rows);
// Why the area's base did not open, with the base's location ("база не найдена (/srv/fido/ru.test)");
// empty while nothing failed.
std::string AreaOpenFailureText(const TAreaInfo& area);

}  // namespace pelmar
