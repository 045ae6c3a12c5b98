#include "editor/Templates.h"

#include <fstream>
#include <sstream>

#include "core/Address.h"
#include "core/Codepage.h"
#include "core/Settings.h"
#include "editor/Quote.h"
#include "msgbase/MessageBase.h"

namespace pelmar {

namespace {

std::string A(std::string_view utf8) {
    return Utf8ToAnsi(utf8);
}

struct TMacroNames {
    std::string Name, LastName, FullName, Address, OwnName, OwnLastName, OwnFullName, OwnAddress, Cursor,
        Quoted, OrigDate, OrigTime, OrigFrom, OrigTo, OrigArea, FwdFrom, FwdTo, FwdSubject, FwdTime, FwdDate,
        FwdText, Tearline, Origin, Area, LetterDateTime;
};

const TMacroNames& Names() {
    static const TMacroNames names{
        A("@Имя"),
        A("@Фамилия"),
        A("@ФИО"),
        A("@Адрес"),
        A("@СвоеИмя"),
        A("@СвояФамилия"),
        A("@СвоеФИО"),
        A("@СвойАдрес"),
        A("@Курсор"),
        A("@ТекстПисьмаОтвет"),
        A("@ДатаПисьмаОтвет"),
        A("@ВремяПисьмаОтвет"),
        A("@ОтветОт"),
        A("@ОтветКому"),
        A("@ОтветРаздел"),
        A("@ПереслатьОт"),
        A("@ПереслатьКому"),
        A("@ПереслатьТема"),
        A("@ПереслатьВремя"),
        A("@ПереслатьДата"),
        A("@ПереслатьТекст"),
        A("@Тирлайн"),
        A("@Ориджин"),
        A("@Раздел"),
        A("@ДатаВремяПисьмо"),
    };
    return names;
}

// A piece of the text being expanded; only template text is searched for macros. Values inserted
// verbatim are views of the input, which outlives the expansion.
struct TSegment {
    std::string Text;
    bool Expand = true;
    std::string_view View;  // verbatim pieces only
    std::string_view Bytes() const { return Expand ? std::string_view(Text) : View; }
};
using TSegments = std::vector<TSegment>;

TSegment Verbatim(std::string_view value) {
    return {{}, false, value};
}

void Replace(TSegments& segments, const std::string& macro, std::string_view value, bool expandValue) {
    TSegments out;
    out.reserve(segments.size() + 4);
    for (TSegment& seg : segments) {
        if (!seg.Expand || seg.Text.find(macro) == std::string::npos) {
            out.push_back(std::move(seg));
            continue;
        }
        size_t start = 0;
        for (size_t at = seg.Text.find(macro); at != std::string::npos; at = seg.Text.find(macro, start)) {
            out.push_back({seg.Text.substr(start, at - start)});
            out.push_back(expandValue ? TSegment{std::string(value)} : Verbatim(value));
            start = at + macro.size();
        }
        out.push_back({seg.Text.substr(start)});
    }
    segments = std::move(out);
}

bool IsValidUtf8WithNonAscii(const std::string& text) {
    bool nonAscii = false;
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = text[i];
        int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (extra < 0 || i + extra >= text.size()) return false;
        for (int k = 1; k <= extra; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) >> 6) != 2) return false;
        }
        nonAscii |= extra > 0;
        i += extra + 1;
    }
    return nonAscii;
}

std::string TrimRight(std::string text, char c) {
    while (!text.empty() && text.back() == c) text.pop_back();
    return text;
}

}  // namespace

const std::string& CursorMacro() {
    return Names().Cursor;
}

