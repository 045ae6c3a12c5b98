#include "editor/ui/AfterSendRunner.h"

#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <ctime>

#include "core/Codepage.h"
#include "core/Settings.h"
#include "core/ui/QtText.h"
#include "core/ui/SlotGuard.h"
#include "editor/AfterSend.h"
#include "reader/MainWindowServices.h"

namespace pelmar::ui {

namespace {

// What is kept of the output while it comes in; the log keeps its end.
constexpr qsizetype OutputKept = 64 * 1024;

}  // namespace

TAfterSendRunner::TAfterSendRunner(QObject* parent) : QObject(parent), timer_(new QTimer(this)) {
    timer_->setSingleShot(true);
    timer_->setInterval(AfterSendTimeoutMs);
    GuardedConnect(timer_, &QTimer::timeout, this, [this] {
        if (process_ == nullptr) return;
        timedOut_ = true;
        // The command and everything it started: the shell is the leader of its own group.
        const qint64 pid = process_->processId();
        if (pid > 0) ::kill(-static_cast<pid_t>(pid), SIGKILL);
        process_->kill();
    });
}

TAfterSendRunner::~TAfterSendRunner() {
    if (process_ != nullptr) {
        process_->disconnect(this);
        const qint64 pid = process_->processId();
        if (pid > 0) ::kill(-static_cast<pid_t>(pid), SIGKILL);
        process_->kill();
        process_->waitForFinished(1000);
    }
}

void TAfterSendRunner::Request() {
    if (Settings.AfterSendCommand.empty()) return;
    if (process_ != nullptr) {
        again_ = true;
        return;
    }
    Start();
}

bool TAfterSendRunner::Running() const {
    return process_ != nullptr;
}

void TAfterSendRunner::SetTimeoutForTesting(int milliseconds) {
    timer_->setInterval(milliseconds);
}

void TAfterSendRunner::Start() {
    command_ = AnsiToUtf8(Settings.AfterSendCommand);
    if (command_.empty()) return;
    output_.clear();
    timedOut_ = false;
    finished_ = false;
    process_ = new QProcess(this);
    process_->setProcessChannelMode(QProcess::MergedChannels);
    process_->setStandardInputFile(QProcess::nullDevice());
    process_->setChildProcessModifier([] { ::setpgid(0, 0); });
    GuardedConnect(process_, &QProcess::readyRead, this, [this] {
        if (process_ == nullptr) return;
        output_ += process_->readAll();
        if (output_.size() > 2 * OutputKept) output_.remove(0, output_.size() - OutputKept);
    });
    GuardedConnect(process_, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        if (process_ != nullptr) output_ += process_->readAll();
        if (timedOut_) {
            Done(TCommandOutcome::TimedOut, 0);
        } else if (status == QProcess::CrashExit) {
            Done(TCommandOutcome::Killed, 0);
        } else {
            Done(TCommandOutcome::Exited, code);
        }
    });
    GuardedConnect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        // Every other error ends in finished().
        if (error == QProcess::FailedToStart) Done(TCommandOutcome::NotStarted, 0);
    });
    timer_->start();
    process_->start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QString::fromStdString(command_)});
}

void TAfterSendRunner::Done(int kind, int code) {
    if (finished_ || process_ == nullptr) return;
    finished_ = true;
    timer_->stop();
    TCommandOutcome outcome;
    outcome.Kind = static_cast<TCommandOutcome::TKind>(kind);
    outcome.Code = code;
    outcome.Output = output_.toStdString();
    if (outcome.Kind == TCommandOutcome::NotStarted) outcome.Output += process_->errorString().toStdString();
    output_.clear();
    process_->disconnect(this);
    process_->deleteLater();
    process_ = nullptr;

    const std::string logError =
        AppendAfterSendLog(AfterSendLogPath(), command_, outcome, std::time(nullptr));
    std::string failure;
    if (!outcome.Ok()) failure = AfterSendFailureText(outcome);
    if (!logError.empty())
        failure += (failure.empty() ? "" : " ") + Utf8ToAnsi("Журнал команды после отправки не записан: ") +
                   logError;
    if (!failure.empty()) MainWindowServices().SetStatusText(failure);
    emit Finished(outcome.Ok(), ToQt(failure));
    if (again_) {
        again_ = false;
        Start();
    }
}

TAfterSendRunner& AfterSendRunner() {
    static QPointer<TAfterSendRunner> runner;
    if (runner.isNull()) runner = new TAfterSendRunner(qApp);
    return *runner;
}

void ShowAfterSendLog(QWidget* parent) {
    static QPointer<QDialog> window;
    if (window.isNull()) {
        auto* dialog = new QDialog(parent);
        window = dialog;
        window->setObjectName(QStringLiteral("AfterSendLogView"));
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->setWindowTitle(QStringLiteral("Журнал команды после отправки"));
        auto* text = new QPlainTextEdit(window);
        text->setObjectName(QStringLiteral("AfterSendLogText"));
        text->setReadOnly(true);
        text->setLineWrapMode(QPlainTextEdit::NoWrap);
        text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, window);
        QPushButton* reload = buttons->addButton(QStringLiteral("&Обновить"), QDialogButtonBox::ActionRole);
        reload->setObjectName(QStringLiteral("AfterSendLogReload"));
        buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("&Закрыть"));
        auto* layout = new QVBoxLayout(window);
        layout->addWidget(text);
        layout->addWidget(buttons);
        window->resize(720, 480);
        auto load = [text] {
            QFile file(QString::fromLocal8Bit(AfterSendLogPath().c_str()));
            text->setPlainText(file.open(QIODevice::ReadOnly)
                                   ? QString::fromUtf8(file.readAll())
                                   : QStringLiteral("Команда после отправки ещё не запускалась."));
            text->verticalScrollBar()->setValue(text->verticalScrollBar()->maximum());
        };
        GuardedConnect(reload, &QPushButton::clicked, dialog, load);
        GuardedConnect(buttons, &QDialogButtonBox::rejected, dialog, [dialog] { dialog->close(); });
        load();
        text->setFocus();
    }
    window->show();
    window->raise();
    window->activateWindow();
}

}  // namespace pelmar::ui
