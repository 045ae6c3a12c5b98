// A letter's text expanded from templates over a message that came from the network: names,
// subject, addresses, date texts, control lines and body of any bytes go through the reply and
// forward requests into the template input, and the sections and list lines come from the input
// too. The output must stay within what the macros can put there, and the caret offsets must name
// the caret markers of the text.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzBase.h"
#include "editor/Quote.h"
#include "editor/SendMessages.h"
#include "editor/Templates.h"
#include "reader/ReadingCommands.h"

namespace {

using namespace pelmar;

void Fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

size_t Ats(std::string_view text) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), '@'));
}

std::vector<std::string> Lines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find('\n', start), text.size());
        if (end > start) lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Control bytes, the message's from, to, subject, origin and destination addresses, date text,
    // control lines (one a line) and body, then the main sections, the closing sections, the
    // tearline list and the origin list.
    const auto parts = fuzz::SplitParts(data, size, 13);
    const std::string control(parts[0].substr(0, 6));
    auto flag = [&](size_t i) { return i < control.size() ? static_cast<uint8_t>(control[i]) : 0; };

    TShownMessage message;
    message.FromName = parts[1];
    message.ToName = parts[2];
    message.Subject = parts[3];
    message.OrigAddr = parts[4];
    message.DestAddr = parts[5];
    message.Kludges = Lines(parts[7]);
    message.Text = parts[8];
    const std::string dateText(parts[6]);
    const TDateTexts dates{dateText.substr(0, dateText.size() / 2), dateText.substr(dateText.size() / 2)};
    const bool withKludges = (flag(0) & 0x10) != 0;

    const TEditorMode modes[] = {TEditorMode::New, TEditorMode::Reply, TEditorMode::Forward,
                                 TEditorMode::ReadReceipt};
    const TEditorMode mode = modes[flag(0) & 3];
    TEditorRequest request;
    if (mode == TEditorMode::Reply || mode == TEditorMode::ReadReceipt) {
        request = ReplyRequest(message, nullptr, nullptr, withKludges, dates, BuildReplyQuote);
    } else if (mode == TEditorMode::Forward) {
        request = ForwardRequest(message, nullptr, withKludges, dates);
    } else {
        request.ToName = message.FromName;
    }

    // The editor's header: its own name and address from the input as well.
    TTemplateInput in;
    in.Mode = mode;
    TSendState state;
    state.FromName = message.ToName;
    state.SelectedAKA = message.DestAddr;
    state.ToName = request.ToName;
    state.DestAddress = request.ToAddress;
    state.DestAddressVisible = (flag(0) & 0x20) != 0;
    CollectHeaderValues(state, Lines(parts[3]), in);
    const size_t destinations = flag(1) % 5;
    for (size_t i = 0; i < destinations; ++i) {
        in.Destinations.push_back({"area" + std::to_string(i), i % 2 ? std::string(parts[3]) : "RU.TEST"});
    }
    if ((flag(0) & 0x40) != 0) in.OrigArea = TTemplateArea{flag(0) & 0x80 ? "area0" : "other", "SU.GENERAL"};
    in.TearlineIndex = static_cast<int8_t>(flag(2));
    in.OriginIndex = static_cast<int8_t>(flag(3));
    const TReplyContext reply = request.Reply.value_or(TReplyContext{});
    const TForwardContext forward = request.Forward.value_or(TForwardContext{});
    in.QuotedText = reply.QuotedText;
    in.OrigDate = reply.Date;
    in.OrigTime = reply.Time;
    in.OrigFrom = reply.FromName;
    in.OrigTo = reply.ToName;
    in.ForwardFrom = forward.From;
    in.ForwardTo = forward.To;
    in.ForwardSubject = forward.Subject;
    in.ForwardTime = forward.Time;
    in.ForwardDate = forward.Date;
    in.ForwardText = forward.Text;
    if (mode == TEditorMode::ReadReceipt) in.LetterDateTime = reply.DateTime;

    // Every section the expansion reads, and the bound: each '@' of a section's text can be a macro,
    // replaced by a value (at most the longest one) or by a list line whose own macros are replaced
    // the same way (a tearline line may hold the origin line). Cleaning never lengthens the text.
    const std::string mainSections(parts[9]), endSections(parts[10]);
    std::string tearlines(parts[11]), origins(parts[12]);
    // The reading commands take the message's own origin and tearlines into the lists.
    const std::optional<std::string> takenOrigin = TakeOriginLine(message.Text);
    const std::vector<std::string> takenTearlines = TakeTearlineLines(message.Text);
    if (takenOrigin && message.Text.find(*takenOrigin) == std::string::npos) Fail("origin not from the text");
    for (const std::string& line : takenTearlines) {
        if (message.Text.find(line) == std::string::npos) Fail("tearline not from the text");
    }
    if ((flag(4) & 1) != 0 && takenOrigin) origins += "\r\n" + *takenOrigin;
    if ((flag(4) & 2) != 0) {
        for (const std::string& line : takenTearlines) tearlines += "\r\n" + LibraryEntryToListLine(line);
    }
    size_t sectionBytes = 0;
    size_t sectionAts = 0;
    const TTemplateReader read = [&](const std::string& name) -> std::string {
        std::string text;
        if (name == tpl::TearlineList) return tearlines;
        if (name == tpl::OriginList) return origins;
        if (name == tpl::LetterEnd || name == tpl::ReplyEnd || name == tpl::Crossposted ||
            name == tpl::ReplyFromOtherArea)
            text = endSections;
        else
            text = mainSections;
        const size_t copies = name == tpl::Crossposted ? in.Destinations.size() : 1;
        sectionBytes += copies * text.size() + (name == tpl::Crossposted ? 2 : 0);
        sectionAts += copies * Ats(text);
        return text;
    };
    size_t longestValue = 0;
    for (const std::string* value :
         {&in.ToFirstName,    &in.ToLastName,   &in.ToFullName,  &in.ToAddress,   &in.FromFirstName,
          &in.FromLastName,   &in.FromFullName, &in.FromAddress, &in.QuotedText,  &in.OrigDate,
          &in.OrigTime,       &in.OrigFrom,     &in.OrigTo,      &in.ForwardFrom, &in.ForwardTo,
          &in.ForwardSubject, &in.ForwardTime,  &in.ForwardDate, &in.ForwardText, &in.LetterDateTime}) {
        longestValue = std::max(longestValue, value->size());
    }
    for (const TTemplateArea& area : in.Destinations)
        longestValue = std::max(longestValue, area.AreaName.size());
    if (in.OrigArea) longestValue = std::max(longestValue, in.OrigArea->AreaName.size());
    auto listLine = [](const std::string& list, int index) {
        const std::vector<std::string> lines = TemplateLines(list);
        return index >= 0 && static_cast<size_t>(index) < lines.size() ? lines[static_cast<size_t>(index)]
                                                                       : std::string();
    };
    const std::string origin = listLine(origins, in.OriginIndex);
    const std::string tearline = listLine(tearlines, in.TearlineIndex);
    const size_t originMax = origin.size() + Ats(origin) * longestValue;
    const size_t tearlineMax = tearline.size() + Ats(tearline) * std::max(longestValue, originMax);
    const size_t valueMax = std::max({longestValue, originMax, tearlineMax});

    // Templates that repeat macros over long lists multiply on purpose: an input is only expanded
    // while the most its sections could give stays small enough to check.
    const size_t copies = std::max<size_t>(in.Destinations.size(), 1);
    const size_t most = 3 * (mainSections.size() + copies * endSections.size()) +
                        3 * (Ats(mainSections) + copies * Ats(endSections)) * valueMax;
    if (most > (size_t{64} << 20)) return 0;

    const TExpandedTemplate out = ExpandTemplateWithCursor(in, read);
    const size_t bound = sectionBytes + sectionAts * valueMax;
    if (out.Text.size() > bound) Fail("expanded text longer than its sections and values allow");
    const std::string& marker = CursorMacro();
    for (size_t i = 0; i < out.Cursors.size(); ++i) {
        if (out.Text.compare(out.Cursors[i], marker.size(), marker) != 0) Fail("caret offset off its marker");
        if (i > 0 && out.Cursors[i] < out.Cursors[i - 1] + marker.size()) Fail("caret offsets out of order");
    }
    if (out.Text.find('\n') != std::string::npos) Fail("line feed left in the expanded text");
    const std::string letter = InsertAtCursor(out, "X");
    if (letter.size() + out.Cursors.size() * marker.size() != out.Text.size() + 1)
        Fail("caret text misplaced");
    return 0;
}
