#include "editor/SendMessages.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "areas/gizmo.h"
#include "core/Codepage.h"
#include "core/Settings.h"
#include "editor/TosserHandoff.h"
#include "reader/MainWindowServices.h"

namespace pelmar {

namespace {

std::string A(std::string_view utf8) {
    return Utf8ToAnsi(utf8);
}

// A 0x01 typed by the user would start a forged control line.
void NeutraliseControl(std::string& text) {
    std::replace(text.begin(), text.end(), '\x01', '@');
}

struct TLetter {
    const TSendState& State;
    const TTemplateReader& Read;
    std::vector<std::string> TemplateKludges;
};

void FillHeader(TMessageBase& base, const TLetter& letter, const std::string& origAddr,
                const std::string& subject) {
    const TSendState& s = letter.State;
    TNewHeader header;
    header.FromName = s.FromName;
    header.ToName = s.ToName;
    header.Subject = subject;
    header.OrigAddr = origAddr;
    if (s.DestAddressVisible) header.DestAddr = s.DestAddress;
    header.Attr = s.Attributes;
    header.Read = true;
    header.ReplyMsgId = s.ReplyMsgId;
    header.ExtraKludges = letter.TemplateKludges;
    FillNewHeader(base, header);
}

// The warnings of the message just written, passed to the result and the status line.
void TakeWarnings(const TAreaInfo& area, TMessageBase& base, TSendResult& result) {
    for (const std::string& warning : base.Warnings) {
        result.Warnings.push_back(AreaLabel(area) + ": " + warning);
        MainWindowServices().SetStatusText(result.Warnings.back());
    }
    base.Warnings.clear();
}

// Writes under the area's lock: Done, or Refused / Failed with the reason.
TItemOutcome Write(TAreaInfo& area, TMessageBase& base) {
    try {
        const TAreaLock lock(area);
        base.Warnings.clear();
        if (!base.WriteMessage()) return RefusedBy(area, base);
    } catch (const std::exception& e) {
        return FailedIn(area, e.what());
    }
    return {};
}

std::string OriginFor(const TAreaInfo& area, const TSendState& s) {
    if (s.AutoAKA && !area.IsNetmail && !area.UseAKA.empty()) {
        for (const std::string& aka : Settings.SelfAKA) {
            if (aka == area.UseAKA) return area.UseAKA;
        }
    }
    return s.SelectedAKA;
}

std::string PartSubject(const std::string& subject, int k, int n) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, " [%d/%d]", k, n);
    return subject + suffix;
}

// The expanded template cut at its caret marker (all of it after when there is none), without its
// further markers.
void SplitAtCursor(const TExpandedTemplate& expanded, std::string& before, std::string& after) {
    const std::string& text = expanded.Text;
    const size_t length = CursorMacro().size();
    before.clear();
    after.clear();
    size_t start = 0;
    for (size_t i = 0; i < expanded.Cursors.size(); ++i) {
        const size_t at = expanded.Cursors[i];
        if (at < start || at > text.size()) continue;
        (i == 0 ? before : after).append(text, start, at - start);
        start = std::min(text.size(), at + length);
    }
    after.append(text, start, std::string::npos);
}

// The text of part k >= 2: the template with the section where its caret marker stood (at the start
// when there is none). Replacements run before the encoded text goes in.
std::string PartText(const TLetter& letter, const std::string& section) {
    std::string before, after;
    SplitAtCursor(ExpandTemplateWithCursor(letter.State.Template, letter.Read), before, after);
    before = ApplyReplacements(before, letter.Read);
    after = ApplyReplacements(after, letter.Read);
    NeutraliseControl(before);
    NeutraliseControl(after);
    return before + CleanText(section) + after;
}

// The body with the replacements, leaving the first section of an inserted file untouched.
std::string ReplaceBody(const std::string& body, const TSendState& s, const TTemplateReader& read) {
    if (!s.UUSections.empty()) {
        for (const std::string& form : {s.UUSections.front(), CleanText(s.UUSections.front())}) {
            const size_t at = form.empty() ? std::string::npos : body.find(form);
            if (at == std::string::npos) continue;
            return ApplyReplacements(body.substr(0, at), read) + form +
                   ApplyReplacements(body.substr(at + form.size()), read);
        }
    }
    return ApplyReplacements(body, read);
}

