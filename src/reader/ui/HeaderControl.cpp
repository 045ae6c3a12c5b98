#include "reader/ui/HeaderControl.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStandardItemModel>
#include <algorithm>
#include <array>
#include <cstdlib>

#include "reader/ui/Icons.h"
#include "core/ui/SlotGuard.h"

namespace pelmar::ui {

namespace {

constexpr int kSubject = 1, kDate = 4;
// The first widths, and the least each section keeps.
constexpr std::array<int, 5> kWidths = {15, 100, 100, 100, 50};

}  // namespace

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
    for (int i = 0; i < 5; ++i) resizeSection(i, kWidths[static_cast<size_t>(i)]);
    // The icon column stays first: rows draw their indentation and pictures there.
    GuardedConnect(this, &QHeaderView::sectionMoved, this, [this](int, int, int) {
        if (visualIndex(0) != 0) moveSection(visualIndex(0), 0);
    });
    GuardedConnect(this, &QHeaderView::sectionClicked, this, [this](int section) {
        if (section >= 1 && section <= 4) emit SortClicked(section);
    });
}

void THeaderControl::FitTo(QAbstractScrollArea* list) {
    if (list_ != list) {
        if (list_) list_->viewport()->removeEventFilter(this);
        list_ = list;
        list_->viewport()->installEventFilter(this);
        GuardedConnect(this, &QHeaderView::sectionResized, this, [this] { Fit(); });
    }
    // The subject follows the list; the user sizes the others.
    setSectionResizeMode(kSubject, QHeaderView::Fixed);
    Fit();
}

int THeaderControl::MinimumWidth(int section) const {
    const int least = kWidths[static_cast<size_t>(std::clamp(section, 0, 4))];
    if (section != kDate || !list_) return least;
    // Unread rows are bold; the delegate keeps 4 pixels free on either side of the text.
    QFont bold = list_->font();
    bold.setBold(true);
    const int text = QFontMetrics(bold).horizontalAdvance(QStringLiteral("0000.00.00 00:00:00")) + 12;
    // The caption with the sort arrow beside it.
    const int caption = fontMetrics().horizontalAdvance(QStringLiteral("Дата")) + 24;
    return std::max({least, text, caption});
}

void THeaderControl::Fit() {
    if (fitting_ || !list_ || count() != 5) return;
    fitting_ = true;
    for (int i = 0; i < 5; ++i)
        if (i != kSubject && sectionSize(i) < MinimumWidth(i)) resizeSection(i, MinimumWidth(i));
    const int others = TotalWidth() - sectionSize(kSubject);
    const int subject = std::max(MinimumWidth(kSubject), list_->viewport()->width() - others);
    if (sectionSize(kSubject) != subject) resizeSection(kSubject, subject);
    fitting_ = false;
}

bool THeaderControl::eventFilter(QObject* watched, QEvent* event) {
    if (list_ && watched == list_->viewport() && event->type() == QEvent::Resize) Fit();
    return QHeaderView::eventFilter(watched, event);
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
