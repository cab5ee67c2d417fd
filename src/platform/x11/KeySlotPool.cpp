#include "platform/x11/KeySlotPool.h"

QList<quint8> KeySlotPool::adopt(const KeymapSnapshot& keymap) {
    QList<quint8> lost;
    KeymapSnapshot asIfEmpty = keymap;
    QHash<quint8, Slot> previous;
    for (const Slot& slot : std::as_const(m_slots)) {
        Slot kept = slot;
        if (slot.keysym != 0) {
            if (keymap.holdsOnly(slot.keycode, slot.keysym))
                asIfEmpty.symbols.remove(slot.keycode);
            else {
                lost.append(slot.keycode);
                kept.keysym = 0;
            }
        }
        previous.insert(slot.keycode, kept);
    }

    m_slots.clear();
    for (quint8 keycode : asIfEmpty.spareKeycodes()) {
        Slot slot = previous.value(keycode, Slot{keycode, 0, 0});
        slot.keycode = keycode;
        m_slots.append(slot);
    }
    return lost;
}

KeySlotPool::Choice KeySlotPool::choose(quint32 keysym, qint64 now) const {
    for (const Slot& slot : m_slots) {
        if (slot.keysym == keysym)
            return {Choice::Ready, slot.keycode, now};
    }
    const Slot* leastRecent = nullptr;
    qint64 earliest = std::numeric_limits<qint64>::max();
    for (const Slot& slot : m_slots) {
        if (slot.held > 0)
            continue;
        if (isFree(slot, now)) {
            if (slot.keysym == 0)
                return {Choice::Bind, slot.keycode, now};
            if (!leastRecent || lastUse(slot.keycode) < lastUse(leastRecent->keycode))
                leastRecent = &slot;
        } else {
            earliest = std::min(earliest, lastUse(slot.keycode) + m_quarantine);
        }
    }
    if (leastRecent)
        return {Choice::Bind, leastRecent->keycode, now};
    if (earliest != std::numeric_limits<qint64>::max())
        return {Choice::Wait, 0, earliest};
    return {};
}

void KeySlotPool::setBinding(quint8 keycode, quint32 keysym) {
    if (Slot* slot = findSlot(keycode))
        slot->keysym = keysym;
}

void KeySlotPool::remove(quint8 keycode) {
    m_slots.removeIf([keycode](const Slot& slot) { return slot.keycode == keycode; });
}

void KeySlotPool::markPressed(quint8 keycode, qint64 now) {
    m_lastUse.insert(keycode, now);
    if (Slot* slot = findSlot(keycode))
        ++slot->held;
}

void KeySlotPool::markReleased(quint8 keycode, qint64 now) {
    m_lastUse.insert(keycode, now);
    if (Slot* slot = findSlot(keycode); slot && slot->held > 0)
        --slot->held;
}

qint64 KeySlotPool::settledAt() const {
    qint64 settled = Never;
    for (const Slot& slot : m_slots) {
        if (slot.keysym != 0)
            settled = std::max(settled, lastUse(slot.keycode) + m_quarantine);
    }
    return settled;
}

QList<KeySlotPool::Slot> KeySlotPool::boundSlots() const {
    QList<Slot> bound;
    for (const Slot& slot : m_slots) {
        if (slot.keysym != 0)
            bound.append(slot);
    }
    return bound;
}

const KeySlotPool::Slot* KeySlotPool::slot(quint8 keycode) const {
    for (const Slot& slot : m_slots) {
        if (slot.keycode == keycode)
            return &slot;
    }
    return nullptr;
}

KeySlotPool::Slot* KeySlotPool::findSlot(quint8 keycode) {
    for (Slot& slot : m_slots) {
        if (slot.keycode == keycode)
            return &slot;
    }
    return nullptr;
}

bool KeySlotPool::isFree(const Slot& slot, qint64 now) const {
    return slot.held == 0 && lastUse(slot.keycode) + m_quarantine <= now;
}
