#pragma once
// The command after sending, run in the background: one run per send, and while one runs any further
// requests make exactly one more run after it. Its output and outcome go to the log in the data
// folder; a failure is said in the main window's status line. The log can be read in a small window.
#include <QByteArray>
#include <QObject>
#include <QString>
#include <string>

class QProcess;
class QTimer;
class QWidget;

namespace pelmar::ui {

class TAfterSendRunner : public QObject {
    Q_OBJECT

public:
    explicit TAfterSendRunner(QObject* parent = nullptr);
    ~TAfterSendRunner() override;

    // Runs the command of the settings (nothing when none is set).
    void Request();
    bool Running() const;
    // Tests: how long a run may take before it is stopped.
    void SetTimeoutForTesting(int milliseconds);

signals:
    // After every run: whether it succeeded and, when not, the text the status line got (CP1251
    // turned into QString).
    void Finished(bool ok, const QString& failure);

private:
    void Start();
    void Done(int kind, int code);
    QProcess* process_ = nullptr;
    QTimer* timer_ = nullptr;
    std::string command_;  // UTF-8, the one running
    QByteArray output_;
    bool again_ = false;
    bool timedOut_ = false;
    bool finished_ = false;
};

// The program's runner, made on first use (owned by the application object).
TAfterSendRunner& AfterSendRunner();

// Opens the log in a read-only window (one window, brought up again when open).
void ShowAfterSendLog(QWidget* parent);

}  // namespace pelmar::ui
