#include "TextareaPage.h"

#include <QSaveFile>
#include <QTcpSocket>

namespace {
// Posts "number\ntext" once loaded and at every change.
constexpr char page[] = R"(<!doctype html>
<meta charset="utf-8">
<title>receiver-browser</title>
<textarea id="text" autofocus style="width: 90vw; height: 80vh"></textarea>
<script>
const text = document.getElementById("text");
let number = 0;
const post = () => fetch("/", {method: "POST", body: `${++number}\n${text.value}`});
text.addEventListener("input", post);
text.focus();
post();
</script>
)";
} // namespace

TextareaPage::TextareaPage(const QString& outputFile)
    : m_outputFile(outputFile) {
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                m_requests.remove(socket);
                socket->deleteLater();
            });
        }
    });
}

QString TextareaPage::url() const {
    return QStringLiteral("http://127.0.0.1:%1/").arg(m_server.serverPort());
}

void TextareaPage::answer(QTcpSocket* socket) {
    QByteArray& request = m_requests[socket];
    request += socket->readAll();
    const qsizetype headerEnd = request.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return;
    const QByteArray header = request.left(headerEnd).toLower();
    qsizetype length = 0;
    if (const qsizetype at = header.indexOf("\r\ncontent-length:"); at >= 0)
        length = header.mid(at + 17, header.indexOf('\r', at + 2) - at - 17).trimmed().toLongLong();
    if (request.size() < headerEnd + 4 + length)
        return;
    const QByteArray body = request.mid(headerEnd + 4, length);
    const bool post = request.startsWith("POST ");
    request.clear();
    if (post) {
        take(body);
        socket->write("HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n");
    } else {
        const QByteArray content(page);
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                      QByteArray::number(content.size()) + "\r\nConnection: close\r\n\r\n" + content);
    }
    socket->disconnectFromHost();
}

void TextareaPage::take(const QByteArray& body) {
    const qsizetype lineEnd = body.indexOf('\n');
    bool isNumber = false;
    const qint64 number = body.left(lineEnd).toLongLong(&isNumber);
    if (lineEnd < 0 || !isNumber || number <= m_newest)
        return;
    m_newest = number;
    QSaveFile file(m_outputFile);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(body.mid(lineEnd + 1));
        file.commit();
    }
}
