#include "platform/RegistryFile.h"

#include <algorithm>
#include <cstdio>

#include "platform/Codepage.h"
#include "platform/Registry.h"
#include "platform/Text.h"

namespace pelmar::reg {

namespace {

const std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr size_t kMaxLine = 1024 * 1024;
// Longer strings are written as hex(1) so that every line of the file stays short.
constexpr size_t kMaxQuotedString = 16 * 1024;
constexpr size_t kHexLineWidth = 78;

// --- code units --------------------------------------------------------------------------------

// One character of UTF-8 at `pos`; advances `pos`. -1 for a malformed sequence (one byte skipped).
int32_t NextUtf8(std::string_view text, size_t& pos) {
    const auto lead = static_cast<uint8_t>(text[pos++]);
    if (lead < 0x80) return lead;
    int extra = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
    } else {
        return -1;
    }
    if (text.size() - pos < static_cast<size_t>(extra)) return -1;
    int32_t ch = lead & (0x3F >> extra);
    for (int i = 0; i < extra; ++i) {
        const auto next = static_cast<uint8_t>(text[pos + i]);
        if ((next & 0xC0) != 0x80) return -1;
        ch = (ch << 6) | (next & 0x3F);
    }
    static constexpr int32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
    if (ch < kMinimum[extra] || ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF)) return -1;
    pos += extra;
    return ch;
}

void AppendUtf16(std::string& out, uint16_t unit) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
}

// UTF-16LE -> UTF-8. With `markBroken` a broken surrogate becomes the byte 0xFF, which no valid
// UTF-8 contains, so the line holding it is rejected later; otherwise it becomes U+FFFD.
std::string DecodeUtf16(std::string_view bytes, bool stopAtZero, bool markBroken) {
    std::string out;
    out.reserve(bytes.size());
    const size_t count = bytes.size() / 2;
    auto unitAt = [&](size_t i) {
        return static_cast<uint16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                     (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
    };
    for (size_t i = 0; i < count; ++i) {
        const uint16_t unit = unitAt(i);
        if (unit == 0 && stopAtZero) break;
        uint32_t ch = unit;
        bool broken = false;
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < count && unitAt(i + 1) >= 0xDC00 &&
            unitAt(i + 1) <= 0xDFFF) {
            ch = 0x10000 + ((unit - 0xD800) << 10) + (unitAt(i + 1) - 0xDC00);
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            broken = true;
        }
        if (broken && markBroken) {
            out += '\xFF';
        } else {
            AppendUtf8(out, broken ? 0xFFFD : ch);
        }
    }
    if (bytes.size() % 2 != 0 && markBroken) out += '\xFF';
    return out;
}

// --- lines -------------------------------------------------------------------------------------