const std::vector<TMacroInfo>& Macros() {
    static const std::vector<TMacroInfo> macros = [] {
        const TMacroNames& n = Names();
        return std::vector<TMacroInfo>{
            {n.Name, MacroGroupAddressee, A("Имя адресата")},
            {n.LastName, MacroGroupAddressee, A("Фамилия адресата")},
            {n.FullName, MacroGroupAddressee, A("Полное имя адресата")},
            {n.Address, MacroGroupAddressee, A("Адрес человека, которому посылается письмо")},
            {n.OwnName, MacroGroupOwn, A("Свое имя")},
            {n.OwnLastName, MacroGroupOwn, A("Своя фамилия")},
            {n.OwnFullName, MacroGroupOwn, A("Свое полное имя")},
            {n.OwnAddress, MacroGroupOwn, A("Свой адрес")},
            {n.Cursor, MacroGroupCursor, A("На это место встанет курсор при редактировании письма")},
            {n.Quoted, MacroGroupReply,
             A("Текст письма, на который вы отвечаете, с расстановленными знаками цитирования")},
            {n.OrigDate, MacroGroupReply, A("Дата, когда было написано оригинальное письмо")},
            {n.OrigTime, MacroGroupReply, A("Время, когда было написано оригинальное письмо")},
            {n.OrigFrom, MacroGroupReply, A("От кого было оригинальное письмо")},
            {n.OrigTo, MacroGroupReply, A("Кому было адресовано оригинальное письмо")},
            {n.OrigArea, MacroGroupReplyArea, A("Раздел, из которого было письмо при ответе")},
            {n.FwdFrom, MacroGroupForward, A("От кого было исходное письмо")},
            {n.FwdTo, MacroGroupForward, A("Кому было адресовано исходное письмо")},
            {n.FwdSubject, MacroGroupForward, A("Тема исходного письма")},
            {n.FwdTime, MacroGroupForward, A("Время написания исходного письма")},
            {n.FwdDate, MacroGroupForward, A("Дата написания исходного письма")},
            {n.FwdText, MacroGroupForward, A("Текст исходного письма")},
            {n.Tearline, MacroGroupLists, A("Выбор одного из \"списка тирлайнов\"")},
            {n.Origin, MacroGroupLists, A("Выбрать один из \"списка ориджинов\"")},
            {n.Area, MacroGroupArea, A("Раздел, в который посылается письмо")},
            {n.LetterDateTime, MacroGroupDateTime, A("Дата/время исходного письма")},
        };
    }();
    return macros;
}

