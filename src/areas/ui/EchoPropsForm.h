#pragma once
// The properties of an ordinary entry ("Свойства конференции") and the filter of a linked group
// ("Фильтр").
#include <QDialog>
#include <functional>
#include <string>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QTabWidget;

namespace pelmar {
class TAreaInfo;
}

namespace pelmar::ui {

class TFileChooser;

class TEchoPropsForm : public QDialog {
    Q_OBJECT

public:
    explicit TEchoPropsForm(QWidget* parent = nullptr);

private:
    QTabWidget* Pages;
    QLineEdit* NameEdit;
    QLineEdit* DescriptionEdit;
    QLabel* MsgCountLabel;
    QButtonGroup* KindGroup;
    QLineEdit* AreaNameEdit;
    QComboBox* AkaCombo;
    QCheckBox* NetmailCheck;
    TFileChooser* FidoDir;
    TFileChooser* JamFile;
    TFileChooser* HudsonDir;
    QLineEdit* HudsonBoardEdit;
    TFileChooser* SquishFile;

public:
    int Kind() const;
    void SetKind(int kind);
    // Shows the page of the chosen kind only and enables the netmail box for bases.
    void UpdatePages();

    void LoadFrom(const TAreaInfo& entry);
    // The Path the fields give for the chosen kind (`previous` for a folder); empty when the Hudson
    // board is not a number in 1..200.
    std::string ChosenPath(const std::string& previous) const;
    // Writes the fields into the entry (under its lock); the main window leaves the area first when
    // its kind or location changes. False, with nothing changed, when the Hudson board is invalid.
    bool ApplyTo(TAreaInfo& entry);

    void OKButtonClick();
    std::function<void(const std::string&)> ShowErrorBox;

    // Registry key of what the dialog remembers (the last Hudson directory).
    static std::string MemoryKey();

private:
    int pageOfKind_[5] = {-1, -1, -1, -1, -1};
};

class TImportFilterForm : public QDialog {
    Q_OBJECT

public:
    explicit TImportFilterForm(QWidget* parent = nullptr);

private:
    QComboBox* IncludeAkaCombo;
    QLineEdit* IncludeMaskEdit;
    QComboBox* ExcludeAkaCombo;
    QLineEdit* ExcludeMaskEdit;

public:
    void LoadFrom(const TAreaInfo& group);
    // Writes the fields into the group under its lock (the caller refreshes it).
    void ApplyTo(TAreaInfo& group) const;
};

// Runs the properties dialog on an ordinary entry; true after OK.
bool EditAreaProperties(TAreaInfo& entry, QWidget* parent);
// Runs the filter dialog on a linked group and refreshes it after OK; true after OK.
bool EditImportFilter(TAreaInfo& group, QWidget* parent);

}  // namespace pelmar::ui
