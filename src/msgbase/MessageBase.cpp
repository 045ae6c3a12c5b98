#include "msgbase/MessageBase.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "core/Address.h"
#include "core/Codepage.h"
#include "core/Errors.h"
#include "core/Settings.h"
#include "core/TextUtils.h"
#include "msgbase/BodyText.h"
#include "platform/SerialCounter.h"

namespace pelmar {

void AddBaseWarnings(std::vector<std::string>& collected, const std::vector<std::string>& warnings) {
    for (const std::string& line : warnings) {
        if (std::find(collected.begin(), collected.end(), line) == collected.end()) collected.push_back(line);
    }
}

const char* const AttrNames[AttrCount] = {"Local",  "KillSent", "Sent",    "Crash",     "Direct",
                                          "RqRcpt", "ReqAudit", "RetRcpt", "FileAttach"};

namespace {

constexpr const char* MonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr double SecondsPerDay = 86400.0;
// Day number of 1899-12-30 (date-time 0) and of 1970-01-01.
constexpr int64_t DateTimeEpochJdn = 2415019;
constexpr int64_t UnixEpochJdn = 2440588;

bool HasPrefix(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

// A decimal number with optional surrounding spaces and sign; nullopt-like false for anything else.
bool ParseDecimal(std::string_view text, int64_t& value) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    size_t end = text.size();
    while (end > i && text[end - 1] == ' ') --end;
    bool negative = false;
    if (i < end && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == end || end - i > 12) return false;
    int64_t result = 0;
    for (; i < end; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        result = result * 10 + (text[i] - '0');
    }
    value = negative ? -result : result;
    return true;
}

// Days of a proleptic-Gregorian date since 1970-01-01 and back (the civil-from-days conversion).
void CivilFromDays(int64_t days, int& year, int& month, int& day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t doe = days - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

// A numeric field of a date text; `fallback` when it does not parse.
int DateField(std::string_view text, size_t pos, size_t len, int fallback) {
    int64_t value = 0;
    if (!ParseDecimal(text.substr(pos - 1, len), value)) return fallback;
    if (value < -100000 || value > 100000) return -1;  // out of range either way
    return static_cast<int>(value);
}

int MonthFromName(std::string_view name) {
    for (int i = 0; i < 12; ++i) {
        if (name == MonthNames[i]) return i + 1;
    }
    throw EConvertError("Неизвестный месяц в дате: '" + std::string(name) + "'");
}

int CenturyYear(int yy, int threshold) {
    if (yy < 0 || yy > 99) return -1;  // rejected by EncodeDateTime
    return yy >= threshold ? 1900 + yy : 2000 + yy;
}

std::vector<std::string> SplitWords(std::string_view text) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ' ') ++i;
        const size_t start = i;
        while (i < text.size() && text[i] != ' ') ++i;
        if (i > start) words.emplace_back(text.substr(start, i - start));
    }
    return words;
}

uint16_t ParsePointLine(const std::string& line) {
    int64_t value = 0;
    if (!ParseDecimal(std::string_view(line).substr(5), value) || value < 0 || value > 65535) {
        throw EConvertError("'" + line.substr(5) + "' - недопустимое целое число");
    }
    return static_cast<uint16_t>(value);
}

std::string ZoneNetNode(const TNetAddress& a) {
    return FormatAddress(a.Zone, a.Net, a.Node, 0);
}

}  // namespace

// ---- Attributes and text -----------------------------------------------------------------------------

std::string AttrText(uint16_t attr) {
    std::string text;
    for (int bit = 0; bit < AttrCount; ++bit) {
        if (attr & (1u << bit)) {
            text += AttrNames[bit];
            text += ' ';
        }
    }
    return text;
}

