#include "reader/Bookmarks.h"

#include <algorithm>

#include "areas/AreaTitles.h"
#include "areas/gizmo.h"
#include "core/Settings.h"
#include "platform/Registry.h"

namespace pelmar {

namespace {

std::string WithoutLineBreaks(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return text;
}

}  // namespace

TBookmarks::TBookmarks(std::vector<std::string>& names, std::vector<std::string>& data)
    : names_(names), data_(data) {
    Repair();
}

std::string TBookmarks::Caption(const TAreaInfo& area, const std::string& subject) {
    return WithoutLineBreaks(AreaTitle(area) + ": " + subject);
}

bool TBookmarks::Add(const TAreaInfo& area, const std::string& subject, const std::string& msgId) {
    // Without a MSGID the bookmark could never be found again and would remove itself when used.
    if (msgId.empty()) return false;
    names_.push_back(Caption(area, subject));
    data_.push_back(WithoutLineBreaks(area.ID + "|" + msgId));
    return true;
}

void TBookmarks::Remove(int index) {
    if (index < 0 || index >= Count()) return;
    names_.erase(names_.begin() + index);
    data_.erase(data_.begin() + index);
}

void TBookmarks::Clear() {
    names_.clear();
    data_.clear();
}

void TBookmarks::Repair() {
    const size_t size = std::min(names_.size(), data_.size());
    names_.resize(size);
    data_.resize(size);
}

bool TBookmarks::Store() const {
    TRegistryBatch batch;
    {
        TRegistry reg;
        if (!reg.OpenKey(Settings.BaseKey + SettingsSubKey, true)) return false;
        reg.WriteString("BookMarkNames", StringListToText(names_));
        reg.WriteString("BookMarkData", StringListToText(data_));
    }
    return batch.Commit();
}

TBookmarkTarget TBookmarks::Parse(const std::string& data) {
    const size_t bar = data.find('|');
    if (bar == std::string::npos) return TBookmarkTarget{data, std::string()};
    return TBookmarkTarget{data.substr(0, bar), data.substr(bar + 1)};
}

TAreaInfo* TBookmarks::FindArea(const TBookmarkTarget& target) {
    if (target.AreaId.empty() || target.MsgId.empty()) return nullptr;
    TAreaInfo* area = AreaRegistry().FindAreaById(target.AreaId);
    if (area == nullptr || area->Zilo != ZiloOrdinary || area->Kind <= AreaKindFolder) return nullptr;
    return area;
}

}  // namespace pelmar
