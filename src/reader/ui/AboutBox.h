#pragma once
// "О программе": the program's name and version, what it is, the Qt it runs on, OK.
#include <QDialog>

class QLabel;
class QPushButton;

namespace pelmar::ui {

class TAboutBox : public QDialog {
    Q_OBJECT

public:
    explicit TAboutBox(QWidget* parent = nullptr);

private:
    QLabel* NameLabel = nullptr;     // name and version
    QLabel* CreditsLabel = nullptr;  // what the program is
    QLabel* QtLabel = nullptr;       // the Qt version it runs on
    QPushButton* OkButton = nullptr;
};

// Shows the about box modally; it is gone when this returns.
void ShowAboutBox(QWidget* parent);

}  // namespace pelmar::ui