bool ParseAttrText(const std::string& text, uint16_t& attr) {
    attr = 0;
    std::string spaced = text;
    std::replace(spaced.begin(), spaced.end(), ',', ' ');
    for (const auto& word : SplitWords(spaced)) {
        bool found = false;
        for (int bit = 0; bit < AttrCount && !found; ++bit) {
            if (AnsiSameText(word, AttrNames[bit])) {
                attr |= static_cast<uint16_t>(1u << bit);
                found = true;
            }
        }
        if (!found) return false;
    }
    return true;
}

std::string CleanText(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (const char c : text) {
        if (c == '\n') continue;
        result += static_cast<unsigned char>(c) == 0x8D ? ' ' : c;
    }
    return result;
}

std::string WithoutLineFeeds(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (const char c : text) {
        if (c != '\n') result += c;
    }
    return result;
}

std::string RtfEscape(std::string_view text) {
    std::string result;
    result.reserve(text.size() + text.size() / 8);
    for (const char c : text) {
        if (c == '\r') {
            result += "\\par ";
            continue;
        }
        if (c == '\\' || c == '{' || c == '}') result += '\\';
        result += c;
    }
    return result;
}

bool IsOriginLine(std::string_view line) {
    return HasPrefix(line, " * Origin:");
}
bool IsTearLine(std::string_view line) {
    return HasPrefix(line, "---");
}

std::string ToOem(std::string_view text) {
    return AnsiToOem(text);
}
std::string ToAnsi(std::string_view text) {
    return OemToAnsi(text);
}
std::string BodyToAnsi(std::string_view text) {
    return Settings.TextInWindowsCodePage ? std::string(text) : OemToAnsi(text);
}

uint32_t NewMsgIdSerial() {
    return NextMsgIdSerial(static_cast<uint32_t>(DateTimeToUnix(NowLocal())));
}

std::string FormatMsgId(const std::string& origAddr, uint32_t serial) {
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", serial);
    return origAddr + " " + hex;
}

// ---- Dates --------------------------------------------------------------------------------------------

int64_t JulianDay(int year, int month, int day) {
    int64_t y = year;
    int64_t m = month;
    if (m > 2) {
        m -= 3;
    } else {
        m += 9;
        --y;
    }
    // Floor division keeps the formula right for years before 1 as well.
    const int64_t c = y >= 0 ? y / 100 : -((-y + 99) / 100);
    const int64_t ya = y - 100 * c;
    return (146097 * c) / 4 + (1461 * ya) / 4 + (153 * m + 2) / 5 + day + 1721119;
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
        hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
        throw EConvertError("Недопустимые дата или время");
    }
    const double days = static_cast<double>(JulianDay(year, month, day) - DateTimeEpochJdn);
    const double time = (hour * 3600 + minute * 60 + second) / SecondsPerDay;
    // Before 1899-12-30 the time of day counts away from zero, as the date-time type has it.
    return days >= 0 ? days + time : days - time;
}

void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute, int& second) {
    if (!std::isfinite(value) || std::fabs(value) > 3.0e6) value = 0;
    int64_t days = static_cast<int64_t>(std::trunc(value));
    int64_t seconds = std::llround(std::fabs(value - static_cast<double>(days)) * SecondsPerDay);
    if (seconds >= 86400) {
        seconds -= 86400;
        ++days;
    }
    CivilFromDays(days + DateTimeEpochJdn - UnixEpochJdn, year, month, day);
    hour = static_cast<int>(seconds / 3600);
    minute = static_cast<int>(seconds / 60 % 60);
    second = static_cast<int>(seconds % 60);
}

TDateTime NowLocal() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                          std::min(local.tm_sec, 59));
}

