#pragma once
// Pictures of the main window: Pelmar's own list, overlay and sort pictures (SVG resources, sharp
// at any scale) and standard pictures from the desktop icon theme with our own fallbacks.
#include <QIcon>
#include <QString>

namespace pelmar::ui {

// List icon 0..6 (see the Icon* constants of ThreadList.h); a null icon outside that range.
QIcon ListIcon(int index);
// Tree picture of an area with a base (normal and selected modes), or of a group without one.
QIcon AreaTreeIcon(bool hasBase);
// Overlay mark 1..4 (see AreaMarks.h); a null icon for none.
QIcon OverlayIcon(int overlay);
QIcon SortArrowIcon(bool ascending);
// The theme's picture, else the resource picture (a name under :/pelmar/icons/), else none.
QIcon ThemeIcon(const QString& themeName, const QString& fallbackResource = QString());
// Makes the theme lookup work outside a full desktop (a bare X server, offscreen tests).
void PrepareIconTheme();

}  // namespace pelmar::ui
