#pragma once
// "Список окон": every open window (the main one included); the chosen one comes to the front.
#include <QDialog>
#include <QPointer>
#include <vector>

class QListWidget;
class QPushButton;

namespace pelmar::ui {

class TWindowListForm : public QDialog {
    Q_OBJECT

public:
    explicit TWindowListForm(QWidget* parent = nullptr);
    // The open windows this dialog lists: visible top-level windows other than menus and itself.
    static std::vector<QWidget*> OpenWindows(const QWidget* except);
    QWidget* Chosen() const;

private:
    QListWidget* ListBox1 = nullptr;
    QPushButton* OkButton = nullptr;

private:
    std::vector<QPointer<QWidget>> windows_;
};

}  // namespace pelmar::ui
