#pragma once

#include "platform/typing/KeymapSnapshot.h"

#include <QHash>
#include <QList>
#include <QSet>

#include <limits>

// The spare keycodes that carry Runeboard's symbols, and which symbol each
// of their levels (slots) carries now: where the device can press Shift, a
// keycode carries two symbols, so one keymap change binds twice as many. A
// slot keeps its symbol for as long as possible, so a symbol typed again costs
// no keymap change; when a new symbol needs a slot, a slot of an empty keycode
// is taken first, then an empty second level, then the least recently used.
//
// A receiver translates a key press with the mapping it holds when it gets
// round to the event, and it re-reads the server's current mapping after
// every change; re-binding a keycode before then would change the symbol under
// it. So a slot is re-bound only once the receiver has confirmed that it
// has handled every key event sent so far (see TypingEngine), or, for a
// receiver that cannot confirm, `quarantine` ms after its last key event. A
// receiver that can confirm but does not is waited for at most
// `unconfirmedLimit` ms.
class KeySlotPool {
public:
    static constexpr qint64 Never = std::numeric_limits<qint64>::min() / 2;
    // One level of one keycode: the keycode, and 0x100 for its second (shifted) level.
    using SlotId = quint16;
    static SlotId idOf(quint8 keycode, int level) { return SlotId(keycode | (level << 8)); }

    struct Slot {
        quint8 keycode = 0;
        quint8 level = 0;   // 1: typed with Shift
        quint32 keysym = 0; // the symbol bound to it; 0 when it carries nothing of ours
        bool refused = false;
        SlotId id() const { return idOf(keycode, level); }
    };

    struct Choice {
        enum Kind {
            Ready,     // `slot` already carries the symbol
            Bind,      // bind the symbol to `slot`, then use it
            Wait,      // every candidate is still needed; one is free at `readyAt` at the latest
            Exhausted, // no keycode can ever carry it (none spare, or all held down)
        };
        Kind kind = Exhausted;
        SlotId slot = 0;
        qint64 readyAt = 0;
        // Wait only: a confirmation from the receiver would free a candidate sooner.
        bool confirmationHelps = false;
    };

    KeySlotPool(qint64 quarantineMs, qint64 unconfirmedLimitMs)
        : m_quarantine(quarantineMs)
        , m_unconfirmedLimit(unconfirmedLimitMs) {}

    qint64 quarantine() const { return m_quarantine; }
    qint64 unconfirmedLimit() const { return m_unconfirmedLimit; }

    // Takes the spare keycodes of a freshly read keymap, each with `levels`
    // slots. A binding the keymap still holds is kept; a binding someone else
    // replaced is forgotten, and a keycode that someone else filled leaves the
    // pool. Returns the keycodes whose bindings were lost.
    QList<quint8> adopt(const KeymapSnapshot& keymap, int levels = 1);

    // A slot for `keysym`.
    Choice choose(quint32 keysym, qint64 now) const;

    // Free slots for the symbols of `keysyms` not bound yet, in the order given: an empty slot (of
    // an empty keycode only while more than `spared` keycodes stay empty), else the least
    // recently used one that carries nothing wanted; as many as there are.
    QList<std::pair<SlotId, quint32>> planAhead(const QList<quint32>& keysyms, qint64 now, int spared) const;
    // When `count` slots will be free to bind (all there are, if fewer).
    qint64 timeWhenFree(int count) const;
    bool isFree(const Slot& slot, qint64 now) const {
        return !isHeld(slot.keycode) && freeAt(slot.id()) <= now;
    }
    // When the slot may next be re-bound.
    qint64 freeAt(SlotId slot) const;
    qint64 lastUse(SlotId slot) const { return m_uses.value(slot).time; }
    bool isHeld(quint8 keycode) const { return m_held.value(keycode) > 0; }

    void setBinding(SlotId slot, quint32 keysym);
    // What the keycode types without and with Shift as the slots say: a level
    // without a symbol of its own carries the other level's, so that a Shift
    // held by the user cannot reach a symbol nobody asked for. `changes` (slot → keysym) are
    // taken as made.
    std::pair<quint32, quint32> levelsOf(quint8 keycode, const QHash<SlotId, quint32>& changes = {}) const;
    // The server refused to bind the slot, so it carries what it did. It
    // stays in the pool (a refusal seen so far was of a form of request, not
    // of a keycode), but is offered only while no other slot is free or
    // becoming free, until a binding of it succeeds or the next adopt().
    void markRefused(SlotId slot);
    // `sequence` numbers the key events sent, in order.
    void markPressed(SlotId slot, qint64 now, quint64 sequence);
    void markReleased(SlotId slot, qint64 now, quint64 sequence);
    // A receiver may translate a key event through this slot (a press that Shift took to the other level).
    void markUsed(SlotId slot, qint64 now, quint64 sequence);

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
    const Slot* slot(SlotId slot) const;
    bool isEmpty() const { return m_slots.isEmpty(); }
    // Spare keycodes, whatever their levels.
    int keycodeCount() const;
    // The second levels, free to be emptied, of every key with two symbols but `except`.
    QList<SlotId> freeSecondSymbols(qint64 now, quint8 except) const;
    // Whether no level of the keycode carries a symbol of ours.
    bool isEmptyKeycode(quint8 keycode) const;

private:
    struct Use {
        qint64 time = Never;
        quint64 sequence = 0;
    };

    Slot* findSlot(SlotId slot);
    bool isConfirmed(SlotId slot) const;

    qint64 m_quarantine;
    qint64 m_unconfirmedLimit;
    bool m_receiverConfirms = false;
    quint64 m_confirmed = 0;
    QList<Slot> m_slots; // in order of preference: every first level before any second one
    // Kept for every slot ever used, so a keycode that leaves the pool and
    // comes back is still waited for.
    QHash<SlotId, Use> m_uses;
    QHash<quint8, int> m_held; // keycode → presses not yet released
};
