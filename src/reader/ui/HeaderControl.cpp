#include "reader/ui/HeaderControl.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStandardItemModel>
#include <array>
#include <cstdlib>

#include "reader/ui/Icons.h"
#include "core/ui/SlotGuard.h"

namespace pelmar::ui {

THeaderControl::THeaderControl(QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent), captions_(new QStandardItemModel(0, 5, this)) {
    const std::array<QString, 5> captions = {QString(), QStringLiteral("Тема"), QStringLiteral("От"),
                                             QStringLiteral("Кому"), QStringLiteral("Дата")};
    for (int i = 0; i < 5; ++i) captions_->setHeaderData(i, Qt::Horizontal, captions[static_cast<size_t>(i)]);
    setModel(captions_);
    setSectionsClickable(true);
    setSectionsMovable(true);
    setHighlightSections(false);
    setStretchLastSection(false);
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setMinimumSectionSize(10);
    setFixedHeight(sizeHint().height());
    constexpr std::array<int, 5> widths = {15, 100, 100, 100, 50};
    for (int i = 0; i < 5; ++i) resizeSection(i, widths[static_cast<size_t>(i)]);
    // The icon column stays first: rows draw their indentation and pictures there.
    GuardedConnect(this, &QHeaderView::sectionMoved, this, [this](int, int, int) {
        if (visualIndex(0) != 0) moveSection(visualIndex(0), 0);
    });
    GuardedConnect(this, &QHeaderView::sectionClicked, this, [this](int section) {
        if (section >= 1 && section <= 4) emit SortClicked(section);
    });
}

void THeaderControl::SetSortArrow(int section, bool ascending) {
    arrowSection_ = section;
    arrowAscending_ = ascending;
    viewport()->update();
}

QSize THeaderControl::sizeHint() const {
    // One line of caption, whatever the empty model makes of the contents.
    return {TotalWidth(), fontMetrics().height() + 8};
}

int THeaderControl::TotalWidth() const {
    int total = 0;
    for (int i = 0; i < count(); ++i) total += sectionSize(i);
    return total;
}

void THeaderControl::mousePressEvent(QMouseEvent* event) {
    // The icon column cannot be clicked or dragged.
    if (logicalIndexAt(event->position().toPoint()) == 0 && cursor().shape() != Qt::SplitHCursor) {
        const int pos = event->position().toPoint().x();
        const int edge = sectionViewportPosition(0) + sectionSize(0);
        if (std::abs(pos - edge) > 3) return;
    }
    QHeaderView::mousePressEvent(event);
}

void THeaderControl::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    // The style may leave the painter clipped to nothing; the arrow is drawn with a clean state.
    painter->save();
    QHeaderView::paintSection(painter, rect, logicalIndex);
    painter->restore();
    if (logicalIndex != arrowSection_) return;
    const QString caption = model()->headerData(logicalIndex, Qt::Horizontal).toString();
    const int textRight = rect.left() + 6 + fontMetrics().horizontalAdvance(caption);
    const int size = 10;
    QRect arrow(textRight + 4, rect.center().y() - size / 2, size, size);
    if (arrow.right() > rect.right() - 2) arrow.moveRight(rect.right() - 2);
    painter->save();
    SortArrowIcon(arrowAscending_).paint(painter, arrow);
    painter->restore();
}

}  // namespace pelmar::ui
