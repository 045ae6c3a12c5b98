#include "import/ui/SquishImportForm.h"

#include <QCheckBox>
#include <QLabel>
#include <QVBoxLayout>

#include "areas/gizmo.h"

namespace pelmar::ui {
namespace {

constexpr int BadDupeBit = 1;
constexpr int NetMailBit = 2;
constexpr int EchoMailBit = 4;

}  // namespace

TSquishImportForm::TSquishImportForm(QWidget* parent)
    : TImportDialog(QStringLiteral("Импорт конфигурации Squish 1.11+"),
                    QStringLiteral("Укажите файл конфигурации SQUISH.CFG:"),
                    QStringLiteral("Файл конфигурации Squish|SQUISH.CFG"), "SquishFile",
                    QStringLiteral("Импорт"), parent) {
    ExplainLabel =
        new QLabel(QStringLiteral("Импорт будет производиться в текущую область, при этом Пелмар \n"
                                  "должен импортировать следующие типы конференций:"),
                   this);
    ExplainLabel->setObjectName(QStringLiteral("ExplainLabel"));
    BadDupeCheck = new QCheckBox(QStringLiteral("Bad/DupeMail"), this);
    BadDupeCheck->setObjectName(QStringLiteral("BadDupeCheck"));
    NetMailCheck = new QCheckBox(QStringLiteral("NetMail"), this);
    NetMailCheck->setObjectName(QStringLiteral("NetMailCheck"));
    EchoMailCheck = new QCheckBox(QStringLiteral("EchoMail"), this);
    EchoMailCheck->setObjectName(QStringLiteral("EchoMailCheck"));
    Body->addWidget(ExplainLabel);
    Body->addWidget(BadDupeCheck);
    Body->addWidget(NetMailCheck);
    Body->addWidget(EchoMailCheck);

    BadDupeCheck->setChecked(RememberedFlag("SquishBadDupe", true));
    NetMailCheck->setChecked(RememberedFlag("SquishNetMail", true));
    EchoMailCheck->setChecked(RememberedFlag("SquishEchoMail", true));
}

int TSquishImportForm::Options() const {
    return (BadDupeCheck->isChecked() ? BadDupeBit : 0) | (NetMailCheck->isChecked() ? NetMailBit : 0) |
           (EchoMailCheck->isChecked() ? EchoMailBit : 0);
}

void TSquishImportForm::SetOptions(int options) {
    BadDupeCheck->setChecked((options & BadDupeBit) != 0);
    NetMailCheck->setChecked((options & NetMailBit) != 0);
    EchoMailCheck->setChecked((options & EchoMailBit) != 0);
}

void TSquishImportForm::PresetFromGroup(const TAreaInfo& group) {
    TImportDialog::PresetFromGroup(group);
    SetOptions(group.Read);
}

void TSquishImportForm::ApplyToGroup(TAreaInfo& group) const {
    TImportDialog::ApplyToGroup(group);
    group.Read = Options();
}

void TSquishImportForm::SaveMemory() const {
    RememberFlag("SquishBadDupe", BadDupeCheck->isChecked());
    RememberFlag("SquishNetMail", NetMailCheck->isChecked());
    RememberFlag("SquishEchoMail", EchoMailCheck->isChecked());
}

}  // namespace pelmar::ui
