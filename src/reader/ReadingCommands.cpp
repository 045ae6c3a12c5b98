#include "reader/ReadingCommands.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "areas/AreaTitles.h"
#include "areas/gizmo.h"
#include "core/Codepage.h"
#include "core/Settings.h"
#include "core/TextUtils.h"
#include "reader/MessageTransfer.h"

namespace pelmar {

TShownMessage TakeShownMessage(const TMessageBase& base) {
    TShownMessage message;
    message.FromName = base.FromName;
    message.ToName = base.ToName;
    message.Subject = base.Subject;
    message.OrigAddr = base.OrigAddr;
    message.DestAddr = base.DestAddr;
    message.MsgId = base.MsgId;
    message.ReplyId = base.ReplyId;
    message.Date = base.Date;
    message.Kludges = base.Kludges;
    message.Text = base.Text;
    message.Attr = base.Attr;
    message.Read = base.Read;
    message.Position = base.Current;
    return message;
}

TCodePageSwitchScope::TCodePageSwitchScope(bool windowsCodePage) : saved_(Settings.TextInWindowsCodePage) {
    Settings.TextInWindowsCodePage = windowsCodePage;
}

TCodePageSwitchScope::~TCodePageSwitchScope() {
    Settings.TextInWindowsCodePage = saved_;
}

std::string KludgeViewText(const std::string& body, const std::vector<std::string>& kludges) {
    std::string text;
    if (kludges.empty()) return text;
    if (!body.empty() && body.back() != '\r') text += '\r';
    for (size_t i = 0; i < kludges.size(); ++i) {
        if (i > 0) text += '\r';
        text += kludges[i];
    }
    return text;
}

namespace {

std::string WithAddress(const std::string& name, const std::string& address, const char* open,
                        const char* close) {
    if (address.empty()) return name;
    return name + open + address + close;
}

// Lines of a CR-ended text; a final CR adds no empty line.
std::vector<std::string_view> CrLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\r', start);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to) {
    size_t pos = 0;
    while ((pos = text.find(from, pos)) != std::string::npos) {
        text.replace(pos, from.size(), to);
        pos += to.size();
    }
    return text;
}

}  // namespace

std::string SenderText(const TShownMessage& message) {
    return WithAddress(message.FromName, message.OrigAddr, " [", "]");
}

std::string AddresseeText(const TShownMessage& message) {
    return WithAddress(message.ToName, message.DestAddr, " [", "]");
}

std::string PrintTitle(const TShownMessage& message) {
    return message.FromName + "-" + message.ToName + ": " + message.Subject;
}

std::string SavedTextFile(const TShownMessage& message, bool withHeader, const std::string& areaDescription,
                          const std::string& dateText) {
    std::string out;
    if (withHeader) {
        const std::string rule(61, '-');
        out += rule + "\n";
        out += " Конференция: " + AnsiToUtf8(areaDescription) + "\n";
        out += " От:          " + AnsiToUtf8(SenderText(message)) + "\n";
        out += " Кому:        " + AnsiToUtf8(AddresseeText(message)) + "\n";
        out += " Тема:        " + AnsiToUtf8(message.Subject) + "\n";
        out += " Дата:        " + AnsiToUtf8(dateText) + "\n";
        out += rule + "\n";
    }
    for (const std::string_view line : CrLines(message.Text)) {
        out += AnsiToUtf8(line);
        out += '\n';
    }
    return out;
}

std::string SavedRtfFile(const std::string& document) {
    constexpr std::string_view kStart = "{\\rtf1";
    if (document.compare(0, kStart.size(), kStart) != 0) return document;
    std::string out = document;
    const size_t at = kStart.size();
    // The plain document already names its character set; the coloured one does not.
    if (out.compare(at, 5, "\\ansi") == 0) {
        out.insert(at + 5, "\\ansicpg1251");
    } else {
        out.insert(at, "\\ansi\\ansicpg1251");
    }
    return out;
}

std::string NumberedFileName(const std::string& chosen, int counter) {
    const size_t slash = chosen.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = chosen.find('.', nameStart);
    const std::string number = std::to_string(counter);
    if (dot == std::string::npos) return chosen + number;
    return chosen.substr(0, dot) + number + chosen.substr(dot);
}