TDateTime ParseFtsDate(std::string_view text) {
    // Exactly 20 characters; what is missing reads as NUL, which no layout test accepts.
    std::string t(text.substr(0, std::min<size_t>(text.size(), 20)));
    t.resize(20, '\0');
    const std::string_view s(t);
    auto at = [&](size_t pos) { return s[pos - 1]; };

    if (at(3) == ' ' && at(11) == ' ') {
        return EncodeDateTime(CenturyYear(DateField(s, 8, 2, 1), 80), MonthFromName(s.substr(3, 3)),
                              DateField(s, 1, 2, 1), DateField(s, 12, 2, 0), DateField(s, 15, 2, 0),
                              DateField(s, 18, 2, 0));
    }
    if (at(3) == ' ') {
        return EncodeDateTime(CenturyYear(DateField(s, 8, 2, 1), 80), MonthFromName(s.substr(3, 3)),
                              DateField(s, 1, 2, 1), DateField(s, 11, 2, 0), DateField(s, 14, 2, 0),
                              DateField(s, 17, 2, 0));
    }
    if (at(4) == ' ') {
        return EncodeDateTime(CenturyYear(DateField(s, 12, 2, 1), 70), MonthFromName(s.substr(7, 3)),
                              DateField(s, 5, 2, 1), DateField(s, 15, 2, 0), DateField(s, 18, 2, 0), 0);
    }
    if (at(3) == '-') {
        return EncodeDateTime(DateField(s, 7, 4, 1970), DateField(s, 4, 2, 1), DateField(s, 1, 2, 1),
                              DateField(s, 12, 2, 0), DateField(s, 15, 2, 0), DateField(s, 18, 2, 0));
    }
    return EncodeDateTime(1970, 1, 1);
}

std::string FormatFtsDate(TDateTime value) {
    int year, month, day, hour, minute, second;
    DecodeDateTime(value, year, month, day, hour, minute, second);
    char text[32];
    std::snprintf(text, sizeof text, "%02d %3s %02d  %02d:%02d:%02d", day, MonthNames[month - 1], year % 100,
                  hour, minute, second);
    return text;
}

int64_t DateTimeToUnix(TDateTime value) {
    int year, month, day, hour, minute, second;
    DecodeDateTime(value, year, month, day, hour, minute, second);
    return (JulianDay(year, month, day) - UnixEpochJdn) * 86400 + hour * 3600 + minute * 60 + second;
}

TDateTime UnixToDateTime(int64_t seconds) {
    int64_t days = seconds / 86400;
    int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    int year, month, day;
    CivilFromDays(days, year, month, day);
    return EncodeDateTime(year, month, day, static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60),
                          static_cast<int>(rest % 60));
}

void DateTimeToDos(TDateTime value, uint16_t& dosDate, uint16_t& dosTime) {
    int year, month, day, hour, minute, second;
    DecodeDateTime(value, year, month, day, hour, minute, second);
    dosDate = static_cast<uint16_t>(((year - 1980) << 9) | (month << 5) | day);
    dosTime = static_cast<uint16_t>((hour << 11) | (minute << 5) | (second / 2));
}

TDateTime DosToDateTime(uint16_t dosDate, uint16_t dosTime) {
    return EncodeDateTime(1980 + (dosDate >> 9), (dosDate >> 5) & 0x0F, dosDate & 0x1F, dosTime >> 11,
                          (dosTime >> 5) & 0x3F, (dosTime & 0x1F) * 2);
}

// ---- Addresses ----------------------------------------------------------------------------------------

TNetAddress ParseNetAddress(const std::string& text) {
    TNetAddress a;
    ParseAddress(text, false, a.Zone, a.Net, a.Node, a.Point);
    return a;
}

std::string FormatNetAddress(const TNetAddress& a) {
    return FormatAddress(a.Zone, a.Net, a.Node, a.Point);
}

std::string EchoAddress(const std::string& idValue) {
    const auto words = SplitWords(idValue);
    if (words.empty()) return {};
    const TNetAddress a = ParseNetAddress(words.front());
    if (a.Net == 0 || a.Node == 0) return {};
    return FormatNetAddress(a);
}

// ---- TMessageBase -------------------------------------------------------------------------------------

TMessageBase::TMessageBase() = default;
TMessageBase::~TMessageBase() = default;

bool TMessageBase::Ready() {
    return true;
}

