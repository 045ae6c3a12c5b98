#include "reader/ui/DesktopNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QStringList>
#include <QVariantMap>
#include <utility>

#include "core/ui/SlotGuard.h"

namespace pelmar::ui {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kDefaultAction = QStringLiteral("default");
// The name of the installed desktop entry and icon.
const QString kDesktopEntry = QStringLiteral("com.quorvant.Pelmar");

// Text from the network goes to another program: control characters become spaces (the body keeps
// its own line breaks) and the characters that turn the direction of the text are dropped.
QString Clean(const QString& text, bool keepLineBreaks) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (keepLineBreaks && u == u'\n') {
            out += c;
        } else if (u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0) || u == 0x2028 || u == 0x2029) {
            out += QLatin1Char(' ');
        } else if ((u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069) || u == 0x200E ||
                   u == 0x200F) {
            continue;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

TDesktopNotifier::TDesktopNotifier(QObject* parent) : QObject(parent), useSessionBus_(true) {}

TDesktopNotifier::TDesktopNotifier(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), bus_(bus) {}

TDesktopNotifier::~TDesktopNotifier() {
    if (!connected_ || !bus_) return;
    bus_->disconnect(QString(), kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                     SLOT(OnActionInvoked(uint, QString)));
    bus_->disconnect(QString(), kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                     SLOT(OnClosed(uint, uint)));
}

QString TDesktopNotifier::BodyFor(const QString& plain, bool markup) {
    const QString clean = Clean(plain, true);
    return markup ? clean.toHtmlEscaped() : clean;
}

bool TDesktopNotifier::Connect() {
    if (connected_) return true;
    if (!bus_) {
        // Without an announced bus the library would try to start one of its own (an X11
        // autolaunch): there is simply no desktop to tell.
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
            const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
            if (runtime.isEmpty() || !QFileInfo::exists(runtime + QStringLiteral("/bus"))) {
                Fail(QStringLiteral("нет сеансовой шины D-Bus"));
                return false;
            }
        }
        bus_ = QDBusConnection::sessionBus();
    }
    if (!bus_->isConnected()) {
        const QString reason = bus_->lastError().message();
        Fail(reason.isEmpty() ? QStringLiteral("нет соединения с шиной D-Bus") : reason);
        return false;
    }
    // From any sender: naming the service would make Qt ask the bus for its owner and wait.
    bus_->connect(QString(), kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                  SLOT(OnActionInvoked(uint, QString)));
    bus_->connect(QString(), kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                  SLOT(OnClosed(uint, uint)));
    connected_ = true;
    return true;
}

void TDesktopNotifier::Notify(TDesktopNotification notification) {
    if (!Connect()) return;
    if (state_ == TState::Ready) {
        Send(std::move(notification));
        return;
    }
    queued_.push_back(std::move(notification));
    if (state_ == TState::Idle) AskCapabilities();
}

void TDesktopNotifier::AskCapabilities() {
    state_ = TState::Asking;
    const QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("GetCapabilities"));
    auto* watcher = new QDBusPendingCallWatcher(bus_->asyncCall(call, kCallTimeoutMs), this);
    GuardedConnect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        const QDBusPendingReply<QStringList> reply = *done;
        std::vector<TDesktopNotification> queued = std::exchange(queued_, {});
        if (reply.isError()) {
            // Asked again with the next notification: the service may have started by then.
            state_ = TState::Idle;
            Fail(reply.error().message());
            return;
        }
        markup_ = reply.value().contains(QStringLiteral("body-markup"));
        state_ = TState::Ready;
        for (TDesktopNotification& notification : queued) Send(std::move(notification));
    });
}

void TDesktopNotifier::Send(TDesktopNotification notification) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("category"), QStringLiteral("email.arrived"));
    hints.insert(QStringLiteral("desktop-entry"), kDesktopEntry);
    call << QStringLiteral("Пелмар") << uint(0) << kDesktopEntry << Clean(notification.Summary, false)
         << BodyFor(notification.Body, markup_) << QStringList{kDefaultAction, QStringLiteral("Открыть")}
         << hints << int(-1);
    ++pending_;
    auto* watcher = new QDBusPendingCallWatcher(bus_->asyncCall(call, kCallTimeoutMs), this);
    GuardedConnect(watcher, &QDBusPendingCallWatcher::finished, this,
                   [this, activated = std::move(notification.Activated)](QDBusPendingCallWatcher* done) {
                       done->deleteLater();
                       --pending_;
                       const QDBusPendingReply<uint> reply = *done;
                       if (reply.isError()) {
                           state_ = TState::Idle;
                           Fail(reply.error().message());
                           return;
                       }
                       shown_[reply.value()] = activated;
                   });
}

void TDesktopNotifier::Fail(const QString& reason) {
    if (std::exchange(told_, true)) return;
    if (Unavailable) Unavailable(reason);
}

void TDesktopNotifier::OnActionInvoked(uint id, const QString& action) {
    const auto it = shown_.find(id);
    if (it == shown_.end() || action != kDefaultAction || !it->second) return;
    // A copy: the work may close notifications, and so change the map.
    const std::function<void()> activated = it->second;
    Guarded(activated);
}

void TDesktopNotifier::OnClosed(uint id, uint) {
    shown_.erase(id);
}

}  // namespace pelmar::ui
