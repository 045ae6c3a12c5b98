#include "reader/ui/StatusPanel.h"

#include <QPainter>
#include <QStyle>

namespace pelmar::ui {

QList<TStatusPanel::TSegment> TStatusPanel::Segments(const QString& text) {
    QList<TSegment> segments;
    bool bold = false;
    for (const QString& piece : text.split(QChar(0x01))) {
        if (!piece.isEmpty()) segments.append({piece, bold});
        bold = !bold;
    }
    return segments;
}

QSize TStatusPanel::minimumSizeHint() const {
    // The text is cut, never the panel grown: the status bar keeps its size while hints change.
    return {50, QLabel::minimumSizeHint().height()};
}

void TStatusPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawFrame(&painter);
    const QRect area = contentsRect().adjusted(2, 0, -2, 0);
    QFont normal = font();
    normal.setBold(false);
    QFont bold = normal;
    bold.setBold(true);
    int x = area.left();
    painter.setPen(palette().color(QPalette::WindowText));
    for (const TSegment& segment : Segments(text())) {
        if (x >= area.right()) break;
        painter.setFont(segment.Bold ? bold : normal);
        const QFontMetrics metrics(painter.font());
        const QString shown = metrics.elidedText(segment.Text, Qt::ElideRight, area.right() - x);
        painter.drawText(QRect(x, area.top(), area.right() - x, area.height()),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
        x += metrics.horizontalAdvance(shown);
    }
}

}  // namespace pelmar::ui
