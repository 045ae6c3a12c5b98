#pragma once
// Trimming of the blanks around words in configuration lines, settings files and addresses: spaces,
// tabs and the CR a DOS line end leaves behind.
#include <string_view>

namespace pelmar {

constexpr bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

constexpr std::string_view TrimLeft(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    return text;
}

constexpr std::string_view TrimRight(std::string_view text) {
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

constexpr std::string_view Trim(std::string_view text) {
    return TrimRight(TrimLeft(text));
}

}  // namespace pelmar
