#include "core/ui/FitContents.h"

#include <QAbstractItemView>
#include <QScrollBar>
#include <QString>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTreeView>
#include <algorithm>

namespace pelmar::ui {

namespace {

// The widest first-column row below `parent` that the view shows, with its indentation. Every row
// is measured, not only those in the viewport (a view measures only those it shows, and before it
// is shown it shows hardly any).
int WidestRow(const QAbstractItemView* view, const QStyleOptionViewItem& option, const QModelIndex& parent,
              int indent) {
    const QAbstractItemModel* model = view->model();
    const auto* tree = qobject_cast<const QTreeView*>(view);
    int widest = 0;
    for (int row = 0; row < model->rowCount(parent); ++row) {
        const QModelIndex index = model->index(row, 0, parent);
        widest =
            std::max(widest, indent + view->itemDelegateForIndex(index)->sizeHint(option, index).width());
        if (tree != nullptr && tree->isExpanded(index))
            widest = std::max(widest, WidestRow(view, option, index, indent + tree->indentation()));
    }
    return widest;
}

}  // namespace

void FitViewToContents(QAbstractItemView* view, int rows) {
    if (view == nullptr || view->model() == nullptr) return;
    view->ensurePolished();
    QStyleOptionViewItem option;
    option.initFrom(view);
    option.font = view->font();
    option.fontMetrics = view->fontMetrics();
    const int icon = view->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, view);
    option.decorationSize = view->iconSize().isValid() ? view->iconSize() : QSize(icon, icon);
    option.showDecorationSelected = true;
    const auto* tree = qobject_cast<const QTreeView*>(view);
    const int rootIndent = tree != nullptr && tree->rootIsDecorated() ? tree->indentation() : 0;
    const int frame = 2 * view->frameWidth();
    // Room for the vertical scroll bar, which comes once the rows do not fit.
    const int width = WidestRow(view, option, view->rootIndex(), rootIndent) + frame +
                      view->verticalScrollBar()->sizeHint().width() + 8;
    view->setMinimumWidth(std::max(view->minimumWidth(), width));
    if (rows > 0) {
        const QModelIndex first = view->model()->index(0, 0, view->rootIndex());
        const int rowHeight =
            first.isValid() ? view->itemDelegateForIndex(first)->sizeHint(option, first).height() : 0;
        view->setMinimumHeight(std::max(view->minimumHeight(), std::max(rowHeight, 1) * rows + frame + 2));
    }
}

int TextWidth(const QWidget* widget, const QString& sample) {
    return widget->fontMetrics().horizontalAdvance(sample) + 16;
}

}  // namespace pelmar::ui
