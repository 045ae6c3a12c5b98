#pragma once
// Draws one row of the message list: indentation by depth, expander and status pictures, the
// subject and the From, To and date columns at the header's section positions.
#include <QStyledItemDelegate>

namespace pelmar::ui {

class THeaderControl;

class TMessageRowDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    TMessageRowDelegate(THeaderControl& header, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    THeaderControl& header_;
};

}  // namespace pelmar::ui
