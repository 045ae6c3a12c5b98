#pragma once
// The in-memory tree of the registry store and its text file ("Windows Registry Editor Version
// 5.00" syntax). Used by Registry.cpp only.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pelmar::reg {

// Keys nest at most this deep (the hive counts as one level). Reading, writing and freeing the tree
// recurse per level, so a file nested deeper is treated as damaged rather than read.
inline constexpr size_t MaxKeyDepth = 200;

struct TValue {
    std::string Name;  // CP1251; empty for the default value
    uint32_t Type = 0;
    // Strings (REG_SZ, REG_EXPAND_SZ) as CP1251 without terminator; REG_DWORD as 4 little-endian
    // bytes; every other type as the raw bytes.
    std::string Data;
};

// Names compare case-insensitively; sub-keys and values keep the order they were added in.
// Sub-keys are added and removed only through SubKey/RemoveSubKey, which keep the name index.
struct TKey {
    std::string Name;
    std::vector<std::unique_ptr<TKey>> SubKeys;
    std::vector<TValue> Values;

    TKey* FindSubKey(std::string_view name) const;
    // The existing sub-key of that name, or a new one.
    TKey& SubKey(std::string_view name);
    bool RemoveSubKey(std::string_view name);

    TValue* FindValue(std::string_view name);
    const TValue* FindValue(std::string_view name) const;
    // Replaces an existing value in place (its position and spelling stay) or appends a new one.
    void SetValue(std::string_view name, uint32_t type, std::string data);
    bool RemoveValue(std::string_view name);

    // A deep copy (the name index is rebuilt).
    std::unique_ptr<TKey> Clone() const;

private:
    // Sub-keys by upper-cased name: a profile may hold thousands of areas side by side, and a
    // linear search per lookup made loading and saving such a tree take seconds.
    std::unordered_map<std::string, TKey*> subKeyIndex_;
};

struct TParseResult {
    std::string Fatal;          // CP1251; non-empty when the file as a whole could not be read
    std::vector<int> BadLines;  // 1-based numbers of the lines that were skipped
};

// Reads a .reg file (UTF-8, UTF-8 with BOM, or UTF-16LE with BOM) and merges it into `root`, whose
// sub-keys are the hives. Bad lines are skipped and listed; values that follow a bad section line
// are skipped too rather than landing in the wrong key.
TParseResult Parse(const std::string& fileBytes, TKey& root);
// The whole tree in the file syntax, UTF-8, every key written (empty ones too).
std::string Serialise(const TKey& root);
// "3, 7, 12" (at most ten numbers, then the count of the rest), CP1251.
std::string LineList(const std::vector<int>& lines);

bool IsValidUtf8(std::string_view text);
// UTF-16LE bytes -> UTF-8; stops at a zero character. Broken surrogates become U+FFFD.
std::string Utf16LeToUtf8(std::string_view bytes);
// UTF-8 -> UTF-16LE bytes (no terminator). Malformed bytes become U+FFFD.
std::string Utf8ToUtf16Le(std::string_view utf8);

}  // namespace pelmar::reg
