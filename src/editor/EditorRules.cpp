#include "editor/EditorRules.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "areas/gizmo.h"
#include "core/Address.h"
#include "editor/Quote.h"
#include "editor/Templates.h"
#include "msgbase/MessageBase.h"
#include "platform/Codepage.h"

namespace pelmar {

namespace {

constexpr uint16_t Missing = 65535;

bool ValidUtf8WithNonAscii(std::string_view s) {
    bool nonAscii = false;
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        size_t len = 1;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if ((c & 0xE0) == 0xC0 && c >= 0xC2)
            len = 2;
        else if ((c & 0xF0) == 0xE0)
            len = 3;
        else if ((c & 0xF8) == 0xF0 && c <= 0xF4)
            len = 4;
        else
            return false;
        if (i + len > s.size()) return false;
        for (size_t k = 1; k < len; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        nonAscii = true;
        i += len;
    }
    return nonAscii;
}

// A written address part: 0..65535 in digits; none when empty or not a number.
std::optional<uint16_t> AddressNumber(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (text.empty() || text.size() > 5) return std::nullopt;
    uint32_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    if (value > 0xFFFF) return std::nullopt;
    return static_cast<uint16_t>(value);
}

// An address with its leading parts left out ("/1", "1", "5020/1", ".1"): every part written is a
// number, and a point alone names a point (".0" would be the own node itself).
bool IsPartialAddress(std::string_view text) {
    if (const size_t at = text.find('@'); at != std::string_view::npos) text = text.substr(0, at);
    std::optional<std::string_view> zone, net, point;
    if (const size_t colon = text.find(':'); colon != std::string_view::npos) {
        zone = text.substr(0, colon);
        text.remove_prefix(colon + 1);
    }
    if (const size_t slash = text.find('/'); slash != std::string_view::npos) {
        net = text.substr(0, slash);
        text.remove_prefix(slash + 1);
    }
    if (const size_t dot = text.find('.'); dot != std::string_view::npos) {
        point = text.substr(dot + 1);
        text = text.substr(0, dot);
    }
    const std::string_view node = text;
    for (const auto& part : {zone, net, std::optional<std::string_view>(node), point}) {
        if (part && part->find_first_not_of(' ') != std::string_view::npos && !AddressNumber(*part))
            return false;
    }
    auto given = [](std::optional<std::string_view> part) { return part && AddressNumber(*part); };
    const bool zoneGiven = given(zone);
    const bool netGiven = given(net);
    const bool nodeGiven = given(node);
    if (zoneGiven && !netGiven) return false;
    if (netGiven && !nodeGiven) return false;
    if (!nodeGiven) return point && AddressNumber(*point).value_or(0) != 0;
    return true;
}

}  // namespace

TEditorCommands EvaluateCommands(const TEditorState& s) {
    TEditorCommands c;
    c.Undo = s.Editing && s.CanUndo;
    c.Redo = s.Editing && s.CanRedo;
    c.Cut = c.Copy = c.CutMarker = s.Editing && s.HasSelection;
    c.Paste = s.Editing && s.CanPaste;
    c.InsertFile = c.UUToggle = c.Spell = s.Editing;
    c.UUBrowse = !s.UUPending && !s.UUSplit;
    c.UUInsert = s.UUPending && (!s.IsEditMessage || s.UUSectionCount < 2);
    c.UUClear = s.UUPending;
    c.DestAddressVisible = s.AnyNetmail;
    // An empty own address never sends: it would write a message without an origin.
    c.Send =
        s.DestinationCount > 0 && !s.SelectedAka.empty() && (!s.AnyNetmail || IsValidAddress(s.DestAddress));
    c.SubjectFileButton = (s.Attributes & AttrFileAttach) != 0;
    c.Caption = s.Subject.empty() ? Utf8ToAnsi("Новое сообщение") : s.Subject;
    // Nobody asked for this window: it says why it is there.
    if (s.ReadReceipt) c.Caption = Utf8ToAnsi("Отправитель просит уведомить о прочтении: ") + c.Caption;
    return c;
}

int ChooseAkaFor(const std::string& destAddress, const std::vector<std::string>& akas) {
    uint16_t z, n, f, p;
    ParseAddress(destAddress, false, z, n, f, p);
    int best = -1, bestScore = 0;
    for (size_t i = 0; i < akas.size(); ++i) {
        uint16_t az, an, af, ap;
        ParseAddress(akas[i], false, az, an, af, ap);
        int score = 0;
        if (az == z) {
            score = 1;
            if (an == n) score = af == f ? 3 : 2;
        }
        if (score > bestScore) {
            bestScore = score;
            best = static_cast<int>(i);
        }
    }
    return best;
}

std::string CompleteAddress(const std::string& typed, const std::string& selectedAka) {
    if (selectedAka.empty()) return typed;
    uint16_t z, n, f, p, az, an, af, ap;
    ParseAddress(typed, true, z, n, f, p);
    ParseAddress(selectedAka, false, az, an, af, ap);
    // Only the leading parts may be left out, the rest must be numbers: a garbled field completed
    // from the own address would quietly become one's own node.
    if (!IsValidAddress(typed) && !IsPartialAddress(typed)) return typed;
    if (z == Missing) z = az;
    if (n == Missing) n = an;
    if (f == Missing) f = af;
    return FormatAddress(z, n, f, p);
}

std::string BossAddress(const std::string& aka) {
    uint16_t z, n, f, p;
    ParseAddress(aka, false, z, n, f, p);
    return FormatAddress(z, n, f, 0);
}

bool IsRobotName(const std::string& toName, const std::vector<std::string>& robotNames) {
    for (const auto& r : robotNames)
        if (AnsiSameText(r, toName)) return true;
    return false;
}

std::string CaretText(int line, int column) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%3d:%3d", column + 1, line + 1);
    return buf;
}

