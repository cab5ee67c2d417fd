#include "InstanceServer.h"

#include "platform/DisplayName.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QPointer>
#include <QRegularExpression>
#include <QTimer>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {
// A request is one short line; anything longer is not from a `runeboard`.
constexpr qint64 maximumRequest = 4 * 1024 * 1024;
// A client that connects must say what it wants within this time.
constexpr int requestTimeoutMs = 10000;

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

bool privateFolder(const QString& path, QString* error) {
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
        *error =
            QStringLiteral("cannot create %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid() ||
        (info.st_mode & 077) != 0) {
        *error = QStringLiteral("%1 is not a folder that only this user can open").arg(path);
        return false;
    }
    return true;
}
} // namespace

QString InstanceServer::socketPath(QString* error) {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString folder = !runtime.isEmpty() && QDir::isAbsolutePath(runtime)
                               ? runtime + QStringLiteral("/runeboard")
                               : QDir::tempPath() + QStringLiteral("/runeboard-%1").arg(::getuid());
    if (!privateFolder(folder, error))
        return {};
    const QString path = folder + u'/' + displayName() + QStringLiteral(".socket");
    if (static_cast<size_t>(QFile::encodeName(path).size()) >= sizeof(sockaddr_un::sun_path)) {
        *error = QStringLiteral("the socket path %1 is too long").arg(path);
        return {};
    }
    return path;
}

InstanceServer::InstanceServer(QObject* parent)
    : QObject(parent) {}

InstanceServer::~InstanceServer() {
    close();
}

void InstanceServer::close() {
    // The socket file goes before the lock, so nobody finds a socket without an owner.
    delete m_server;
    m_server = nullptr;
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
    // We hold the lock, so a socket file left here belongs to nobody alive.
    QLocalServer::removeServer(m_path);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_path)) {
        *error = m_server->errorString();
        delete m_server;
        m_server = nullptr;
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, &InstanceServer::accept);
    return true;
}

void InstanceServer::accept() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
        auto* deadline = new QTimer(socket);
        deadline->setSingleShot(true);
        deadline->setObjectName(QStringLiteral("requestDeadline"));
        connect(deadline, &QTimer::timeout, socket, &QLocalSocket::abort);
        deadline->start(requestTimeoutMs);
        readFrom(socket);
    }
}

void InstanceServer::readFrom(QLocalSocket* socket) {
    if (socket->property("answered").toBool())
        return;
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > maximumRequest)
            socket->abort();
        return;
    }
    socket->setProperty("answered", true);
    if (auto* deadline = socket->findChild<QTimer*>(QStringLiteral("requestDeadline")))
        deadline->stop();

    QPointer<QLocalSocket> guarded(socket);
    Respond respond = [guarded](const AppReply& reply) {
        if (!guarded)
            return;
        guarded->write(reply.encode());
        guarded->disconnectFromServer();
    };
    const std::optional<AppRequest> request = AppRequest::decode(socket->readLine(maximumRequest));
    if (!request) {
        respond({2, QStringLiteral("The running Runeboard did not understand the request.")});
        return;
    }
    if (m_handler)
        m_handler(*request, std::move(respond));
    else
        respond({1, QStringLiteral("The running Runeboard is not ready yet.")});
}
