#include "platform/kde/InputMethodLink.h"

#include "platform/Log.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLocalSocket>

#include <utility>

namespace {
constexpr int retryMs = 100;
constexpr int maximumRetries = 20;
} // namespace

InputMethodLink::InputMethodLink(QString socketPath, QObject* parent)
    : QObject(parent)
    , m_path(std::move(socketPath))
    , m_socket(new QLocalSocket(this))
    , m_watcher(new QFileSystemWatcher(this)) {
    m_retry.setSingleShot(true);
    m_retry.setInterval(retryMs);
    connect(&m_retry, &QTimer::timeout, this, &InputMethodLink::tryConnect);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        m_retries = 0;
        tryConnect();
    });
    connect(m_socket, &QLocalSocket::readyRead, this, &InputMethodLink::readAnswers);
    connect(m_socket, &QLocalSocket::disconnected, this, &InputMethodLink::dropped);
    tryConnect();
    m_announce = true; // a one-off --type keeps quiet about what was there from the start
}

InputMethodLink::~InputMethodLink() {
    m_socket->disconnect(this);
}

bool InputMethodLink::isConnected() const {
    return m_socket->state() == QLocalSocket::ConnectedState;
}

void InputMethodLink::tryConnect() {
    if (m_path.isEmpty() || isConnected())
        return;
    if (QFileInfo::exists(m_path)) {
        m_socket->connectToServer(m_path);
        if (m_socket->waitForConnected(1000)) {
            if (!m_watcher->directories().isEmpty())
                m_watcher->removePaths(m_watcher->directories());
            if (m_announce)
                Log::line(
                    QStringLiteral("[InputMethodLink] Plasma's virtual keyboard is Runeboard's: text fields "
                                   "of Wayland programs get symbols from it"));
            return;
        }
        m_socket->abort();
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
    m_socket->write(InputMethodService::request(text));
    m_socket->flush();
}

void InputMethodLink::readAnswers() {
    while (m_socket->canReadLine()) {
        const QByteArray line = m_socket->readLine().trimmed();
        const std::optional<InputMethodService::Outcome> outcome = InputMethodService::parseAnswer(line);
        if (!outcome || !std::exchange(m_waiting, false)) {
            Log::line(QStringLiteral("[InputMethodLink] The input method answered what was not asked"));
            m_socket->abort();
            return;
        }
        Q_EMIT answered(*outcome);
    }
}

void InputMethodLink::dropped() {
    Log::line(QStringLiteral("[InputMethodLink] Plasma's virtual keyboard went away; symbols go by pasting"));
    if (std::exchange(m_waiting, false))
        Q_EMIT answered(InputMethodService::Outcome::Lost);
    m_retries = 0;
    // Reconnecting from within the socket's own signal would re-enter it.
    QMetaObject::invokeMethod(this, &InputMethodLink::tryConnect, Qt::QueuedConnection);
}
