#include "core/ui/FitContents.h"

#include <QAbstractItemView>
#include <QScrollBar>
#include <QString>
#include <algorithm>

namespace pelmar::ui {

void FitViewToContents(QAbstractItemView* view, int rows) {
    if (view == nullptr) return;
    view->ensurePolished();
    const int frame = 2 * view->frameWidth();
    // Room for the vertical scroll bar, which comes once the rows do not fit.
    const int width = view->sizeHintForColumn(0) + frame + view->verticalScrollBar()->sizeHint().width() + 4;
    view->setMinimumWidth(std::max(view->minimumWidth(), width));
    if (rows > 0)
        view->setMinimumHeight(
            std::max(view->minimumHeight(), std::max(view->sizeHintForRow(0), 1) * rows + frame + 2));
}

int TextWidth(const QWidget* widget, const QString& sample) {
    return widget->fontMetrics().horizontalAdvance(sample) + 16;
}

}  // namespace pelmar::ui
