#include "FeedServer.h"

#include <QTcpSocket>

FeedServer::FeedServer() {
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            ++connections;
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
        }
    });
}

QString FeedServer::url() const {
    return QStringLiteral("http://127.0.0.1:%1/appcast.xml").arg(m_server.serverPort());
}

void FeedServer::setMode(Mode mode) {
    m_mode = mode;
    if (mode == Mode::Refuse)
        m_server.close();
}

void FeedServer::answer(QTcpSocket* socket) {
    m_requests[socket] += socket->readAll();
    if (!m_requests[socket].contains("\r\n\r\n") || m_mode == Mode::Silent)
        return;
    if (m_mode == Mode::Endless) {
        socket->write(
            "HTTP/1.1 200 OK\r\nContent-Type: application/rss+xml\r\nTransfer-Encoding: chunked\r\n\r\n");
        const auto more = [this, socket] {
            constexpr int size = 64 * 1024;
            const QByteArray chunk = QByteArray::number(size, 16) + "\r\n" + QByteArray(size, ' ') + "\r\n";
            while (socket->bytesToWrite() < chunk.size() && m_endlessWritten < 256LL * 1024 * 1024)
                m_endlessWritten += socket->write(chunk);
            endlessSent = m_endlessWritten - socket->bytesToWrite();
        };
        connect(socket, &QTcpSocket::bytesWritten, this, more);
        more();
        return;
    }
    socket->write("HTTP/1.1 " + QByteArray::number(status) + (status == 200 ? " OK" : " Error") +
                  "\r\nContent-Type: application/rss+xml\r\nContent-Length: " +
                  QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    socket->disconnectFromHost();
}