namespace {

bool WriteWhole(const std::string& path, const std::string& bytes, std::string& error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out) out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (out) out.close();
    if (out) return true;
    error = "Не удалось записать файл " + path + ": " + std::strerror(errno);
    return false;
}

}  // namespace

std::vector<TItemOutcome> SaveListed(const TAreaInfo& area, TMessageBase& base,
                                     const std::vector<TListedMessage>& items, TSaveFormat format,
                                     const std::string& chosen, int fontIndex,
                                     const std::function<std::string(TDateTime)>& dateText) {
    std::vector<TItemOutcome> outcomes;
    outcomes.reserve(items.size());
    int counter = 1;
    for (const TListedMessage& item : items) {
        if (!outcomes.empty() && outcomes.back() == TItemResult::Failed) {
            outcomes.push_back(
                {TItemResult::Failed, {}, Utf8ToAnsi("не сохранено: запись остановлена после ошибки")});
            continue;
        }
        TItemOutcome listed =
            RecognisedBy(AreaLabel(area), [&] { return RereadMessage(base, item.Position, item.Identity); });
        if (listed.Result != TItemResult::Done) {
            outcomes.push_back(std::move(listed));
            continue;
        }
        std::string content;
        if (format == TSaveFormat::Rtf) {
            base.FontIndex = fontIndex;
            base.OemView = false;
            base.RenderRtf(content);
            content = SavedRtfFile(content);
        } else {
            const TShownMessage message = TakeShownMessage(base);
            content = SavedTextFile(message, format == TSaveFormat::TextWithHeader, AreaDisplayName(area),
                                    dateText ? dateText(message.Date) : std::string());
        }
        const std::string name = items.size() < 2 ? chosen : NumberedFileName(chosen, counter);
        std::string error;
        if (WriteWhole(name, content, error)) {
            outcomes.emplace_back();
            ++counter;
        } else {
            outcomes.push_back({TItemResult::Failed, {}, Utf8ToAnsi(error)});
        }
    }
    return outcomes;
}

uint16_t DefaultAttributes(const TAreaInfo* area) {
    return area != nullptr && area->IsNetmail ? Settings.NetmailDef : Settings.EchomailDef;
}

std::string DefuseOriginAndTearline(std::string text) {
    return ReplaceAll(ReplaceAll(std::move(text), " * Origin: ", " + Origin: "), "---", "-+-");
}

TEditorRequest NewLetterRequest(TAreaInfo* currentArea) {
    TEditorRequest request;
    request.Mode = TEditorMode::New;
    // The kind, not an open base, decides: the shown area's base may not be open at this moment.
    if (currentArea != nullptr && currentArea->Zilo == ZiloOrdinary && currentArea->Kind > AreaKindFolder) {
        request.Attributes = DefaultAttributes(currentArea);
        request.Destinations = {currentArea};
        request.ToName = "All";
    } else {
        request.Attributes = AttrLocal;
    }
    return request;
}

TEditorRequest ReplyRequest(const TShownMessage& message, TAreaInfo* currentArea, TAreaInfo* target,
                            bool withKludges, const TDateTexts& dates, const TQuoteBuilder& quote) {
    TEditorRequest request;
    request.Mode = TEditorMode::Reply;
    request.Attributes = DefaultAttributes(currentArea);
    TReplyContext context;
    if (quote) context.QuotedText = quote(message.Text, message.Kludges, message.FromName, withKludges);
    context.QuotedText = DefuseOriginAndTearline(std::move(context.QuotedText));
    context.Date = dates.ShortDate;
    context.Time = dates.LongTime;
    context.DateTime = dates.ShortDate + " " + dates.LongTime;
    context.FromName = message.FromName;
    context.ToName = message.ToName;
    context.SourceArea = currentArea;
    context.MsgId = message.MsgId;
    request.Reply = std::move(context);
    request.ToName = message.FromName;
    request.ToAddress = message.OrigAddr;
    request.Subject = CompactReplyPrefix("Re", "Re: " + message.Subject);
    if (target != nullptr) request.Destinations = {target};
    return request;
}

