#pragma once
// "Адресная книга": lists and edits the address book; from the editor it is also the picker of the
// To name and its addresses.
#include <QDialog>
#include <functional>
#include <optional>
#include <string>
#include <utility>

class QPushButton;
class QTreeWidget;

namespace pelmar {
class TAddressBook;
class TNodeList;
}  // namespace pelmar

namespace pelmar::ui {

class TAddressBookForm : public QDialog {
    Q_OBJECT

public:
    enum class TMode { Manager, Picker };

    // `list` serves "Список узлов" and the entry dialog's "..." (may be null).
    TAddressBookForm(TAddressBook& book, TNodeList* list, TMode mode, QWidget* parent = nullptr);

    // The entry chosen with OK, or -1.
    int SelectedEntry() const { return result_; }

    // Starts a netmail to a node; when set, the node browser of "Список узлов" offers "Послать письмо".
    std::function<void(const std::string& toName, const std::string& address)> SendLetter;
    // The letter asked for in the node browser (name, address). Asking closes the browser and this
    // dialog: the editor cannot be used while they hold the input, so the caller opens it afterwards.
    const std::optional<std::pair<std::string, std::string>>& RequestedLetter() const { return letter_; }
    int SelectedRow() const;

private:
    QTreeWidget* ListView1 = nullptr;
    QPushButton* AddButton = nullptr;
    QPushButton* EditButton = nullptr;
    QPushButton* DeleteButton = nullptr;
    QPushButton* NodesButton = nullptr;
    QPushButton* OKButton = nullptr;
    QPushButton* CloseButton = nullptr;

public:
    void AddButtonClick();
    void EditButtonClick();
    void DeleteButtonClick();
    void NodesButtonClick();
    void OKButtonClick();
    void FillRows();

private:
    void UpdateButtons();

    TAddressBook& book_;
    TNodeList* list_;
    TMode mode_;
    int result_ = -1;
    std::optional<std::pair<std::string, std::string>> letter_;
};

}  // namespace pelmar::ui
