#pragma once

#include "platform/UserText.h"

#include <QObject>
#include <QString>

// Delivers text to whatever program has the keyboard focus, without moving the
// focus and whatever layout is active. Text may be delivered later than it is
// queued (a backend may have to wait for the system), but always in the order
// it was queued.
class TypingBackend : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~TypingBackend() override = default;

    // Queues `text` after whatever was queued before. The text must be valid
    // Unicode (callers refuse anything else). False, typing none of it, when
    // typing cannot work here (see unavailableReason()) or has ended.
    virtual bool type(const QString& text) = 0;

    // Symbols likely to be typed soon (the keys on show). A backend may get
    // them ready, so that typing one later is quicker; nothing is typed.
    virtual void prepare(const QString& symbols) { Q_UNUSED(symbols); }

    // Why typing cannot work here; empty when it can.
    virtual UserText unavailableReason() const = 0;
    // True while nothing queued is waiting to be delivered.
    virtual bool isIdle() const = 0;

    // Ends typing for good: drops what is still queued, waits (on the event
    // loop) until no receiver can still need anything the backend changed in
    // the system, such as the keyboard mapping, gives it back, then emits
    // restored(). Call it before quitting; text typed afterwards is refused.
    virtual void restoreSystem() {
        QMetaObject::invokeMethod(this, &TypingBackend::restored, Qt::QueuedConnection);
    }

Q_SIGNALS:
    // Everything queued so far has been delivered.
    void idle();
    // Part of the queued text (a symbol, or all that was still waiting) turned
    // out impossible to deliver; the backend has written why, in `why` too.
    void deliveryFailed(const QString& text, const QString& why);
    // restoreSystem() has finished.
    void restored();
};