TBaseRefresh TMessageBase::Refresh() {
    TBaseRefresh result;
    result.Kind = TBaseRefresh::TKind::Unsupported;
    return result;
}

void TMessageBase::Destroy() {
    SetActive(false);
}

void TMessageBase::SetActive(bool value) {
    if (value == Active) return;
    if (value) {
        Open();
    } else {
        Close();
    }
}

void TMessageBase::SetPath(const std::string& value) {
    if (value == Path) return;
    Path = value;
    if (!Active) return;
    Close();
    Open();
}

int32_t TMessageBase::CountUnread() {
    int32_t result = Count();
    PersonalUnread = 0;
    if (!First()) return result;
    do {
        ReadToAndRead();
        if (!Read && ToName == Settings.FullName) ++PersonalUnread;
        if (Read) --result;
    } while (Next());
    return result;
}

void TMessageBase::CopyFrom(const TMessageBase& other) {
    FromName = other.FromName;
    ToName = other.ToName;
    Subject = other.Subject;
    Date = other.Date;
    Kludges = other.Kludges;
    Text = other.Text;
    OrigAddr = other.OrigAddr;
    DestAddr = other.DestAddr;
    Attr = other.Attr;
    Read = other.Read;
}

void TMessageBase::TouchFlagFile() {
    if (!UseFlagFiles) return;
    try {
        if (Netmail) {
            if (Settings.bNetFlag && !Settings.NetFlag.empty()) CreateFlagFile(Settings.NetFlag);
        } else if (Settings.bEchoFlag && !Settings.EchoFlag.empty()) {
            CreateFlagFile(Settings.EchoFlag);
        }
    } catch (...) {
        // A flag file is a hint for the tosser; failing to make one must not fail the write.
    }
}

void TMessageBase::AddOriginAndTearline() {
    Text = RawText ? WithoutLineFeeds(Text) : CleanText(Text);
    if (Netmail) return;

    std::vector<std::string> lines;
    size_t end = Text.size();
    while (end > 0 && Text[end - 1] == '\r') --end;
    for (size_t start = 0; start < end;) {
        const size_t cr = std::min(Text.find('\r', start), end);
        lines.emplace_back(Text.substr(start, cr - start));
        start = cr + 1;
    }

    if (lines.empty() || !IsOriginLine(lines.back())) {
        lines.push_back(" * Origin: Automatically added (" + OrigAddr + ")");
    }
    if (lines.size() < 2 || !IsTearLine(lines[lines.size() - 2])) {
        lines.insert(lines.end() - 1, "--- Automatically added by Pelmar");
    }

    Text.clear();
    for (const auto& line : lines) {
        Text += line;
        Text += '\r';
    }
}

void TMessageBase::ClearMessageFields() {
    FromName.clear();
    ToName.clear();
    Subject.clear();
    OrigAddr.clear();
    DestAddr.clear();
    ReplyId.clear();
    MsgId.clear();
    Date = 0;
    Kludges.clear();
    RtfText.clear();
    Text.clear();
    Read = false;
    Attr = 0;
}

void TMessageBase::ApplyKludgePass(TNetAddress& orig, TNetAddress& dest) {
    MsgId.clear();
    ReplyId.clear();
    bool direct = false;
    std::string badPoint;  // the first bad FMPT/TOPT value; raised once the pass is complete
    auto point = [&](const std::string& line, uint16_t& target) {
        try {
            target = ParsePointLine(line);
        } catch (const EConvertError& e) {
            if (badPoint.empty()) badPoint = e.what();
        }
    };
    for (const auto& line : Kludges) {
        if (HasPrefix(line, "MSGID: ")) {
            MsgId = line.substr(7);
        } else if (HasPrefix(line, "REPLY: ")) {
            ReplyId = line.substr(7);
        } else if (HasPrefix(line, "FMPT ")) {
            point(line, orig.Point);
        } else if (HasPrefix(line, "TOPT ")) {
            point(line, dest.Point);
        } else if (HasPrefix(line, "INTL ")) {
            const auto words = SplitWords(std::string_view(line).substr(5));
            const TNetAddress d = ParseNetAddress(words.size() > 0 ? words[0] : std::string());
            const TNetAddress o = ParseNetAddress(words.size() > 1 ? words[1] : std::string());
            dest = {d.Zone, d.Net, d.Node, dest.Point};
            orig = {o.Zone, o.Net, o.Node, orig.Point};
        }
        if (HasPrefix(line, "FLAGS") && line.find("DIR") != std::string::npos) direct = true;
    }
    if (direct) Attr |= AttrDirect;
    if (!badPoint.empty()) throw EConvertError(badPoint);
}

