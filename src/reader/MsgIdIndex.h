#pragma once
// MSGID -> list entry. Keys compare as whole strings without regard to CP1251 letter case; one slot
// per key, which may hold no entry yet (first pass of a read) or the entry stored last.
//
// An open-addressing table: each slot keeps the key's hash and where the upper-cased key sits in
// one shared buffer, so a look-up touches a slot and, on a hash match, its key, and 100,000 keys
// cost two allocations instead of 200,000.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pelmar {

class TMessageClass;

class TMsgIdIndex {
public:
    TMsgIdIndex() = default;
    TMsgIdIndex(const TMsgIdIndex&) = default;
    TMsgIdIndex& operator=(const TMsgIdIndex&) = default;
    // A moved-from index is empty.
    TMsgIdIndex(TMsgIdIndex&& other) noexcept { *this = std::move(other); }
    TMsgIdIndex& operator=(TMsgIdIndex&& other) noexcept {
        if (this == &other) return *this;
        slots_ = std::move(other.slots_);
        keys_ = std::move(other.keys_);
        size_ = other.size_;
        other.slots_.clear();
        other.keys_.clear();
        other.size_ = 0;
        return *this;
    }

    // A slot for the MSGID (kept as it is when one exists). Empty MSGIDs get no slot.
    void Add(std::string_view msgId);
    // Makes the slot hold `entry` (adding the slot when needed). Empty MSGIDs are ignored.
    void Store(std::string_view msgId, TMessageClass* entry);
    // The slot exists (it may hold no entry).
    bool Contains(std::string_view msgId) const;
    // The entry of the slot; null when there is no slot or it holds none.
    TMessageClass* Find(std::string_view msgId) const;
    // One look-up for both: true when the slot exists, `entry` = what it holds (maybe null).
    bool Lookup(std::string_view msgId, TMessageClass*& entry) const;
    // Slots whose entry is `entry` are emptied (the entry is going away).
    void Forget(const TMessageClass* entry);

    // Drops every slot and the memory behind them.
    void Clear();
    size_t Size() const { return size_; }
    bool Empty() const { return size_ == 0; }
    void Reserve(size_t count);

    // The key the index compares: the MSGID in CP1251 upper case.
    static std::string Key(std::string_view msgId);

private:
    struct TSlot {
        uint64_t Hash = 0;  // 0: free
        uint32_t KeyOffset = 0;
        uint32_t KeyLength = 0;
        TMessageClass* Entry = nullptr;
    };
    // Upper-cases into scratch_ and hashes it (never 0).
    uint64_t Prepare(std::string_view msgId) const;
    // The slot of scratch_ with that hash, or of the free slot where it would go.
    size_t Probe(uint64_t hash) const;
    // Adds scratch_ with its hash at a free slot found by Probe.
    TSlot& Insert(size_t at, uint64_t hash);
    void Grow(size_t capacity);

    std::vector<TSlot> slots_;  // capacity a power of two, at most 70 % used
    std::string keys_;
    size_t size_ = 0;
    mutable std::string scratch_;  // look-ups run on one thread; saves an allocation each
};

}  // namespace pelmar
