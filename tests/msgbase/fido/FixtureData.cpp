#include "FixtureData.h"

#include <stdexcept>

namespace pelmar::test {

namespace {

class TParser {
public:
    explicit TParser(std::string_view text) : text_(text) {}

    TJsonValue Document() {
        TJsonValue value = Value();
        Blanks();
        if (pos_ != text_.size()) Fail("trailing text");
        return value;
    }

private:
    std::string_view text_;
    size_t pos_ = 0;

    [[noreturn]] void Fail(const std::string& what) const {
        throw std::runtime_error("JSON: " + what + " at " + std::to_string(pos_));
    }
    void Blanks() {
        while (pos_ < text_.size() &&
               (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n' || text_[pos_] == '\r'))
            ++pos_;
    }
    bool Take(char c) {
        Blanks();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    void Expect(char c) {
        if (!Take(c)) Fail(std::string("expected ") + c);
    }
    bool Word(std::string_view word) {
        if (text_.substr(pos_, word.size()) != word) return false;
        pos_ += word.size();
        return true;
    }

    TJsonValue Value() {
        Blanks();
        if (pos_ >= text_.size()) Fail("unexpected end");
        TJsonValue v;
        const char c = text_[pos_];
        if (c == '{') {
            ++pos_;
            v.Type = TJsonValue::EType::Object;
            if (Take('}')) return v;
            do {
                Blanks();
                std::string key = StringBody();
                Expect(':');
                v.Fields[key] = Value();
            } while (Take(','));
            Expect('}');
        } else if (c == '[') {
            ++pos_;
            v.Type = TJsonValue::EType::Array;
            if (Take(']')) return v;
            do v.Items.push_back(Value());
            while (Take(','));
            Expect(']');
        } else if (c == '"') {
            v.Type = TJsonValue::EType::String;
            v.String = StringBody();
        } else if (Word("true")) {
            v.Type = TJsonValue::EType::Bool;
            v.Bool = true;
        } else if (Word("false")) {
            v.Type = TJsonValue::EType::Bool;
        } else if (Word("null")) {
        } else {
            const size_t start = pos_;
            while (pos_ < text_.size() &&
                   std::string_view("+-0123456789.eE").find(text_[pos_]) != std::string_view::npos)
                ++pos_;
            if (start == pos_) Fail("bad value");
            v.Type = TJsonValue::EType::Number;
            v.Number = std::stod(std::string(text_.substr(start, pos_ - start)));
        }
        return v;
    }

    static void PutUtf8(std::string& out, uint32_t cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    uint32_t Hex4() {
        if (pos_ + 4 > text_.size()) Fail("short \\u");
        const uint32_t value =
            static_cast<uint32_t>(std::stoul(std::string(text_.substr(pos_, 4)), nullptr, 16));
        pos_ += 4;
        return value;
    }

    std::string StringBody() {
        if (pos_ >= text_.size() || text_[pos_] != '"') Fail("expected string");
        ++pos_;
        std::string out;
        while (true) {
            if (pos_ >= text_.size()) Fail("unterminated string");
            const char c = text_[pos_++];
            if (c == '"') return out;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= text_.size()) Fail("bad escape");
            const char e = text_[pos_++];
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
                    if (cp >= 0xD800 && cp < 0xDC00 && Word("\\u"))
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (Hex4() - 0xDC00);
                    PutUtf8(out, cp);
                    break;
                }
                default:
                    out += e;
            }
        }
    }
};

// Unicode of CP866 0x80..0xFF.
constexpr uint16_t Cp866High[128] = {
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C,
    0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429,
    0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436,
    0x0437, 0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
    0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F, 0x0401, 0x0451, 0x0404, 0x0454, 0x0407,
    0x0457, 0x040E, 0x045E, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x2116, 0x00A4, 0x25A0, 0x00A0};

}  // namespace

std::vector<std::string> TJsonValue::Strings() const {
    std::vector<std::string> result;
    for (const auto& item : Items) result.push_back(item.String);
    return result;
}

TJsonValue ParseJson(std::string_view text) {
    return TParser(text).Document();
}

std::vector<TJsonValue> ParseJsonLines(const std::string& text) {
    std::vector<TJsonValue> values;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string_view line(text.data() + start, end - start);
        if (line.find_first_not_of(" \r\t") != std::string_view::npos) values.push_back(ParseJson(line));
        start = end + 1;
    }
    return values;
}

std::string Utf8ToCp866(std::string_view utf8) {
    std::string out;
    size_t i = 0;
    while (i < utf8.size()) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        uint32_t cp = b;
        size_t len = 1;
        if (b >= 0xF0)
            cp = b & 0x07, len = 4;
        else if (b >= 0xE0)
            cp = b & 0x0F, len = 3;
        else if (b >= 0xC0)
            cp = b & 0x1F, len = 2;
        for (size_t k = 1; k < len && i + k < utf8.size(); ++k) cp = (cp << 6) | (utf8[i + k] & 0x3F);
        i += len;
        if (cp < 0x80) {
            out += static_cast<char>(cp);
            continue;
        }
        char mapped = '?';
        for (int k = 0; k < 128; ++k) {
            if (Cp866High[k] == cp) mapped = static_cast<char>(0x80 + k);
        }
        out += mapped;
    }
    return out;
}

}  // namespace pelmar::test
