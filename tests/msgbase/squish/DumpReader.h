#pragma once
// Reads the JSON-lines dumps that accompany the fixture bases: one flat object per line whose values
// are strings, numbers, booleans, arrays of those, or one nested object.
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace pelmar::test {

struct TJson {
    enum class TKind { Null, Bool, Number, String, Array, Object } Kind = TKind::Null;
    bool Bool = false;
    double Number = 0;
    std::string String;  // UTF-8 as in the file, escapes resolved
    std::vector<TJson> Array;
    std::map<std::string, TJson> Object;

    const TJson& operator[](const std::string& key) const;
    int Int() const { return static_cast<int>(Number); }
};

// Parses one line; throws std::runtime_error on malformed input.
TJson ParseJson(const std::string& text);
// Every non-empty line of a file.
std::vector<TJson> ReadJsonLines(const std::string& path);

}  // namespace pelmar::test
