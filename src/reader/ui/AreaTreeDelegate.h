#pragma once
// Draws an area tree node: the picture with its overlay mark, and blue text for personal mail.
#include <QStyledItemDelegate>

namespace pelmar::ui {

class TAreaTreeDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

}  // namespace pelmar::ui