bool HasControl(std::string_view cp1251) {
    return std::any_of(cp1251.begin(), cp1251.end(), [](char c) { return static_cast<uint8_t>(c) < 0x20; });
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// 1..8 hex digits, nothing else.
bool ParseHex32(std::string_view text, uint32_t& value) {
    if (text.empty() || text.size() > 8) return false;
    value = 0;
    for (const char c : text) {
        const int digit = HexDigit(c);
        if (digit < 0) return false;
        value = (value << 4) | static_cast<uint32_t>(digit);
    }
    return true;
}

// A quoted name or string starting at text[pos] == '"'; only \\ and \" are escapes (a backslash
// before anything else stands for itself). Leaves `pos` after the closing quote.
bool ParseQuoted(std::string_view text, size_t& pos, std::string& out) {
    if (pos >= text.size() || text[pos] != '"') return false;
    ++pos;
    out.clear();
    while (pos < text.size()) {
        const char c = text[pos++];
        if (c == '"') return true;
        if (c == '\\' && pos < text.size() && (text[pos] == '\\' || text[pos] == '"')) {
            out += text[pos++];
            continue;
        }
        out += c;
    }
    return false;
}

// Comma-separated bytes of one or two hex digits; a trailing comma is tolerated.
bool ParseHexBytes(std::string_view text, std::string& out) {
    out.clear();
    text = Trim(text);
    if (text.empty()) return true;
    if (text.back() == ',') text.remove_suffix(1);
    size_t start = 0;
    while (true) {
        size_t end = text.find(',', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view item = Trim(text.substr(start, end - start));
        if (item.empty() || item.size() > 2) return false;
        int value = 0;
        for (const char c : item) {
            const int digit = HexDigit(c);
            if (digit < 0) return false;
            value = value * 16 + digit;
        }
        out += static_cast<char>(value);
        if (end == text.size()) return true;
        start = end + 1;
    }
}

struct TLine {
    std::string_view Text;
    int Number = 0;
    bool Valid = true;  // UTF-8, no zero byte, not over-long
};

std::vector<TLine> SplitLines(std::string_view text) {
    std::vector<TLine> lines;
    size_t start = 0;
    int number = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const bool valid =
            line.size() <= kMaxLine && line.find('\0') == std::string_view::npos && IsValidUtf8(line);
        lines.push_back({line, ++number, valid});
        start = end + 1;
    }
    return lines;
}

// --- parser ------------------------------------------------------------------------------------

class TParser {
public:
    TParser(TKey& root, TParseResult& result) : root_(root), result_(result) {}

    void Run(const std::vector<TLine>& lines) {
        size_t i = 0;
        while (i < lines.size() && lines[i].Valid && Trim(lines[i].Text).empty()) ++i;
        if (i == lines.size()) return;  // an empty file is an empty store
        if (!lines[i].Valid || Trim(lines[i].Text) != kHeader) {
            result_.Fatal = Utf8ToAnsi("неизвестный формат файла");
            return;
        }
        for (++i; i < lines.size(); ++i) {
            const TLine& line = lines[i];
            const std::string_view text = TrimLeft(line.Text);
            if (!line.Valid) {
                // A damaged section line must not let its values fall into the previous key.
                if (!text.empty() && text.front() == '[') key_ = nullptr;
                Bad(line);
                continue;
            }
            if (text.empty() || text.front() == ';') continue;
            if (text.front() == '[') {
                if (!Section(Trim(text))) {
                    key_ = nullptr;
                    Bad(line);
                }
                continue;
            }
            if (text.front() == '"' || text.front() == '@') {
                std::string logical(text);
                const size_t first = i;
                bool joined = true;
                // hex data may go on over several lines, each but the last ending with a backslash
                while (IsHexValue(logical)) {
                    while (!logical.empty() && IsBlank(logical.back())) logical.pop_back();
                    if (logical.back() != '\\' || i + 1 >= lines.size()) break;
                    logical.pop_back();
                    ++i;
                    if (!lines[i].Valid) {
                        joined = false;
                        break;
                    }
                    logical += TrimLeft(lines[i].Text);
                }
                if (!joined || key_ == nullptr || !Value(logical)) Bad(lines[first]);
                continue;
            }
            Bad(line);
        }
    }

private:
    void Bad(const TLine& line) { result_.BadLines.push_back(line.Number); }

    static bool IsHexValue(std::string_view text) {
        size_t pos = 0;
        std::string name;
        if (text.front() == '@') {
            pos = 1;
        } else if (!ParseQuoted(text, pos, name)) {
            return false;
        }
        const std::string_view rest = TrimLeft(text.substr(pos));
        if (rest.empty() || rest.front() != '=') return false;
        return TrimLeft(rest.substr(1)).substr(0, 3) == "hex";
    }

    bool Section(std::string_view text) {
        if (text.size() < 2 || text.back() != ']') return false;
        text = text.substr(1, text.size() - 2);
        const bool remove = !text.empty() && text.front() == '-';
        if (remove) text.remove_prefix(1);
        std::vector<std::string> names;
        size_t start = 0;
        while (true) {
            size_t end = text.find('\\', start);
            if (end == std::string_view::npos) end = text.size();
            const std::string name = Utf8ToAnsi(text.substr(start, end - start));
            if (name.empty() || HasControl(name)) return false;
            names.push_back(name);
            if (end == text.size()) break;
            start = end + 1;
        }
        if (names.front().rfind("HKEY_", 0) != 0) return false;
        if (names.size() > MaxKeyDepth) return false;
        if (remove) {
            key_ = nullptr;  // values after a deleted key belong nowhere
            TKey* parent = &root_;
            for (size_t n = 0; n + 1 < names.size() && parent != nullptr; ++n)
                parent = parent->FindSubKey(names[n]);
            if (parent != nullptr) parent->RemoveSubKey(names.back());
            return true;
        }
        key_ = &root_;
        for (const auto& name : names) key_ = &key_->SubKey(name);
        return true;
    }

    bool Value(std::string_view text) {
        size_t pos = 0;
        std::string name;
        if (text.front() == '@') {
            pos = 1;
        } else if (!ParseQuoted(text, pos, name)) {
            return false;
        }
        name = Utf8ToAnsi(name);
        if (HasControl(name)) return false;
        std::string_view rest = TrimLeft(text.substr(pos));
        if (rest.empty() || rest.front() != '=') return false;
        rest = Trim(rest.substr(1));
        if (rest == "-") {
            key_->RemoveValue(name);
            return true;
        }
        uint32_t type = 0;
        std::string data;
        if (!Data(rest, type, data)) return false;
        key_->SetValue(name, type, std::move(data));
        return true;
    }

    static bool Data(std::string_view text, uint32_t& type, std::string& data) {
        if (!text.empty() && text.front() == '"') {
            size_t pos = 0;
            if (!ParseQuoted(text, pos, data) || !Trim(text.substr(pos)).empty()) return false;
            type = REG_SZ;
            data = Utf8ToAnsi(data);
            return true;
        }
        if (text.substr(0, 6) == "dword:") {
            uint32_t value = 0;
            if (!ParseHex32(text.substr(6), value)) return false;
            type = REG_DWORD;
            data.clear();
            for (int i = 0; i < 4; ++i) data += static_cast<char>((value >> (8 * i)) & 0xFF);
            return true;
        }
        if (text.substr(0, 4) == "hex:") {
            type = REG_BINARY;
            return ParseHexBytes(text.substr(4), data);
        }
        if (text.substr(0, 4) == "hex(") {
            const size_t close = text.find("):");
            if (close == std::string_view::npos || !ParseHex32(text.substr(4, close - 4), type)) return false;
            if (!ParseHexBytes(text.substr(close + 2), data)) return false;
            if (type == REG_SZ || type == REG_EXPAND_SZ) {
                if (data.size() % 2 != 0) return false;
                data = Utf8ToAnsi(DecodeUtf16(data, true, false));
            }
            return true;
        }
        return false;
    }

    TKey& root_;
    TParseResult& result_;
    TKey* key_ = nullptr;
};

// --- writer ------------------------------------------------------------------------------------

std::string Quote(std::string_view utf8) {
    std::string out = "\"";
    for (const char c : utf8) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + '"';
}

void WriteHex(std::string& out, std::string prefix, std::string_view bytes) {
    std::string line = std::move(prefix);
    for (size_t i = 0; i < bytes.size(); ++i) {
        char item[4];
        std::snprintf(item, sizeof item, "%02x", static_cast<uint8_t>(bytes[i]));
        line += item;
        if (i + 1 == bytes.size()) break;
        line += ',';
        if (line.size() + 4 > kHexLineWidth) {
            out += line + "\\\n";
            line = "  ";
        }
    }
    out += line + '\n';
}

std::string Utf16WithZero(std::string_view cp1251) {
    return Utf8ToUtf16Le(AnsiToUtf8(cp1251)) + std::string(2, '\0');
}

void WriteValue(std::string& out, const TValue& value) {
    const std::string name = value.Name.empty() ? "@" : Quote(AnsiToUtf8(value.Name));
    char prefix[16];
    switch (value.Type) {
        case REG_SZ:
            if (!HasControl(value.Data) && value.Data.size() <= kMaxQuotedString) {
                out += name + '=' + Quote(AnsiToUtf8(value.Data)) + '\n';
                return;
            }
            WriteHex(out, name + "=hex(1):", Utf16WithZero(value.Data));
            return;
        case REG_EXPAND_SZ:
            WriteHex(out, name + "=hex(2):", Utf16WithZero(value.Data));
            return;
        case REG_DWORD:
            if (value.Data.size() == 4) {
                uint32_t u = 0;
                for (int i = 0; i < 4; ++i) u |= uint32_t(static_cast<uint8_t>(value.Data[i])) << (8 * i);
                std::snprintf(prefix, sizeof prefix, "%08x", u);
                out += name + "=dword:" + prefix + '\n';
                return;
            }
            break;
        case REG_BINARY:
            WriteHex(out, name + "=hex:", value.Data);
            return;
        default:
            break;
    }
    std::snprintf(prefix, sizeof prefix, "%x", value.Type);
    WriteHex(out, name + "=hex(" + prefix + "):", value.Data);
}

void WriteKey(std::string& out, const TKey& key, const std::string& path) {
    out += '[' + path + "]\n";
    for (const auto& value : key.Values) WriteValue(out, value);
    out += '\n';
    for (const auto& sub : key.SubKeys) WriteKey(out, *sub, path + '\\' + AnsiToUtf8(sub->Name));
}

}  // namespace

