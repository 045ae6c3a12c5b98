#pragma once
// Status bar panel 2: the text is cut at each 0x01 character and the pieces are drawn one after
// another, the weight toggling between normal and bold (area descriptions in hints are bold).
#include <QLabel>
#include <QStringList>

namespace pelmar::ui {

class TStatusPanel : public QLabel {
    Q_OBJECT

public:
    using QLabel::QLabel;

    // Pieces of the text with their weight, in drawing order; empty pieces are kept out.
    struct TSegment {
        QString Text;
        bool Bold = false;
    };
    static QList<TSegment> Segments(const QString& text);

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace pelmar::ui
