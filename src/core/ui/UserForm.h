#pragma once
// The profile dialog ("Пользователь") and the profile list ("Пользователи") of the user
// administration.
#include <QDialog>
#include <functional>
#include <string>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace pelmar {
struct TProfileValues;
}

namespace pelmar::ui {

class TUserForm : public QDialog {
    Q_OBJECT

public:
    explicit TUserForm(QWidget* parent = nullptr);

private:
    QLabel* NameLabel;
    QLineEdit* NameEdit;
    QCheckBox* UsePasswordCheck;
    QCheckBox* IsAdminCheck;
    QGroupBox* PasswordGroup;
    QLabel* PasswordLabel1;
    QLabel* PasswordLabel2;
    QLineEdit* PasswordEdit1;
    QLineEdit* PasswordEdit2;
    QCheckBox* OwnFolderCheck;
    QPushButton* OKButton;
    QPushButton* CancelButton;

public:
    // For "Изменить": the name shown read-only, the own-folder box hidden.
    void SetEditing(const std::string& name);
    void UpdateControls();
    void OKButtonClick();
    // The typed name (CP1251).
    std::string UserName() const;
    // "Отдельный каталог": whether a new profile gets a data folder of its own.
    bool OwnFolder() const;
    void SetOwnFolder(bool own);
    // The password choice, the administrator flag and the password (when one is stored), shown
    // and read back; the data folder is not the dialog's.
    void ShowValues(const TProfileValues& values);
    void TakeValues(TProfileValues& values) const;

    // Tells about mismatched passwords; a message box unless replaced (tests).
    std::function<void(const std::string&)> ShowInfoBox;

protected:
    void showEvent(QShowEvent* event) override;
};

class TUsersForm : public QDialog {
    Q_OBJECT

public:
    explicit TUsersForm(QWidget* parent = nullptr);

private:
    QListWidget* UserList;
    QPushButton* AddButton;
    QPushButton* EditButton;
    QPushButton* DeleteButton;
    QPushButton* CloseButton;

public:
    // Re-reads the profile names from the store.
    void FillList();
    void UpdateButtons();
    void AddButtonClick();
    void EditButtonClick();
    void DeleteButtonClick();

    // Replaceable for tests: running the profile dialog (exec), the message boxes.
    std::function<int(TUserForm&)> RunUserForm;
    std::function<void(const std::string&)> ShowInfoBox;
    std::function<void(const std::string&)> ShowErrorBox;
    std::function<bool(const std::string&)> AskYesNoBox;

protected:
    void showEvent(QShowEvent* event) override;
};

// Shows the profile list modally.
void RunUsersDialog(QWidget* parent);

}  // namespace pelmar::ui
