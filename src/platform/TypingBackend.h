#pragma once

#include <QObject>
#include <QString>

// Delivers key events carrying Unicode scalars to whatever program has the
// keyboard focus, without moving the focus and whatever layout is active.
// Events may be delivered later than they are queued (a backend may have to
// wait for the system), but always in the order they were queued.
class TypingBackend : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~TypingBackend() override = default;

    // Obtains the facility that posts key events for one piece of text.
    // False when there is none (no display, no XTEST, …): nothing is typed.
    virtual bool open() = 0;
    // Queues the press or the release of the key that carries `scalar`.
    // False when that event cannot be made; the rest of the text goes on.
    virtual bool keyDown(char32_t scalar) = 0;
    virtual bool keyUp(char32_t scalar) = 0;
    // Ends the piece of text opened by open().
    virtual void close() = 0;

    // Why typing cannot work here, in one plain English sentence; empty when it can.
    virtual QString unavailableReason() const = 0;
    // True while nothing queued is waiting to be delivered.
    virtual bool isIdle() const = 0;

    // Ends typing for good: drops what is still queued, waits (on the event
    // loop) until no receiver can still need anything the backend changed in
    // the system, such as the keyboard mapping, gives it back, then emits
    // restored(). Call it before quitting; keys typed afterwards are refused.
    virtual void restoreSystem() {
        QMetaObject::invokeMethod(this, &TypingBackend::restored, Qt::QueuedConnection);
    }

Q_SIGNALS:
    // Everything queued so far has been delivered.
    void idle();
    // A queued key event turned out impossible to deliver (after keyDown/keyUp
    // had accepted it); the backend has printed why.
    void deliveryFailed(char32_t scalar);
    // restoreSystem() has finished.
    void restored();
};
