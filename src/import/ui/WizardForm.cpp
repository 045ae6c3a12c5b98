#include "import/ui/WizardForm.h"

#include <QFileDialog>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <exception>
#include <filesystem>
#include <optional>

#include "core/Codepage.h"
#include "core/ui/MessageBox.h"
#include "import/ConfigLocations.h"
#include "import/GoldEdImport.h"
#include "import/ui/FileChooser.h"
#include "reader/ui/HelpWindow.h"
#include "core/ui/SlotGuard.h"

namespace pelmar::ui {
namespace {

const QString Warning = QStringLiteral("Большинство текущих настроек Пелмара будет утеряно!");

QLabel* Title(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.3);
    label->setFont(font);
    return label;
}

QLabel* WarningLabel(QWidget* parent) {
    auto* label = new QLabel(Warning, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

QWidget* MakePage(std::initializer_list<QWidget*> widgets, QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    for (QWidget* widget : widgets) {
        widget->setParent(page);
        layout->addWidget(widget);
    }
    layout->addStretch();
    return page;
}

}  // namespace

TWizardForm::TWizardForm(TAreaInfo& root, QWidget* parent) : QDialog(parent), root_(root) {
    setWindowTitle(QStringLiteral("Импорт конфигурации Golded'а"));
    CaptionLabel = new QLabel(QStringLiteral("GoldEd"), this);
    CaptionLabel->setObjectName(QStringLiteral("CaptionLabel"));
    QFont big = CaptionLabel->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 2.5);
    CaptionLabel->setFont(big);
    CaptionLabel->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    CaptionLabel->setMinimumWidth(140);

    Notebook = new QStackedWidget(this);
    Notebook->addWidget(MakePage(
        {Title(QStringLiteral("Добро пожаловать!"), nullptr),
         new QLabel(QStringLiteral("Этот мастер позволит вам импортировать конфигурационный \nфайл программы "
                                   "GoldEd.\n\nБудут импортированы общие настройки, списки узлов, ориджинов, "
                                   "\nтирлайнов, эхоконференции.")),
         WarningLabel(nullptr),
         new QLabel(
             QStringLiteral("Если Вы хотите импортировать конфигурацию GoldEd'а, \nнажмите кнопку "
                            "\"Дальше\".\n\nДля выхода из мастера нажмите кнопку \"Отмена\".\n\n"
                            "Строки INCLUDE не просматриваются: импортируется только сам GOLDED.CFG."))},
        new QWidget(Notebook)));
    DirectoryChooser = new TFileChooser(TFileChooser::TMode::Directory, QString());
    DirectoryChooser->setObjectName(QStringLiteral("DirectoryChooser"));
    DirectoryChooser->SetBrowseOnly(true);
    DirectoryChooser->Browse = [this](const QString& current) {
        return QFileDialog::getExistingDirectory(this, QStringLiteral("Каталог GoldEd'а"), current);
    };
    // The folder GoldEd keeps its configuration in on this machine, when there is one.
    DirectoryChooser->SetPath(FindGoldEdFolder(SystemEnvironment()));
    Notebook->addWidget(
        MakePage({Title(QStringLiteral("Каталог"), nullptr),
                  new QLabel(QStringLiteral("Укажите каталог, в котором расположена программа GoldEd:")),
                  DirectoryChooser, WarningLabel(nullptr)},
                 new QWidget(Notebook)));
    Notebook->addWidget(MakePage({Title(QStringLiteral("Ошибка!"), nullptr),
                                  new QLabel(QStringLiteral("Файл конфигурации GOLDED.CFG не найден!"))},
                                 new QWidget(Notebook)));
    ClosingNoteLabel = new QLabel(
        QStringLiteral("Дальше Пелмар будет закрыт.\nДля продолжения работы запустите его снова."));
    Notebook->addWidget(
        MakePage({Title(QStringLiteral("Импортирование закончено"), nullptr), ClosingNoteLabel,
                  new QLabel(QStringLiteral("Нажмите кнопку \"Дальше\"..."))},
                 new QWidget(Notebook)));

    BackButton = new QPushButton(QStringLiteral("< Назад"), this);
    BackButton->setObjectName(QStringLiteral("BackButton"));
    NextButton = new QPushButton(QStringLiteral("Дальше >"), this);
    NextButton->setObjectName(QStringLiteral("NextButton"));
    CancelButton = new QPushButton(QStringLiteral("Отмена"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    HelpButton = new QPushButton(QStringLiteral("&Справка"), this);
    HelpButton->setObjectName(QStringLiteral("HelpButton"));
    NextButton->setDefault(true);
    // While "Дальше >" is disabled, Enter must not fall through to "Отмена".
    BackButton->setAutoDefault(false);
    CancelButton->setAutoDefault(false);
    HelpButton->setAutoDefault(false);
    GuardedConnect(HelpButton, &QPushButton::clicked, this, [this] { OpenImportHelp(this); });
    GuardedConnect(BackButton, &QPushButton::clicked, this, [this] { BackClick(); });
    GuardedConnect(NextButton, &QPushButton::clicked, this, [this] { NextClick(); });
    GuardedConnect(CancelButton, &QPushButton::clicked, this, [this] { done(ModalCancel); });
    GuardedConnect(DirectoryChooser, &TFileChooser::PathChanged, this, [this] { UpdateButtons(); });

    auto* top = new QHBoxLayout;
    top->addWidget(CaptionLabel);
    top->addWidget(Notebook, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BackButton);
    buttons->addWidget(NextButton);
    buttons->addWidget(CancelButton);
    buttons->addWidget(HelpButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);
    SetPage(PageDefault);
}

void OpenImportHelp(QWidget* owner) {
    auto* help =
        owner != nullptr ? owner->findChild<THelpWindow*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    if (help == nullptr) {
        help = new THelpWindow(owner);
        help->setAttribute(Qt::WA_DeleteOnClose);
    }
    help->ShowPage(QStringLiteral("import.html"));
    help->show();
    help->raise();
    help->activateWindow();
}

int TWizardForm::ShowModal() {
    return exec() == ModalOK ? ModalOK : ModalCancel;
}

void TWizardForm::HideClosingNote() {
    ClosingNoteLabel->hide();
}

int TWizardForm::Page() const {
    return Notebook->currentIndex();
}

void TWizardForm::SetPage(int page) {
    Notebook->setCurrentIndex(page);
    UpdateButtons();
}

void TWizardForm::BackClick() {
    if (Page() == PageDirectory || Page() == PageError) SetPage(Page() - 1);
}

void TWizardForm::NextClick() {
    switch (Page()) {
        case PageDirectory:
            Import();
            return;
        case PageSuccess:
            done(ModalOK);
            return;
        case PageError:
            return;
        default:
            SetPage(Page() + 1);
    }
}

void TWizardForm::Import() {
    std::optional<TGoldEdPlan> plan;
    try {
        const std::optional<std::string> file = FindGoldEdConfig(DirectoryChooser->Path());
        if (!file) {
            SetPage(PageError);
            return;
        }
        plan = ReadGoldEdConfig(*file);
    } catch (const std::exception& error) {
        // The file is read whole before anything changes; the user may choose another folder.
        ShowError(Utf8ToAnsi("Ошибка при чтении GOLDED.CFG:\r\n") + error.what() +
                      Utf8ToAnsi("\r\nНастройки и области не изменены."),
                  this);
        return;
    }
    // The plan is applied whole or not at all; only a fault while the windows let go of the old
    // tree can leave it half done.
    TGoldEdResult result;
    try {
        result = ApplyGoldEdPlan(*plan, root_);
    } catch (const std::exception& error) {
        ShowError(Utf8ToAnsi("Импорт GOLDED.CFG прерван:\r\n") + error.what() +
                      Utf8ToAnsi("\r\nЧасть настроек и областей уже заменена импортом."),
                  this);
        return;
    }
    if (!result.Applied) {
        ShowError(Utf8ToAnsi("Импорт GOLDED.CFG не выполнен:\r\n") + result.Reason +
                      Utf8ToAnsi("\r\nНастройки и области не изменены."),
                  this);
        return;
    }
    SetPage(PageSuccess);
}

void TWizardForm::UpdateButtons() {
    const int page = Page();
    BackButton->setEnabled(page == PageDirectory || page == PageError);
    const std::string dir = DirectoryChooser->Path();
    std::error_code error;
    NextButton->setEnabled(
        page != PageError &&
        (page != PageDirectory || (!dir.empty() && std::filesystem::is_directory(dir, error))));
    CancelButton->setEnabled(page != PageSuccess);
}

}  // namespace pelmar::ui
