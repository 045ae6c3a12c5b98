#include "msgbase/RtfRender.h"

#include <vector>

#include "core/Settings.h"
#include "msgbase/MessageBase.h"

namespace pelmar {

// clang-format off
const std::array<TRgb, 16> RtfPalette = {{
    {0, 0, 0},       {127, 0, 0},   {0, 127, 0},   {127, 127, 0}, {0, 0, 127},   {127, 0, 127},
    {0, 127, 127},   {127, 127, 127}, {192, 192, 192}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
    {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}}};

const std::array<TRgb, 16> ViewPalette = {{
    {0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0}, {0, 0, 128},   {128, 0, 128},
    {0, 128, 128},   {192, 192, 192}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
    {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}}};
// clang-format on

int ColorTableIndex(const std::array<uint8_t, 12>& table, int index) {
    if (index < 0 || index >= static_cast<int>(table.size())) return 0;
    const uint8_t value = table[static_cast<size_t>(index)];
    return value < RtfPalette.size() ? value : DefaultColorTable[static_cast<size_t>(index)];
}

namespace {

constexpr std::string_view kPar = "\\par ";

bool IsDelimiter(char c) {
    switch (c) {
        case ' ':
        case '!':
        case '"':
        case '(':
        case ')':
        case ',':
        case '.':
        case ':':
        case ';':
        case '?':
            return true;
        default:
            return false;
    }
}

bool IsWordChar(char c) {
    const auto b = static_cast<unsigned char>(c);
    return (b >= 0x41 && b <= 0x7A) || b >= 0xC0;
}

void AppendNumber(std::string& out, int64_t value) {
    out += std::to_string(value);
}

void AppendColors(std::string& out, int fg, int bg) {
    out += "\\cf";
    AppendNumber(out, fg);
    out += "\\highlight";
    AppendNumber(out, bg);
}

std::string FontTable(const TRenderInput& input) {
    const std::string_view cpg = input.OemView ? "\\cpg866" : "";
    std::string out = "{\\fonttbl{\\f0\\fnil";
    out += cpg;
    out += ' ';
    out += input.FixFont;
    out += ";}{\\f1\\froman\\fcharset2{\\*\\fname Symbol;}MT Symbol;}{\\f2\\fswiss";
    out += cpg;
    out += ' ';
    out += input.VarFont;
    out += ";}}";
    return out;
}

void AppendPaletteEntry(std::string& out, const TRgb& rgb) {
    out += "\\red";
    AppendNumber(out, rgb.R);
    out += "\\green";
    AppendNumber(out, rgb.G);
    out += "\\blue";
    AppendNumber(out, rgb.B);
    out += ';';
}

// The end of the line that starts at `from`: the next "\par " that RtfEscape made from a CR. An
// escaped backslash followed by "par " is text, not a line break.
size_t LineEnd(std::string_view text, size_t from) {
    for (size_t i = from; i < text.size(); ++i) {
        if (text[i] != '\\') continue;
        if (text.compare(i, kPar.size(), kPar) == 0) return i;
        if (i + 1 < text.size()) ++i;  // "\\", "\{", "\}": the second byte is never a break
    }
    return text.size();
}

enum class TLineKind { Plain, Tearline, Origin, OddQuote, EvenQuote };

// `line` as cut: the first line as it is, every later one with the space that ended "\par ".
TLineKind Classify(std::string_view line) {
    if (line.size() > 4 && line.compare(0, 4, " ---") == 0) return TLineKind::Tearline;
    if (line.size() > 3 && line.compare(0, 3, "  *") == 0) return TLineKind::Origin;
    int quotes = 0;
    int others = 0;
    for (const char c : line) {
        if (c == '>') {
            ++quotes;
        } else if (c != ' ') {
            if (++others == 4) break;
        }
    }
    if (quotes == 0) return TLineKind::Plain;
    return quotes % 2 ? TLineKind::OddQuote : TLineKind::EvenQuote;
}

int PairOf(TLineKind kind) {
    switch (kind) {
        case TLineKind::Tearline:
            return ceTearline;
        case TLineKind::Origin:
            return ceOrigin;
        case TLineKind::OddQuote:
            return ceQuote1;
        case TLineKind::EvenQuote:
            return ceQuote2;
        case TLineKind::Plain:
            break;
    }
    return ceText;
}

// Per-byte replacements of the emphasis pass.
enum : uint8_t { kKeep = 0, kOpenUnderline, kOpenBold, kClose };

// Appends `line` with _underline_ and *bold* turned into groups. Every rule looks at the line as it
// was before any replacement, so the decisions are made first and the text is written once.
void AppendEmphasised(std::string& out, std::string_view line, std::vector<uint8_t>& marks) {
    if (line.find_first_of("_*") == std::string_view::npos) {
        out += line;
        return;
    }
    marks.assign(line.size(), kKeep);
    constexpr size_t kUnset = static_cast<size_t>(-1);
    size_t underlineOpen = kUnset;
    size_t boldOpen = kUnset;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        const char previous = i > 0 ? line[i - 1] : ' ';
        const char next = i + 1 < line.size() ? line[i + 1] : ' ';
        if (IsDelimiter(previous) && c == '_' && IsWordChar(next)) {
            underlineOpen = i;
        } else if (c == '_' && IsDelimiter(next) && underlineOpen != kUnset) {
            marks[i] = kClose;
            marks[underlineOpen] = kOpenUnderline;
            underlineOpen = kUnset;
        } else if (IsDelimiter(previous) && c == '*' && IsWordChar(next)) {
            boldOpen = i;
        } else if (c == '*' && IsDelimiter(next) && boldOpen != kUnset) {
            marks[i] = kClose;
            marks[boldOpen] = kOpenBold;
            boldOpen = kUnset;
        } else if (!IsWordChar(c) && c != '*' && c != '_') {
            underlineOpen = kUnset;
            boldOpen = kUnset;
        }
    }
    for (size_t i = 0; i < line.size(); ++i) {
        switch (marks[i]) {
            case kOpenUnderline:
                out += "{\\ul ";
                break;
            case kOpenBold:
                out += "{\\b ";
                break;
            case kClose:
                out += '}';
                break;
            default:
                out += line[i];
        }
    }
}

// The body, line by line, in its colours and with emphasis. One pass over the text.
void AppendColouredText(std::string& out, const TRenderInput& input) {
    const std::string_view text = input.RtfText;
    const int normalFg = ColorTableIndex(input.ColorTable, 2 * ceText);
    const int normalBg = ColorTableIndex(input.ColorTable, 2 * ceText + 1);
    std::string coloured;
    std::vector<uint8_t> marks;
    size_t start = 0;
    bool firstLine = true;
    while (true) {
        const size_t end = LineEnd(text, start);
        const std::string_view line = text.substr(start, end - start);
        const TLineKind kind = Classify(line);
        if (kind == TLineKind::Plain) {
            AppendEmphasised(out, line, marks);
        } else {
            const int pair = PairOf(kind);
            coloured.clear();
            AppendColors(coloured, ColorTableIndex(input.ColorTable, 2 * pair),
                         ColorTableIndex(input.ColorTable, 2 * pair + 1));
            // Later lines start with the space that ends the control word; the first line has
            // none, and text starting with digits would run into the colour number.
            if (firstLine) coloured += ' ';
            coloured += line;
            AppendColors(coloured, normalFg, normalBg);
            AppendEmphasised(out, coloured, marks);
        }
        if (end == text.size()) break;
        out += "\\par";
        start = end + kPar.size() - 1;  // the line keeps the delimiting space
        firstLine = false;
    }
}

int32_t SizeOf(const TRenderInput& input) {
    return input.FontIndex != 0 ? input.VarSize : input.FixSize;
}

}  // namespace

