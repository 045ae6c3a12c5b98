#pragma once
// One running copy per user: the first copy listens on a local socket; a later start connects to it,
// asks it to come to the front and ends.
#include <QObject>
#include <QString>

class QLocalServer;

namespace pelmar::ui {

class TSingleInstance : public QObject {
    Q_OBJECT

public:
    explicit TSingleInstance(QString name = DefaultName(), QObject* parent = nullptr);
    ~TSingleInstance() override;

    // The socket of the current user (and settings home, so separate homes run side by side).
    static QString DefaultName();

    // True when a running copy answered; it has been asked to activate its window.
    bool ActivateRunning(int timeoutMs = 2000);
    // Makes this process the running copy. A socket left behind by a copy that crashed is replaced;
    // false when another copy holds the name (or it cannot be taken at all).
    bool Listen();

signals:
    void ActivationRequested();

private:
    void AcceptConnections();

    QString name_;
    QLocalServer* server_ = nullptr;
};

// Brings a window to the front, restoring it first when it is minimised.
void BringToFront(QWidget* window);

}  // namespace pelmar::ui
