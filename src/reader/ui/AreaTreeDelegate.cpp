#include "reader/ui/AreaTreeDelegate.h"

#include <QApplication>
#include <QPainter>

#include "reader/ui/AreaTreeModel.h"
#include "reader/ui/Icons.h"
#include "reader/ui/Palette.h"

namespace pelmar::ui {

void TAreaTreeDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    const bool selected = option->state.testFlag(QStyle::State_Selected);
    if (!selected && index.data(TAreaTreeModel::PersonalRole).toBool()) {
        option->palette.setColor(QPalette::Text, PersonalTextColor(option->palette));
    }
}

void TAreaTreeDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    QStyledItemDelegate::paint(painter, option, index);
    const QIcon overlay = OverlayIcon(index.data(TAreaTreeModel::OverlayRole).toInt());
    if (overlay.isNull()) return;
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QWidget* widget = option.widget;
    QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    const QRect picture = style->subElementRect(QStyle::SE_ItemViewItemDecoration, &opt, widget);
    if (!picture.isValid()) return;
    overlay.paint(painter, picture);
}

}  // namespace pelmar::ui
