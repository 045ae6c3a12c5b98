#include "support/Json.h"

#include <stdexcept>

#include "support/TestSupport.h"

namespace pelmar::test {

namespace {

class TParser {
public:
    explicit TParser(const std::string& text) : s_(text) {}

    TJson Value() {
        Skip();
        if (pos_ >= s_.size()) Fail();
        const char c = s_[pos_];
        if (c == '{') return ObjectValue();
        if (c == '[') return ArrayValue();
        if (c == '"') {
            TJson v;
            v.Kind = TJson::EKind::String;
            v.String = StringValue();
            return v;
        }
        if (Literal("true")) return BoolValue(true);
        if (Literal("false")) return BoolValue(false);
        if (Literal("null")) return TJson{};
        return NumberValue();
    }

    void End() {
        Skip();
        if (pos_ != s_.size()) Fail();
    }

private:
    [[noreturn]] void Fail() const { throw std::runtime_error("bad JSON at " + std::to_string(pos_)); }
    void Skip() {
        while (pos_ < s_.size() &&
               (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\r' || s_[pos_] == '\n'))
            ++pos_;
    }
    void Expect(char c) {
        Skip();
        if (pos_ >= s_.size() || s_[pos_] != c) Fail();
        ++pos_;
    }
    bool Literal(const char* word) {
        const std::string w(word);
        if (s_.compare(pos_, w.size(), w) != 0) return false;
        pos_ += w.size();
        return true;
    }
    static TJson BoolValue(bool b) {
        TJson v;
        v.Kind = TJson::EKind::Bool;
        v.Bool = b;
        return v;
    }
    TJson NumberValue() {
        size_t used = 0;
        TJson v;
        v.Kind = TJson::EKind::Number;
        try {
            v.Number = std::stod(s_.substr(pos_, 40), &used);
        } catch (const std::exception&) {
            Fail();
        }
        pos_ += used;
        return v;
    }
    static void PutUtf8(std::string& out, uint32_t cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | cp >> 6);
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | cp >> 12);
            out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | cp >> 18);
            out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    uint32_t Hex4() {
        if (pos_ + 4 > s_.size()) Fail();
        const uint32_t cp = static_cast<uint32_t>(std::stoul(s_.substr(pos_, 4), nullptr, 16));
        pos_ += 4;
        return cp;
    }
    std::string StringValue() {
        Expect('"');
        std::string out;
        while (true) {
            if (pos_ >= s_.size()) Fail();
            const char c = s_[pos_++];
            if (c == '"') return out;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= s_.size()) Fail();
            const char e = s_[pos_++];
            switch (e) {
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'u': {
                    uint32_t cp = Hex4();
                    if (cp >= 0xD800 && cp < 0xDC00 && s_.compare(pos_, 2, "\\u") == 0) {
                        pos_ += 2;
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (Hex4() - 0xDC00);
                    }
                    PutUtf8(out, cp);
                    break;
                }
                default:
                    out += e;
            }
        }
    }
    TJson ArrayValue() {
        Expect('[');
        TJson v;
        v.Kind = TJson::EKind::Array;
        Skip();
        if (s_[pos_] == ']') {
            ++pos_;
            return v;
        }
        while (true) {
            v.Array.push_back(Value());
            Skip();
            if (pos_ < s_.size() && s_[pos_] == ',') {
                ++pos_;
                continue;
            }
            Expect(']');
            return v;
        }
    }
    TJson ObjectValue() {
        Expect('{');
        TJson v;
        v.Kind = TJson::EKind::Object;
        Skip();
        if (s_[pos_] == '}') {
            ++pos_;
            return v;
        }
        while (true) {
            Skip();
            std::string key = StringValue();
            Expect(':');
            v.Object[key] = Value();
            Skip();
            if (pos_ < s_.size() && s_[pos_] == ',') {
                ++pos_;
                continue;
            }
            Expect('}');
            return v;
        }
    }

    const std::string& s_;
    size_t pos_ = 0;
};

}  // namespace

const TJson& TJson::operator[](const std::string& key) const {
    const auto it = Object.find(key);
    if (it == Object.end()) throw std::runtime_error("JSON key missing: " + key);
    return it->second;
}

TJson ParseJson(const std::string& text) {
    TParser parser(text);
    TJson v = parser.Value();
    parser.End();
    return v;
}

std::vector<TJson> ParseJsonLines(const std::string& text) {
    std::vector<TJson> out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        if (line.find_first_not_of(" \r\t") != std::string::npos) out.push_back(ParseJson(line));
        start = end + 1;
    }
    return out;
}

std::vector<TJson> ReadJsonLines(const std::string& path) {
    return ParseJsonLines(ReadFile(path));
}

std::vector<std::string> TJson::Strings() const {
    std::vector<std::string> out;
    for (const TJson& item : Array) out.push_back(item.String);
    return out;
}

}  // namespace pelmar::test
