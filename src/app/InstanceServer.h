#pragma once

#include "app/InstanceProtocol.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;

// Makes this process the one Runeboard of its user and display: it holds a
// lock file and listens on a socket in the private runtime folder, and hands
// every request a second `runeboard` sends to its handler. A crashed
// predecessor's lock and socket file never stand in the way: the lock records
// its owner's process and is taken over once that process is gone.
//
// Whoever may connect is not trusted with the process's resources: at most
// maximumConnections are open at a time (the rest wait in the kernel's queue),
// a connection that has not sent its request within idleTimeoutMs is dropped,
// and none may make the server hold more than one request line. Qt gives up
// listening when accepting fails (out of file descriptors); it is made to
// listen again.
class InstanceServer : public QObject {
    Q_OBJECT
public:
    using Respond = std::function<void(const AppReply&)>;
    using Handler = std::function<void(const AppRequest&, Respond)>;

    static constexpr int maximumConnections = 32;
    static constexpr int idleTimeoutMs = 1000;
    static constexpr int relistenIntervalMs = 1000;

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
    int openConnections() const { return m_connections; }

private:
    bool startListening(QString* error);
    void keepListening();
    void accept();
    void readFrom(QLocalSocket* socket);

    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
    QTimer m_watchdog;
    Handler m_handler;
    // What each connection has sent, until its request line is complete.
    QHash<const QObject*, QByteArray> m_receiving;
    int m_connections = 0;
    bool m_relistenFailed = false;
};
