#pragma once

#include "platform/typing/KeySlotPool.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QString>

#include <functional>
#include <optional>

#include "platform/typing/KeyboardDevice.h"

// Turns queued symbols into keymap bindings and key presses and releases on
// spare keycodes, in order, without ever re-binding a keycode that a receiver
// may still need (see KeySlotPool). It never waits itself: run() does what is
// due and says what the rest is waiting for.
class TypingEngine {
public:
    using Clock = std::function<qint64()>; // milliseconds, monotonic
    // keycode → every keysym it may carry right now, written before a binding changes,
    // so that whatever a crash leaves behind can be cleared by the next start.
    using Journal = std::function<void(const QMap<quint8, QList<quint32>>& mayHold)>;
    using FailureHandler = std::function<void(quint32 keysym, const QString& why)>;
    // Asks the receiver to confirm once it has handled every key event up to
    // `sequence` (the answer comes through confirm()). False when it cannot.
    using ConfirmationRequest = std::function<bool(quint64 sequence)>;

    // What run() and settle() are waiting for.
    struct Wait {
        enum Kind {
            Nothing, // run(): the queue is empty; settle(): no binding is needed any more
            Time,    // something becomes possible at `until`, or sooner on confirm()
            Keymap,  // the last binding has not yet been digested (keymapDigested())
        };
        Kind kind = Nothing;
        qint64 until = 0;
    };

    // How far ahead in the queue symbols are bound together.
    static constexpr int lookAhead = 256;
    // How long a binding may wait for more keycodes to become free, so that
    // they are all changed at once instead of one keymap change each.
    static constexpr qint64 gatherMs = 20;
    // For receivers that cannot confirm: on an idle Xvfb 20 ms was already exact
    // for xterm; 100 ms leaves room for a loaded machine and costs little, since
    // a keycode is re-bound only when more symbols than spare keycodes are typed.
    static constexpr qint64 defaultQuarantineMs = 100;
    // A receiver that can confirm but has not done so within this time is not waited for any longer.
    static constexpr qint64 defaultUnconfirmedLimitMs = 2000;
    // Some receivers (LibreOffice) hold typed letters back while more key
    // events are queued, but insert a symbol outside the BMP at once, as an
    // input method's text, ahead of them. A letter's press handled with no key
    // event queued behind it flushes what was held back, so the key before
    // such a symbol stays down until the receiver has answered
    // `orderConfirmations` pings, each sent once the previous was answered,
    // and for at least orderHoldMinMs: GTK answers a ping as soon as it reads
    // it, and LibreOffice reads ahead of what it handles. Never longer than
    // orderHoldLimitMs, which stays below the auto-repeat delays in use; a
    // receiver still busy then (LibreOffice loading its spelling dictionaries)
    // gets the release, and the symbol waits for the answers all the same.
    static constexpr int orderConfirmations = 3;
    static constexpr qint64 orderHoldMinMs = 40;
    static constexpr qint64 orderHoldLimitMs = 150;

    TypingEngine(KeyboardDevice& device, Clock clock, qint64 quarantineMs = defaultQuarantineMs,
                 qint64 unconfirmedLimitMs = defaultUnconfirmedLimitMs);

    void setJournal(Journal journal) { m_journal = std::move(journal); }
    void setFailureHandler(FailureHandler handler) { m_onFailure = std::move(handler); }
    void setConfirmationRequest(ConfirmationRequest request) { m_requestConfirmation = std::move(request); }

    // Takes a freshly read keymap (at start and after every change by anyone).
    void adopt(const KeymapSnapshot& keymap);
    bool canType() const { return !m_pool.isEmpty(); }

    // The focus may have moved: find out afresh whether the receiver can confirm.
    void newReceiver();
    // Queues one press and release of the key that will carry `keysym`.
    void enqueue(quint32 keysym);
    // Binds symbols likely to be typed soon, in the order given, in one keymap
    // change, so that typing them later costs none; only while nothing is
    // queued, only to keycodes that are free, and never leaving fewer than
    // sparedForOthers() of them empty. True when the keymap was changed.
    bool prepare(const QList<quint32>& keysyms);
    // Other programs type through empty keycodes too (xdotool, a second runeboard --type).
    int sparedForOthers() const { return std::max(2, m_pool.keycodeCount() / 4); }
    // Presses and releases every key that is due and says what the rest waits for.
    Wait run();
    bool isIdle() const { return m_queue.isEmpty(); }
    // The keysyms still queued, in order.
    const QList<quint32>& queued() const { return m_queue; }
    // Forgets what is still queued (and lets go of a key held for the order).
    void dropQueue();

