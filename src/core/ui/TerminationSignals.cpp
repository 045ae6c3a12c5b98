#include "core/ui/TerminationSignals.h"
#include "core/ui/SlotGuard.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <cerrno>

namespace pelmar::ui {

namespace {

constexpr std::array<int, 3> kSignals{SIGTERM, SIGINT, SIGHUP};

// The signal handler may only write to a descriptor; the event loop reads the other end.
int signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(signalPipe[1], &byte, 1);
    errno = savedErrno;
}

}  // namespace

TTerminationSignals::TTerminationSignals(QObject* parent) : QObject(parent) {
    // One listener per process: a second object stays inert.
    if (signalPipe[0] >= 0) return;
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
    GuardedConnect(notifier_.get(), &QSocketNotifier::activated, this, [this] { Drain(); });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &action, &saved_[i]);
}

TTerminationSignals::~TTerminationSignals() {
    if (!notifier_) return;
    for (size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &saved_[i], nullptr);
    notifier_.reset();
    close(signalPipe[0]);
    close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
}

void TTerminationSignals::Drain() {
    char buffer[16];
    while (read(signalPipe[0], buffer, sizeof buffer) > 0) {
    }
    // Asked once; a second signal ends the program at once should the orderly way get stuck.
    for (size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &saved_[i], nullptr);
    emit TerminationRequested();
}

}  // namespace pelmar::ui
