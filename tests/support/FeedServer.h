#pragma once

#include <QHash>
#include <QObject>
#include <QTcpServer>

class QTcpSocket;

// A local feed server: answers every request with `status` and `body`, or
// keeps every connection open and says nothing, or refuses to connect, or
// sends a chunked body that never ends, as fast as the client takes it, until
// the client hangs up or 256 MB have gone out.
class FeedServer : public QObject {
public:
    enum class Mode { Answer, Silent, Refuse, Endless };

    FeedServer();

    QString url() const;
    void setMode(Mode mode);

    int status = 200;
    QByteArray body;
    int connections = 0;
    qint64 endlessSent = 0; // what the client has taken off the wire, the kernel's socket buffers included

private:
    void answer(QTcpSocket* socket);

    QTcpServer m_server;
    Mode m_mode = Mode::Answer;
    qint64 m_endlessWritten = 0;
    QHash<QTcpSocket*, QByteArray> m_requests;
};
