#pragma once

#include <QHash>
#include <QObject>
#include <QTcpServer>

class QTcpSocket;

// A local feed server: answers every request with `status` and `body`, or
// keeps every connection open and says nothing, or refuses to connect.
class FeedServer : public QObject {
public:
    enum class Mode { Answer, Silent, Refuse };

    FeedServer();

    QString url() const;
    void setMode(Mode mode);

    int status = 200;
    QByteArray body;
    int connections = 0;

private:
    void answer(QTcpSocket* socket);

    QTcpServer m_server;
    quint16 m_port = 0;
    Mode m_mode = Mode::Answer;
    QHash<QTcpSocket*, QByteArray> m_requests;
};
