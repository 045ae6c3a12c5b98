// Links found in the shown text and what clicking them does.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "reader/ViewLinks.h"

namespace pelmar {
namespace {

// The marked pieces of `text` (ASCII test texts: one byte per position).
std::vector<std::string> Pieces(const std::u16string& text, const std::vector<TTextRange>& ranges) {
    std::vector<std::string> pieces;
    for (const TTextRange& r : ranges) {
        std::string piece;
        for (size_t i = r.Start; i < r.Start + r.Length; ++i) piece += static_cast<char>(text[i]);
        pieces.push_back(piece);
    }
    return pieces;
}

struct TLinkCase {
    std::u16string Text;
    std::vector<std::string> Found;
};

TEST(ViewLinks, FtnAddressStateMachine) {
    const TLinkCase cases[] = {
        {u"to 2:5000/10 now", {"2:5000/10"}},
        {u"to 2:5000/10.15 now", {"2:5000/10.15"}},
        {u"to 2:5000/10. now", {"2:5000/10."}},
        {u"2: and 2:/ and 2:5000/ x", {}},
        {u"ends 2:5000/10", {}},  // the last character is never examined
        {u"ends 2:5000/10\n", {}},
        {u"ends 2:5000/10\nx", {"2:5000/10"}},
        {u"a 1:2/3,4:5/6.7\nz", {"1:2/3", "4:5/6.7"}},
        {u"time 12:30 here", {}},
        // The view adds the final paragraph mark the text control always had.
        {u" * Origin: Home (2:5020/1.5)\n", {"2:5020/1.5"}},
    };
    for (const TLinkCase& c : cases) EXPECT_EQ(Pieces(c.Text, FindFtnAddresses(c.Text)), c.Found);
}

TEST(ViewLinks, UrlsOfTheKnownSchemes) {
    const TLinkCase cases[] = {
        {u"see http://example.org/a?b=1.", {"http://example.org/a?b=1"}},
        {u"(HTTPS://x.y/z) and ftp://h/f, mailto:a@b.c", {"HTTPS://x.y/z", "ftp://h/f", "mailto:a@b.c"}},
        {u"file:///etc/passwd news:fido7.ru telnet://bbs",
         {"file:///etc/passwd", "news:fido7.ru", "telnet://bbs"}},
        {u"write to user.name@example.com!", {"user.name@example.com"}},
        {u"not a@b, not @x.org, not a@1.2", {}},
        {u"xhttp://no http: alone", {}},
        {u"<gopher://g>\"wais://w\"", {"gopher://g", "wais://w"}},
    };
    for (const TLinkCase& c : cases) EXPECT_EQ(Pieces(c.Text, FindUrls(c.Text)), c.Found);
}

TEST(ViewLinks, ClickActions) {
    struct TCase {
        std::string Link;
        TLinkAction Action;
        std::string Target;
    };
    const TCase cases[] = {
        {"2:5020/1.5", TLinkAction::WriteNetmail, "2:5020/1.5"},
        {"http://example.org", TLinkAction::Open, "http://example.org"},
        {"HTTPS://example.org", TLinkAction::Open, "HTTPS://example.org"},
        {"mailto:a@b.c", TLinkAction::Open, "mailto:a@b.c"},
        {"news:fido7.ru", TLinkAction::Open, "news:fido7.ru"},
        {"user@example.com", TLinkAction::Open, "mailto:user@example.com"},
        {"file:///bin/sh", TLinkAction::Ask, "file:///bin/sh"},
        {"telnet://bbs.example.org", TLinkAction::Ask, "telnet://bbs.example.org"},
        {"gopher://g", TLinkAction::Ask, "gopher://g"},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(ClassifyLink(c.Link), c.Action) << c.Link;
        EXPECT_EQ(LinkTarget(c.Link), c.Target) << c.Link;
    }
}

}  // namespace
}  // namespace pelmar