const std::vector<std::pair<std::string, std::string>>& DefaultTemplates() {
    static const std::vector<std::pair<std::string, std::string>> defaults = [] {
        const std::string slashes(46, '/');
        const std::string rule(37, '=');
        return std::vector<std::pair<std::string, std::string>>{
            {tpl::LetterBegin, A("Привет @Имя!\r\n\r\n@Курсор\r\n")},
            {tpl::LetterEnd, A("\r\nВсего хорошего,\r\n@СвоеИмя.\r\n\r\n--- @Тирлайн\r\n * Origin: @Ориджин "
                               "(@СвойАдрес)\r\n")},
            {tpl::ReplyBegin,
             A("Привет @Имя!\r\n\r\nОтвечаю на ваше письмо от @ДатаПисьмаОтвет, тогда писал(а) "
               "@ОтветОт \r\nк @ОтветКому, а было тогда на часах "
               "@ВремяПисьмаОтвет.\r\n\r\n@ТекстПисьмаОтвет\r\n\r\n@Курсор\r\n")},
            {tpl::ReplyEnd, A("\r\nВсего хорошего,\r\n@СвоеИмя.\r\n\r\n--- @Тирлайн \r\n * Origin: @Ориджин "
                              "(@СвойАдрес)\r\n")},
            {tpl::ReplyFromOtherArea, A("*** отвечая на письмо из раздела @ОтветРаздел\r\n")},
            {tpl::Crossposted, A("*** послано также в @Раздел\r\n")},
            {tpl::Forwarded, slashes +
                                 A("\r\n/// Переслал @СвоеФИО\r\n/// От: @ПереслатьОт\r\n/// Кому: "
                                   "@ПереслатьКому\r\n/// Тема: @ПереслатьТема\r\n/// Дата: @ПереслатьДата "
                                   "@ПереслатьВремя\r\n") +
                                 rule + A("\r\n\r\n@ПереслатьТекст\r\n") + rule + "\r\n"},
            {tpl::RobotNames, "AreaFix\r\nAllFix\r\nNetMgr\r\n"},
            {tpl::RobotLetter, A("@Курсор\r\n--- @Тирлайн\r\n * Origin: @Ориджин (@СвойАдрес)\r\n")},
            {tpl::FileInsertBegin, A("====вырежьте====\r\n")},
            {tpl::FileInsertEnd, A("====вырежьте====\r\n")},
            {tpl::Cut, A("[мыши сгрызли]\r\n\r\n.....\r\n\r\n[мыши сгрызли]\r\n")},
            {tpl::OriginList, "Per aspera ad astra\r\nAlways the best!\r\n"},
            {tpl::TearlineList, A("Пелмар 1.0 (Linux)\r\n")},
            {tpl::Kludges, "GIF: PELMAR\r\nCHRS: CP866 2\r\n"},
            {tpl::Change1, A("Н\r\n")},
            {tpl::Change2, "H\r\n"},
            {tpl::MacroList, A("Список макросов, которые можно использовать в шаблонах.\r\n"
                               "Макрос имеет смысл только в контексте определенного шаблона.\r\n"
                               "\r\n"
                               "@Имя - имя адресата\r\n"
                               "@Фамилия - фамилия адресата\r\n"
                               "@ФИО - полное имя адресата\r\n"
                               "@Адрес - адрес человека, которому посылается письмо (только нетмейл)\r\n"
                               "@СвоеИмя, @СвояФамилия, @СвоеФИО, @СвойАдрес - аналогично про себя\r\n"
                               "@Курсор - на это место встанет курсор при редактировании письма\r\n"
                               "@ТекстПисьмаОтвет - текст письма, на который вы отвечаете, с \r\n"
                               "расстановленными знаками цитирования\r\n"
                               "@ДатаПисьмаОтвет,@ВремяПисьмаОтвет - дата/время, когда было написано \r\n"
                               "оригинальное письмо\r\n"
                               "@ОтветОт,@ОтветКому - от/кому было адресовано оригинальное письмо\r\n"
                               "@ОтветРаздел - раздел, из которого было письмо при ответе\r\n"
                               "@ПереслатьОт,@ПереслатьКому,@ПереслатьТема,@ПереслатьВремя,@Перес\r\n"
                               "латьДата,@ПереслатьТекст - параметры письма при пересылке\r\n"
                               "@Тирлайн - выбрать один из \"списка тирлайнов\"\r\n"
                               "@Ориджин - выбрать один из ориджинов \r\n"
                               "\r\n"
                               "Шаблон клуджи добавляется в область kludges исходящих писем.\r\n")},
        };
    }();
    return defaults;
}

std::string DefaultTemplate(const std::string& name) {
    for (const auto& [section, text] : DefaultTemplates()) {
        if (section == name) return text;
    }
    return {};
}

bool WriteMissingDefaultTemplates() {
    bool ok = true;
    for (const auto& [section, text] : DefaultTemplates()) {
        if (!TemplateExists(section)) ok &= WriteTemplate(section, text);
    }
    return ok;
}

TTemplateReader StoreTemplateReader() {
    return [](const std::string& name) { return ReadTemplate(name); };
}

std::vector<std::string> TemplateLines(std::string_view text) {
    std::vector<std::string> lines;
    for (std::string_view line : SplitTextLines(text)) lines.emplace_back(line);
    return lines;
}

