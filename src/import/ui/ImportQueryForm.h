#pragma once
// The first-run question which programs' area lists to import now.
#include <QDialog>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;

namespace pelmar::ui {

class TImportQueryForm : public QDialog {
    Q_OBJECT

public:
    static constexpr int ModalOK = 1;
    static constexpr int ModalCancel = 2;

    explicit TImportQueryForm(QWidget* parent = nullptr);

    int ShowModal();
    // LinkKind* of the checked rows, in list order.
    std::vector<int> CheckedKinds() const;

private:
    QLabel* QueryLabel;
    QListWidget* CheckList;
    QPushButton* OKButton;
    QPushButton* CancelButton;
    QPushButton* HelpButton;
};

}  // namespace pelmar::ui
