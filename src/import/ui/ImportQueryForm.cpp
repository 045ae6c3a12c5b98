#include "import/ui/ImportQueryForm.h"

#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "areas/gizmo.h"
#include "import/ConfigLocations.h"
#include "import/ui/WizardForm.h"
#include "core/ui/SlotGuard.h"

namespace pelmar::ui {
namespace {

struct TRow {
    const char* Caption;
    int Kind;
};

const TRow Rows[] = {
    {"FastEcho 1.46+ (FASTECHO.CFG)", LinkKindFastEcho},
    {"Squish 1.11+ (SQUISH.CFG)", LinkKindSquish},
    {"AREAS.BBS", LinkKindAreasBbs},
    {"T-Mail (T-MAIL.CTL)", LinkKindTMail},
    {"husky / hpt (fidoconfig)", LinkKindFidoConfig},
    {"CrashMail (crashmail.prefs)", LinkKindCrashMail},
};

}  // namespace

TImportQueryForm::TImportQueryForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Импорт конфигурации"));
    QueryLabel = new QLabel(
        QStringLiteral("Укажите, конфигурацию каких программ вы бы\nхотели сейчас импортировать:"), this);
    CheckList = new QListWidget(this);
    CheckList->setObjectName(QStringLiteral("ImportQueryList"));
    // Only what is set up on this machine is ticked; the others stay a click away.
    const TConfigEnvironment env = SystemEnvironment();
    for (const TRow& row : Rows) {
        auto* item = new QListWidgetItem(QString::fromUtf8(row.Caption), CheckList);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        const std::string found = FindInstalledConfig(row.Kind, env);
        item->setCheckState(found.empty() ? Qt::Unchecked : Qt::Checked);
        if (!found.empty()) item->setToolTip(QFile::decodeName(QByteArray::fromStdString(found)));
        item->setData(Qt::UserRole, row.Kind);
    }
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Отмена"), this);
    HelpButton = new QPushButton(QStringLiteral("&Справка"), this);
    HelpButton->setObjectName(QStringLiteral("HelpButton"));
    GuardedConnect(OKButton, &QPushButton::clicked, this, [this] { done(ModalOK); });
    GuardedConnect(CancelButton, &QPushButton::clicked, this, [this] { done(ModalCancel); });
    GuardedConnect(HelpButton, &QPushButton::clicked, this, [this] { OpenImportHelp(this); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    buttons->addWidget(HelpButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(QueryLabel);
    layout->addWidget(CheckList);
    layout->addLayout(buttons);
    // The question must show whole, whatever the window manager offers at first.
    layout->setSizeConstraint(QLayout::SetMinimumSize);
}

int TImportQueryForm::ShowModal() {
    return exec() == ModalOK ? ModalOK : ModalCancel;
}

std::vector<int> TImportQueryForm::CheckedKinds() const {
    std::vector<int> kinds;
    for (int i = 0; i < CheckList->count(); ++i)
        if (CheckList->item(i)->checkState() == Qt::Checked)
            kinds.push_back(CheckList->item(i)->data(Qt::UserRole).toInt());
    return kinds;
}

}  // namespace pelmar::ui
