#pragma once
// A minimal writer for one-line JSON objects (the dump format of pelmar-tool).
#include <string>
#include <string_view>
#include <vector>

namespace pelmar::cli {

class TJsonLine {
public:
    // Values are UTF-8.
    void Add(std::string_view key, std::string_view value);
    // Text, not the pointer's truth value (which the bool overload would otherwise take).
    void Add(std::string_view key, const char* value) { Add(key, std::string_view(value)); }
    void Add(std::string_view key, long long value);
    void Add(std::string_view key, bool value);
    void Add(std::string_view key, const std::vector<std::string>& values);
    // The finished object, without a line break.
    std::string Text() const { return text_ + "}"; }

private:
    void Key(std::string_view key);
    std::string text_ = "{";
};

std::string JsonQuote(std::string_view utf8);

}  // namespace pelmar::cli
