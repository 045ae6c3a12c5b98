#include "reader/MsgIdIndex.h"

#include <cstring>
#include <functional>

#include "core/Codepage.h"

namespace pelmar {

std::string TMsgIdIndex::Key(std::string_view msgId) {
    return AnsiUpperCase(msgId);
}

uint64_t TMsgIdIndex::Prepare(std::string_view msgId) const {
    scratch_.resize(msgId.size());
    for (size_t i = 0; i < msgId.size(); ++i) scratch_[i] = AnsiUpper(msgId[i]);
    const uint64_t hash = std::hash<std::string_view>{}(scratch_);
    return hash != 0 ? hash : 1;
}

size_t TMsgIdIndex::Probe(uint64_t hash) const {
    const size_t mask = slots_.size() - 1;
    for (size_t at = hash & mask;; at = (at + 1) & mask) {
        const TSlot& slot = slots_[at];
        if (slot.Hash == 0) return at;
        if (slot.Hash == hash && slot.KeyLength == scratch_.size() &&
            std::memcmp(keys_.data() + slot.KeyOffset, scratch_.data(), scratch_.size()) == 0)
            return at;
    }
}

TMsgIdIndex::TSlot& TMsgIdIndex::Insert(size_t at, uint64_t hash) {
    TSlot& slot = slots_[at];
    slot.Hash = hash;
    slot.KeyOffset = static_cast<uint32_t>(keys_.size());
    slot.KeyLength = static_cast<uint32_t>(scratch_.size());
    slot.Entry = nullptr;
    keys_ += scratch_;
    ++size_;
    return slot;
}

void TMsgIdIndex::Grow(size_t capacity) {
    if (capacity * 10 <= slots_.size() * 7) return;
    size_t size = 16;
    while (size * 7 < capacity * 10) size *= 2;
    if (size <= slots_.size()) return;
    std::vector<TSlot> old(size);
    old.swap(slots_);
    const size_t mask = size - 1;
    for (const TSlot& slot : old) {
        if (slot.Hash == 0) continue;
        size_t at = slot.Hash & mask;
        while (slots_[at].Hash != 0) at = (at + 1) & mask;
        slots_[at] = slot;
    }
}

void TMsgIdIndex::Reserve(size_t count) {
    Grow(count);
}

void TMsgIdIndex::Clear() {
    std::vector<TSlot>().swap(slots_);
    std::string().swap(keys_);
    size_ = 0;
}

void TMsgIdIndex::Add(std::string_view msgId) {
    if (msgId.empty()) return;
    Grow(size_ + 1);
    const uint64_t hash = Prepare(msgId);
    const size_t at = Probe(hash);
    if (slots_[at].Hash == 0) Insert(at, hash);
}

void TMsgIdIndex::Store(std::string_view msgId, TMessageClass* entry) {
    if (msgId.empty()) return;
    Grow(size_ + 1);
    const uint64_t hash = Prepare(msgId);
    const size_t at = Probe(hash);
    TSlot& slot = slots_[at].Hash == 0 ? Insert(at, hash) : slots_[at];
    slot.Entry = entry;
}

bool TMsgIdIndex::Contains(std::string_view msgId) const {
    TMessageClass* entry = nullptr;
    return Lookup(msgId, entry);
}

TMessageClass* TMsgIdIndex::Find(std::string_view msgId) const {
    TMessageClass* entry = nullptr;
    Lookup(msgId, entry);
    return entry;
}

bool TMsgIdIndex::Lookup(std::string_view msgId, TMessageClass*& entry) const {
    entry = nullptr;
    if (msgId.empty() || size_ == 0) return false;
    const TSlot& slot = slots_[Probe(Prepare(msgId))];
    if (slot.Hash == 0) return false;
    entry = slot.Entry;
    return true;
}

void TMsgIdIndex::Forget(const TMessageClass* entry) {
    if (entry == nullptr) return;
    for (TSlot& slot : slots_) {
        if (slot.Entry == entry) slot.Entry = nullptr;
    }
}

}  // namespace pelmar
