#include "core/ui/SingleInstance.h"

#include <unistd.h>
#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>

#include "platform/Paths.h"
#include "core/ui/SlotGuard.h"

namespace pelmar::ui {

namespace {

const QByteArray kActivate = "activate\n";

}  // namespace

TSingleInstance::TSingleInstance(QString name, QObject* parent) : QObject(parent), name_(std::move(name)) {}

TSingleInstance::~TSingleInstance() {
    if (server_) server_->close();
}

QString TSingleInstance::DefaultName() {
    QString name = QStringLiteral("pelmar-%1").arg(static_cast<qulonglong>(getuid()));
    // One copy per settings file: the canonical path, so that every spelling of a home is one name.
    if (!qgetenv("PELMAR_HOME").isEmpty()) {
        try {
            const QByteArray settings = QByteArray::fromStdString(RegistryFilePath());
            name += QLatin1Char('-') +
                    QString::fromLatin1(
                        QCryptographicHash::hash(settings, QCryptographicHash::Sha1).toHex().left(12));
        } catch (const std::exception&) {
            // No home: start-up stops with its own message before the name is used.
        }
    }
    // The per-user runtime folder keeps the socket away from other users.
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(QString::fromLocal8Bit(runtime)).exists()) {
        return QDir(QString::fromLocal8Bit(runtime)).filePath(name + QStringLiteral(".socket"));
    }
    return name;
}

bool TSingleInstance::ActivateRunning(int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(timeoutMs)) return false;
    socket.write(kActivate);
    socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(timeoutMs);
    return true;
}

bool TSingleInstance::Listen() {
    if (server_) return server_->isListening();
    // Taking the name would silently replace the socket of a live copy, so ask first; a socket
    // file that nobody answers on was left by a copy that crashed and may go.
    QLocalSocket probe;
    probe.connectToServer(name_);
    if (probe.waitForConnected(500)) return false;
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    GuardedConnect(server_, &QLocalServer::newConnection, this, [this] { AcceptConnections(); });
    if (server_->listen(name_)) return true;
    QLocalServer::removeServer(name_);
    return server_->listen(name_);
}

void TSingleInstance::AcceptConnections() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        const auto readRequest = [this, socket] {
            // Only the one request is understood; anything else is ignored.
            while (socket->canReadLine()) {
                if (socket->readLine() == kActivate) emit ActivationRequested();
            }
        };
        GuardedConnect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        GuardedConnect(socket, &QLocalSocket::readyRead, this, readRequest);
        readRequest();
    }
}

void BringToFront(QWidget* window) {
    if (!window) return;
    if (window->isMinimized()) window->showNormal();
    window->show();
    window->raise();
    window->activateWindow();
}

}  // namespace pelmar::ui
