#pragma once

#include "app/InstanceProtocol.h"

#include <QObject>

#include <functional>
#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;

// Makes this process the one Runeboard of its user and display: it holds a
// lock file and listens on a socket in a private runtime folder, and hands
// every request a second `runeboard` sends to its handler. A crashed
// predecessor's lock and socket file never stand in the way: the lock records
// its owner's process and is taken over once that process is gone.
class InstanceServer : public QObject {
    Q_OBJECT
public:
    using Respond = std::function<void(const AppReply&)>;
    using Handler = std::function<void(const AppRequest&, Respond)>;

    // $XDG_RUNTIME_DIR/runeboard/<display>.socket (a private folder under the
    // temporary folder when XDG_RUNTIME_DIR is unset). Empty when no private
    // folder can be had; *error then says why.
    static QString socketPath(QString* error);

    explicit InstanceServer(QObject* parent = nullptr);
    ~InstanceServer() override;

    // Takes the lock beside the socket. False when another live process holds it.
    bool lock(const QString& socketPath);
    // Listens (only once locked); false with a reason when the socket cannot be made.
    bool listen(QString* error);
    void setHandler(Handler handler) { m_handler = std::move(handler); }
    // Stops listening and gives the socket file and the lock up.
    void close();

    QString path() const { return m_path; }

private:
    void accept();
    void readFrom(QLocalSocket* socket);

    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
    Handler m_handler;
};
