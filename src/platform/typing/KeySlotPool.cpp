#include "platform/typing/KeySlotPool.h"

QList<quint8> KeySlotPool::adopt(const KeymapSnapshot& keymap) {
    QList<quint8> lost;
    KeymapSnapshot asIfEmpty = keymap;
    QHash<quint8, Slot> previous;
    for (const Slot& slot : std::as_const(m_slots)) {
        Slot kept = slot;
        kept.refused = false;
        if (slot.keysym != 0) {
            if (keymap.holdsOnly(slot.keycode, slot.keysym)) {
                asIfEmpty.symbols.remove(slot.keycode);
            } else {
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

KeySlotPool::Choice KeySlotPool::choose(quint32 keysym, qint64 now, const QSet<quint8>& avoid) const {
    for (const Slot& slot : m_slots) {
        if (slot.keysym == keysym)
            return {Choice::Ready, slot.keycode, now};
    }
    const Slot* leastRecent = nullptr;
    const Slot* refused = nullptr;
    Choice wait{Choice::Wait, 0, std::numeric_limits<qint64>::max()};
    for (const Slot& slot : m_slots) {
        if (slot.held > 0 || avoid.contains(slot.keycode))
            continue;
        const qint64 free = freeAt(slot.keycode);
        if (free <= now && slot.refused) {
            refused = refused ? refused : &slot;
        } else if (free <= now) {
            if (slot.keysym == 0)
                return {Choice::Bind, slot.keycode, now};
            if (!leastRecent || m_uses.value(slot.keycode).time < m_uses.value(leastRecent->keycode).time)
                leastRecent = &slot;
        } else {
            wait.readyAt = std::min(wait.readyAt, free);
            wait.confirmationHelps = wait.confirmationHelps || !isConfirmed(slot.keycode);
        }
    }
    if (leastRecent)
        return {Choice::Bind, leastRecent->keycode, now};
    if (wait.readyAt != std::numeric_limits<qint64>::max())
        return wait;
    if (refused)
        return {Choice::Bind, refused->keycode, now};
    return {};
}

qint64 KeySlotPool::timeWhenFree(int count) const {
    QList<qint64> times;
    for (const Slot& slot : m_slots) {
        if (slot.held == 0)
            times.append(freeAt(slot.keycode));
    }
    if (times.isEmpty() || count <= 0)
        return Never;
    std::sort(times.begin(), times.end());
    return times.at(std::min<qsizetype>(count, times.size()) - 1);
}

void KeySlotPool::setBinding(quint8 keycode, quint32 keysym) {
    if (Slot* slot = findSlot(keycode)) {
        slot->keysym = keysym;
        slot->refused = false;
    }
}

void KeySlotPool::markRefused(quint8 keycode) {
    if (Slot* slot = findSlot(keycode))
        slot->refused = true;
}

void KeySlotPool::markPressed(quint8 keycode, qint64 now, quint64 sequence) {
    markUsed(keycode, now, sequence);
    if (Slot* slot = findSlot(keycode))
        ++slot->held;
}

void KeySlotPool::markReleased(quint8 keycode, qint64 now, quint64 sequence) {
    markUsed(keycode, now, sequence);
    if (Slot* slot = findSlot(keycode); slot && slot->held > 0)
        --slot->held;
}

qint64 KeySlotPool::settledAt() const {
    qint64 settled = Never;
    for (const Slot& slot : m_slots) {
        if (slot.keysym != 0)
            settled = std::max(settled, freeAt(slot.keycode));
    }
    return settled;
}

bool KeySlotPool::hasUnconfirmedBindings() const {
    return std::any_of(m_slots.cbegin(), m_slots.cend(),
                       [this](const Slot& slot) { return slot.keysym != 0 && !isConfirmed(slot.keycode); });
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

void KeySlotPool::markUsed(quint8 keycode, qint64 now, quint64 sequence) {
    m_uses.insert(keycode, {now, sequence});
}

bool KeySlotPool::isConfirmed(quint8 keycode) const {
    const auto use = m_uses.constFind(keycode);
    return use == m_uses.cend() || use->sequence <= m_confirmed;
}

qint64 KeySlotPool::freeAt(quint8 keycode) const {
    const auto use = m_uses.constFind(keycode);
    if (use == m_uses.cend() || use->sequence <= m_confirmed)
        return Never;
    return use->time + (m_receiverConfirms ? m_unconfirmedLimit : m_quarantine);
}
