#pragma once
// The rules of the editor window that need no widgets: which commands are enabled, the own-address
// choice, address completion, robot names, quote continuation, auto-type lookup, the caret panel,
// cleaning inserted text and what is left after a partly failed send.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/AutoType.h"
#include "editor/SendMessages.h"

namespace pelmar {

// Larger text files are refused by "insert text file".
inline constexpr size_t MaxInsertFileSize = 1024 * 1024;

struct TEditorState {
    bool Editing = false;
    bool IsEditMessage = false;
    bool CanUndo = false, CanRedo = false;
    bool HasSelection = false;
    bool CanPaste = false;  // the clipboard holds text
    bool UUPending = false, UUSplit = false;
    size_t UUSectionCount = 0;
    size_t DestinationCount = 0;
    bool AnyNetmail = false;
    std::string SelectedAka;  // "" when none is selected
    std::string DestAddress;
    uint16_t Attributes = 0;
    std::string Subject;
    // Opened by itself for a message whose sender asked for a read receipt.
    bool ReadReceipt = false;
};

struct TEditorCommands {
    bool Undo = false, Redo = false, Cut = false, Copy = false, CutMarker = false, Paste = false;
    bool InsertFile = false, UUToggle = false, Spell = false;
    bool UUBrowse = false, UUInsert = false, UUClear = false;
    bool Send = false;
    bool DestAddressVisible = false;
    bool SubjectFileButton = false;
    std::string Caption;
};

TEditorCommands EvaluateCommands(const TEditorState& s);

// Index of the own address that best matches the destination (zone 1, +net 2, +node 3 points), the
// first of the best; -1 when none shares the zone.
int ChooseAkaFor(const std::string& destAddress, const std::vector<std::string>& akas);
// A destination typed partly ("5020/1", "/1", "1", ".1") completed from the selected own address;
// the text unchanged when no address is selected, when it is empty or when it is not an address
// with only its leading parts left out ("2:5020/abc", "2:5020/").
std::string CompleteAddress(const std::string& typed, const std::string& selectedAka);
// The boss node of an own address (the point dropped), where robots are written to.
std::string BossAddress(const std::string& aka);
bool IsRobotName(const std::string& toName, const std::vector<std::string>& robotNames);

// Status panel text for the caret (0-based line and column).
std::string CaretText(int line, int column);
// What a new line after `line` starts with: the quote prefix and a blank for a quote line, else "".
std::string QuoteContinuation(std::string_view line);
// Texts of the auto-type entries matching the key and shift state, in table order.
std::vector<std::string> AutoTypeTexts(const std::vector<TAutoTypeEntry>& table, uint16_t key, uint8_t shift);
// The header collapsed to one line.
std::string CollapsedHeader(const std::string& from, const std::string& to, const std::string& subject);

// Text going into the body from a file or the clipboard: NUL and 0x01 removed (a 0x01 at a line
// start would forge control lines), valid UTF-8 with non-ASCII characters converted to CP1251.
std::string CleanInsertedText(std::string_view bytes);

// After SendMessages: the destinations still to write (those that failed, in their order) and the
// parts of each; true when everything was written.
bool KeepFailedDestinations(TSendState& state, const TSendResult& result);

// Text of the template preview: `expanded` without its caret marker; `cursorOffset` gets where it
// stood (0 without one). A "@Курсор" of a quoted or forwarded text is left as it is.
std::string PreviewText(const TExpandedTemplate& expanded, int& cursorOffset);
// The same for a text in which every "@Курсор" is a marker (one that holds no message text).
std::string PreviewText(const std::string& expanded, int& cursorOffset);

}  // namespace pelmar