TSendResult EditInPlace(TSendState& s, const TLetter& letter) {
    TSendResult result;
    TAreaInfo* area = s.Destinations.empty() ? nullptr : s.Destinations.front();
    if (area == nullptr) return result;
    const TOpenedBase opened(*area, TBaseMode::Shared);
    if (!opened) {
        result.Failed.push_back({area, {1}, NotOpenReason(*area), TItemResult::Refused});
        return result;
    }
    TMessageBase& base = *opened.get();
    TSendFailure failure{area, {1}, {}, TItemResult::Refused};
    try {
        const TAreaLock lock(*area);
        // Another program may have added or removed messages: the position must still hold the
        // message the list showed.
        const TItemOutcome listed =
            RecogniseListed(*area, base, {s.EditContext.MessagePosition, s.EditContext.Listed, false});
        if (listed.Result != TItemResult::Done) {
            failure.Result = listed.Result;
            failure.Reason = listed.Reason;
        } else {
            // Without an own address chosen the message keeps the one it has.
            std::string origAddr = s.SelectedAKA;
            if (origAddr.empty()) {
                base.ReadMessage(s.EditContext.MessagePosition);
                origAddr = base.OrigAddr;
            }
            base.PrepareRewrite();
            FillHeader(base, letter, origAddr, s.Subject);
            base.Text = s.Body;
            base.Warnings.clear();
            if (!base.WriteMessage()) failure.Reason = RefusedBy(*area, base).Reason;
        }
    } catch (const std::exception& e) {
        failure.Result = TItemResult::Failed;
        failure.Reason = e.what();
    }
    if (!failure.Reason.empty()) {
        result.Failed.push_back(std::move(failure));
        return result;
    }
    ++result.Written;
    MainWindowServices().MessageChanged(*area, base.Current, s.EditContext.ListMsgId);
    TakeWarnings(*area, base, result);
    return result;
}

}  // namespace

std::string ApplyReplacements(const std::string& text, const std::vector<std::string>& from,
                              const std::vector<std::string>& to) {
    std::string current = text;
    for (size_t i = 0; i < from.size(); ++i) {
        const std::string& pattern = from[i];
        if (pattern.empty() || current.find(pattern) == std::string::npos) continue;
        const std::string& replacement = i < to.size() ? to[i] : std::string();
        std::string out;
        out.reserve(current.size());
        size_t start = 0;
        for (size_t at = current.find(pattern); at != std::string::npos; at = current.find(pattern, start)) {
            out.append(current, start, at - start);
            out += replacement;
            start = at + pattern.size();
        }
        out.append(current, start, std::string::npos);
        current = std::move(out);
    }
    return current;
}

std::string ApplyReplacements(const std::string& text, const TTemplateReader& read) {
    return ApplyReplacements(text, TemplateLines(read(tpl::Change1)), TemplateLines(read(tpl::Change2)));
}

std::string ApplyReplacements(const std::string& text) {
    return ApplyReplacements(text, StoreTemplateReader());
}

void CollectHeaderValues(const TSendState& s, const std::vector<std::string>& robotNames,
                         TTemplateInput& in) {
    auto words = [](const std::string& name, std::string& first, std::string& second) {
        const std::vector<std::string> parts = [&] {
            std::vector<std::string> out;
            size_t p = 0;
            while (p < name.size()) {
                const size_t start = name.find_first_not_of(' ', p);
                if (start == std::string::npos) break;
                const size_t end = name.find(' ', start);
                out.push_back(name.substr(start, end == std::string::npos ? std::string::npos : end - start));
                p = end == std::string::npos ? name.size() : end;
            }
            return out;
        }();
        first = parts.size() > 0 ? parts[0] : std::string();
        second = parts.size() > 1 ? parts[1] : std::string();
    };
    words(s.ToName, in.ToFirstName, in.ToLastName);
    in.ToFullName = s.ToName;
    words(s.FromName, in.FromFirstName, in.FromLastName);
    in.FromFullName = s.FromName;
    if (!s.SelectedAKA.empty()) in.FromAddress = s.SelectedAKA;
    in.ToAddress = s.DestAddressVisible ? s.DestAddress : std::string();
    in.IsRobot = false;
    for (const std::string& robot : robotNames) in.IsRobot |= AnsiSameText(robot, s.ToName);
}