// --- tree --------------------------------------------------------------------------------------

namespace {

// Equal texts have equal lengths under the CP1251 casing rules, so the length test comes first.
bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && AnsiSameText(a, b);
}

}  // namespace

TKey* TKey::FindSubKey(std::string_view name) const {
    const auto it = subKeyIndex_.find(AnsiUpperCase(name));
    return it != subKeyIndex_.end() && SameName(it->second->Name, name) ? it->second : nullptr;
}

TKey& TKey::SubKey(std::string_view name) {
    if (TKey* existing = FindSubKey(name)) return *existing;
    SubKeys.push_back(std::make_unique<TKey>());
    TKey& added = *SubKeys.back();
    added.Name = std::string(name);
    subKeyIndex_[AnsiUpperCase(name)] = &added;
    return added;
}

bool TKey::RemoveSubKey(std::string_view name) {
    TKey* const found = FindSubKey(name);
    if (found == nullptr) return false;
    subKeyIndex_.erase(AnsiUpperCase(name));
    SubKeys.erase(std::find_if(SubKeys.begin(), SubKeys.end(),
                               [found](const std::unique_ptr<TKey>& sub) { return sub.get() == found; }));
    return true;
}

TValue* TKey::FindValue(std::string_view name) {
    for (auto& value : Values) {
        if (SameName(value.Name, name)) return &value;
    }
    return nullptr;
}

