#pragma once
// "Поиск узла/человека": a name part and an address mask for the node browser's person search.
#include <QDialog>
#include <string>

class QLineEdit;
class QPushButton;

namespace pelmar::ui {

class TNodeFind : public QDialog {
    Q_OBJECT

public:
    TNodeFind(const std::string& namePart, const std::string& mask, QWidget* parent = nullptr);

    std::string NamePart() const;
    std::string AddressMask() const;

private:
    QLineEdit* NameEdit = nullptr;
    QLineEdit* AddressEdit = nullptr;
    QPushButton* SearchButton = nullptr;
    QPushButton* CancelButton = nullptr;

private:
    void UpdateButtons();
};

}  // namespace pelmar::ui
