#include "InstanceServer.h"

#include "platform/DisplayName.h"
#include "platform/Log.h"
#include "platform/RuntimeFolder.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QPointer>
#include <QRegularExpression>
#include <QTimer>

#include <sys/un.h>

#include <utility>

namespace {
// ":0", ":0.0" and "unix:0" name the same display; the screen does not matter.
QString displayName() {
    QString display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty())
        return QStringLiteral("no-display");
    if (const std::optional<DisplayName> name = DisplayName::parse(display))
        display = name->withoutScreen();
    display.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_-]")), QStringLiteral("_"));
    return QStringLiteral("display") + display;
}
} // namespace

QString InstanceServer::socketPath(QString* error) {
    const QString folder = RuntimeFolder::path(error);
    if (folder.isEmpty())
        return {};
    const QString path = folder + u'/' + displayName() + QStringLiteral(".socket");
    if (static_cast<size_t>(QFile::encodeName(path).size()) >= sizeof(sockaddr_un::sun_path)) {
        *error = QStringLiteral("the socket path %1 is too long").arg(path);
        return {};
    }
    return path;
}

InstanceServer::InstanceServer(QObject* parent)
    : QObject(parent) {
    m_watchdog.setInterval(relistenIntervalMs);
    m_watchdog.setTimerType(Qt::VeryCoarseTimer);
    connect(&m_watchdog, &QTimer::timeout, this, &InstanceServer::keepListening);
}

InstanceServer::~InstanceServer() {
    close();
}

void InstanceServer::close() {
    m_watchdog.stop();
    const QList<QLocalSocket*> connections = findChildren<QLocalSocket*>(Qt::FindDirectChildrenOnly);
    for (QLocalSocket* socket : connections) {
        socket->disconnect(this);
        delete socket;
    }
    m_connections = 0;
    m_receiving.clear();
    // The socket file goes before the lock, so nobody finds a socket without an owner.
    delete std::exchange(m_server, nullptr);
    m_lock.reset();
}

bool InstanceServer::lock(const QString& socketPath) {
    m_path = socketPath;
    m_lock = std::make_unique<QLockFile>(socketPath + QStringLiteral(".lock"));
    // Only a dead owner makes a lock stale, however old it is.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return true;
    m_lock.reset();
    return false;
}

bool InstanceServer::listen(QString* error) {
    if (!m_lock) {
        *error = QStringLiteral("the instance lock is not held");
        return false;
    }
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // Qt accepts no further connection while one waits here, so at most
    // maximumConnections are open; the others wait in the kernel's queue.
    m_server->setMaxPendingConnections(1);
    connect(m_server, &QLocalServer::newConnection, this, &InstanceServer::accept);
    if (!startListening(error)) {
        delete std::exchange(m_server, nullptr);
        return false;
    }
    m_watchdog.start();
    return true;
}

bool InstanceServer::isListening() const {
    return m_server && m_server->isListening();
}

bool InstanceServer::startListening(QString* error) {
    // We hold the lock, so a socket file left here belongs to nobody alive.
    QLocalServer::removeServer(m_path);
    if (m_server->listen(m_path))
        return true;
    *error = m_server->errorString();
    return false;
}

void InstanceServer::keepListening() {
    if (!m_server || m_server->isListening())
        return;
    QString error;
    if (startListening(&error)) {
        Log::line(QStringLiteral("[InstanceServer] Listening again on %1").arg(m_path));
        m_relistenFailed = false;
        accept();
    } else if (!std::exchange(m_relistenFailed, true)) {
        Log::line(QStringLiteral("[InstanceServer] Stopped listening on %1 and cannot listen again yet: %2")
                      .arg(m_path, error));
    }
}

void InstanceServer::accept() {
    while (m_server && m_connections < maximumConnections) {
        QLocalSocket* socket = m_server->nextPendingConnection();
        if (!socket)
            return;
        ++m_connections;
        // Owned here, so that a server that has to listen anew keeps its connections.
        socket->setParent(this);
        socket->setReadBufferSize(AppRequest::maximumLineBytes);
        m_receiving.insert(socket, {});
        connect(socket, &QObject::destroyed, this, [this, socket] {
            m_receiving.remove(socket);
            --m_connections;
            QMetaObject::invokeMethod(this, &InstanceServer::accept, Qt::QueuedConnection);
        });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
        auto* deadline = new QTimer(socket);
        deadline->setSingleShot(true);
        deadline->setObjectName(QStringLiteral("requestDeadline"));
        connect(deadline, &QTimer::timeout, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        deadline->start(idleTimeoutMs);
        readFrom(socket);
    }
}

void InstanceServer::readFrom(QLocalSocket* socket) {
    // One request per connection: once it is in, whatever follows stays
    // unread, and Qt stops reading when the read buffer is full.
    const auto found = m_receiving.find(socket);
    if (found == m_receiving.end())
        return;
    found->append(socket->read(AppRequest::maximumLineBytes - found->size()));
    const AppRequest::Framing framing = AppRequest::frame(*found);
    if (framing.kind == AppRequest::Framing::Kind::Incomplete)
        return;
    const QByteArray line = found->left(framing.length);
    m_receiving.erase(found);
    if (auto* deadline = socket->findChild<QTimer*>(QStringLiteral("requestDeadline")))
        deadline->stop();

    QPointer<QLocalSocket> guarded(socket);
    Respond respond = [guarded](const AppReply& reply) {
        if (!guarded)
            return;
        guarded->write(reply.encode());
        guarded->disconnectFromServer();
    };
    if (framing.kind == AppRequest::Framing::Kind::TooLong) {
        respond({2, QStringLiteral("runeboard: the request is longer than the running Runeboard takes "
                                   "(%1 bytes).")
                        .arg(AppRequest::maximumLineBytes)});
        return;
    }
    const std::optional<AppRequest> request = AppRequest::decode(line);
    if (!request) {
        respond({2, QStringLiteral("The running Runeboard did not understand the request.")});
        return;
    }
    if (m_handler)
        m_handler(*request, std::move(respond));
    else
        respond({1, QStringLiteral("The running Runeboard is not ready yet.")});
}