TEditorRequest ForwardRequest(const TShownMessage& message, TAreaInfo* currentArea, bool withKludges,
                              const TDateTexts& dates) {
    TEditorRequest request;
    request.Mode = TEditorMode::Forward;
    request.Attributes = DefaultAttributes(currentArea);
    std::string text;
    for (const std::string_view line : CrLines(message.Text)) {
        text += line;
        text += "\r\n";
    }
    if (withKludges) {
        for (const std::string& kludge : message.Kludges) text += "@" + kludge + "\r\n";
    }
    TForwardContext context;
    context.Text = DefuseOriginAndTearline(std::move(text));
    context.Date = dates.ShortDate;
    context.Time = dates.LongTime;
    context.From = WithAddress(message.FromName, message.OrigAddr, " <", ">");
    context.To = WithAddress(message.ToName, message.DestAddr, " <", ">");
    context.Subject = message.Subject;
    request.Forward = std::move(context);
    request.ToName = "All";
    request.Subject = CompactReplyPrefix("Fwd", "Fwd: " + message.Subject);
    return request;
}

TEditorRequest EditRequest(const TShownMessage& message, TAreaInfo* currentArea, const std::string& listKey) {
    TEditorRequest request;
    request.Mode = TEditorMode::Edit;
    TEditContext context;
    for (size_t i = 0; i < message.Text.size(); ++i) {
        const char c = message.Text[i];
        if (c == '\r') {
            context.Body += "\r\n";
            if (i + 1 < message.Text.size() && message.Text[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            context.Body += "\r\n";
        } else {
            context.Body += c;
        }
    }
    context.MessagePosition = message.Position;
    context.ListMsgId = listKey;
    context.Listed = {message.MsgId, message.FromName, message.ToName, message.Subject, message.Date};
    request.Edit = std::move(context);
    request.FromName = message.FromName;
    if (!message.OrigAddr.empty()) {
        request.FromAddresses = {message.OrigAddr};
        request.SelectedFromAddress = message.OrigAddr;
    }
    request.ToName = message.ToName;
    request.ToAddress = message.DestAddr;
    request.Subject = message.Subject;
    request.Attributes = message.Attr;
    if (currentArea != nullptr) request.Destinations = {currentArea};
    return request;
}

TEditorRequest ReadReceiptRequest(const TShownMessage& message, TAreaInfo* currentArea,
                                  const TDateTexts& dates) {
    TEditorRequest request;
    request.Mode = TEditorMode::ReadReceipt;
    request.Attributes = AttrLocal | AttrRetRcpt;
    TReplyContext context;
    context.Date = dates.ShortDate;
    context.Time = dates.LongTime;
    context.DateTime = dates.ShortDate + " " + dates.LongTime;
    context.FromName = message.FromName;
    context.ToName = message.ToName;
    context.SourceArea = currentArea;
    context.MsgId = message.MsgId;
    request.Reply = std::move(context);
    request.ToName = message.FromName;
    request.ToAddress = message.OrigAddr;
    request.Subject = message.Subject;
    if (currentArea != nullptr) request.Destinations = {currentArea};
    return request;
}

TEditorRequest NetmailToRequest(const std::string& address, TAreaInfo* currentArea, TAreaInfo* netmailArea) {
    TEditorRequest request;
    request.Mode = TEditorMode::New;
    request.ToAddress = address;
    request.ToAddresses = {address};
    request.Attributes = DefaultAttributes(currentArea);
    if (netmailArea != nullptr) request.Destinations = {netmailArea};
    return request;
}

bool TReceiptLog::ShouldOffer(const TShownMessage& message, bool entryUnread, const std::string& areaId) {
    if (!entryUnread) return false;
    if ((message.Attr & AttrRqRcpt) == 0 || (message.Attr & AttrLocal) != 0) return false;
    // Messages without a MSGID are told apart by their header.
    std::string key = message.MsgId;
    if (key.empty())
        key = message.FromName + '\x01' + message.Subject + '\x01' + std::to_string(message.Date);
    return offered_.emplace(areaId, std::move(key)).second;
}

}  // namespace pelmar
