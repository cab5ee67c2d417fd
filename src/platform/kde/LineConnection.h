#pragma once

#include <QByteArray>
#include <QObject>

class QSocketNotifier;

// One end of a connected stream socket that carries '\n'-ended lines both
// ways. What the socket does not take at once waits until it is writable, and
// nothing more is read meanwhile, so a peer that never reads cannot make the
// queue grow. The descriptor is this object's from then on.
class LineConnection : public QObject {
    Q_OBJECT
public:
    enum class End {
        Hangup,      // the peer closed, or the socket failed
        LineTooLong, // more than maximumLineBytes came without a line's end
    };
    Q_ENUM(End)

    // `fd` must be non-blocking.
    LineConnection(int fd, qsizetype maximumLineBytes, QObject* parent = nullptr);
    ~LineConnection() override;

    bool isOpen() const { return m_fd >= 0; }
    void send(const QByteArray& bytes);
    // Closes the socket without a signal.
    void close();

Q_SIGNALS:
    // Without its '\n'. A receiver may close the connection from here, but must not delete it.
    void lineReceived(const QByteArray& line);
    // Once, from the event loop, after the lines that came before it; the connection is closed already.
    void ended(LineConnection::End end);

private:
    void readAvailable();
    void writeQueued();
    bool takeLines();
    void end(End end);

    int m_fd;
    qsizetype m_maximumLineBytes;
    QByteArray m_received;
    QByteArray m_unsent;
    QSocketNotifier* m_readable = nullptr;
    QSocketNotifier* m_writable = nullptr;
};
