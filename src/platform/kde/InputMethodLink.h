#pragma once

#include "platform/kde/InputMethodService.h"

#include <QObject>
#include <QString>
#include <QTimer>

class LineConnection;
class QFileSystemWatcher;

// Runeboard's side of the input method's socket (see InputMethodService): it
// connects whenever an input method listens, whichever of the two starts first
// or starts again, waiting on the folder's changes rather than looking again
// and again.
class InputMethodLink : public QObject {
    Q_OBJECT
public:
    explicit InputMethodLink(QString socketPath, QObject* parent = nullptr);
    ~InputMethodLink() override;

    bool isConnected() const;
    // Hands `text` to the input method; answered() follows once, with Lost when the link breaks first.
    // Only while connected, one text at a time.
    void commit(const QString& text);

Q_SIGNALS:
    void answered(InputMethodService::Outcome outcome);

private:
    void tryConnect();
    int connectSocket() const;
    void readAnswer(const QByteArray& line);
    void dropped();

    QString m_path;
    LineConnection* m_connection = nullptr;
    QFileSystemWatcher* m_watcher = nullptr;
    // A socket file appears a moment before its owner listens on it.
    QTimer m_retry;
    int m_retries = 0;
    bool m_waiting = false;
    bool m_announce = false;
};
