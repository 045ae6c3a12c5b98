#include "msgbase/BodyText.h"

#include "msgbase/MessageBase.h"

namespace pelmar {

namespace {

// Reads the control line whose ^A is at `pos`; returns where the next piece starts (after its
// line end, which belongs to the control line).
size_t TakeControlLine(std::string_view stored, size_t pos, std::vector<std::string>& kludges) {
    const size_t start = pos + 1;
    size_t end = stored.find_first_of("\r\n\x01", start);
    if (end == std::string_view::npos) end = stored.size();
    if (end > start) kludges.emplace_back(stored.substr(start, end - start));
    if (end < stored.size() && stored[end] == '\r') ++end;
    if (end < stored.size() && stored[end] == '\n') ++end;
    return end;
}

}  // namespace

void SplitStoredText(std::string_view stored, std::string& text, std::vector<std::string>& kludges,
                     TSoftCr softCr) {
    stored = stored.substr(0, stored.find('\0'));
    std::string body;
    body.reserve(stored.size());
    size_t pos = 0;
    while (pos < stored.size()) {
        if (stored[pos] == '\x01') {
            pos = TakeControlLine(stored, pos, kludges);
            continue;
        }
        size_t end = stored.find('\x01', pos);
        if (end == std::string_view::npos) end = stored.size();
        body.append(stored.substr(pos, end - pos));
        pos = end;
    }
    // Cleaned before the final CR is added, so a CR LF at the end stays one line end.
    text = softCr == TSoftCr::AsSpace ? CleanText(body) : WithoutLineFeeds(body);
    if (!text.empty() && text.back() != '\r') text.push_back('\r');
}

std::string Utf8BodyText(std::string_view utf8) {
    utf8 = utf8.substr(0, utf8.find('\0'));
    std::vector<std::string> dropped;
    std::string text;
    text.reserve(utf8.size());
    size_t pos = 0;
    while (pos < utf8.size()) {
        if (utf8[pos] == '\x01') {
            dropped.clear();
            pos = TakeControlLine(utf8, pos, dropped);
        } else if (utf8[pos] == '\n') {
            ++pos;
        } else if (utf8.compare(pos, 2, "\xC2\x8D") == 0) {
            text += ' ';
            pos += 2;
        } else {
            text += utf8[pos++];
        }
    }
    if (!text.empty() && text.back() != '\r') text.push_back('\r');
    return text;
}

std::vector<std::string> LeadingControlLines(std::string_view stored) {
    stored = stored.substr(0, stored.find('\0'));
    std::vector<std::string> kludges;
    size_t pos = 0;
    while (pos < stored.size() && stored[pos] == '\x01') pos = TakeControlLine(stored, pos, kludges);
    return kludges;
}

}  // namespace pelmar
