#include "reader/ui/CopyForm.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "areas/gizmo.h"
#include "reader/ui/AreaChooserTree.h"
#include "reader/ui/Icons.h"
#include "core/ui/SlotGuard.h"

namespace pelmar::ui {

TCopyForm::TCopyForm(TAreaInfo& root, const TAreaInfo* source, QWidget* parent)
    : QDialog(parent), source_(source) {
    setObjectName(QStringLiteral("CopyForm"));
    setWindowTitle(QStringLiteral("Копировать/переместить сообщение"));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* radios = new QVBoxLayout;
    CopyButton = new QRadioButton(QStringLiteral("Копировать"), this);
    MoveButton = new QRadioButton(QStringLiteral("Переместить"), this);
    CopyButton->setChecked(true);
    radios->addWidget(CopyButton);
    radios->addWidget(MoveButton);
    top->addLayout(radios);
    top->addWidget(new QLabel(QStringLiteral("сообщение(я) в"), this));
    auto* arrow = new QLabel(this);
    arrow->setPixmap(SortArrowIcon(true).pixmap(16, 16));
    top->addWidget(arrow);
    top->addStretch(1);
    layout->addLayout(top);
    AreaTree = new TAreaChooserTree(this);
    AreaTree->setObjectName(QStringLiteral("AreaTree"));
    AreaTree->Fill(root);
    layout->addWidget(AreaTree, 1);
    auto* buttons = new QDialogButtonBox(this);
    OkButton = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    OkButton->setObjectName(QStringLiteral("OkButton"));
    OkButton->setDefault(true);
    buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    GuardedConnect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    GuardedConnect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    OkButton->setEnabled(false);
    GuardedConnect(AreaTree, &QTreeWidget::currentItemChanged, this,
            [this] { OkButton->setEnabled(Target() != nullptr); });
    resize(380, 420);
}

TAreaInfo* TCopyForm::Target() const {
    TAreaInfo* area = TAreaChooserTree::AreaOf(AreaTree->currentItem());
    if (area == nullptr || area->Kind <= AreaKindFolder || area == source_) return nullptr;
    return area;
}

bool TCopyForm::Move() const {
    return MoveButton->isChecked();
}

}  // namespace pelmar::ui
