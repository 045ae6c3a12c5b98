#include "reader/ViewLinks.h"

#include <array>

#include "core/Address.h"

namespace pelmar {
namespace {

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

bool IsAsciiAlnum(char16_t c) {
    return IsDigit(c) || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

char16_t Lower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool StartsWithNoCase(std::u16string_view text, size_t at, std::u16string_view prefix) {
    if (text.size() - at < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (Lower(text[at + i]) != prefix[i]) return false;
    }
    return true;
}

constexpr std::array<std::u16string_view, 11> kSchemes = {u"mailto:", u"http:",   u"https:",   u"ftp:",
                                                          u"file:",   u"gopher:", u"nntp:",    u"news:",
                                                          u"telnet:", u"wais:",   u"prospero:"};

// Ends a URL: blanks, line breaks, brackets and quotes around it.
bool EndsUrl(char16_t c) {
    switch (c) {
        case u' ':
        case u'\t':
        case u'\n':
        case u'\r':
        case u'<':
        case u'>':
        case u'"':
        case u'\'':
        case u'(':
        case u')':
        case u'[':
        case u']':
        case u'{':
        case u'}':
        case 0x00A0:
        case 0x2028:
        case 0x2029:
            return true;
        default:
            return c < 0x20;
    }
}

// Punctuation that ends a sentence rather than a URL.
bool IsTrailingPunctuation(char16_t c) {
    return c == u'.' || c == u',' || c == u';' || c == u':' || c == u'!' || c == u'?';
}

bool IsMailLocal(char16_t c) {
    return IsAsciiAlnum(c) || c == u'.' || c == u'_' || c == u'%' || c == u'+' || c == u'-';
}

bool IsMailDomain(char16_t c) {
    return IsAsciiAlnum(c) || c == u'.' || c == u'-';
}

// A bare e-mail address around the '@' at `at`, or an empty range.
TTextRange MailAround(std::u16string_view text, size_t at) {
    size_t start = at;
    while (start > 0 && IsMailLocal(text[start - 1])) --start;
    while (start < at && text[start] == u'.') ++start;
    size_t end = at + 1;
    while (end < text.size() && IsMailDomain(text[end])) ++end;
    while (end > at + 1 && (text[end - 1] == u'.' || text[end - 1] == u'-')) --end;
    if (start == at || end == at + 1) return {};
    const std::u16string_view domain = text.substr(at + 1, end - at - 1);
    const size_t dot = domain.rfind(u'.');
    if (dot == std::u16string_view::npos || dot == 0 || dot + 1 >= domain.size()) return {};
    for (size_t i = dot + 1; i < domain.size(); ++i) {
        if (IsDigit(domain[i]) || domain[i] == u'-') return {};  // the top-level part is letters
    }
    return {start, end - start};
}

}  // namespace

std::vector<TTextRange> FindFtnAddresses(std::u16string_view text) {
    std::vector<TTextRange> ranges;
    int state = 0;
    size_t start = 0;
    auto mark = [&](size_t last) { ranges.push_back({start, last - start + 1}); };
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        const char16_t c = text[i];
        if (IsDigit(c)) {
            if (state == 0) {
                start = i;
                state = 1;
            }
            continue;
        }
        switch (state) {
            case 1:
                state = c == u':' ? 2 : 0;
                break;
            case 2:
                state = c == u'/' ? 3 : 0;
                break;
            case 3:
                if (c == u'.') {
                    state = 4;
                    break;
                }
                if (i > 0 && IsDigit(text[i - 1])) mark(i - 1);
                state = 0;
                break;
            case 4:
                mark(i - 1);
                state = 0;
                break;
            default:
                break;
        }
    }
    return ranges;
}

std::vector<TTextRange> FindUrls(std::u16string_view text) {
    std::vector<TTextRange> ranges;
    size_t i = 0;
    size_t scannedTo = 0;  // no range may start inside the previous one
    while (i < text.size()) {
        const bool wordStart = i == 0 || !IsAsciiAlnum(text[i - 1]);
        bool matched = false;
        if (wordStart && i >= scannedTo) {
            for (const std::u16string_view scheme : kSchemes) {
                if (!StartsWithNoCase(text, i, scheme)) continue;
                size_t end = i + scheme.size();
                while (end < text.size() && !EndsUrl(text[end])) ++end;
                while (end > i + scheme.size() && IsTrailingPunctuation(text[end - 1])) --end;
                if (end > i + scheme.size()) {
                    ranges.push_back({i, end - i});
                    scannedTo = end;
                    i = end;
                    matched = true;
                }
                break;
            }
        }
        if (matched) continue;
        if (text[i] == u'@' && i >= scannedTo) {
            const TTextRange mail = MailAround(text, i);
            if (mail.Length > 0 && mail.Start >= scannedTo) {
                ranges.push_back(mail);
                scannedTo = mail.Start + mail.Length;
                i = scannedTo;
                continue;
            }
        }
        ++i;
    }
    return ranges;
}

namespace {

bool HasSchemeNoCase(const std::string& text, std::string_view scheme) {
    if (text.size() < scheme.size()) return false;
    for (size_t i = 0; i < scheme.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != scheme[i]) return false;
    }
    return true;
}

bool IsBareMail(const std::string& text) {
    return text.find('@') != std::string::npos && text.find(':') == std::string::npos;
}

}  // namespace

TLinkAction ClassifyLink(const std::string& linkText) {
    if (IsValidAddress(linkText)) return TLinkAction::WriteNetmail;
    if (IsBareMail(linkText)) return TLinkAction::Open;
    for (const std::string_view scheme : {"http:", "https:", "ftp:", "mailto:", "news:", "nntp:"}) {
        if (HasSchemeNoCase(linkText, scheme)) return TLinkAction::Open;
    }
    return TLinkAction::Ask;
}

std::string LinkTarget(const std::string& linkText) {
    if (ClassifyLink(linkText) == TLinkAction::Open && IsBareMail(linkText)) return "mailto:" + linkText;
    return linkText;
}

}  // namespace pelmar
