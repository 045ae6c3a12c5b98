#include "editor/Quote.h"

#include "core/TextUtils.h"

namespace pelmar {

namespace {

constexpr int MaxCharsBeforeMark = 4;
constexpr int LineWidth = 78;
constexpr int JoinThreshold = 79;
// Below this many columns wrapping would only multiply the prefix; the paragraph stays whole.
constexpr int MinWrapWidth = 20;
constexpr std::string_view CrLf = "\r\n";

}  // namespace

bool IsQuoteLine(std::string_view line) {
    if (line.empty()) return false;
    size_t i = 0;
    int count = 0;
    for (; i + 1 < line.size(); ++i) {
        if (line[i] == '>') break;
        if (line[i] != ' ' && ++count > MaxCharsBeforeMark) return false;
    }
    return line[i] == '>';
}

void SplitQuote(std::string_view line, std::string& text, std::string& prefix) {
    if (!IsQuoteLine(line)) {
        text.assign(line);
        prefix.clear();
        return;
    }
    size_t p = line.find('>');
    while (p < line.size() && (line[p] == ' ' || line[p] == '>')) ++p;
    size_t end = p;
    while (end > 0 && line[end - 1] == ' ') --end;
    prefix.assign(line.substr(0, end));
    prefix += '>';
    std::string_view rest = line.substr(p);
    if (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    text.assign(rest);
}

int FirstWordLength(std::string_view text) {
    // 1-based position as the rule is stated; the character at p is text[p - 1].
    const size_t n = text.size();
    size_t p = 1;
    while (p < n && text[p - 1] == ' ') ++p;
    while (p < n && text[p - 1] != ' ') ++p;
    return static_cast<int>(p) - 1;
}

std::string WrapQuoted(const std::string& prefix, std::string_view paragraph) {
    const int width = LineWidth - static_cast<int>(prefix.size());
    if (paragraph.empty()) return {};
    std::string out;
    if (width < MinWrapWidth || paragraph.size() < static_cast<size_t>(width)) {
        out.reserve(prefix.size() + 1 + paragraph.size());
        out += prefix;
        out += ' ';
        out += paragraph;
        return out;
    }
    const size_t w = static_cast<size_t>(width);
    out.reserve(paragraph.size() + paragraph.size() / w * (prefix.size() + 3) + prefix.size() + 3);
    auto emit = [&](std::string_view piece) {
        out += prefix;
        out += ' ';
        out += piece;
        out += CrLf;
    };
    std::string current;
    size_t p = 0;
    const size_t n = paragraph.size();
    while (p < n) {
        // The word buffer is paragraph[ws, we): leading blanks plus one word.
        size_t ws = p;
        while (p < n && paragraph[p] == ' ') ++p;
        while (p < n && paragraph[p] != ' ') ++p;
        size_t we = p;
        if (current.size() + (we - ws) > w) {
            emit(current);
            current.clear();
            while (we - ws > 1 && paragraph[ws] == ' ') ++ws;
        }
        while (we - ws > w) {
            emit(paragraph.substr(ws, w));
            ws += w;
        }
        current.append(paragraph.substr(ws, we - ws));
    }
    if (!current.empty()) emit(current);
    if (out.size() >= 2) out.resize(out.size() - 2);
    return out;
}

std::vector<std::string_view> SplitTextLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n') continue;
        lines.push_back(text.substr(start, i - start));
        if (c == '\r' && i + 1 < n && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < n) lines.push_back(text.substr(start));
    return lines;
}

std::string BuildReplyQuote(std::string_view text, const std::vector<std::string>& kludges,
                            const std::string& fromName, bool withKludges) {
    std::vector<std::string_view> lines = SplitTextLines(text);
    std::vector<std::string> kludgeLines;
    if (withKludges) {
        kludgeLines.reserve(kludges.size());
        for (const std::string& k : kludges) kludgeLines.push_back("@" + k);
        for (const std::string& k : kludgeLines) lines.push_back(k);
    }
    const std::string ownPrefix = " " + NameInitials(fromName) + ">";
    std::string result;
    result.reserve(text.size() + text.size() / 8 + 64);
    std::string paragraph;
    std::string previousPrefix;
    size_t previousLength = 0;
    std::string lineText;
    std::string prefix;
    auto flush = [&](bool lineEnd) {
        if (paragraph.empty()) return;
        if (paragraph.back() == ' ') paragraph.pop_back();
        result += WrapQuoted(previousPrefix.empty() ? ownPrefix : previousPrefix, paragraph);
        if (lineEnd) result += CrLf;
    };
    for (std::string_view line : lines) {
        SplitQuote(line, lineText, prefix);
        if (prefix == previousPrefix && !lineText.empty() &&
            FirstWordLength(lineText) >= JoinThreshold - static_cast<int>(previousLength)) {
            paragraph += lineText;
            paragraph += ' ';
            previousLength = line.size();
            continue;
        }
        flush(true);
        previousPrefix = prefix;
        if (!line.empty()) {
            paragraph = lineText;
            paragraph += ' ';
        } else {
            paragraph.clear();
            result += CrLf;
        }
        previousLength = line.size();
    }
    flush(false);
    return result;
}

}  // namespace pelmar
