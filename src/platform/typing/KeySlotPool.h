#pragma once

#include "platform/typing/KeymapSnapshot.h"

#include <QHash>
#include <QList>
#include <QSet>

#include <limits>

// The spare keycodes that carry Runeboard's symbols, and which symbol each
// carries now. A keycode keeps its symbol for as long as possible, so a symbol
// typed again costs no keymap change; when a new symbol needs a keycode, an
// empty one is taken first, then the least recently used one.
//
// A receiver translates a key press with the mapping it holds when it gets
// round to the event, and it re-reads the server's current mapping after
// every change; re-binding a keycode before then would change the symbol under
// it. So a keycode is re-bound only once the receiver has confirmed that it
// has handled every key event sent so far (see TypingEngine), or, for a
// receiver that cannot confirm, `quarantine` ms after its last key event. A
// receiver that can confirm but does not is waited for at most
// `unconfirmedLimit` ms.
class KeySlotPool {
public:
    static constexpr qint64 Never = std::numeric_limits<qint64>::min() / 2;

    struct Slot {
        quint8 keycode = 0;
        quint32 keysym = 0; // the symbol bound to it; 0 when it carries nothing of ours
        int held = 0;       // presses not yet released
        bool refused = false;
    };

    struct Choice {
        enum Kind {
            Ready,     // `keycode` already carries the symbol
            Bind,      // bind the symbol to `keycode`, then use it
            Wait,      // every candidate is still needed; one is free at `readyAt` at the latest
            Exhausted, // no keycode can ever carry it (none spare, or all held down)
        };
        Kind kind = Exhausted;
        quint8 keycode = 0;
        qint64 readyAt = 0;
        // Wait only: a confirmation from the receiver would free a candidate sooner.
        bool confirmationHelps = false;
    };

    KeySlotPool(qint64 quarantineMs, qint64 unconfirmedLimitMs)
        : m_quarantine(quarantineMs)
        , m_unconfirmedLimit(unconfirmedLimitMs) {}

    qint64 quarantine() const { return m_quarantine; }
    qint64 unconfirmedLimit() const { return m_unconfirmedLimit; }

    // Takes the spare keycodes of a freshly read keymap. A binding the keymap
    // still holds is kept; a binding someone else replaced is forgotten, and a
    // keycode that someone else filled leaves the pool. Returns the keycodes
    // whose bindings were lost.
    QList<quint8> adopt(const KeymapSnapshot& keymap);

    // A keycode for `keysym`; keycodes in `avoid` are not taken.
    Choice choose(quint32 keysym, qint64 now, const QSet<quint8>& avoid = {}) const;

    // When `count` keycodes will be free to bind (all there are, if fewer).
    qint64 timeWhenFree(int count) const;
    bool isFree(const Slot& slot, qint64 now) const { return slot.held == 0 && freeAt(slot.keycode) <= now; }
    qint64 lastUse(quint8 keycode) const { return m_uses.value(keycode).time; }

    void setBinding(quint8 keycode, quint32 keysym);
    // The server refused to bind the keycode, so it carries what it did. It
    // stays in the pool (a refusal seen so far was of a form of request, not
    // of a keycode), but is offered only while no other keycode is free or
    // becoming free, until a binding of it succeeds or the next adopt().
    void markRefused(quint8 keycode);
    // `sequence` numbers the key events sent, in order.
    void markPressed(quint8 keycode, qint64 now, quint64 sequence);
    void markReleased(quint8 keycode, qint64 now, quint64 sequence);

    // Whether the current receiver can confirm what it has handled.
    void setReceiverConfirms(bool confirms) { m_receiverConfirms = confirms; }
    bool receiverConfirms() const { return m_receiverConfirms; }
    // The receiver has handled every key event up to `sequence`.
    void confirm(quint64 sequence) { m_confirmed = std::max(m_confirmed, sequence); }
    bool isConfirmed(quint64 sequence) const { return sequence <= m_confirmed; }

    // From this time on no receiver can still need any binding of the pool
    // (sooner if the receiver confirms).
    qint64 settledAt() const;
    bool hasUnconfirmedBindings() const;

    const QList<Slot>& slots() const { return m_slots; }
    QList<Slot> boundSlots() const;
    const Slot* slot(quint8 keycode) const;
    bool isEmpty() const { return m_slots.isEmpty(); }

private:
    struct Use {
        qint64 time = Never;
        quint64 sequence = 0;
    };

    Slot* findSlot(quint8 keycode);
    void markUsed(quint8 keycode, qint64 now, quint64 sequence);
    bool isConfirmed(quint8 keycode) const;
    // When the keycode may next be re-bound.
    qint64 freeAt(quint8 keycode) const;

    qint64 m_quarantine;
    qint64 m_unconfirmedLimit;
    bool m_receiverConfirms = false;
    quint64 m_confirmed = 0;
    QList<Slot> m_slots; // in order of preference
    // Kept for every keycode ever used, so a keycode that leaves the pool and
    // comes back is still waited for.
    QHash<quint8, Use> m_uses;
};
