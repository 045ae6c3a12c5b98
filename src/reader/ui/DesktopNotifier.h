#pragma once
// Desktop notifications: the freedesktop Notifications service on the session bus.
//
// Every call to the bus is asynchronous, so a slow or hung service never holds the window, and a
// missing bus or service only means that nothing is shown (Unavailable is told once). The service's
// capabilities are asked before the first notification: a body is escaped as markup only for a
// service that reads markup.
#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace pelmar::ui {

struct TDesktopNotification {
    QString Summary;  // plain text
    QString Body;     // plain text, lines separated by '\n'
    // The user clicked the notification (its default action); may be empty.
    std::function<void()> Activated;
};

class TDesktopNotifier : public QObject {
    Q_OBJECT

public:
    // On the session bus, connected when the first notification is sent.
    explicit TDesktopNotifier(QObject* parent = nullptr);
    // On the given connection (a private bus in tests).
    TDesktopNotifier(const QDBusConnection& bus, QObject* parent = nullptr);
    ~TDesktopNotifier() override;

    // Queues the notification for the service; returns at once.
    void Notify(TDesktopNotification notification);
    // Told once, the first time a notification could not be shown: no bus, no service, an error.
    std::function<void(const QString& reason)> Unavailable;
    // Notifications the service took and has not closed yet.
    int OpenCount() const { return static_cast<int>(shown_.size()); }
    // Notifications sent or waiting for the service's capabilities, not answered yet.
    int PendingCount() const { return pending_ + static_cast<int>(queued_.size()); }

    // The body as the service is given it: markup characters escaped for a service that reads
    // markup (a subject "<b>" stays text).
    static QString BodyFor(const QString& plain, bool markup);

    static constexpr int kCallTimeoutMs = 10000;

private slots:
    void OnActionInvoked(uint id, const QString& action);
    void OnClosed(uint id, uint reason);

private:
    enum class TState { Idle, Asking, Ready };
    bool Connect();
    void AskCapabilities();
    void Send(TDesktopNotification notification);
    void Fail(const QString& reason);

    std::optional<QDBusConnection> bus_;
    bool useSessionBus_ = false;
    bool connected_ = false;
    TState state_ = TState::Idle;
    bool markup_ = false;
    bool told_ = false;
    int pending_ = 0;
    std::vector<TDesktopNotification> queued_;
    std::map<uint, std::function<void()>> shown_;
};

}  // namespace pelmar::ui
