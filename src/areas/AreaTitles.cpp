#include "areas/AreaTitles.h"

#include <unordered_map>

#include "areas/AreaTreeRows.h"
#include "areas/gizmo.h"
#include "core/Codepage.h"

namespace pelmar {

std::string AreaDisplayName(const TAreaInfo& area) {
    return area.Description.empty() ? area.Name : area.Description;
}

std::string AreaGroup(const TAreaInfo& area) {
    for (const TAreaInfo* up = area.Parent(); up != nullptr && up->Parent() != nullptr; up = up->Parent())
        if (up->Zilo == ZiloLinkedGroup) return up->Name;
    const TAreaInfo* holder = area.ShownParent();
    return holder != nullptr && holder->Parent() != nullptr ? holder->Name : std::string();
}

std::string AreaTitle(const TAreaInfo& area) {
    const std::string label = AreaDisplayName(area);
    const TAreaInfo* root = &area;
    while (root->Parent() != nullptr) root = root->Parent();
    bool twin = false;
    for (const TAreaTreeRow& row : AreaTreeRows(*root, TAreaTreeKind::Reading)) {
        const TAreaInfo& other = *row.Entry;
        if (&other == &area || other.Kind == AreaKindFolder) continue;
        if (AnsiSameText(other.Name, area.Name) || AnsiSameText(AreaDisplayName(other), label)) {
            twin = true;
            break;
        }
    }
    if (!twin) return label;
    const std::string group = AreaGroup(area);
    return group.empty() ? label : label + " (" + group + ")";
}

std::vector<std::string> AreaRowCaptions(const std::vector<TAreaTreeRow>& rows) {
    std::unordered_map<std::string, int> seen;
    for (const TAreaTreeRow& row : rows)
        if (row.Entry->Kind != AreaKindFolder) ++seen[AnsiUpperCase(row.Entry->Name)];
    std::vector<std::string> captions;
    captions.reserve(rows.size());
    for (const TAreaTreeRow& row : rows) {
        const TAreaInfo& area = *row.Entry;
        std::string caption = area.Name;
        if (area.Kind != AreaKindFolder && seen[AnsiUpperCase(area.Name)] > 1) {
            const std::string group = AreaGroup(area);
            if (!group.empty()) caption += " (" + group + ")";
        }
        captions.push_back(std::move(caption));
    }
    return captions;
}

std::string AreaOpenFailureText(const TAreaInfo& area) {
    const TBaseOpenFailure failure = area.OpenFailure.load();
    if (failure == TBaseOpenFailure::None) return {};
    const std::string location = BaseLocation(area.Kind, area.Path);
    const std::string reason = BaseOpenFailureText(failure);
    return location.empty() ? reason : reason + " (" + location + ")";
}

}  // namespace pelmar
