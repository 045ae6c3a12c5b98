#include "reader/MsgIdIndex.h"

#include "core/Codepage.h"

namespace pelmar {

std::string TMsgIdIndex::Key(std::string_view msgId) {
    return AnsiUpperCase(msgId);
}

const std::string& TMsgIdIndex::ScratchKey(std::string_view msgId) const {
    scratch_.resize(msgId.size());
    for (size_t i = 0; i < msgId.size(); ++i) scratch_[i] = AnsiUpper(msgId[i]);
    return scratch_;
}

void TMsgIdIndex::Add(std::string_view msgId) {
    if (msgId.empty()) return;
    if (slots_.find(ScratchKey(msgId)) == slots_.end()) slots_.emplace(scratch_, nullptr);
}

void TMsgIdIndex::Store(std::string_view msgId, TMessageClass* entry) {
    if (msgId.empty()) return;
    // Usually the slot exists since the first pass: no key to build then.
    const auto it = slots_.find(ScratchKey(msgId));
    if (it != slots_.end())
        it->second = entry;
    else
        slots_.emplace(Key(msgId), entry);
}

bool TMsgIdIndex::Contains(std::string_view msgId) const {
    if (msgId.empty()) return false;
    return slots_.find(ScratchKey(msgId)) != slots_.end();
}

TMessageClass* TMsgIdIndex::Find(std::string_view msgId) const {
    TMessageClass* entry = nullptr;
    Lookup(msgId, entry);
    return entry;
}

bool TMsgIdIndex::Lookup(std::string_view msgId, TMessageClass*& entry) const {
    entry = nullptr;
    if (msgId.empty()) return false;
    const auto it = slots_.find(ScratchKey(msgId));
    if (it == slots_.end()) return false;
    entry = it->second;
    return true;
}

void TMsgIdIndex::Forget(const TMessageClass* entry) {
    if (entry == nullptr) return;
    for (auto& [key, slot] : slots_) {
        if (slot == entry) slot = nullptr;
    }
}

}  // namespace pelmar
