#pragma once
// Colours of the main window that carry meaning, adjusted so they stay readable on dark themes.
#include <QColor>
#include <QPalette>

namespace pelmar::ui {

// True when the palette's base colour is dark.
inline bool IsDarkPalette(const QPalette& palette) {
    return palette.color(QPalette::Base).lightness() < 128;
}
// Text of areas and messages addressed to the user: pure blue, a light blue on dark backgrounds.
inline QColor PersonalTextColor(const QPalette& palette) {
    return IsDarkPalette(palette) ? QColor(0x7a, 0xb4, 0xff) : QColor(0x00, 0x00, 0xff);
}
// Text of deleted messages.
inline QColor DeletedTextColor(const QPalette&) {
    return QColor(0x80, 0x80, 0x80);
}

}  // namespace pelmar::ui
