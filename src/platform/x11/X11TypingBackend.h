#pragma once

#include "platform/RuntimeFolder.h"
#include "platform/TypingBackend.h"
#include "platform/typing/TypingEngine.h"
#include "platform/x11/BindingRecord.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11KeyboardDevice.h"
#include "platform/x11/X11ReceiverSync.h"

#include <QAbstractNativeEventFilter>
#include <QElapsedTimer>
#include <QTimer>

// Types any Unicode scalar on X11: the symbol is bound to a spare keycode
// (see KeySlotPool for which and when) and the key is pressed with XTEST.
// Waits are timers on the event loop; keymap changes by anyone are followed
// through the XKB and core mapping events Qt's connection already receives.
// Every binding is given back on restoreSystem(), when the application quits,
// and, after a crash, by the next start on the same X server.
class X11TypingBackend : public TypingBackend, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    static constexpr int keymapEventTimeoutMs = 250;

    // The connection must offer XTEST and XKB.
    explicit X11TypingBackend(const X11Connection& connection,
                              QString recordDirectory = RuntimeFolder::path(), QObject* parent = nullptr);
    ~X11TypingBackend() override;

    bool open() override;
    bool keyDown(char32_t scalar) override;
    bool keyUp(char32_t scalar) override;
    void close() override;
    QString unavailableReason() const override;
    bool isIdle() const override { return m_engine.isIdle(); }
    void restoreSystem() override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

    const TypingEngine& engine() const { return m_engine; }

private:
    bool enqueue(bool down, char32_t scalar);
    void pump();
    void queueKeymapReread();
    void rereadKeymap();
    void clearLeftovers();
    void trySettle();
    void restoreNow();
    void writeRecord(const BindingRecord::Bindings& bindings);
    void reportFailure(quint32 keysym, const QString& why);

    X11Connection m_x;
    X11KeyboardDevice m_device;
    X11ReceiverSync m_receiver;
    QElapsedTimer m_clock;
    TypingEngine m_engine;
    BindingRecord m_record;
    QTimer m_wake;
    QTimer m_digestTimeout;
    QTimer m_settle;
    quint8 m_xkbEventBase = 0;
    bool m_pieceOpen = false;
    bool m_rereadQueued = false;
    bool m_pumpQueued = false;
    bool m_closed = false; // after restoreSystem(): nothing more is typed
    bool m_restoring = false;
    bool m_recordFailureReported = false;
};
