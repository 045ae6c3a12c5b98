#pragma once
// The four-page wizard that takes over a GoldEd configuration.
#include <QDialog>
#include <functional>
#include <string>

class QLabel;
class QPushButton;
class QStackedWidget;

namespace pelmar {
class TAreaInfo;
}

namespace pelmar::ui {

class TFileChooser;

class TWizardForm : public QDialog {
    Q_OBJECT

public:
    static constexpr int ModalOK = 1;
    static constexpr int ModalCancel = 2;
    enum TPage { PageDefault = 0, PageDirectory = 1, PageError = 2, PageSuccess = 3 };

    // Imports into the tree under `root`.
    explicit TWizardForm(TAreaInfo& root, QWidget* parent = nullptr);

    // Modal; ModalOK after a finished import, ModalCancel otherwise.
    int ShowModal();
    // The first-run wizard goes on after the import instead of closing the program.
    void HideClosingNote();

    int Page() const;
    void SetPage(int page);
    void BackClick();
    void NextClick();

private:
    QStackedWidget* Notebook;
    QLabel* CaptionLabel;
    TFileChooser* DirectoryChooser;
    QLabel* ClosingNoteLabel;
    QPushButton* BackButton;
    QPushButton* NextButton;
    QPushButton* CancelButton;
    QPushButton* HelpButton;

private:
    void UpdateButtons();
    // Reads GOLDED.CFG and applies it; the success page only when everything was saved.
    void Import();

    TAreaInfo& root_;
};

// The help page of the imports (GoldEd and the tossers) in a help window of `owner`'s own: the
// program's help window belongs to the main window and does not take input while a dialog is modal.
void OpenImportHelp(QWidget* owner);

}  // namespace pelmar::ui
