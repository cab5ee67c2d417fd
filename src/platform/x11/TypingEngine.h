#pragma once

#include "platform/x11/KeySlotPool.h"

#include <QList>
#include <QMap>
#include <QString>

#include <functional>
#include <optional>

class KeyboardDevice;

// Turns queued key events for symbols into keymap bindings and key events on
// spare keycodes, in order, without ever re-binding a keycode that a receiver
// may still need (see KeySlotPool). It never waits itself: run() does what is
// due and says when to call it again.
class TypingEngine {
public:
    using Clock = std::function<qint64()>; // milliseconds, monotonic
    // keycode → every keysym it may carry right now, written before a binding changes,
    // so that whatever a crash leaves behind can be cleared by the next start.
    using Journal = std::function<void(const QMap<quint8, QList<quint32>>& mayHold)>;
    using FailureHandler = std::function<void(quint32 keysym, const QString& why)>;

    TypingEngine(KeyboardDevice& device, Clock clock, qint64 quarantineMs);

    void setJournal(Journal journal) { m_journal = std::move(journal); }
    void setFailureHandler(FailureHandler handler) { m_onFailure = std::move(handler); }

    // Takes a freshly read keymap (at start and after every change by anyone).
    void adopt(const KeymapSnapshot& keymap);
    bool canType() const { return !m_pool.isEmpty(); }

    void enqueue(bool down, quint32 keysym);
    // Sends every event that is due. Returns when to call again, or nothing when the queue is empty.
    std::optional<qint64> run();
    bool isIdle() const { return m_queue.isEmpty(); }
    // Forgets what is still queued; keys already pressed are released.
    void dropQueue();

    // From this time on no receiver can still need a binding.
    qint64 settledAt() const { return m_pool.settledAt(); }
    // Gives every bound keycode back its emptiness.
    void restoreAll();

    const KeySlotPool& pool() const { return m_pool; }
    const QMap<quint8, QList<quint32>>& journalled() const { return m_mayHold; }

private:
    struct Event {
        bool down;
        quint32 keysym;
    };

    bool press(quint32 keysym);
    void release(quint32 keysym);
    void writeJournal();
    void fail(quint32 keysym, const QString& why);

    KeyboardDevice& m_device;
    Clock m_clock;
    KeySlotPool m_pool;
    Journal m_journal;
    FailureHandler m_onFailure;
    QList<Event> m_queue;
    QHash<quint32, QList<quint8>> m_held; // keysym → keycodes pressed for it, oldest first
    QMap<quint8, QList<quint32>> m_mayHold;
};
