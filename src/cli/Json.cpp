#include "cli/Json.h"

#include <cstdio>

namespace pelmar::cli {

std::string JsonQuote(std::string_view utf8) {
    std::string out = "\"";
    for (const char c : utf8) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    out += '"';
    return out;
}

void TJsonLine::Key(std::string_view key) {
    if (text_.size() > 1) text_ += ", ";
    text_ += JsonQuote(key);
    text_ += ": ";
}

void TJsonLine::Add(std::string_view key, std::string_view value) {
    Key(key);
    text_ += JsonQuote(value);
}

void TJsonLine::Add(std::string_view key, long long value) {
    Key(key);
    text_ += std::to_string(value);
}

void TJsonLine::Add(std::string_view key, bool value) {
    Key(key);
    text_ += value ? "true" : "false";
}

void TJsonLine::Add(std::string_view key, const std::vector<std::string>& values) {
    Key(key);
    text_ += '[';
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0) text_ += ", ";
        text_ += JsonQuote(values[i]);
    }
    text_ += ']';
}

}  // namespace pelmar::cli
