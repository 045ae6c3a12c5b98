#pragma once
// Already-read areas kept for quick reopening, oldest first.
//
// Items are keyed by the area's ID (an area freed and a new one allocated at the same address must
// never match) and by the threading mode, and validated by the base's change stamp and counter. An
// item whose tree was handed back to the list stays until replaced but never matches again.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "reader/MessageClass.h"
#include "reader/MsgIdIndex.h"

namespace pelmar {

struct TCacheItem {
    std::string AreaId;  // TAreaInfo::ID
    bool Threaded = false;
    double BaseStamp = 0;
    int32_t BaseCount = 0;
    std::unique_ptr<TMessageClass> Root;  // null once handed back
    int SortedBy = -2;                    // the order Root's tree is in (-2 unknown, -1 base order)
    bool SortedAscending = true;
    TMsgIdIndex MsgIds;  // slots point into Root's tree
};

class TAreaCache {
public:
    // Whether an area ID still names a live area; by default AreaRegistry().FindAreaById.
    using TAreaExists = std::function<bool(const std::string& areaId)>;

    TAreaCache();

    // Drops the first item of the same area and mode, drops items of areas that no longer exist,
    // evicts the oldest while `limit` (below 1 counts as 1) or more remain, then appends the item.
    void StoreInCache(std::unique_ptr<TCacheItem> item, int limit);
    // The first item of the area and mode with the same stamp and count that still holds a tree.
    TCacheItem* Lookup(const std::string& areaId, bool threaded, double stamp, int32_t count);
    // Takes the tree and index out of a found item; the item stays, without a tree.
    void HandBack(TCacheItem& item, std::unique_ptr<TMessageClass>& root, TMsgIdIndex& index);
    // Drops every item of areas that no longer exist.
    void DropRemovedAreas();
    void DropArea(const std::string& areaId);
    void Clear() { items_.clear(); }

    size_t Size() const { return items_.size(); }
    const TCacheItem& Item(size_t index) const { return *items_.at(index); }
    void SetAreaExists(TAreaExists exists) { exists_ = std::move(exists); }

private:
    std::vector<std::unique_ptr<TCacheItem>> items_;
    TAreaExists exists_;
};

}  // namespace pelmar
