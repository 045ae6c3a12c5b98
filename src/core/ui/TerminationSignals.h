#pragma once
// SIGTERM, SIGINT and SIGHUP (log-out, kill, Ctrl+C in a terminal) end the program the orderly way:
// the request reaches the event loop, which closes the main window, so that settings, areas and
// the address book are stored as on a normal exit. A signal that comes while no event loop runs is
// kept and delivered by the next one. Only the first signal is caught: a second one ends the
// program the default way.
#include <QObject>
#include <array>
#include <csignal>
#include <memory>

class QSocketNotifier;

namespace pelmar::ui {

class TTerminationSignals : public QObject {
    Q_OBJECT

public:
    explicit TTerminationSignals(QObject* parent = nullptr);
    ~TTerminationSignals() override;
    TTerminationSignals(const TTerminationSignals&) = delete;
    TTerminationSignals& operator=(const TTerminationSignals&) = delete;

signals:
    void TerminationRequested();

private:
    void Drain();

    std::unique_ptr<QSocketNotifier> notifier_;
    std::array<struct sigaction, 3> saved_{};
};

}  // namespace pelmar::ui
