#pragma once
// MSGID -> list entry. Keys compare as whole strings without regard to CP1251 letter case; one slot
// per key, which may hold no entry yet (first pass of a read) or the entry stored last.
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

namespace pelmar {

class TMessageClass;

class TMsgIdIndex {
public:
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

    void Clear() { slots_.clear(); }
    size_t Size() const { return slots_.size(); }
    bool Empty() const { return slots_.empty(); }
    void Reserve(size_t count) { slots_.reserve(count); }

    // The key the index compares: the MSGID in CP1251 upper case.
    static std::string Key(std::string_view msgId);

private:
    const std::string& ScratchKey(std::string_view msgId) const;

    std::unordered_map<std::string, TMessageClass*> slots_;
    mutable std::string scratch_;  // look-ups run on one thread; saves an allocation each
};

}  // namespace pelmar