std::string RenderRtfDocument(const TRenderInput& input) {
    std::string out;
    out.reserve(input.RtfText.size() + input.RtfText.size() / 4 + 1024);
    out += "{\\rtf1\\deftab720";
    out += FontTable(input);
    out += "{\\colortbl;\r\n\r\n";
    for (size_t i = 1; i <= 7; ++i) {
        AppendPaletteEntry(out, RtfPalette[i]);
        out += "\r\n";
    }
    out += "\r\n";
    for (size_t i = 8; i <= 14; ++i) {
        AppendPaletteEntry(out, RtfPalette[i]);
        out += "\r\n";
    }
    AppendPaletteEntry(out, RtfPalette[15]);
    out += "}\r\n\\pard\\f";
    AppendNumber(out, input.FontIndex);
    out += "\\fs";
    AppendNumber(out, 2 * static_cast<int64_t>(SizeOf(input)));
    AppendColors(out, ColorTableIndex(input.ColorTable, 2 * ceText),
                 ColorTableIndex(input.ColorTable, 2 * ceText + 1));
    out += "\r\n";
    AppendColouredText(out, input);
    out += '}';
    return out;
}

std::string RenderPlainRtfDocument(const TRenderInput& input) {
    std::string out;
    out.reserve(input.RtfText.size() + 512);
    out += "{\\rtf1\\ansi\\deff0\\deftab720";
    out += FontTable(input);
    out += "\r\n\\deflang1033\\pard\\plain\\f";
    AppendNumber(out, input.FontIndex);
    out += "\\fs16\r\n";
    out += input.RtfText;
    out += '}';
    return out;
}

namespace {

TRenderInput InputOf(const TMessageBase& base) {
    TRenderInput input;
    input.RtfText = base.RtfText;
    input.FontIndex = base.FontIndex;
    input.OemView = base.OemView;
    input.FixFont = Settings.FixFont;
    input.VarFont = Settings.VarFont;
    input.FixSize = Settings.FixSize;
    input.VarSize = Settings.VarSize;
    input.ColorTable = Settings.ColorTable;
    return input;
}

}  // namespace

void TMessageBase::RenderRtf(std::string& document) {
    document = RenderRtfDocument(InputOf(*this));
}

void TMessageBase::RenderPlainRtf(std::string& document) {
    document = RenderPlainRtfDocument(InputOf(*this));
}

}  // namespace pelmar
