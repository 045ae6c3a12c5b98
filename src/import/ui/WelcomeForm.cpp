#include "import/ui/WelcomeForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "areas/gizmo.h"
#include "core/Codepage.h"
#include "core/Settings.h"
#include "core/ui/MessageBox.h"
#include "core/ui/QtText.h"
#include "core/ui/Splash.h"
#include "import/FirstRun.h"
#include "import/ImportedNetmail.h"
#include "import/TosserImport.h"
#include "import/ui/ImportDialog.h"
#include "import/ui/ImportQueryForm.h"
#include "import/ui/LinkedGroupDialog.h"
#include "import/ui/WizardForm.h"
#include "settings/ui/SetupForm.h"
#include "core/ui/SlotGuard.h"

namespace pelmar::ui {
namespace {

void SetBold(QLabel* label, bool bold) {
    QFont font = label->font();
    font.setBold(bold);
    label->setFont(font);
}

// The names the wizard gives its links.
const char* GroupName(int linkKind) {
    switch (linkKind) {
        case LinkKindFastEcho:
            return "FastEcho";
        case LinkKindSquish:
            return "Squish";
        case LinkKindAreasBbs:
            return "Areas.BBS";
        case LinkKindTMail:
            return "TMail";
        case LinkKindFidoConfig:
            return "Fidoconfig";
        default:
            return "CrashMail";
    }
}

}  // namespace

TWelcomeForm::TWelcomeForm(TAreaInfo& root, QWidget* parent) : QDialog(parent), root_(root) {
    setWindowTitle(QStringLiteral("Добро пожаловать!"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint);

    TitleLabel = new QLabel(QStringLiteral("Пелмар 1.0"), this);
    QFont titleFont = TitleLabel->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.8);
    TitleLabel->setFont(titleFont);
    VersionLabel = new QLabel(ToQt(Settings.VersionText), this);
    auto* thanks = new QLabel(
        QStringLiteral("Спасибо за то, что Вы выбрали именно эту программу \nв качестве редактора "
                       "сообщений!\n\nНадеюсь, что она Вам понравится. Со своей стороны я\nсделал все, что "
                       "мог для того, чтобы она Вам понравилась."),
        this);
    auto* once = new QLabel(QStringLiteral("Сейчас вы сможете настроить Пелмар. Эта процедура \nдолжна "
                                           "выполняться только один раз, при первом \nзапуске."),
                            this);
    auto* press = new QLabel(QStringLiteral("Нажмите \"Продолжить\"..."), this);

    auto* steps = new QGridLayout;
    const QString captions[] = {QStringLiteral("Импорт конфигурации Golded'а"),
                                QStringLiteral("Настройка параметров"),
                                QStringLiteral("Импорт конфигурации")};
    for (int i = 0; i < 3; ++i) {
        StepMarks[i] = new QLabel(this);
        StepMarks[i]->setMinimumWidth(16);
        StepLabels[i] = new QLabel(captions[i], this);
        steps->addWidget(StepMarks[i], i, 0);
        steps->addWidget(StepLabels[i], i, 1);
    }
    steps->setColumnStretch(1, 1);

    ContinueButton = new QPushButton(QStringLiteral("Продолжить"), this);
    ContinueButton->setDefault(true);
    QFont bold = ContinueButton->font();
    bold.setBold(true);
    ContinueButton->setFont(bold);
    ExitButton = new QPushButton(QStringLiteral("Выход"), this);
    GuardedConnect(ContinueButton, &QPushButton::clicked, this, [this] { ContinueClick(); });
    GuardedConnect(ExitButton, &QPushButton::clicked, this, [this] { done(ModalCancel); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ContinueButton);
    buttons->addWidget(ExitButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(TitleLabel);
    layout->addWidget(VersionLabel);
    layout->addWidget(thanks);
    layout->addWidget(once);
    layout->addLayout(steps);
    layout->addWidget(press);
    layout->addStretch();
    layout->addLayout(buttons);

    AskGoldEd = [this] {
        return AskYesNo(Utf8ToAnsi("Вы хотите произвести импорт конфигурации Golded'а?"), this);
    };
    RunGoldEdWizard = [this] {
        TWizardForm wizard(root_, this);
        wizard.HideClosingNote();
        return wizard.ShowModal() == TWizardForm::ModalOK;
    };
    RunSettings = [this] { return RunSettingsDialog(this); };
    AskImports = [this] {
        TImportQueryForm query(this);
        return query.ShowModal() == TImportQueryForm::ModalOK ? query.CheckedKinds() : std::vector<int>{};
    };
    CreateImportDialog = [this](int linkKind) { return ui::CreateImportDialog(linkKind, this); };
}

int TWelcomeForm::ShowModal() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) move(screen->availableGeometry().topLeft());
    return exec() == ModalOK ? ModalOK : ModalCancel;
}

void TWelcomeForm::closeEvent(QCloseEvent* event) {
    event->accept();
    done(ModalCancel);
}

void TWelcomeForm::BeginStep(int step) {
    StepMarks[step]->setText(QStringLiteral("\u25B8"));
    SetBold(StepLabels[step], true);
}

void TWelcomeForm::EndStep(int step) {
    SetBold(StepLabels[step], false);
}

void TWelcomeForm::ContinueClick() {
    ContinueButton->setEnabled(false);
    ExitButton->setEnabled(false);
    const auto finish = [this](int result) {
        ContinueButton->setEnabled(true);
        ExitButton->setEnabled(true);
        done(result);
    };

    BeginStep(StepGoldEd);
    bool goldEdImported = false;
    if (AskGoldEd()) {
        const bool ok = RunGoldEdWizard();
        if (TAreaTreeView* view = AreaTreeView()) view->ClearSelection();
        if (!ok) return finish(ModalCancel);
        if (RebuildAreaTree) RebuildAreaTree();
        goldEdImported = true;
    }
    EndStep(StepGoldEd);

    BeginStep(StepSettings);
    if (!WriteMissingTemplates()) ShowError(Utf8ToAnsi("Не удалось записать шаблоны по умолчанию."), this);
    if (!RunSettings()) return finish(ModalCancel);
    EndStep(StepSettings);

    if (!goldEdImported) {
        BeginStep(StepImport);
        for (int kind : AskImports()) ImportKind(kind);
        EndStep(StepImport);
    }

    root_.SortShown();
    Settings.SetupDone = true;
    finish(ModalOK);
}

void TWelcomeForm::ImportKind(int linkKind) {
    const std::unique_ptr<TImportDialog> dialog = CreateImportDialog(linkKind);
    if (!dialog || dialog->ShowModal() != TImportDialog::ModalOK) return;
    TAreaInfo& group = LinkedGroupFor(root_, GroupName(linkKind), linkKind);
    group.Change([&](TAreaInfo& entry) {
        dialog->ApplyToGroup(entry);
        entry.Zilo = ZiloLinkedGroup;
        entry.Kind = linkKind;
        if (linkKind == LinkKindFastEcho) entry.Read = 1;
    });
    if (!group.RefreshLinkedGroup())
        ShowError(Utf8ToAnsi("Не удалось прочитать файл конфигурации:\r\n") + group.Path, this);
    // Start-up stores the settings after the wizard.
    AdoptImportedNetmailArea(root_, group);
    if (linkKind != LinkKindFidoConfig && linkKind != LinkKindCrashMail) return;
    const TTosserConfig config =
        linkKind == LinkKindFidoConfig ? ReadFidoConfig(group.Path) : ReadCrashMailPrefs(group.Path);
    AdoptAddresses(config.Addresses);
    AdoptEchoTossLog(config.EchoTossLog);
    if (!config.Warnings.empty()) {
        std::string text;
        for (const std::string& line : config.Warnings) text += line + "\r\n";
        ShowInfo(text, this);
    }
}

bool RunFirstRunWizard(TAreaInfo& root, std::function<void()> rebuildAreaTree) {
    HideSplash();
    TWelcomeForm form(root);
    form.RebuildAreaTree = std::move(rebuildAreaTree);
    return form.ShowModal() == TWelcomeForm::ModalOK;
}

}  // namespace pelmar::ui
