#pragma once

#include "app/InstanceProtocol.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>

class QLockFile;
class QSocketNotifier;

// Makes this process the one Runeboard of its user and display: it holds a
// lock file and listens on a socket in the private runtime folder, and hands
// every request a second `runeboard` sends to its handler. A crashed
// predecessor's lock and socket file never stand in the way: the lock records
// its owner's process and is taken over once that process is gone.
//
// Whoever may connect is not trusted with the process's resources: at most
// maximumConnections are open at a time (the rest wait in the kernel's queue),
// a connection that has not sent its request within idleTimeoutMs is dropped,
// and none may make the server hold more than one request line. When the
// process runs out of file descriptors, accepting pauses and is tried again a
// second later, instead of the socket being given up.
class InstanceServer : public QObject {
    Q_OBJECT
public:
    using Respond = std::function<void(const AppReply&)>;
    using Handler = std::function<void(const AppRequest&, Respond)>;

    static constexpr int maximumConnections = 32;
    static constexpr int idleTimeoutMs = 1000;
    static constexpr int acceptRetryMs = 1000;

    // <runtime folder>/display<display>.socket (see RuntimeFolder). Empty when
    // no private folder can be had; *error then says why.
    static QString socketPath(QString* error);

    explicit InstanceServer(QObject* parent = nullptr);
    ~InstanceServer() override;

    // Takes the lock beside the socket. False when another live process holds it.
    bool lock(const QString& socketPath);
    // Listens (only once locked); false with a reason when the socket cannot be made.
    bool listen(QString* error);
    bool isListening() const;
    void setHandler(Handler handler) { m_handler = std::move(handler); }
    // Stops listening and gives the socket file and the lock up.
    void close();

    QString path() const { return m_path; }
    int openConnections() const { return int(m_open.size()); }

private:
    // One accepted connection, on a plain descriptor: nothing of Qt's network
    // module is needed for a line each way, and none of it is loaded at start.
    struct Connection {
        int fd = -1;
        QSocketNotifier* readable = nullptr;
        QSocketNotifier* writable = nullptr; // while an answer waits for room in the socket
        QTimer* deadline = nullptr;
        QByteArray received; // until the request line is complete
        QByteArray unsent;   // the answer, until written
        bool requestTaken = false;
    };

    void accept();
    void pauseAccepting(int error);
    void readFrom(quint64 id);
    void answer(quint64 id, const AppReply& reply);
    void writeTo(quint64 id);
    void drop(quint64 id);

    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
    // The listening socket is Runeboard's own rather than a QLocalServer's:
    // Qt closes its socket for good at the first failed accept.
    int m_listenFd = -1;
    QSocketNotifier* m_incoming = nullptr;
    QTimer m_acceptRetry; // runs only while accepting has failed
    Handler m_handler;
    std::map<quint64, Connection> m_open; // by a number never given twice
    quint64 m_lastId = 0;
    bool m_pauseReported = false;
};