std::string QuoteContinuation(std::string_view line) {
    if (!IsQuoteLine(line)) return {};
    std::string text, prefix;
    SplitQuote(line, text, prefix);
    if (!prefix.empty() && prefix.back() == '>') prefix.pop_back();
    return prefix + " ";
}

std::vector<std::string> AutoTypeTexts(const std::vector<TAutoTypeEntry>& table, uint16_t key,
                                       uint8_t shift) {
    std::vector<std::string> out;
    for (const auto& e : table)
        if (e.ShortCut.Key == key && e.ShortCut.Shift == shift) out.push_back(e.Text);
    return out;
}

std::string CollapsedHeader(const std::string& from, const std::string& to, const std::string& subject) {
    return from + " -> " + to + " : " + subject;
}

std::string CleanInsertedText(std::string_view bytes) {
    std::string text = ValidUtf8WithNonAscii(bytes) ? Utf8ToAnsi(bytes) : std::string(bytes);
    std::erase_if(text, [](char c) { return c == '\0' || c == '\x01'; });
    return text;
}

bool KeepFailedDestinations(TSendState& state, const TSendResult& result) {
    if (result.Ok()) return true;
    std::vector<TAreaInfo*> left;
    std::map<const TAreaInfo*, std::vector<int>> parts;
    for (TAreaInfo* area : state.Destinations) {
        for (const auto& f : result.Failed) {
            if (f.Area != area) continue;
            left.push_back(area);
            parts[area] = f.Parts;
            break;
        }
    }
    state.Destinations = std::move(left);
    state.OnlyParts = std::move(parts);
    return false;
}

std::string PreviewText(const TExpandedTemplate& expanded, int& cursorOffset) {
    const std::optional<size_t> at = expanded.Cursor();
    const std::string& text = expanded.Text;
    if (!at || *at > text.size()) {
        cursorOffset = 0;
        return text;
    }
    cursorOffset = static_cast<int>(*at);
    return text.substr(0, *at) + text.substr(std::min(text.size(), *at + CursorMacro().size()));
}

std::string PreviewText(const std::string& expanded, int& cursorOffset) {
    const size_t at = expanded.find(CursorMacro());
    TExpandedTemplate first{expanded, {}};
    if (at != std::string::npos) first.Cursors.push_back(at);
    return PreviewText(first, cursorOffset);
}

}  // namespace pelmar
