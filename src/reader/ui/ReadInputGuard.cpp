#include "reader/ui/ReadInputGuard.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>

namespace pelmar::ui {

TReadInputGuard::TReadInputGuard(QObject* parent) : QObject(parent) {}

TReadInputGuard::~TReadInputGuard() {
    if (active_) QCoreApplication::instance()->removeEventFilter(this);
}

void TReadInputGuard::Begin() {
    abort_ = false;
    sincePoll_.invalidate();
    held_.clear();
    if (active_) return;
    active_ = true;
    QCoreApplication::instance()->installEventFilter(this);
}

bool TReadInputGuard::Poll() {
    if (!active_) return false;
    // The queue is looked at every 50 messages, but not more often than a click could tell.
    if (sincePoll_.isValid() && sincePoll_.elapsed() < kPollIntervalMs) return abort_;
    sincePoll_.start();
    // Timers wait until the read is over; the input filter holds mouse and keys.
    QCoreApplication::processEvents(QEventLoop::ExcludeSocketNotifiers | QEventLoop::X11ExcludeTimers);
    return abort_;
}

void TReadInputGuard::End() {
    if (!active_) return;
    active_ = false;
    QCoreApplication::instance()->removeEventFilter(this);
    std::vector<THeld> held = std::move(held_);
    held_.clear();
    for (THeld& item : held) {
        if (item.Receiver) QCoreApplication::postEvent(item.Receiver, item.Event.release());
    }
}

bool TReadInputGuard::IsEscape(const QEvent& event) {
    const auto& key = static_cast<const QKeyEvent&>(event);
    return key.key() == Qt::Key_Escape && key.modifiers() == Qt::NoModifier;
}

bool TReadInputGuard::IsHeldInput(const QEvent& event) {
    switch (event.type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Wheel:
        case QEvent::Close:
        case QEvent::ContextMenu:
        case QEvent::Shortcut:
            return true;
        default:
            return false;
    }
}

bool TReadInputGuard::eventFilter(QObject* watched, QEvent* event) {
    if (!active_) return false;
    // Input enters through the top-level windows; what is held there never reaches a widget.
    // A key that matches a shortcut is turned into a shortcut event for the action at once.
    if (event->type() == QEvent::ShortcutOverride && IsEscape(*event)) {
        // Esc is taken as a key press, not as the shortcut of an action, so it arrives below.
        event->accept();
        return true;
    }
    if (event->type() == QEvent::Shortcut) {
        held_.push_back({watched, std::unique_ptr<QEvent>(event->clone())});
        return true;
    }
    if (!watched->isWindowType()) return false;
    if (event->type() == QEvent::MouseMove) return true;
    if (!IsHeldInput(*event)) return false;
    if (event->type() == QEvent::KeyPress && IsEscape(*event)) {
        abort_ = true;
        return true;  // used up by the abort
    }
    if (event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        abort_ = true;
    }
    held_.push_back({watched, std::unique_ptr<QEvent>(event->clone())});
    return true;
}

}  // namespace pelmar::ui
