#include "reader/ui/ErrorReportForm.h"

#include <sys/utsname.h>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSysInfo>
#include <QVBoxLayout>

#include "core/Settings.h"
#include "core/ui/QtText.h"
#include "core/ui/SlotGuard.h"

namespace pelmar::ui {

namespace {

// The kernel as uname tells it; QSysInfo's words when uname fails.
QString KernelText() {
    utsname name{};
    if (::uname(&name) == 0) {
        return QStringLiteral("%1 %2 %3 (%4)")
            .arg(QString::fromLocal8Bit(name.sysname), QString::fromLocal8Bit(name.release),
                 QString::fromLocal8Bit(name.version), QString::fromLocal8Bit(name.machine));
    }
    return QSysInfo::kernelType() + QLatin1Char(' ') + QSysInfo::kernelVersion() + QStringLiteral(" (") +
           QSysInfo::currentCpuArchitecture() + QLatin1Char(')');
}

}  // namespace

TErrorReportForm::TErrorReportForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ErrorReportForm"));
    setWindowTitle(QStringLiteral("Сообщение об ошибке"));
    setModal(false);
    resize(520, 300);

    auto* hint =
        new QLabel(QStringLiteral("Опишите ошибку и приложите к письму эти сведения о системе:"), this);
    hint->setWordWrap(true);
    ReportText = new QPlainTextEdit(this);
    ReportText->setObjectName(QStringLiteral("ReportText"));
    ReportText->setReadOnly(true);
    ReportText->setLineWrapMode(QPlainTextEdit::NoWrap);
    ReportText->setPlainText(SystemReport());

    CopyButton = new QPushButton(QStringLiteral("&Копировать"), this);
    LetterButton = new QPushButton(QStringLiteral("&Написать письмо"), this);
    LetterButton->setObjectName(QStringLiteral("LetterButton"));
    LetterButton->setEnabled(false);
    CloseButton = new QPushButton(QStringLiteral("Закрыть"), this);
    CloseButton->setDefault(true);
    GuardedConnect(CopyButton, &QPushButton::clicked, this, [this] { CopyButtonClick(); });
    GuardedConnect(LetterButton, &QPushButton::clicked, this, [this] { LetterButtonClick(); });
    GuardedConnect(CloseButton, &QPushButton::clicked, this, &QDialog::close);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(CopyButton);
    buttons->addWidget(LetterButton);
    buttons->addStretch(1);
    buttons->addWidget(CloseButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(hint);
    layout->addWidget(ReportText, 1);
    layout->addLayout(buttons);
}

QString TErrorReportForm::SystemReport() {
    const QString address =
        Settings.SelfAKA.empty() ? QStringLiteral("не задан") : ToQt(Settings.SelfAKA.front());
    return QStringLiteral("Пелмар %1\n").arg(QStringLiteral(PELMAR_VERSION_TEXT)) +
           QStringLiteral("Qt %1 (собран с %2), платформа окон %3\n")
               .arg(QString::fromLatin1(qVersion()), QStringLiteral(QT_VERSION_STR),
                    QGuiApplication::platformName()) +
           QStringLiteral("Система: %1\n").arg(QSysInfo::prettyProductName()) +
           QStringLiteral("Ядро: %1\n").arg(KernelText()) + QStringLiteral("Адрес: %1\n").arg(address);
}

void TErrorReportForm::SetStartLetter(std::function<void(const QString&)> startLetter) {
    startLetter_ = std::move(startLetter);
    LetterButton->setEnabled(static_cast<bool>(startLetter_));
}

void TErrorReportForm::CopyButtonClick() {
    QGuiApplication::clipboard()->setText(ReportText->toPlainText());
}

void TErrorReportForm::LetterButtonClick() {
    if (startLetter_) startLetter_(ReportText->toPlainText());
}

}  // namespace pelmar::ui
