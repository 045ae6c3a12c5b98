#include "DumpReader.h"

#include <sstream>
#include <stdexcept>

#include "support/TestSupport.h"

namespace pelmar::test {

namespace {

class TParser {
public:
    explicit TParser(const std::string& text) : s_(text) {}

    TJson Value() {
        Skip();
        if (at_ >= s_.size()) Fail();
        const char c = s_[at_];
        if (c == '{') return ObjectValue();
        if (c == '[') return ArrayValue();
        if (c == '"') {
            TJson v;
            v.Kind = TJson::TKind::String;
            v.String = StringValue();
            return v;
        }
        if (Take("true")) return BoolValue(true);
        if (Take("false")) return BoolValue(false);
        if (Take("null")) return TJson{};
        return NumberValue();
    }

    void End() {
        Skip();
        if (at_ != s_.size()) Fail();
    }

private:
    const std::string& s_;
    size_t at_ = 0;

    [[noreturn]] void Fail() const { throw std::runtime_error("bad JSON at " + std::to_string(at_)); }
    void Skip() {
        while (at_ < s_.size() && (s_[at_] == ' ' || s_[at_] == '\t' || s_[at_] == '\r' || s_[at_] == '\n'))
            ++at_;
    }
    bool Take(const char* word) {
        const std::string w(word);
        if (s_.compare(at_, w.size(), w) != 0) return false;
        at_ += w.size();
        return true;
    }
    void Expect(char c) {
        Skip();
        if (at_ >= s_.size() || s_[at_] != c) Fail();
        ++at_;
    }
    static TJson BoolValue(bool b) {
        TJson v;
        v.Kind = TJson::TKind::Bool;
        v.Bool = b;
        return v;
    }
    TJson NumberValue() {
        const size_t start = at_;
        while (at_ < s_.size() && std::string("+-0123456789.eE").find(s_[at_]) != std::string::npos) ++at_;
        if (start == at_) Fail();
        TJson v;
        v.Kind = TJson::TKind::Number;
        v.Number = std::stod(s_.substr(start, at_ - start));
        return v;
    }
    static void AppendUtf8(std::string& out, uint32_t cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    std::string StringValue() {
        Expect('"');
        std::string out;
        while (at_ < s_.size() && s_[at_] != '"') {
            char c = s_[at_++];
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= s_.size()) Fail();
            c = s_[at_++];
            switch (c) {
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
                    if (at_ + 4 > s_.size()) Fail();
                    AppendUtf8(out, static_cast<uint32_t>(std::stoul(s_.substr(at_, 4), nullptr, 16)));
                    at_ += 4;
                    break;
                }
                default:
                    out += c;
            }
        }
        Expect('"');
        return out;
    }
    TJson ArrayValue() {
        Expect('[');
        TJson v;
        v.Kind = TJson::TKind::Array;
        Skip();
        if (at_ < s_.size() && s_[at_] == ']') {
            ++at_;
            return v;
        }
        for (;;) {
            v.Array.push_back(Value());
            Skip();
            if (at_ < s_.size() && s_[at_] == ',') {
                ++at_;
                continue;
            }
            Expect(']');
            return v;
        }
    }
    TJson ObjectValue() {
        Expect('{');
        TJson v;
        v.Kind = TJson::TKind::Object;
        Skip();
        if (at_ < s_.size() && s_[at_] == '}') {
            ++at_;
            return v;
        }
        for (;;) {
            Skip();
            std::string key = StringValue();
            Expect(':');
            v.Object[key] = Value();
            Skip();
            if (at_ < s_.size() && s_[at_] == ',') {
                ++at_;
                continue;
            }
            Expect('}');
            return v;
        }
    }
};

}  // namespace

const TJson& TJson::operator[](const std::string& key) const {
    static const TJson missing;
    const auto it = Object.find(key);
    return it == Object.end() ? missing : it->second;
}

TJson ParseJson(const std::string& text) {
    TParser parser(text);
    TJson v = parser.Value();
    parser.End();
    return v;
}

std::vector<TJson> ReadJsonLines(const std::string& path) {
    std::vector<TJson> lines;
    std::istringstream in(ReadFile(path));
    std::string line;
    while (std::getline(in, line))
        if (!line.empty()) lines.push_back(ParseJson(line));
    return lines;
}

}  // namespace pelmar::test
