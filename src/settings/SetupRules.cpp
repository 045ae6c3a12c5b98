#include "settings/SetupRules.h"

#include <memory>
#include <vector>

#include "areas/gizmo.h"
#include "core/Address.h"
#include "core/Settings.h"
#include "msgbase/MessageBase.h"
#include "msgbase/RtfRender.h"
#include "platform/Codepage.h"

namespace pelmar {

namespace {
bool ListedNoCase(const std::vector<std::string>& list, const std::string& item) {
    for (const std::string& line : list) {
        if (AnsiSameText(line, item)) return true;
    }
    return false;
}
}  // namespace

bool CanAddAddress(const std::string& input, const std::vector<std::string>& list) {
    return !input.empty() && !ListedNoCase(list, input) && IsValidAddress(input);
}

bool CanMoveUp(int count, int selected) {
    return count >= 2 && selected > 0 && selected < count;
}

bool CanMoveDown(int count, int selected) {
    return count >= 2 && selected >= 0 && selected < count - 1;
}

void AddListedFiles(std::vector<std::string>& list, const std::vector<std::string>& files) {
    for (const std::string& file : files) {
        if (!file.empty() && !ListedNoCase(list, file)) list.push_back(file);
    }
}

TLoginEnabling LoginEnabling(bool isAdmin, bool useLoginTicked) {
    return {isAdmin, isAdmin && useLoginTicked};
}

bool IsAutoTypeShortcut(const TShortCut& shortCut) {
    return shortCut.Key != 0 && (shortCut.Shift & (ssCtrl | ssAlt)) != 0;
}

bool ShortcutTaken(const std::vector<TAutoTypeEntry>& table, const TShortCut& shortCut, int except) {
    const std::string text = ShortCutToText(shortCut);
    for (size_t i = 0; i < table.size(); ++i) {
        if (static_cast<int>(i) == except) continue;
        // The stored value names compare ignoring case, so equal texts collide even for other codes.
        if (table[i].ShortCut == shortCut || AnsiSameText(ShortCutToText(table[i].ShortCut), text))
            return true;
    }
    return false;
}

std::vector<TReplacement> ReplacementsFromTemplates(const std::string& change1, const std::string& change2) {
    const std::vector<std::string> what = TextToStringList(change1);
    const std::vector<std::string> with = TextToStringList(change2);
    std::vector<TReplacement> rows;
    for (size_t i = 0; i < what.size(); ++i)
        rows.push_back({what[i], i < with.size() ? with[i] : std::string()});
    return rows;
}

void ReplacementsToTemplates(const std::vector<TReplacement>& rows, std::string& change1,
                             std::string& change2) {
    std::vector<std::string> what;
    std::vector<std::string> with;
    for (const TReplacement& row : rows) {
        what.push_back(row.What);
        with.push_back(row.With);
    }
    change1 = StringListToText(what);
    change2 = StringListToText(with);
}

std::string PreviewRtf(const std::string& rendered, const std::array<uint8_t, 12>& colors,
                       const std::vector<std::string>& kludges) {
    std::string text = rendered;
    const size_t close = text.rfind('}');
    if (close != std::string::npos) text.erase(close);
    std::string lines;
    for (const std::string& kludge : kludges) lines += kludge + "\r";
    text += "\\cf" + std::to_string(ColorTableIndex(colors, 2 * ceKludge)) + "\\highlight" +
            std::to_string(ColorTableIndex(colors, 2 * ceKludge + 1)) + " " + RtfEscape(lines) + "}";
    return text;
}

std::vector<TAreaInfo*> NetmailAreas() {
    std::vector<TAreaInfo*> areas;
    TAreaContainer& registry = AreaRegistry();
    const TContainerLock lock(registry);
    for (int i = 0; i < registry.Count(); ++i) {
        TAreaInfo* area = registry.Item(i);
        // Import containers are listed too; only entries in a tree are real areas.
        if (area->IsNetmail && area->Parent() != nullptr && area->Kind != AreaKindFolder &&
            area->Zilo == ZiloOrdinary)
            areas.push_back(area);
    }
    return areas;
}

namespace {
// The lock of every entry of a tree, taken from the top down and released in reverse order however
// the scope ends.
class TTreeLocks {
public:
    explicit TTreeLocks(TAreaInfo* root) {
        if (root != nullptr) Take(*root);
    }
    ~TTreeLocks() {
        while (!locks_.empty()) locks_.pop_back();
    }
    TTreeLocks(const TTreeLocks&) = delete;
    TTreeLocks& operator=(const TTreeLocks&) = delete;

private:
    void Take(TAreaInfo& entry) {
        locks_.push_back(std::make_unique<TAreaLock>(entry));
        for (int i = 0; i < entry.ChildCount(); ++i) Take(*entry.Child(i));
    }
    std::vector<std::unique_ptr<TAreaLock>> locks_;
};
}  // namespace

void ChangeWhileScanWaits(TAreaInfo* root, const std::function<void()>& change) {
    const TTreeLocks locks(root);
    change();
}

}  // namespace pelmar
