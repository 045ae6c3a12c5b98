#pragma once
// Just enough JSON to read the fixture dumps and pelmar-tool output (one object per line).
// Strings come back as UTF-8.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace pelmar::test {

struct TJson {
    enum class EKind { Null, Bool, Number, String, Array, Object };
    EKind Kind = EKind::Null;
    bool Bool = false;
    double Number = 0;
    std::string String;
    std::vector<TJson> Array;
    std::map<std::string, TJson> Object;

    bool Has(const std::string& key) const { return Object.count(key) != 0; }
    const TJson& operator[](const std::string& key) const;
    const TJson& operator[](size_t i) const { return Array.at(i); }
    int64_t Int() const { return static_cast<int64_t>(Number); }
    // The strings of an array value.
    std::vector<std::string> Strings() const;
};

// Throws std::runtime_error on malformed input.
TJson ParseJson(const std::string& text);
// One value per non-empty line.
std::vector<TJson> ParseJsonLines(const std::string& text);
// The same, read from a file.
std::vector<TJson> ReadJsonLines(const std::string& path);

}  // namespace pelmar::test
