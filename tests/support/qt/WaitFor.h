#pragma once
// Window tests wait for a condition while the event loop runs, never for a length of time.
#include <QApplication>
#include <QElapsedTimer>

namespace pelmar::test {

// Runs the event loop until `done` holds or `timeoutMs` passed; returns `done`. The limit is generous:
// it only ends a test that would otherwise hang.
template <typename F>
bool WaitFor(F done, int timeoutMs = 30000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs) QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

}  // namespace pelmar::test
