#pragma once
// What the four import dialogs of linked groups share: remembering their fields between uses, and
// moving them from and to a linked group.
#include <QDialog>
#include <string>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace pelmar {
class TAreaInfo;
}

namespace pelmar::ui {

class TFileChooser;

class TImportDialog : public QDialog {
    Q_OBJECT

public:
    // Results of ShowModal.
    static constexpr int ModalOK = 1;
    static constexpr int ModalCancel = 2;

    // Modal; ModalOK or ModalCancel.
    int ShowModal();

    // OK stores the remembered fields for the next use (on at first).
    bool Remember = true;

    // The configuration file.
    std::string FileName() const;
    void SetFileName(const std::string& path);

    // For the properties of an existing linked group: its values in the fields, remembering off.
    virtual void PresetFromGroup(const TAreaInfo& group);
    // What OK means for the group (Path and the options of its kind). The caller holds its lock.
    virtual void ApplyToGroup(TAreaInfo& group) const;

    // Registry key of the remembered fields (below the profile's key).
    static std::string MemoryKey();

private:
    QLabel* FileLabel;
    TFileChooser* FileChooser;
    QPushButton* OKButton;
    QPushButton* CancelButton;

public:
    void done(int result) override;

protected:
    // `fileValue` names the remembered file ("" when the file is not remembered).
    TImportDialog(const QString& caption, const QString& fileLabel, const QString& filter,
                  const char* fileValue, const QString& okCaption, QWidget* parent);
    // Renames the OK button (a linked group's properties say "OK", not the import's verb).
    void SetOKCaption(const QString& caption);

    // Stores what this dialog remembers; the file is stored by the base.
    virtual void SaveMemory() const {}

    // Reading and writing remembered values: missing or mistyped values give the default.
    static std::string RememberedText(const char* name);
    static bool RememberedFlag(const char* name, bool byDefault);
    static void RememberText(const char* name, const std::string& value);
    static void RememberFlag(const char* name, bool value);

    // Controls between the file and the buttons go here.
    QVBoxLayout* Body;

private:
    const char* fileValue_;
};

}  // namespace pelmar::ui