const TValue* TKey::FindValue(std::string_view name) const {
    return const_cast<TKey*>(this)->FindValue(name);
}

void TKey::SetValue(std::string_view name, uint32_t type, std::string data) {
    TValue* value = FindValue(name);
    if (value == nullptr) {
        Values.push_back({std::string(name), type, std::move(data)});
        return;
    }
    value->Type = type;
    value->Data = std::move(data);
}

bool TKey::RemoveValue(std::string_view name) {
    const auto it = std::find_if(Values.begin(), Values.end(),
                                 [&](const TValue& value) { return SameName(value.Name, name); });
    if (it == Values.end()) return false;
    Values.erase(it);
    return true;
}

std::unique_ptr<TKey> TKey::Clone() const {
    auto copy = std::make_unique<TKey>();
    copy->Name = Name;
    copy->Values = Values;
    for (const auto& sub : SubKeys) {
        std::unique_ptr<TKey> subCopy = sub->Clone();
        copy->subKeyIndex_[AnsiUpperCase(subCopy->Name)] = subCopy.get();
        copy->SubKeys.push_back(std::move(subCopy));
    }
    return copy;
}

// --- file --------------------------------------------------------------------------------------

TParseResult Parse(const std::string& fileBytes, TKey& root) {
    TParseResult result;
    std::string text;
    std::string_view bytes = fileBytes;
    if (bytes.substr(0, 2) == "\xFF\xFE") {
        text = DecodeUtf16(bytes.substr(2), false, true);
    } else if (bytes.substr(0, 2) == "\xFE\xFF") {
        result.Fatal = Utf8ToAnsi("неподдерживаемая кодировка (UTF-16BE)");
        return result;
    } else {
        if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
        text = std::string(bytes);
    }
    TParser(root, result).Run(SplitLines(text));
    return result;
}

std::string Serialise(const TKey& root) {
    std::string out = std::string(kHeader) + "\n\n";
    for (const auto& hive : root.SubKeys) WriteKey(out, *hive, AnsiToUtf8(hive->Name));
    return out;
}

std::string LineList(const std::vector<int>& lines) {
    std::string out;
    const size_t shown = std::min<size_t>(lines.size(), 10);
    for (size_t i = 0; i < shown; ++i) out += (i == 0 ? "" : ", ") + std::to_string(lines[i]);
    if (lines.size() > shown) out += Utf8ToAnsi(" и ещё ") + std::to_string(lines.size() - shown);
    return out;
}

bool IsValidUtf8(std::string_view text) {
    size_t pos = 0;
    while (pos < text.size()) {
        if (NextUtf8(text, pos) < 0) return false;
    }
    return true;
}

std::string Utf16LeToUtf8(std::string_view bytes) {
    return DecodeUtf16(bytes, true, false);
}

std::string Utf8ToUtf16Le(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() * 2);
    size_t pos = 0;
    while (pos < utf8.size()) {
        int32_t ch = NextUtf8(utf8, pos);
        if (ch < 0) ch = 0xFFFD;
        if (ch >= 0x10000) {
            ch -= 0x10000;
            AppendUtf16(out, static_cast<uint16_t>(0xD800 + (ch >> 10)));
            AppendUtf16(out, static_cast<uint16_t>(0xDC00 + (ch & 0x3FF)));
        } else {
            AppendUtf16(out, static_cast<uint16_t>(ch));
        }
    }
    return out;
}

}  // namespace pelmar::reg