TExpandedTemplate ExpandTemplateWithCursor(const TTemplateInput& in, const TTemplateReader& read) {
    const TMacroNames& n = Names();
    TSegments segments;
    if (in.Destinations.size() > 1) {
        const std::string crossposted = read(tpl::Crossposted);
        for (const TTemplateArea& area : in.Destinations) {
            TSegments line{{crossposted}};
            Replace(line, n.Area, area.AreaName, false);
            segments.insert(segments.end(), line.begin(), line.end());
        }
        segments.push_back({"\r\n"});
    }
    if (in.Mode == TEditorMode::Reply && in.OrigArea) {
        bool among = false;
        for (const TTemplateArea& area : in.Destinations) among |= area.Id == in.OrigArea->Id;
        if (!among) segments.push_back({read(tpl::ReplyFromOtherArea)});
    }
    std::vector<std::string> body;
    if (in.Mode == TEditorMode::ReadReceipt) {
        body = {tpl::ConfirmationRead};
    } else if (in.IsRobot) {
        body = {tpl::RobotLetter};
    } else if (in.Mode == TEditorMode::Reply) {
        body = {tpl::ReplyBegin, tpl::ReplyEnd};
    } else if (in.Mode == TEditorMode::Forward) {
        body = {tpl::Forwarded, tpl::LetterBegin, tpl::LetterEnd};
    } else {
        body = {tpl::LetterBegin, tpl::LetterEnd};
    }
    for (const std::string& section : body) segments.push_back({read(section)});

    auto listLine = [&](const std::string& section, int index) -> std::optional<std::string> {
        const std::vector<std::string> lines = TemplateLines(read(section));
        if (index < 0 || static_cast<size_t>(index) >= lines.size()) return std::nullopt;
        return lines[static_cast<size_t>(index)];
    };
    if (auto line = listLine(tpl::TearlineList, in.TearlineIndex)) Replace(segments, n.Tearline, *line, true);
    if (auto line = listLine(tpl::OriginList, in.OriginIndex)) Replace(segments, n.Origin, *line, true);

    const std::pair<const std::string*, const std::string*> ordered[] = {
        {&n.Name, &in.ToFirstName},
        {&n.LastName, &in.ToLastName},
        {&n.FullName, &in.ToFullName},
        {&n.Address, &in.ToAddress},
        {&n.OwnName, &in.FromFirstName},
        {&n.OwnLastName, &in.FromLastName},
        {&n.OwnFullName, &in.FromFullName},
        {&n.OwnAddress, &in.FromAddress},
        {&n.Quoted, &in.QuotedText},
        {&n.OrigDate, &in.OrigDate},
        {&n.OrigTime, &in.OrigTime},
        {&n.OrigFrom, &in.OrigFrom},
        {&n.OrigTo, &in.OrigTo},
    };
    for (const auto& [macro, value] : ordered) Replace(segments, *macro, *value, false);
    if (in.OrigArea) Replace(segments, n.OrigArea, in.OrigArea->AreaName, false);
    const std::pair<const std::string*, const std::string*> forward[] = {
        {&n.FwdFrom, &in.ForwardFrom},           {&n.FwdTo, &in.ForwardTo},
        {&n.FwdSubject, &in.ForwardSubject},     {&n.FwdTime, &in.ForwardTime},
        {&n.FwdDate, &in.ForwardDate},           {&n.FwdText, &in.ForwardText},
        {&n.LetterDateTime, &in.LetterDateTime},
    };
    for (const auto& [macro, value] : forward) Replace(segments, *macro, *value, false);

    // Joined and cleaned in one pass: no LF, soft CR (0x8D) as a blank. The caret markers are looked
    // for in the template pieces only, so a quoted "@Курсор" stays text.
    TExpandedTemplate out;
    std::string& text = out.Text;
    size_t total = 0;
    for (const TSegment& seg : segments) total += seg.Bytes().size();
    text.reserve(total);
    auto appendClean = [&text](std::string_view bytes) {
        size_t start = 0;
        for (size_t i = 0; i < bytes.size(); ++i) {
            const char c = bytes[i];
            if (c != '\n' && c != '\x8D') continue;
            text.append(bytes, start, i - start);
            if (c == '\x8D') text += ' ';
            start = i + 1;
        }
        text.append(bytes, start, std::string_view::npos);
    };
    const std::string& marker = n.Cursor;
    for (const TSegment& seg : segments) {
        const std::string_view bytes = seg.Bytes();
        if (!seg.Expand) {
            appendClean(bytes);
            continue;
        }
        size_t start = 0;
        for (size_t at = bytes.find(marker); at != std::string_view::npos; at = bytes.find(marker, start)) {
            appendClean(bytes.substr(start, at - start));
            out.Cursors.push_back(text.size());
            text += marker;
            start = at + marker.size();
        }
        appendClean(bytes.substr(start));
    }
    return out;
}

