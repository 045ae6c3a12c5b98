#include "reader/ui/WindowListForm.h"
#include "core/ui/SlotGuard.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

namespace pelmar::ui {

std::vector<QWidget*> TWindowListForm::OpenWindows(const QWidget* except) {
    std::vector<QWidget*> result;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget == except || !widget->isVisible() || qobject_cast<QMenu*>(widget) != nullptr) continue;
        const Qt::WindowType type = widget->windowType();
        if (type != Qt::Window && type != Qt::Dialog && type != Qt::Tool) continue;
        result.push_back(widget);
    }
    return result;
}

TWindowListForm::TWindowListForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("WindowListForm"));
    setWindowTitle(QStringLiteral("Список окон"));
    auto* layout = new QVBoxLayout(this);
    ListBox1 = new QListWidget(this);
    layout->addWidget(ListBox1);
    for (QWidget* window : OpenWindows(this)) {
        ListBox1->addItem(new QListWidgetItem(window->windowIcon(), window->windowTitle()));
        windows_.emplace_back(window);
    }
    auto* buttons = new QDialogButtonBox(this);
    OkButton = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    OkButton->setEnabled(false);
    GuardedConnect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    GuardedConnect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    GuardedConnect(ListBox1, &QListWidget::currentRowChanged, this,
            [this](int row) { OkButton->setEnabled(row >= 0); });
    GuardedConnect(ListBox1, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    resize(320, 260);
}

QWidget* TWindowListForm::Chosen() const {
    const int row = ListBox1->currentRow();
    if (row < 0 || static_cast<size_t>(row) >= windows_.size()) return nullptr;
    return windows_[static_cast<size_t>(row)].data();
}

}  // namespace pelmar::ui
