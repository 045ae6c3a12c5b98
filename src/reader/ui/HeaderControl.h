#pragma once
// The column header above the message list: five sections (icons, "Тема", "От", "Кому", "Дата"),
// a sort arrow picture right of the sorted section's caption. Section 0 does not sort.
#include <QHeaderView>
#include <QPointer>

class QAbstractScrollArea;
class QStandardItemModel;

namespace pelmar::ui {

class THeaderControl : public QHeaderView {
    Q_OBJECT

public:
    explicit THeaderControl(QWidget* parent = nullptr);

    // The section showing the arrow (-1: none) and its direction.
    void SetSortArrow(int section, bool ascending);
    int ArrowSection() const { return arrowSection_; }
    bool ArrowAscending() const { return arrowAscending_; }

    QSize sizeHint() const override;

    // Sum of all section widths: the width of the list's single column.
    int TotalWidth() const;
    // Left edge and width of a logical section in list coordinates (before scrolling).
    int SectionLeft(int section) const { return sectionPosition(section); }
    int SectionWidth(int section) const { return sectionSize(section); }

    // The list's width decides the subject's: it takes what the other sections leave of the
    // viewport of `list`, whenever that or another section changes. The sections never go below
    // their first widths (15, 100, 100, 100, 50); the date's is at least what its text needs in
    // the list's bold font. Call again after restoring a saved state.
    void FitTo(QAbstractScrollArea* list);

signals:
    // A click on a sortable section (1..4).
    void SortClicked(int section);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int MinimumWidth(int section) const;
    void Fit();

    QPointer<QAbstractScrollArea> list_;
    bool fitting_ = false;
    QStandardItemModel* captions_;
    int arrowSection_ = -1;
    bool arrowAscending_ = true;
};

}  // namespace pelmar::ui