void TMessageBase::SetReadAddresses(const TNetAddress& orig, const TNetAddress& dest) {
    if (Netmail) {
        OrigAddr = FormatNetAddress(orig);
        DestAddr = FormatNetAddress(dest);
        return;
    }
    OrigAddr = EchoAddress(MsgId);
    DestAddr = EchoAddress(ReplyId);
}

void TMessageBase::PrepareKludgesForWrite(TNetAddress& orig, TNetAddress& dest, bool destInEchomail) {
    orig = ParseNetAddress(OrigAddr);
    if (Netmail || destInEchomail) dest = ParseNetAddress(DestAddr);

    if (Netmail) {
        // A message copied from another netmail area brings its own addressing lines; the reader
        // takes the last of each kind, so stale ones would override the fresh ones.
        std::erase_if(Kludges, [](const std::string& line) {
            return HasPrefix(line, "INTL ") || HasPrefix(line, "FMPT ") || HasPrefix(line, "TOPT ");
        });
        Kludges.insert(Kludges.begin(), "INTL " + ZoneNetNode(dest) + " " + ZoneNetNode(orig));
        if (orig.Point != 0) Kludges.insert(Kludges.begin() + 1, "FMPT " + std::to_string(orig.Point));
        if (dest.Point != 0) Kludges.insert(Kludges.begin() + 1, "TOPT " + std::to_string(dest.Point));
    }
    if (Attr & AttrDirect) {
        const bool present = std::any_of(Kludges.begin(), Kludges.end(), [](const std::string& line) {
            return HasPrefix(line, "FLAGS") && line.find("DIR") != std::string::npos;
        });
        if (!present) Kludges.emplace_back("FLAGS DIR");
    }
}

std::string TMessageBase::FieldFromStored(std::string_view stored) const {
    return RawText ? std::string(stored) : ToAnsi(stored);
}

std::string TMessageBase::FieldToStored(std::string_view text) const {
    return RawText ? std::string(text) : ToOem(text);
}

void TMessageBase::SplitStoredBody(std::string_view stored) {
    // Text kept in the DOS code page (raw copies, the pseudographics view) keeps byte 0x8D: there it is
    // the letter "Н", not a soft line end.
    const TSoftCr softCr = RawText || OemView ? TSoftCr::Keep : TSoftCr::AsSpace;
    if (RawText) {
        SplitStoredText(stored, Text, Kludges, softCr);
        return;
    }
    SplitStoredText(DeclaredBodyToAnsi(stored, Kludges), Text, Kludges, softCr);
}

void TMessageBase::ReadNamesByDeclaration(std::string_view storedFrom, std::string_view storedTo,
                                          std::string_view storedSubject) {
    const TCharset charset = DeclaredCharset(Kludges);
    if (KeepStored) {
        Stored.NamesCharset = charset;
        Stored.FromName = storedFrom;
        Stored.ToName = storedTo;
        Stored.Subject = storedSubject;
    }
    if (IsDosCharset(charset) || RawText) return;
    FromName = CharsetToAnsi(charset, storedFrom);
    ToName = CharsetToAnsi(charset, storedTo);
    Subject = CharsetToAnsi(charset, storedSubject);
}

}  // namespace pelmar
