#pragma once
// What the area-list importers share: the entry they fill, name casing, word splitting, and the
// registration of the importers as the readers of the linked groups.
#include <string>
#include <string_view>
#include <vector>

namespace pelmar {

class TAreaInfo;

// One area as an importer read it.
struct TImportedArea {
    std::string Name;
    int Kind = 0;  // 1 *.MSG, 2 JAM, 3 Hudson, 4 Squish
    std::string Path;
    std::string AreaName;
    std::string Description;
    std::string UseAKA;
    bool IsNetmail = false;
};

// "SU.GENERAL" -> "Su.General": lower case, then upper case for the first character and every
// character after a "." (CP1251 casing).
std::string ProperCaseName(const std::string& name);

// The child of `level` named `name` (exact comparison) made a folder, added as a new folder when
// missing.
TAreaInfo& FindOrAddFolder(TAreaInfo& level, const std::string& name);

// Stores the area into the child of `level` named area.Name: a new entry made complete before it
// joins, or the existing one changed under its lock; a name seen again takes the values of its last
// occurrence. Areas without a name are left out (an entry's name is its
// registry key).
void StoreArea(TAreaInfo& level, const TImportedArea& area);

// Free text of a configuration file (a description) as kept in memory: UTF-8, as Linux set-ups are
// written, converted to CP1251; anything else taken as it is.
std::string ConfigText(const std::string& text);

// Words separated by runs of spaces and tabs.
std::vector<std::string> SplitWords(std::string_view line);
// Where word `index` (from 0) of the line begins; npos when the line has fewer words.
size_t WordStart(std::string_view line, size_t index);
// A configuration line to skip: empty, or a comment beginning with ";".
bool IsCommentOrEmpty(const std::string& line);

// Makes the importers the readers of linked groups (FastEcho, Squish, T-Mail, Areas.BBS, fidoconfig,
// crashmail.prefs).
// Called once at start-up before the area tree is loaded; calling it again changes nothing.
void RegisterAreaImporters();

}  // namespace pelmar
