#include "import/ui/ImportForm.h"

#include <QButtonGroup>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "areas/gizmo.h"

namespace pelmar::ui {

TImportForm::TImportForm(QWidget* parent)
    : TImportDialog(QStringLiteral("Импорт конфигурации FastEcho"),
                    QStringLiteral("Укажите файл конфигурации FASTECHO.CFG:"),
                    QStringLiteral("Файл конфигурации FASTECHO.CFG|FASTECHO.CFG"), "FastEchoFile",
                    QStringLiteral("Импорт"), parent) {
    ExplainLabel =
        new QLabel(QStringLiteral("Импорт будет производиться в текущую область, при этом:"), this);
    ExplainLabel->setObjectName(QStringLiteral("ExplainLabel"));
    SplitRadio = new QRadioButton(QStringLiteral("разделять названия эхоконференциям по точкам на"), this);
    SplitRadio->setObjectName(QStringLiteral("SplitRadio"));
    SplitLabel = new QLabel(QStringLiteral("отдельные области"), this);
    SplitLabel->setObjectName(QStringLiteral("SplitLabel"));
    SplitLabel->setIndent(20);
    KeepRadio = new QRadioButton(QStringLiteral("оставлять названия без изменений"), this);
    KeepRadio->setObjectName(QStringLiteral("KeepRadio"));
    KeepRadio->setChecked(true);
    auto* group = new QButtonGroup(this);
    group->addButton(SplitRadio);
    group->addButton(KeepRadio);
    Body->addWidget(ExplainLabel);
    Body->addWidget(SplitRadio);
    Body->addWidget(SplitLabel);
    Body->addWidget(KeepRadio);
    SetChoicesVisible(false);
}

void TImportForm::SetChoicesVisible(bool visible) {
    for (QWidget* widget : {static_cast<QWidget*>(ExplainLabel), static_cast<QWidget*>(SplitRadio),
                            static_cast<QWidget*>(SplitLabel), static_cast<QWidget*>(KeepRadio)})
        widget->setVisible(visible);
}

bool TImportForm::SplitNames() const {
    return SplitRadio->isChecked();
}

void TImportForm::PresetFromGroup(const TAreaInfo& group) {
    TImportDialog::PresetFromGroup(group);
    SetOKCaption(QStringLiteral("OK"));
}

void TImportForm::ApplyToGroup(TAreaInfo& group) const {
    TImportDialog::ApplyToGroup(group);
    group.Read = 1;
}

}  // namespace pelmar::ui
