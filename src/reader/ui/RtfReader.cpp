#include "reader/ui/RtfReader.h"

#include <QFontDatabase>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "core/Codepage.h"

namespace pelmar::ui {

namespace {

// Our documents nest three groups deep; anything far beyond that is not ours.
constexpr size_t kMaxDepth = 64;
constexpr size_t kMaxWordLength = 32;
constexpr int kMaxDigits = 9;
constexpr size_t kMaxFonts = 64;
constexpr size_t kMaxColors = 256;
constexpr size_t kMaxFontName = 128;
constexpr size_t kMaxCachedFormats = 32;
constexpr int kDefaultHalfPoints = 24;
constexpr int kMinHalfPoints = 2;
constexpr int kMaxHalfPoints = 400;

enum class TDestination { Text, FontTable, ColorTable, Skip };

struct TFontDef {
    int Number = 0;
    std::string Name;  // CP1251 bytes as written
    bool Oem = false;
    bool FixedPitch = false;
};

struct TState {
    TDestination Destination = TDestination::Text;
    int Font = -1;  // number of the font-table entry; -1: \deff
    int HalfPoints = kDefaultHalfPoints;
    int Foreground = 0;
    int Background = 0;
    bool Bold = false;
    bool Underline = false;
    bool PendingSkip = false;  // "\*" seen: the group is a destination we may not know
};

class TReader {
public:
    TReader(QTextDocument& document, const TRtfReadOptions& options)
        : document_(document), options_(options), cursor_(&document) {
        fonts_.reserve(kMaxFonts);  // definingFont_ points into it
    }

    void Run(std::string_view rtf) {
        // A loaded message is never undone; recording every insertion would double the work.
        const bool undo = document_.isUndoRedoEnabled();
        document_.setUndoRedoEnabled(false);
        document_.clear();
        cursor_ = QTextCursor(&document_);
        cursor_.beginEditBlock();
        text_ = rtf;
        while (pos_ < text_.size()) Step();
        Flush();
        cursor_.endEditBlock();
        document_.setUndoRedoEnabled(undo);
    }

private:
    QTextDocument& document_;
    const TRtfReadOptions& options_;
    QTextCursor cursor_;
    std::string_view text_;
    size_t pos_ = 0;

    TState state_;
    std::vector<TState> stack_;
    size_t overflow_ = 0;  // groups opened beyond kMaxDepth

    std::vector<TFontDef> fonts_;
    TFontDef* definingFont_ = nullptr;
    std::vector<QColor> colors_;
    int red_ = 0, green_ = 0, blue_ = 0;
    bool colorSet_ = false;
    int defaultFont_ = 0;
    bool oemDefault_ = false;

    std::vector<std::pair<int, QFont>> fontCache_;
    std::vector<std::pair<TState, QTextCharFormat>> formatCache_;

    std::string run_;  // bytes of the current text run, all in one format
    TState runState_;
    bool runOpen_ = false;
    bool firstBlock_ = true;

    void Step() {
        const char c = text_[pos_++];
        switch (c) {
            case '{':
                OpenGroup();
                return;
            case '}':
                CloseGroup();
                return;
            case '\\':
                ControlSequence();
                return;
            case '\r':
            case '\n':
                return;
            default:
                Character(c);
        }
    }

    void OpenGroup() {
        if (stack_.size() >= kMaxDepth) {
            ++overflow_;
            return;
        }
        stack_.push_back(state_);
        state_.PendingSkip = false;
        if (state_.Destination == TDestination::FontTable) definingFont_ = nullptr;
    }

    void CloseGroup() {
        if (overflow_ > 0) {
            --overflow_;
            return;
        }
        if (stack_.empty()) return;
        if (state_.Destination == TDestination::FontTable) definingFont_ = nullptr;
        state_ = stack_.back();
        stack_.pop_back();
    }

    static bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

