#pragma once
// Reading the fixture dumps: a small JSON reader and the CP866 table the dumps were decoded with.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace pelmar::test {

struct TJsonValue {
    enum class EType { Null, Bool, Number, String, Array, Object };
    EType Type = EType::Null;
    bool Bool = false;
    double Number = 0;
    std::string String;  // UTF-8
    std::vector<TJsonValue> Items;
    std::map<std::string, TJsonValue> Fields;

    bool Has(const std::string& key) const { return Fields.count(key) != 0; }
    const TJsonValue& operator[](const std::string& key) const { return Fields.at(key); }
    std::vector<std::string> Strings() const;
};

// Throws std::runtime_error on malformed text.
TJsonValue ParseJson(std::string_view text);
// One object per non-empty line.
std::vector<TJsonValue> ParseJsonLines(const std::string& text);

// UTF-8 text of CP866 characters back to CP866 bytes ('?' for anything else).
std::string Utf8ToCp866(std::string_view utf8);

}  // namespace pelmar::test
