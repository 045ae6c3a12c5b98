#pragma once
// The standard about box of a plug-in.
#include <QDialog>
#include <string>

class QLabel;

namespace pelmar::ui {

class TPluginAboutForm : public QDialog {
    Q_OBJECT

public:
    TPluginAboutForm(const std::string& caption, const std::string& line1, const std::string& line2,
                     const std::string& text, QWidget* parent = nullptr);

private:
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* StaticText1 = nullptr;
};

}  // namespace pelmar::ui
