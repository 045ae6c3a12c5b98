#include "core/ui/SlotGuard.h"

#include <QMetaObject>
#include <QWidget>
#include <cstdio>

#include "core/Errors.h"
#include "core/ui/MessageBox.h"
#include "platform/Codepage.h"

namespace pelmar::ui {

namespace {

std::function<void(const std::string&)> errorSink;

// An error box is open: what fails meanwhile (its own paint, a timer behind it) goes to stderr
// instead of stacking boxes.
bool boxOpen = false;
// The safety net shows one box after the failed handler; later failures wait for it.
bool netBoxQueued = false;

void ShowText(const std::string& text, QWidget* parent) {
    if (errorSink) {
        errorSink(text);
        return;
    }
    if (boxOpen) {
        std::fprintf(stderr, "pelmar: %s\n", AnsiToUtf8(text).c_str());
        return;
    }
    boxOpen = true;
    struct TClose {
        ~TClose() { boxOpen = false; }
    } close;
    ShowError(text, parent != nullptr ? parent : QApplication::activeWindow());
}

}  // namespace

std::string GuardErrorText(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const EWriteError& e) {
        return Utf8ToAnsi("Ошибка при записи в базу:\r\n") + e.what();
    } catch (const EConvertError& e) {
        return Utf8ToAnsi("Ошибка:\r\n") + e.what();
    } catch (const EBaseError& e) {
        return Utf8ToAnsi("Ошибка при чтении базы:\r\n") + e.what();
    } catch (const std::exception& e) {
        return Utf8ToAnsi("Ошибка:\r\n") + e.what();
    } catch (...) {
        return Utf8ToAnsi("Непредвиденная ошибка: действие не выполнено.");
    }
}

void ReportGuardedError(const std::exception_ptr& error, QWidget* parent) {
    std::string text;
    try {
        text = GuardErrorText(error);
        ShowText(text, parent);
    } catch (...) {
        // Nothing may leave the guard, not even a failing box.
        std::fprintf(stderr, "pelmar: %s\n", AnsiToUtf8(text).c_str());
    }
}

void SetGuardErrorSinkForTesting(std::function<void(const std::string&)> sink) {
    errorSink = std::move(sink);
}

namespace detail {

QWidget* WindowOf(const QObject* object) {
    for (const QObject* o = object; o != nullptr; o = o->parent()) {
        if (o->isWidgetType()) return static_cast<const QWidget*>(o)->window();
    }
    return nullptr;
}

}  // namespace detail

TGuardedApplication::TGuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool DeliverGuarded(QObject* receiver, QEvent* event) {
    auto* app = static_cast<QApplication*>(QCoreApplication::instance());
    try {
        return app->QApplication::notify(receiver, event);
    } catch (...) {
        // The handler may have been half-way through a paint or a key: the box waits until the
        // event is over, and a burst of failures shows the first one.
        const std::exception_ptr error = std::current_exception();
        if (errorSink) {
            ReportGuardedError(error);
        } else if (!netBoxQueued) {
            netBoxQueued = true;
            QMetaObject::invokeMethod(
                app,
                [error] {
                    netBoxQueued = false;
                    ReportGuardedError(error);
                },
                Qt::QueuedConnection);
        } else {
            std::fprintf(stderr, "pelmar: %s\n", AnsiToUtf8(GuardErrorText(error)).c_str());
        }
        return false;
    }
}

bool TGuardedApplication::notify(QObject* receiver, QEvent* event) {
    return DeliverGuarded(receiver, event);
}

}  // namespace pelmar::ui
