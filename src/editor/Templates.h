#pragma once
// Message templates: the named sections kept in the template store, their default texts, the
// macros and the expansion of a letter's text from them. All text is CP1251.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "editor/EditorMode.h"

namespace pelmar {

// Section names.
namespace tpl {
inline const std::string LetterBegin = "letter.begin";
inline const std::string LetterEnd = "letter.end";
inline const std::string ReplyBegin = "reply.begin";
inline const std::string ReplyEnd = "reply.end";
inline const std::string ReplyFromOtherArea = "reply.from.other.area";
inline const std::string Crossposted = "crossposted";
inline const std::string Forwarded = "forwarded";
inline const std::string ConfirmationRead = "confirmation.read";
inline const std::string RobotNames = "robot.names";
inline const std::string RobotLetter = "robot.letter";
inline const std::string FileInsertBegin = "fileinsert.begin";
inline const std::string FileInsertEnd = "fileinsert.end";
inline const std::string Cut = "cut";
inline const std::string OriginList = "origin.list";
inline const std::string TearlineList = "tearline.list";
inline const std::string Kludges = "kludges";
inline const std::string Change1 = "change1";
inline const std::string Change2 = "change2";
inline const std::string MacroList = "macro.list";
inline const std::string OriginLibrary = "origin.library";
inline const std::string TearlineLibrary = "tearline.library";
}  // namespace tpl

// Macro groups: which macros the template editor offers for a section.
inline constexpr uint32_t MacroGroupOwn = 0x1;
inline constexpr uint32_t MacroGroupAddressee = 0x2;
inline constexpr uint32_t MacroGroupCursor = 0x4;
inline constexpr uint32_t MacroGroupReply = 0x8;
inline constexpr uint32_t MacroGroupReplyArea = 0x10;
inline constexpr uint32_t MacroGroupLists = 0x20;
inline constexpr uint32_t MacroGroupForward = 0x40;
inline constexpr uint32_t MacroGroupArea = 0x80;
inline constexpr uint32_t MacroGroupDateTime = 0x100;

struct TMacroInfo {
    std::string Name;  // "@Имя", CP1251
    uint32_t Group = 0;
    std::string Description;
};
// Every macro in the order of the macro table.
const std::vector<TMacroInfo>& Macros();
// "@Курсор": where the caret goes; ExpandTemplate leaves it in place.
const std::string& CursorMacro();

// Sections with a default text, in table order ("confirmation.read" has none).
const std::vector<std::pair<std::string, std::string>>& DefaultTemplates();
// The default text of a section; "" when it has none.
std::string DefaultTemplate(const std::string& name);
// Writes the default of every section still absent from the store. False when a save failed.
bool WriteMissingDefaultTemplates();

// An area as the expansion sees it: identity for "is the replied area among the destinations" and
// the echo tag for "@Раздел"/"@ОтветРаздел".
struct TTemplateArea {
    std::string Id;
    std::string AreaName;
};

// Everything ExpandTemplate reads from an editor.
struct TTemplateInput {
    TEditorMode Mode = TEditorMode::New;
    bool IsRobot = false;
    std::vector<TTemplateArea> Destinations;
    std::optional<TTemplateArea> OrigArea;
    int TearlineIndex = 0;
    int OriginIndex = 0;
    // Macro values.
    std::string ToFirstName, ToLastName, ToFullName, ToAddress;
    std::string FromFirstName, FromLastName, FromFullName, FromAddress;
    // Reply context.
    std::string QuotedText, OrigDate, OrigTime, OrigFrom, OrigTo;
    // Forward context.
    std::string ForwardFrom, ForwardTo, ForwardSubject, ForwardTime, ForwardDate, ForwardText;
    std::string LetterDateTime;
};

using TTemplateReader = std::function<std::string(const std::string& name)>;
// The store's ReadTemplate.
TTemplateReader StoreTemplateReader();

// The letter's text from the sections that fit the input, macros replaced, cleaned (CR line ends).
// Values that come from a message or from the header (names, addresses, quoted and forwarded text,
// dates) go in verbatim; the chosen origin and tearline lines are the user's own and have their
// macros expanded like the sections.
std::string ExpandTemplate(const TTemplateInput& input, const TTemplateReader& read);
std::string ExpandTemplate(const TTemplateInput& input);

// The same text with where the sections' own "@Курсор" markers ended up. A marker that came in
// with a value (a quoted or forwarded text, a name) is text of the letter and is not listed.
struct TExpandedTemplate {
    std::string Text;             // markers still in place
    std::vector<size_t> Cursors;  // offsets of the sections' markers in Text, ascending
    // Where the caret (or the text put in its place) goes: the first of them; none without one.
    std::optional<size_t> Cursor() const {
        return Cursors.empty() ? std::nullopt : std::optional<size_t>(Cursors.front());
    }
};
TExpandedTemplate ExpandTemplateWithCursor(const TTemplateInput& input, const TTemplateReader& read);

// Lines of a list section (CR, LF or CR LF; no empty line for a final line end).
std::vector<std::string> TemplateLines(std::string_view text);

// ---- Origin and tearline lists ----
// A library file (one entry per line) from the program folder; a missing file gives an empty list.
std::vector<std::string> ReadLibrary(const std::string& fileName);
// A library entry as a list line: its "(...)" groups holding a valid FTN address are removed, in
// order, stopping at the first group that is not one.
std::string LibraryEntryToListLine(const std::string& entry);
// The origin text of a message's last line (" * Origin: My BBS (2:5000/1.5)" gives "My BBS "), or
// none when the last line is not an origin line.
std::optional<std::string> TakeOriginLine(std::string_view text);
// Texts of the tearlines above the last line, bottom up.
std::vector<std::string> TakeTearlineLines(std::string_view text);
// Appends `line` to a list section unless an equal line (case-insensitive) is there. True when the
// list changed; `saveFailed` is set when the store could not be saved.
bool AddListLine(const std::string& section, const std::string& line, bool* saveFailed = nullptr);

}  // namespace pelmar