    static int HexValue(char c) {
        if (IsDigit(c)) return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    void ControlSequence() {
        if (pos_ >= text_.size()) return;
        const char c = text_[pos_];
        if (!IsLetter(c)) {
            ++pos_;
            ControlSymbol(c);
            return;
        }
        const size_t start = pos_;
        while (pos_ < text_.size() && IsLetter(text_[pos_])) ++pos_;
        const std::string_view word = text_.substr(start, std::min(pos_ - start, kMaxWordLength));
        bool hasParameter = false;
        bool negative = false;
        int64_t value = 0;
        if (pos_ < text_.size() && text_[pos_] == '-' && pos_ + 1 < text_.size() &&
            IsDigit(text_[pos_ + 1])) {
            negative = true;
            ++pos_;
        }
        int digits = 0;
        while (pos_ < text_.size() && IsDigit(text_[pos_])) {
            if (digits++ < kMaxDigits) value = value * 10 + (text_[pos_] - '0');
            hasParameter = true;
            ++pos_;
        }
        if (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
        ControlWord(word, hasParameter, static_cast<int>(negative ? -value : value));
    }

    void ControlSymbol(char c) {
        switch (c) {
            case '\\':
            case '{':
            case '}':
                Character(c);
                return;
            case '*':
                state_.PendingSkip = true;
                return;
            case '\'': {
                if (pos_ + 2 > text_.size()) return;
                const int high = HexValue(text_[pos_]);
                const int low = HexValue(text_[pos_ + 1]);
                if (high < 0 || low < 0) return;
                pos_ += 2;
                Character(static_cast<char>(high * 16 + low));
                return;
            }
            case '\r':
            case '\n':
                Paragraph();
                return;
            case '~':
                Character('\xA0');
                return;
            default:
                return;
        }
    }

    void ControlWord(std::string_view word, bool hasParameter, int value) {
        if (state_.Destination == TDestination::Skip) return;
        if (state_.PendingSkip) {
            // "\*\fname" and every other optional destination: none carries text we show.
            state_.PendingSkip = false;
            state_.Destination = TDestination::Skip;
            return;
        }
        if (word == "fonttbl") {
            state_.Destination = TDestination::FontTable;
            return;
        }
        if (word == "colortbl") {
            state_.Destination = TDestination::ColorTable;
            colorSet_ = false;
            return;
        }
        switch (state_.Destination) {
            case TDestination::FontTable:
                FontTableWord(word, value);
                return;
            case TDestination::ColorTable:
                ColorTableWord(word, value);
                return;
            case TDestination::Text:
                TextWord(word, hasParameter, value);
                return;
            case TDestination::Skip:
                return;
        }
    }

    void FontTableWord(std::string_view word, int value) {
        if (word == "f") {
            if (fonts_.size() >= kMaxFonts) {
                definingFont_ = nullptr;
                return;
            }
            fonts_.push_back(TFontDef{value, {}, oemDefault_, false});
            definingFont_ = &fonts_.back();
            return;
        }
        if (!definingFont_) return;
        if (word == "cpg") {
            definingFont_->Oem = value == 866;
        } else if (word == "fcharset") {
            // 255 is the OEM character set.
            if (value == 255) definingFont_->Oem = true;
        } else if (word == "fnil" || word == "fmodern") {
            definingFont_->FixedPitch = true;
        }
    }

    void ColorTableWord(std::string_view word, int value) {
        const int component = std::clamp(value, 0, 255);
        if (word == "red") {
            red_ = component;
        } else if (word == "green") {
            green_ = component;
        } else if (word == "blue") {
            blue_ = component;
        } else {
            return;
        }
        colorSet_ = true;
    }

    void TextWord(std::string_view word, bool hasParameter, int value) {
        const bool on = !hasParameter || value != 0;
        if (word == "par") {
            Paragraph();
        } else if (word == "tab") {
            Character('\t');
        } else if (word == "f") {
            state_.Font = value;
        } else if (word == "fs") {
            state_.HalfPoints =
                std::clamp(hasParameter ? value : kDefaultHalfPoints, kMinHalfPoints, kMaxHalfPoints);
        } else if (word == "cf") {
            state_.Foreground = value;
        } else if (word == "highlight" || word == "cb") {
            state_.Background = value;
        } else if (word == "b") {
            state_.Bold = on;
        } else if (word == "ul") {
            state_.Underline = on;
        } else if (word == "ulnone") {
            state_.Underline = false;
        } else if (word == "plain") {
            state_.Font = -1;
            state_.HalfPoints = kDefaultHalfPoints;
            state_.Foreground = 0;
            state_.Background = 0;
            state_.Bold = false;
            state_.Underline = false;
        } else if (word == "deff") {
            defaultFont_ = value;
        } else if (word == "ansicpg") {
            oemDefault_ = value == 866;
        }
    }

    void Character(char c) {
        switch (state_.Destination) {
            case TDestination::Skip:
                return;
            case TDestination::FontTable:
                FontNameCharacter(c);
                return;
            case TDestination::ColorTable:
                if (c == ';') ColorEntryEnd();
                return;
            case TDestination::Text:
                break;
        }
        if (runOpen_ && !SameFormat(runState_, state_)) Flush();
        if (!runOpen_) {
            runState_ = state_;
            runOpen_ = true;
        }
        run_ += c;
    }

    void FontNameCharacter(char c) {
        if (!definingFont_) return;
        if (c == ';') {
            definingFont_ = nullptr;
            return;
        }
        if (definingFont_->Name.size() < kMaxFontName) definingFont_->Name += c;
    }

    void ColorEntryEnd() {
        if (colors_.size() >= kMaxColors) return;
        // An entry without components is the automatic colour.
        colors_.push_back(colorSet_ ? QColor(red_, green_, blue_) : QColor());
        red_ = green_ = blue_ = 0;
        colorSet_ = false;
    }

    static bool SameFormat(const TState& a, const TState& b) {
        return a.Font == b.Font && a.HalfPoints == b.HalfPoints && a.Foreground == b.Foreground &&
               a.Background == b.Background && a.Bold == b.Bold && a.Underline == b.Underline;
    }

    void Paragraph() {
        if (state_.Destination != TDestination::Text) return;
        Flush();
        // Keep the paragraph's format for an empty line, so its height matches the text's.
        cursor_.insertBlock(QTextBlockFormat(), Format(state_));
    }

    const TFontDef* FontDef(int number) const {
        if (number < 0) number = defaultFont_;
        for (const TFontDef& def : fonts_) {
            if (def.Number == number) return &def;
        }
        return nullptr;
    }

    QColor Color(int index) const {
        if (index <= 0 || static_cast<size_t>(index) >= colors_.size()) return {};
        return colors_[static_cast<size_t>(index)];
    }

    QFont FontOf(const TFontDef* def) {
        const int key = def ? def->Number : -1;
        for (const auto& [number, font] : fontCache_) {
            if (number == key) return font;
        }
        QFont font = ResolveFont(def);
        fontCache_.emplace_back(key, font);
        return font;
    }

    QFont ResolveFont(const TFontDef* def) const {
        const QString face = def ? QString::fromStdString(AnsiToUtf8(def->Name)).trimmed() : QString();
        const bool fixed = def ? def->FixedPitch : false;
        if (!face.isEmpty() && QFontDatabase::hasFamily(face)) return QFont(face);
        if (options_.FontFor) return options_.FontFor(face, fixed);
        return QFontDatabase::systemFont(fixed ? QFontDatabase::FixedFont : QFontDatabase::GeneralFont);
    }

    // A message has a handful of distinct formats; building one costs more than the text it holds.
    QTextCharFormat Format(const TState& state) {
        for (const auto& [key, format] : formatCache_) {
            if (SameFormat(key, state)) return format;
        }
        QTextCharFormat format = BuildFormat(state);
        if (formatCache_.size() < kMaxCachedFormats) formatCache_.emplace_back(state, format);
        return format;
    }

    QTextCharFormat BuildFormat(const TState& state) {
        QTextCharFormat format;
        const TFontDef* def = FontDef(state.Font);
        QFont font = FontOf(def);
        font.setPointSizeF(state.HalfPoints / 2.0);
        font.setBold(state.Bold);
        font.setUnderline(state.Underline);
        format.setFont(font);
        const QColor foreground = Color(state.Foreground);
        if (foreground.isValid()) {
            format.setForeground(foreground);
        } else if (options_.AutoColor.isValid()) {
            format.setForeground(options_.AutoColor);
        }
        const QColor background = Color(state.Background);
        if (background.isValid()) format.setBackground(background);
        return format;
    }

    void Flush() {
        if (!runOpen_) return;
        const TFontDef* def = FontDef(runState_.Font);
        const bool oem = def ? def->Oem : oemDefault_;
        const std::string utf8 = oem ? OemToUtf8(run_) : AnsiToUtf8(run_);
        cursor_.insertText(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())),
                           Format(runState_));
        run_.clear();
        runOpen_ = false;
    }
};

}  // namespace

void ReadRtf(std::string_view rtf, QTextDocument& document, const TRtfReadOptions& options) {
    TReader reader(document, options);
    reader.Run(rtf);
}

}  // namespace pelmar::ui
