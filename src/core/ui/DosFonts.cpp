#include "core/ui/DosFonts.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>
#include <algorithm>
#include <array>
#include <string_view>

#include "core/Settings.h"

namespace pelmar::ui {

namespace {

constexpr int kFallbackFace = 3;  // "7x12"

// Pixel height of a size name "<w>x<h>".
int FaceHeight(size_t index) {
    const std::string_view size = DosFontNames[index];
    int height = 0;
    for (const char c : size.substr(size.find('x') + 1)) height = height * 10 + (c - '0');
    return height;
}

// Installed fonts with box drawing, best first.
const QStringList kStandIns{QStringLiteral("Terminus"), QStringLiteral("DejaVu Sans Mono")};

struct TState {
    bool Registered = false;
    int FontFileId = -1;
    QStringList FileFamilies;
    std::array<QFont, DosFontNames.size()> Fonts;
};

TState& State() {
    static TState state;
    return state;
}

QString FaceNameOf(size_t index) {
    const std::string_view size = DosFontNames[index];
    return QStringLiteral("DOS ") + QLatin1String(size.data(), static_cast<qsizetype>(size.size()));
}

// A font of `family` that really is drawn at `height` pixels (bitmap fonts have only some sizes).
bool Matches(const QFont& font, int height) {
    const QFontInfo info(font);
    return info.family().compare(font.family(), Qt::CaseInsensitive) == 0 && info.pixelSize() == height;
}

QFont MakeFont(const QString& family, int height) {
    QFont font(family);
    font.setPixelSize(height);
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    return font;
}

QFont ChooseFont(size_t index) {
    const QString faceName = FaceNameOf(index);
    const int height = FaceHeight(index);
    if (State().FileFamilies.contains(faceName, Qt::CaseInsensitive)) return MakeFont(faceName, height);
    const QStringList installed = QFontDatabase::families();
    for (const QString& family : kStandIns) {
        if (!installed.contains(family, Qt::CaseInsensitive)) continue;
        QFont font = MakeFont(family, height);
        if (Matches(font, height)) return font;
    }
    // Whatever monospace font the system has, scaled to the height.
    return MakeFont(QFontDatabase::systemFont(QFontDatabase::FixedFont).family(), height);
}

}  // namespace

void TDosFonts::Register(const std::string& programFolder) {
    Unregister();
    TState& state = State();
    const QString file = QString::fromStdString(programFolder) + QStringLiteral("dos.fon");
    if (QFileInfo::exists(file)) {
        state.FontFileId = QFontDatabase::addApplicationFont(file);
        if (state.FontFileId >= 0)
            state.FileFamilies = QFontDatabase::applicationFontFamilies(state.FontFileId);
    }
    for (size_t i = 0; i < DosFontNames.size(); ++i) {
        state.Fonts[i] = ChooseFont(i);
        // Code that asks for the face by family name still gets a font with box drawing.
        if (state.Fonts[i].family() != FaceNameOf(i))
            QFont::insertSubstitution(FaceNameOf(i), state.Fonts[i].family());
    }
    state.Registered = true;
}

void TDosFonts::Unregister() {
    TState& state = State();
    if (!state.Registered) return;
    for (size_t i = 0; i < DosFontNames.size(); ++i) QFont::removeSubstitutions(FaceNameOf(i));
    if (state.FontFileId >= 0) QFontDatabase::removeApplicationFont(state.FontFileId);
    state = TState{};
}

bool TDosFonts::Registered() {
    return State().Registered;
}

QString TDosFonts::FaceName(int index) {
    return FaceNameOf(static_cast<size_t>(std::clamp(index, 0, FaceCount() - 1)));
}

int TDosFonts::FaceCount() {
    return static_cast<int>(DosFontNames.size());
}

QFont TDosFonts::Font(const QString& faceName) {
    for (int i = 0; i < FaceCount(); ++i) {
        if (faceName.compare(FaceName(i), Qt::CaseInsensitive) == 0) return Font(i);
    }
    return Font(kFallbackFace);
}

QFont TDosFonts::Font(int index) {
    const auto slot = static_cast<size_t>(std::clamp(index, 0, FaceCount() - 1));
    if (!State().Registered) return ChooseFont(slot);
    return State().Fonts[slot];
}

}  // namespace pelmar::ui
