#pragma once

#include "platform/RuntimeFolder.h"
#include "platform/typing/EngineTypingBackend.h"
#include "platform/x11/BindingRecord.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11KeyboardDevice.h"
#include "platform/x11/X11ReceiverSync.h"

#include <QAbstractNativeEventFilter>

// Types any Unicode scalar on X11: the symbol is bound to a spare keycode
// (see KeySlotPool for which and when) and the key is pressed with XTEST.
// Keymap changes by anyone are followed through the XKB and core mapping
// events Qt's connection already receives. Every binding is given back on
// restoreSystem(), when the application quits, and, after a crash, by the
// next start on the same X server.
class X11TypingBackend : public EngineTypingBackend, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    // The connection must offer XTEST and XKB.
    explicit X11TypingBackend(const X11Connection& connection,
                              QString recordDirectory = RuntimeFolder::path(), QObject* parent = nullptr);
    ~X11TypingBackend() override;

    UserText unavailableReason() const override;
    void prepare(const QString& symbols) override { bindAhead(symbols); }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

protected:
    void flush() override { m_x.flush(); }
    bool isBroken() const override { return m_x.isBroken(); }

private:
    void queueKeymapReread();
    void rereadKeymap();
    void clearLeftovers();
    void writeRecord(const BindingRecord::Bindings& bindings);

    X11Connection m_x;
    X11KeyboardDevice m_device;
    X11ReceiverSync m_receiver;
    BindingRecord m_record;
    quint8 m_xkbEventBase = 0;
    bool m_rereadQueued = false;
    bool m_recordFailureReported = false;
};
