#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a signal on the event loop, so the
// process can end the orderly way (giving the keyboard mapping back) instead
// of dying wherever it was. Only one instance may exist at a time; while it
// lives, the default actions of these signals are replaced.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    bool isActive() const { return m_notifier != nullptr; }

Q_SIGNALS:
    // Emitted on the event loop; `signalNumber` is SIGTERM, SIGINT or SIGHUP.
    void received(int signalNumber);

private:
    void readPending();

    QSocketNotifier* m_notifier = nullptr;
};
