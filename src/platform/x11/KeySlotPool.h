#pragma once

#include "platform/x11/KeymapSnapshot.h"

#include <QHash>
#include <QList>

#include <limits>

// The spare keycodes that carry Runeboard's symbols, and which symbol each
// carries now. A keycode keeps its symbol for as long as possible, so a symbol
// typed again costs no keymap change; when a new symbol needs a keycode, an
// empty one is taken first, then the least recently used one. A keycode is
// never re-bound within `quarantine` ms of its last key event: a receiver
// translates a key press with the mapping it holds when it gets round to the
// event, and re-binding too early would change the symbol under it.
class KeySlotPool {
public:
    static constexpr qint64 Never = std::numeric_limits<qint64>::min() / 2;

    struct Slot {
        quint8 keycode = 0;
        quint32 keysym = 0; // the symbol bound to it; 0 when it carries nothing of ours
        int held = 0;       // presses not yet released
    };

    struct Choice {
        enum Kind {
            Ready,     // `keycode` already carries the symbol
            Bind,      // bind the symbol to `keycode`, then use it
            Wait,      // every candidate is in quarantine until `readyAt`
            Exhausted, // no keycode can ever carry it (none spare, or all held down)
        };
        Kind kind = Exhausted;
        quint8 keycode = 0;
        qint64 readyAt = 0;
    };

    explicit KeySlotPool(qint64 quarantineMs)
        : m_quarantine(quarantineMs) {}

    qint64 quarantine() const { return m_quarantine; }

    // Takes the spare keycodes of a freshly read keymap. A binding the keymap
    // still holds is kept; a binding someone else replaced is forgotten, and a
    // keycode that someone else filled leaves the pool. Returns the keycodes
    // whose bindings were lost.
    QList<quint8> adopt(const KeymapSnapshot& keymap);

    Choice choose(quint32 keysym, qint64 now) const;

    void setBinding(quint8 keycode, quint32 keysym);
    // A keycode the server refuses to re-bind; it is not offered again until the next adopt().
    void remove(quint8 keycode);
    void markPressed(quint8 keycode, qint64 now);
    void markReleased(quint8 keycode, qint64 now);

    // From this time on no receiver can still need any binding of the pool.
    qint64 settledAt() const;
    qint64 lastUse(quint8 keycode) const { return m_lastUse.value(keycode, Never); }

    const QList<Slot>& slots() const { return m_slots; }
    QList<Slot> boundSlots() const;
    const Slot* slot(quint8 keycode) const;
    bool isEmpty() const { return m_slots.isEmpty(); }

private:
    Slot* findSlot(quint8 keycode);
    bool isFree(const Slot& slot, qint64 now) const;

    qint64 m_quarantine;
    QList<Slot> m_slots; // in order of preference
    // Kept for every keycode ever used, so a keycode that leaves the pool and
    // comes back is still in quarantine.
    QHash<quint8, qint64> m_lastUse;
};