    // The receiver has handled every key event up to `sequence`.
    void confirm(quint64 sequence);
    // Every client re-reads the whole keymap after each change, and a client
    // that falls behind translates old key presses with new bindings. So a
    // binding waits until the previous one has been digested by this process
    // (which re-reads the keymap just like a Qt receiver does), or until the
    // caller gives up waiting for that.
    //
    // The other way round, a receiver may translate keys with a keymap it
    // follows on a second connection (Chromium asks GTK, whose connection
    // learns of a change only when GTK's own event source gets its turn), so
    // a key pressed right after its binding comes out as the symbol it carried
    // before. The news of a change has been sent to every connection by the
    // time this process has it, or by the time bind() returns on a device that
    // says so; a receiver that answers a ping sent after that moment has let
    // its other event sources run since. So a keycode
    // just bound is pressed only then, or after the unconfirmed limit. (A ping
    // sent earlier, on its own connection, may overtake the change itself.)
    // A receiver that cannot confirm is not waited for: xterm and the like
    // translate keys on the connection they arrive on, in order.
    void keymapDigested();
    bool isWaitingForKeymap() const { return m_bindingUndigested; }
    // A key stays down before a symbol outside the BMP (see orderConfirmations).
    bool isHoldingForOrder() const { return m_held.has_value(); }

    // What still has to happen before the bindings can be given back.
    Wait settle();
    // Gives every bound keycode back its emptiness.
    void restoreAll();

    const KeySlotPool& pool() const { return m_pool; }
    const QMap<quint8, QList<quint32>>& journalled() const { return m_mayHold; }
    quint64 sentEvents() const { return m_sequence; }

private:
    void askForConfirmation();
    // What pressing `keycode` still waits for, as above; nothing once the receiver can read its binding.
    std::optional<Wait> waitUntilSeen(quint8 keycode);
    // Whether the key of `keysym`, just pressed, waits for the receiver before its release.
    bool holdsForOrder(quint32 keysym) const;
    // What the key held before a symbol outside the BMP still waits for: its
    // release, or the answers the next press waits for; nothing once neither.
    std::optional<qint64> heldUntil();
    void releaseHeld();
    void release(qint64 now);
    struct SlotBinding {
        KeySlotPool::SlotId slot = 0;
        quint32 keysym = 0;
    };
    // Binds the first queued symbol to `slot` and, in the same keymap change,
    // the next symbols that need a slot, as far as free slots allow.
    bool bindAhead(quint32 keysym, KeySlotPool::SlotId slot);
    // Distinct symbols typed soon that need a slot.
    int unboundAhead(qint64 now) const;
    bool bindNow(const QList<SlotBinding>& changes);
    void writeJournal();
    QString refusal() const;
    void fail(quint32 keysym, const QString& why);

    KeyboardDevice& m_device;
    Clock m_clock;
    KeySlotPool m_pool;
    Journal m_journal;
    FailureHandler m_onFailure;
    ConfirmationRequest m_requestConfirmation;
    QList<quint32> m_queue; // keysyms
    QMap<quint8, QList<quint32>> m_mayHold;
    quint64 m_sequence = 0;  // key events sent, and the pings for a held key
    quint64 m_requested = 0; // the last sequence a confirmation was asked for
    bool m_bindingUndigested = false;
    bool m_oneLevel = false; // a modifier held makes second levels unsafe until the queue is typed
    struct Held {
        KeySlotPool::SlotId slot = 0;
        KeySlotPool::SlotId through = 0; // the level the press came out at
        qint64 pressedAt = 0;
        quint64 sequence = 0; // of its press, then of the last ping
        int pings = 0;
        bool released = false;
    };
    std::optional<Held> m_held;
    struct Fresh {
        qint64 boundAt = 0;
        quint64 sequence = 0; // whose confirmation says the receiver knows it; 0 until digested
    };
    QHash<quint8, Fresh> m_fresh; // keycodes changed and not pressed since
};
