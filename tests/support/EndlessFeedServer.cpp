#include "EndlessFeedServer.h"

#include <QTcpServer>
#include <QTcpSocket>

EndlessFeedServer::~EndlessFeedServer() {
    wait();
}

QString EndlessFeedServer::url() {
    start();
    while (m_port == 0)
        QThread::msleep(1);
    return QStringLiteral("http://127.0.0.1:%1/appcast.xml").arg(m_port);
}

void EndlessFeedServer::run() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    m_port = server.serverPort();
    if (!server.waitForNewConnection(5000))
        return;
    QTcpSocket* socket = server.nextPendingConnection();
    QByteArray request;
    while (!request.contains("\r\n\r\n") && socket->waitForReadyRead(2000))
        request += socket->readAll();
    socket->write(
        "HTTP/1.1 200 OK\r\nContent-Type: application/rss+xml\r\nTransfer-Encoding: chunked\r\n\r\n");
    constexpr int chunkSize = 64 * 1024;
    const QByteArray chunk = QByteArray::number(chunkSize, 16) + "\r\n" + QByteArray(chunkSize, ' ') + "\r\n";
    for (qint64 written = 0; written < 256LL * 1024 * 1024; m_sent = written - socket->bytesToWrite()) {
        if (socket->bytesToWrite() < chunk.size() && socket->write(chunk) == chunk.size())
            written += chunk.size();
        else if (!socket->waitForBytesWritten(2000))
            break; // the client hung up
    }
}
