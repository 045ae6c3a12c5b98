#pragma once
// Sizes that follow the texts shown instead of fixed pixels: at the first size of a dialog no
// caption is cut, whatever the desktop's font.
class QAbstractItemView;
class QString;
class QWidget;

namespace pelmar::ui {

// Makes a list or tree at least as wide as its widest row so far (its first column, indentation
// included) and, when `rows` is above 0, as tall as that many rows.
void FitViewToContents(QAbstractItemView* view, int rows = 0);
// The width `sample` takes in `widget`'s font, with room for a cell's margins.
int TextWidth(const QWidget* widget, const QString& sample);

}  // namespace pelmar::ui
