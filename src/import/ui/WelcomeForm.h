#pragma once
// The first-run wizard: GoldEd import, the settings with fresh default templates, and the area lists
// of other FTN programs as linked groups; at its end the profile is set up.
#include <QDialog>
#include <array>
#include <functional>
#include <memory>
#include <vector>

class QLabel;
class QPushButton;

namespace pelmar {
class TAreaInfo;
}

namespace pelmar::ui {

class TImportDialog;

class TWelcomeForm : public QDialog {
    Q_OBJECT

public:
    static constexpr int ModalOK = 1;
    static constexpr int ModalCancel = 2;
    enum TStep { StepGoldEd = 0, StepSettings = 1, StepImport = 2 };

    // Works on the area tree under `root`.
    explicit TWelcomeForm(TAreaInfo& root, QWidget* parent = nullptr);

    // Modal; ModalOK when every step ran and "SetupDone" was set, ModalCancel otherwise.
    int ShowModal();
    // "Продолжить": runs the remaining steps; the window closes with the outcome.
    void ContinueClick();

    // The steps' dialogs; each defaults to the real window, tests replace them.
    std::function<bool()> AskGoldEd;               // Yes to the GoldEd question
    std::function<bool()> RunGoldEdWizard;         // true when it ended with OK
    std::function<bool()> RunSettings;             // true when the settings dialog ended with OK
    std::function<std::vector<int>()> AskImports;  // LinkKind* to import; empty when cancelled
    // The import dialog of a kind, or null to skip it.
    std::function<std::unique_ptr<TImportDialog>(int linkKind)> CreateImportDialog;
    // After the GoldEd import: the main window rebuilds its area tree (nothing when unset).
    std::function<void()> RebuildAreaTree;

private:
    QLabel* TitleLabel;
    QLabel* VersionLabel;
    std::array<QLabel*, 3> StepMarks{};
    std::array<QLabel*, 3> StepLabels{};
    QPushButton* ContinueButton;
    QPushButton* ExitButton;

protected:
    // Closing through the window manager is "Выход".
    void closeEvent(QCloseEvent* event) override;

private:
    void BeginStep(int step);
    void EndStep(int step);
    void ImportKind(int linkKind);

    TAreaInfo& root_;
};

// Runs the first-run wizard for the logged-in profile: true when the profile is set up. The splash
// window is hidden while it runs; `rebuildAreaTree` runs after a GoldEd import.
bool RunFirstRunWizard(TAreaInfo& root, std::function<void()> rebuildAreaTree = {});

}  // namespace pelmar::ui
