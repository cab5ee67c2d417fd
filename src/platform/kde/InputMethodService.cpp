#include "platform/kde/InputMethodService.h"

#include "platform/Log.h"
#include "platform/RuntimeFolder.h"

#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include <utility>

namespace {
constexpr std::pair<InputMethodService::Outcome, const char*> answers[] = {
    {InputMethodService::Outcome::Typed, "typed"},
    {InputMethodService::Outcome::NoField, "no-field"},
    {InputMethodService::Outcome::Unsure, "unsure"},
};
} // namespace

InputMethodService::InputMethodService(Commit commit, QObject* parent)
    : QObject(parent)
    , m_commit(std::move(commit))
    , m_server(new QLocalServer(this)) {
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &InputMethodService::accept);
}

InputMethodService::~InputMethodService() = default;

QString InputMethodService::socketPath(QString* error) {
    const QString folder = RuntimeFolder::path(error);
    if (folder.isEmpty())
        return {};
    // KWin may start its input method before Xwayland, so the Wayland display names the session.
    QString display =
        QFileInfo(qEnvironmentVariable("WAYLAND_DISPLAY", QStringLiteral("wayland-0"))).fileName();
    return folder + QStringLiteral("/input-method-") + display + QStringLiteral(".socket");
}

bool InputMethodService::listen(const QString& path, QString* error) {
    QLocalServer::removeServer(path);
    if (!m_server->listen(path)) {
        *error = m_server->errorString();
        return false;
    }
    return true;
}

QByteArray InputMethodService::request(const QString& text) {
    return text.toUtf8().toBase64() + '\n';
}

QByteArray InputMethodService::answer(Outcome outcome) {
    for (const auto& [known, word] : answers) {
        if (known == outcome)
            return QByteArray(word) + '\n';
    }
    return QByteArrayLiteral("unsure\n");
}

std::optional<InputMethodService::Outcome> InputMethodService::parseAnswer(QByteArrayView line) {
    for (const auto& [outcome, word] : answers) {
        if (line == word)
            return outcome;
    }
    return std::nullopt;
}

void InputMethodService::accept() {
    while (QLocalSocket* client = m_server->nextPendingConnection()) {
        client->setParent(this);
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QLocalSocket::readyRead, this, [this, client] { serve(client); });
        serve(client);
    }
}

void InputMethodService::serve(QLocalSocket* client) {
    while (client->canReadLine()) {
        QByteArray line = client->readLine(maximumLineBytes + 1);
        if (!line.endsWith('\n'))
            break; // too long: cut off below
        line.chop(1);
        const QByteArray::FromBase64Result decoded =
            QByteArray::fromBase64Encoding(line, QByteArray::AbortOnBase64DecodingErrors);
        const QString text = QString::fromUtf8(decoded.decoded);
        if (!decoded || text.toUtf8() != decoded.decoded) {
            Log::line(QStringLiteral("[InputMethodService] A request was not text; its sender is cut off"));
            client->abort();
            return;
        }
        client->write(answer(m_commit(text)));
    }
    // A line that never ends is no request.
    if (client->bytesAvailable() > maximumLineBytes || (client->canReadLine() && client->isOpen())) {
        Log::line(QStringLiteral("[InputMethodService] A request was too long; its sender is cut off"));
        client->abort();
    }
}
