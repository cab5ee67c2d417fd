#pragma once

#include "platform/TypingBackend.h"
#include "platform/typing/TypingEngine.h"

#include <QElapsedTimer>
#include <QTimer>

// A TypingBackend that types through a keymap of its own: it drives a
// TypingEngine from the event loop, never waiting itself. Timers wake it when
// a keycode may change meaning again; a keymap change holds the next one back
// until the backend reports it digested (keymapDigested()) or a time-out
// passes; restoreSystem() waits until no receiver can still need a binding
// and then empties them all. Backends supply the device and say when
// requests must leave for the server.
class EngineTypingBackend : public TypingBackend {
    Q_OBJECT
public:
    static constexpr int keymapEventTimeoutMs = 250;

    bool type(const QString& text) override;
    bool isIdle() const override { return m_engine.isIdle(); }
    void restoreSystem() override;

protected:
    // The device may be a member of the derived class: it is not used before
    // the derived constructor has run.
    explicit EngineTypingBackend(KeyboardDevice& device, QObject* parent = nullptr);

    TypingEngine& engine() { return m_engine; }
    const TypingEngine& engine() const { return m_engine; }
    qint64 now() const { return m_clock.elapsed(); }

    // Sends what the device has queued to the server.
    virtual void flush() = 0;
    // The server is gone: nothing can be typed or given back.
    virtual bool isBroken() const = 0;

    // Nothing is pressed before this time (ms on now()'s clock).
    void holdUntil(qint64 time);
    // The last keymap change has reached the receivers' side.
    void keymapDigested();
    // Runs whatever is due now.
    void pump();
    // Binds the symbols of `text` ahead, when nothing is being typed (see TypingEngine::prepare()).
    void bindAhead(const QString& text);
    // Empties every binding at once, without waiting.
    void restoreNow();
    void reportFailure(quint32 keysym, const QString& why);
    bool isRestoring() const { return m_restoring; }
    // A receiver confirmed what it has handled: go on at once.
    void confirmed(quint64 sequence);

private:
    void trySettle();

    QElapsedTimer m_clock;
    TypingEngine m_engine;
    QTimer m_wake;
    QTimer m_digestTimeout;
    QTimer m_settle;
    qint64 m_heldUntil = 0;
    bool m_closed = false; // after restoreSystem(): nothing more is typed
    bool m_restoring = false;
};
