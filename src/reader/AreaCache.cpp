#include "reader/AreaCache.h"

#include <algorithm>

#include "areas/gizmo.h"

namespace pelmar {

TAreaCache::TAreaCache()
    : exists_([](const std::string& areaId) { return AreaRegistry().FindAreaById(areaId) != nullptr; }) {}

void TAreaCache::StoreInCache(std::unique_ptr<TCacheItem> item, int limit) {
    if (!item) return;
    // A limit below 1 would never end the eviction.
    const size_t max = static_cast<size_t>(std::max(limit, 1));
    DropRemovedAreas();
    const auto same = std::find_if(items_.begin(), items_.end(), [&](const std::unique_ptr<TCacheItem>& old) {
        return old->AreaId == item->AreaId && old->Threaded == item->Threaded;
    });
    if (same != items_.end()) items_.erase(same);
    while (items_.size() >= max) items_.erase(items_.begin());
    items_.push_back(std::move(item));
}

TCacheItem* TAreaCache::Lookup(const std::string& areaId, bool threaded, double stamp, int32_t count) {
    for (auto& item : items_) {
        if (!item->Root) continue;  // handed back already
        if (item->AreaId == areaId && item->Threaded == threaded && item->BaseStamp == stamp &&
            item->BaseCount == count)
            return item.get();
    }
    return nullptr;
}

void TAreaCache::HandBack(TCacheItem& item, std::unique_ptr<TMessageClass>& root, TMsgIdIndex& index) {
    root = std::move(item.Root);
    index = std::move(item.MsgIds);
    item.Root.reset();
    item.MsgIds.Clear();
}

void TAreaCache::DropRemovedAreas() {
    if (!exists_) return;
    std::erase_if(items_, [&](const std::unique_ptr<TCacheItem>& item) { return !exists_(item->AreaId); });
}

void TAreaCache::DropArea(const std::string& areaId) {
    std::erase_if(items_, [&](const std::unique_ptr<TCacheItem>& item) { return item->AreaId == areaId; });
}

}  // namespace pelmar
