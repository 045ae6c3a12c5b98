#pragma once
// The area tree of the search and copy dialogs: the main tree's areas (linked groups left out),
// each item carrying its area.
#include <QTreeWidget>

namespace pelmar {
class TAreaInfo;
}

namespace pelmar::ui {

class TAreaChooserTree : public QTreeWidget {
    Q_OBJECT

public:
    explicit TAreaChooserTree(QWidget* parent = nullptr);
    // Fills the tree below `root`; with `allCaption` a top item of that caption stands for the root.
    void Fill(TAreaInfo& root, const QString& allCaption = QString());
    static TAreaInfo* AreaOf(const QTreeWidgetItem* item);
    QTreeWidgetItem* ItemOf(const TAreaInfo* area) const;

private:
    void AddChildren(QTreeWidgetItem* parent, TAreaInfo& area);
};

}  // namespace pelmar::ui
