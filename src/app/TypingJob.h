#pragma once

#include <QObject>
#include <QString>

class TypingBackend;

// One text typed through the backend, followed until all of it has arrived
// or failed: what the running instance waits for before it answers
// `runeboard --type`, and what that command waits for when it types itself.
class TypingJob : public QObject {
    Q_OBJECT
public:
    TypingJob(TypingBackend& backend, QObject* parent = nullptr);

    // Queues the text; finished() follows, always on a later turn of the
    // event loop. Typing that cannot start counts as one failure and is said.
    void start(const QString& text);

Q_SIGNALS:
    // How many symbols of the text could not be delivered (0 when all arrived).
    void finished(int failures);

private:
    void finish();

    TypingBackend& m_backend;
    int m_failures = 0;
    bool m_finished = false;
};