std::string InsertAtCursor(const TExpandedTemplate& expanded, const std::string& text) {
    std::string before, after;
    SplitAtCursor(expanded, before, after);
    return before + text + after;
}

std::string InsertAtCursor(const std::string& expanded, const std::string& text) {
    const std::string& marker = CursorMacro();
    TExpandedTemplate all{expanded, {}};
    for (size_t at = expanded.find(marker); at != std::string::npos;
         at = expanded.find(marker, at + marker.size()))
        all.Cursors.push_back(at);
    return InsertAtCursor(all, text);
}

TSendResult SendMessages(TSendState& s, const TTemplateReader& read) {
    for (std::string* field : {&s.FromName, &s.ToName, &s.Subject}) {
        *field = ApplyReplacements(*field, read);
        NeutraliseControl(*field);
    }
    s.Body = ReplaceBody(s.Body, s, read);
    NeutraliseControl(s.Body);

    TLetter letter{s, read, TemplateLines(read(tpl::Kludges))};
    if (s.IsEditMessage) return EditInPlace(s, letter);

    TSendResult result;
    const int parts = s.UUSplit ? std::max<int>(1, static_cast<int>(s.UUSections.size())) : 1;
    for (TAreaInfo* area : s.Destinations) {
        if (area == nullptr) continue;
        std::vector<int> todo;
        if (auto only = s.OnlyParts.find(area); only != s.OnlyParts.end()) {
            todo = only->second;
        } else {
            for (int k = 1; k <= parts; ++k) todo.push_back(k);
        }
        if (todo.empty()) continue;
        const TOpenedBase opened(*area, TBaseMode::Shared);
        if (!opened) {
            result.Failed.push_back({area, todo, NotOpenReason(*area), TItemResult::Refused});
            continue;
        }
        TMessageBase* base = opened.get();
        const std::string origAddr = OriginFor(*area, s);
        bool wrote = false;
        for (size_t i = 0; i < todo.size(); ++i) {
            const int k = todo[i];
            if (k < 1 || k > parts) continue;
            TItemOutcome written;
            try {
                base->NewMessage();
                FillHeader(*base, letter, origAddr, s.UUSplit ? PartSubject(s.Subject, k, parts) : s.Subject);
                base->Text = k == 1 ? s.Body : PartText(letter, s.UUSections[static_cast<size_t>(k - 1)]);
                written = Write(*area, *base);
            } catch (const std::exception& e) {
                written = FailedIn(*area, e.what());
            }
            if (written.Result != TItemResult::Done) {
                // The later parts would only fail the same way; all of them stay for a retry.
                result.Failed.push_back(
                    {area, std::vector<int>(todo.begin() + static_cast<std::ptrdiff_t>(i), todo.end()),
                     written.Reason, written.Result});
                break;
            }
            ++area->MsgCount;
            ++result.Written;
            wrote = true;
            MainWindowServices().MessageAdded(*area, base->Current);
            TellTosser(*area, *base, base->Warnings);
            TakeWarnings(*area, *base, result);
        }
        if (wrote) MainWindowServices().UpdateAreaNode(*area);
    }
    return result;
}

std::string TSendResult::Summary() const {
    std::vector<TItemOutcome> outcomes;
    for (const TSendFailure& failure : Failed)
        outcomes.push_back({failure.Result,
                            failure.Area != nullptr ? AreaLabel(*failure.Area) : std::string(),
                            failure.Reason});
    return OutcomeSummary(A("Письмо не записано в области:"), outcomes);
}

TSendResult SendMessages(TSendState& state) {
    return SendMessages(state, StoreTemplateReader());
}

}  // namespace pelmar
