#pragma once
// The address book's entry dialog: a name, its addresses (typed, or taken from the nodelist) and a note.
#include <QDialog>

#include "nodelist/NodeSearch.h"

class QLineEdit;
class QListWidget;
class QPushButton;

namespace pelmar {
class TNodeList;
}

namespace pelmar::ui {

class TContactForm : public QDialog {
    Q_OBJECT

public:
    // `list` answers "..." (may be null: then the button is disabled).
    explicit TContactForm(TNodeList* list, QWidget* parent = nullptr);

    void SetDraft(const TContactDraft& draft);
    TContactDraft Draft() const;

private:
    QLineEdit* NameEdit = nullptr;
    QLineEdit* AddressEdit = nullptr;
    QListWidget* AddressList = nullptr;
    QPushButton* AddButton = nullptr;
    QPushButton* DeleteButton = nullptr;
    QPushButton* FindButton = nullptr;
    QLineEdit* NotesEdit = nullptr;
    QPushButton* OKButton = nullptr;
    QPushButton* CancelButton = nullptr;

public:
    void AddButtonClick();
    void FindButtonClick();
    void OKButtonClick();

private:
    std::vector<std::string> Addresses() const;
    void UpdateButtons();

    TNodeList* list_;
};

}  // namespace pelmar::ui
