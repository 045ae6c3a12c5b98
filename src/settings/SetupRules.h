#pragma once
// The rules of the settings dialog that need no window: which buttons are enabled, the working
// lists it edits, and the colour preview text.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/AutoType.h"

namespace pelmar {

class TAreaInfo;

// "Добавить" of the own addresses: a valid FTN address not yet listed (letter case ignored).
bool CanAddAddress(const std::string& input, const std::vector<std::string>& list);
// Moving the selected line of a list of `count` lines up or down.
bool CanMoveUp(int count, int selected);
bool CanMoveDown(int count, int selected);
// Appends every file not yet listed (letter case ignored, also among the new ones).
void AddListedFiles(std::vector<std::string>& list, const std::vector<std::string>& files);

// The log-in switches: the multi-user box only for an administrator, its dependants only while it
// is ticked and enabled.
struct TLoginEnabling {
    bool UseLogin = false;    // the multi-user box
    bool Dependants = false;  // the two log-in dialogs' boxes and the user list button
};
TLoginEnabling LoginEnabling(bool isAdmin, bool useLoginTicked);

// A shortcut is usable in the auto-type table when it holds Ctrl or Alt (a key alone or with Shift
// only would swallow typing) and no other entry than `except` has it: entries are stored under
// their shortcut's text, so a second one would vanish at save.
bool IsAutoTypeShortcut(const TShortCut& shortCut);
bool ShortcutTaken(const std::vector<TAutoTypeEntry>& table, const TShortCut& shortCut, int except = -1);

// Replacement rows from and to the template texts "change1" and "change2" (one line a row, paired
// by position; a missing partner line is empty).
struct TReplacement {
    std::string What;
    std::string With;
    bool operator==(const TReplacement&) const = default;
};
std::vector<TReplacement> ReplacementsFromTemplates(const std::string& change1, const std::string& change2);
void ReplacementsToTemplates(const std::vector<TReplacement>& rows, std::string& change1,
                             std::string& change2);

// The preview text: the rendered sample with the kludge lines appended in the kludge colours.
// `rendered` is a complete RTF document as the view's rendering makes it.
std::string PreviewRtf(const std::string& rendered, const std::array<uint8_t, 12>& colors,
                       const std::vector<std::string>& kludges);

// The areas offered as netmail areas: every area marked netmail, in registry order.
std::vector<TAreaInfo*> NetmailAreas();

// Runs `change` while the background scan cannot be counting any area of the tree below `root` (it
// reads settings such as the user's name only while it holds an area's lock).
void ChangeWhileScanWaits(TAreaInfo* root, const std::function<void()>& change);

}  // namespace pelmar
