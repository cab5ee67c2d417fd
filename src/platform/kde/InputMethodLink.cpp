#include "platform/kde/InputMethodLink.h"

#include "platform/Log.h"

#include "platform/kde/LineConnection.h"

#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace {
constexpr int retryMs = 100;
constexpr int maximumRetries = 20;
// The longest answer is a word.
constexpr qsizetype maximumAnswerBytes = 64;
} // namespace

InputMethodLink::InputMethodLink(QString socketPath, QObject* parent)
    : QObject(parent)
    , m_path(std::move(socketPath))
    , m_watcher(new QFileSystemWatcher(this)) {
    m_retry.setSingleShot(true);
    m_retry.setInterval(retryMs);
    connect(&m_retry, &QTimer::timeout, this, &InputMethodLink::tryConnect);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        m_retries = 0;
        tryConnect();
    });
    tryConnect();
    m_announce = true; // a one-off --type keeps quiet about what was there from the start
}

InputMethodLink::~InputMethodLink() = default;

bool InputMethodLink::isConnected() const {
    return m_connection && m_connection->isOpen();
}

int InputMethodLink::connectSocket() const {
    const QByteArray native = QFile::encodeName(m_path);
    sockaddr_un address{};
    if (size_t(native.size()) >= sizeof address.sun_path)
        return -1;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    int connected;
    do {
        connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (connected != 0 && errno == EINTR);
    // Refused (nobody listens yet, or any more) or a full queue (EAGAIN): the caller tries again.
    if (connected != 0 && errno != EISCONN) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void InputMethodLink::tryConnect() {
    // A connection that has ended is followed up when it says so, not replaced before.
    if (m_path.isEmpty() || m_connection)
        return;
    if (QFileInfo::exists(m_path)) {
        if (const int fd = connectSocket(); fd >= 0) {
            m_connection = new LineConnection(fd, maximumAnswerBytes, this);
            connect(m_connection, &LineConnection::lineReceived, this, &InputMethodLink::readAnswer);
            connect(m_connection, &LineConnection::ended, this, &InputMethodLink::dropped);
            if (!m_watcher->directories().isEmpty())
                m_watcher->removePaths(m_watcher->directories());
            if (m_announce)
                Log::line(
                    QStringLiteral("[InputMethodLink] Plasma's virtual keyboard is Runeboard's: text fields "
                                   "of Wayland programs get symbols from it"));
            return;
        }
        if (m_retries++ < maximumRetries)
            m_retry.start();
    }
    const QString folder = QFileInfo(m_path).path();
    if (m_watcher->directories().isEmpty() && !m_watcher->addPath(folder))
        Log::line(
            QStringLiteral("[InputMethodLink] Cannot watch %1 for Plasma's virtual keyboard").arg(folder));
}

void InputMethodLink::commit(const QString& text) {
    m_waiting = true;
    if (m_connection) // a failure to send ends the connection, and the wait with it
        return m_connection->send(InputMethodService::request(text));
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (std::exchange(m_waiting, false))
                Q_EMIT answered(InputMethodService::Outcome::Lost);
        },
        Qt::QueuedConnection);
}

void InputMethodLink::readAnswer(const QByteArray& line) {
    const std::optional<InputMethodService::Outcome> outcome =
        InputMethodService::parseAnswer(line.trimmed());
    if (!outcome || !std::exchange(m_waiting, false)) {
        Log::line(QStringLiteral("[InputMethodLink] The input method answered what was not asked"));
        m_connection->close();
        return dropped();
    }
    Q_EMIT answered(*outcome);
}

void InputMethodLink::dropped() {
    Log::line(QStringLiteral("[InputMethodLink] Plasma's virtual keyboard went away; symbols go by pasting"));
    if (m_connection)
        std::exchange(m_connection, nullptr)->deleteLater();
    if (std::exchange(m_waiting, false))
        Q_EMIT answered(InputMethodService::Outcome::Lost);
    m_retries = 0;
    // Reconnecting from within the connection's own signal would re-enter it.
    QMetaObject::invokeMethod(this, &InputMethodLink::tryConnect, Qt::QueuedConnection);
}
