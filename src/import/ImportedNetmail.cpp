#include "import/ImportedNetmail.h"

#include "areas/gizmo.h"
#include "core/Codepage.h"
#include "core/Settings.h"

namespace pelmar {
namespace {

void Collect(const TAreaInfo& level, const TAreaInfo* imported, bool inImported,
             std::vector<TNetmailCandidate>& out) {
    for (int i = 0; i < level.ChildCount(); ++i) {
        const TAreaInfo& entry = *level.Child(i);
        const bool below = inImported || &entry == imported;
        if (entry.Zilo == ZiloOrdinary && entry.Kind != AreaKindFolder)
            out.push_back({entry.ID, entry.AreaName, entry.IsNetmail, below});
        Collect(entry, imported, below, out);
    }
}

}  // namespace

std::string NetmailAreaAfterImport(const std::string& current, const std::vector<TNetmailCandidate>& areas,
                                   const std::string& previousTag) {
    if (!current.empty())
        for (const TNetmailCandidate& area : areas)
            if (area.Id == current) return current;
    const TNetmailCandidate* byTag = nullptr;
    const TNetmailCandidate* named = nullptr;
    const TNetmailCandidate* first = nullptr;
    for (const TNetmailCandidate& area : areas) {
        if (!area.IsNetmail) continue;
        if (!previousTag.empty() && AnsiSameText(area.Tag, previousTag) &&
            (byTag == nullptr || (area.Imported && !byTag->Imported)))
            byTag = &area;
        if (!area.Imported) continue;
        if (named == nullptr && AnsiSameText(area.Tag, "NETMAIL")) named = &area;
        if (first == nullptr) first = &area;
    }
    for (const TNetmailCandidate* chosen : {byTag, named, first})
        if (chosen != nullptr) return chosen->Id;
    return current;
}

std::vector<TNetmailCandidate> NetmailCandidates(const TAreaInfo& root, const TAreaInfo* imported,
                                                 bool allImported) {
    std::vector<TNetmailCandidate> areas;
    Collect(root, imported, allImported, areas);
    return areas;
}

std::string NetmailAreaTag(const TAreaInfo& root) {
    if (Settings.NetmailArea.empty()) return {};
    for (const TNetmailCandidate& area : NetmailCandidates(root, nullptr))
        if (area.Id == Settings.NetmailArea) return area.Tag;
    return {};
}

bool AdoptImportedNetmailArea(const TAreaInfo& root, const TAreaInfo& imported) {
    const std::string chosen =
        NetmailAreaAfterImport(Settings.NetmailArea, NetmailCandidates(root, &imported));
    if (chosen == Settings.NetmailArea) return false;
    Settings.NetmailArea = chosen;
    return true;
}

}  // namespace pelmar
