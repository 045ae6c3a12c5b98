#include "import/FirstRun.h"

#include <algorithm>
#include <memory>

#include "areas/gizmo.h"
#include "core/Settings.h"
#include "editor/Templates.h"

namespace pelmar {
namespace {

TDefaultTemplates& Defaults() {
    static TDefaultTemplates defaults;
    return defaults;
}

}  // namespace

TAreaInfo& LinkedGroupFor(TAreaInfo& root, const std::string& name, int kind) {
    // "name", "name 2", ...: the first that is free or already such a link, so that a later run
    // finds the link made by an earlier one.
    std::string candidate = name;
    for (int n = 2;; ++n) {
        TAreaInfo* found = root.FindChild(candidate);
        if (found == nullptr) break;
        if (found->Zilo == ZiloLinkedGroup && found->Kind == kind) return *found;
        candidate = name + " " + std::to_string(n);
    }
    auto group = std::make_unique<TAreaInfo>();
    group->Name = candidate;
    group->Zilo = ZiloLinkedGroup;
    group->Kind = kind;
    return *root.AddChild(std::move(group));
}

void SetDefaultTemplates(TDefaultTemplates defaults) {
    Defaults() = std::move(defaults);
}

bool WriteMissingTemplates() {
    const auto defaults = Defaults() ? Defaults()() : DefaultTemplates();
    bool saved = true;
    for (const auto& [name, text] : defaults)
        if (!TemplateExists(name)) saved &= WriteTemplate(name, text);
    return saved;
}

void AdoptAddresses(const std::vector<std::string>& addresses) {
    for (const std::string& address : addresses) {
        if (address.empty()) continue;
        if (std::find(Settings.SelfAKA.begin(), Settings.SelfAKA.end(), address) == Settings.SelfAKA.end())
            Settings.SelfAKA.push_back(address);
    }
}

bool AdoptEchoTossLog(const std::string& path) {
    if (path.empty() || !Settings.EchoTossLog.empty()) return false;
    Settings.EchoTossLog = path;
    return true;
}

}  // namespace pelmar
