#pragma once
// "Копировать/переместить сообщение": the target area and whether to move.
#include <QDialog>

class QPushButton;
class QRadioButton;

namespace pelmar {
class TAreaInfo;
}

namespace pelmar::ui {

class TAreaChooserTree;

class TCopyForm : public QDialog {
    Q_OBJECT

public:
    TCopyForm(TAreaInfo& root, const TAreaInfo* source, QWidget* parent = nullptr);

    // The chosen area while OK may be pressed, else null.
    TAreaInfo* Target() const;
    bool Move() const;

private:
    QRadioButton* CopyButton = nullptr;
    QRadioButton* MoveButton = nullptr;
    TAreaChooserTree* AreaTree = nullptr;
    QPushButton* OkButton = nullptr;

private:
    const TAreaInfo* source_;
};

}  // namespace pelmar::ui
