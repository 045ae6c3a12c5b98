#pragma once
// The log-in chooser: the user picks a profile from a fixed list.
#include <QDialog>
#include <optional>

#include "core/Login.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace pelmar::ui {

class TLoginChooseForm : public QDialog {
    Q_OBJECT

public:
    explicit TLoginChooseForm(QWidget* parent = nullptr);

    void SetChoice(const TLoginChoice& choice);
    // The selected item, -1 for none.
    int SelectedIndex() const;

private:
    QLabel* WelcomeLabel;
    QLabel* PromptLabel;
    QComboBox* UserBox;
    QPushButton* OKButton;
    QPushButton* CancelButton;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void UpdateOKButton();
};

// Shows the chooser modally: the confirmed item's index, nothing when cancelled.
std::optional<int> ChooseLoginUser(const TLoginChoice& choice, QWidget* parent = nullptr);

}  // namespace pelmar::ui