std::string ExpandTemplate(const TTemplateInput& input, const TTemplateReader& read) {
    return ExpandTemplateWithCursor(input, read).Text;
}

std::string ExpandTemplate(const TTemplateInput& input) {
    return ExpandTemplate(input, StoreTemplateReader());
}

std::vector<std::string> ReadLibrary(const std::string& fileName) {
    std::ifstream in(Settings.ProgramFolder + fileName, std::ios::binary);
    if (!in) return {};
    std::ostringstream bytes;
    bytes << in.rdbuf();
    std::string text = bytes.str();
    // Library files written on this system are UTF-8; ones carried over from Windows are CP1251.
    if (IsValidUtf8WithNonAscii(text)) text = Utf8ToAnsi(text);
    std::vector<std::string> lines;
    for (std::string& line : TemplateLines(text)) {
        if (!line.empty()) lines.push_back(std::move(line));
    }
    return lines;
}

std::string LibraryEntryToListLine(const std::string& entry) {
    std::string line = entry;
    size_t from = 0;
    for (;;) {
        const size_t open = line.find('(', from);
        if (open == std::string::npos) break;
        const size_t close = line.find(')', open + 1);
        if (close == std::string::npos) break;
        if (!IsValidAddress(line.substr(open + 1, close - open - 1))) break;
        line.erase(open, close - open + 1);
        from = open;
    }
    return line;
}

std::optional<std::string> TakeOriginLine(std::string_view text) {
    const std::string body = TrimRight(std::string(text), '\r');
    const size_t cr = body.rfind('\r');
    if (cr == std::string::npos) return std::nullopt;
    std::string last = body.substr(cr + 1);
    if (last.rfind(" * Origin:", 0) != 0) return std::nullopt;
    last.erase(0, std::min<size_t>(11, last.size()));
    if (!last.empty() && last.back() == ')') {
        const size_t open = last.rfind('(');
        if (open != std::string::npos) last.erase(open);
    }
    return last;
}

std::vector<std::string> TakeTearlineLines(std::string_view text) {
    const std::string body = TrimRight(std::string(text), '\r');
    std::vector<std::string> lines = TemplateLines(body);
    std::vector<std::string> found;
    for (size_t i = lines.size() > 0 ? lines.size() - 1 : 0; i-- > 0;) {
        if (lines[i].rfind("---", 0) == 0)
            found.push_back(lines[i].substr(std::min<size_t>(4, lines[i].size())));
    }
    return found;
}

bool AddListLine(const std::string& section, const std::string& line, bool* saveFailed) {
    if (saveFailed != nullptr) *saveFailed = false;
    const std::string text = ReadTemplate(section);
    std::vector<std::string> lines = TemplateLines(text);
    for (const std::string& existing : lines) {
        if (AnsiSameText(existing, line)) return false;
    }
    lines.push_back(line);
    const bool ok = WriteTemplate(section, StringListToText(lines));
    if (!ok && saveFailed != nullptr) *saveFailed = true;
    return true;
}

}  // namespace pelmar
