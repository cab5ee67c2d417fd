#include "platform/typing/KeySlotPool.h"

QList<quint8> KeySlotPool::adopt(const KeymapSnapshot& keymap, int levels) {
    QList<quint8> lost;
    KeymapSnapshot asIfEmpty = keymap;
    QHash<SlotId, Slot> previous;
    QSet<quint8> checked;
    QSet<quint8> keepsSecondLevel;
    for (const Slot& slot : std::as_const(m_slots)) {
        Slot kept = slot;
        kept.refused = false;
        previous.insert(slot.id(), kept);
        if (isEmptyKeycode(slot.keycode) || checked.contains(slot.keycode))
            continue;
        checked.insert(slot.keycode);
        const auto [first, second] = levelsOf(slot.keycode);
        if (keymap.holdsLevels(slot.keycode, first, second)) {
            asIfEmpty.symbols.remove(slot.keycode);
            if (first != second)
                keepsSecondLevel.insert(slot.keycode);
        } else {
            lost.append(slot.keycode);
        }
    }
    for (quint8 keycode : std::as_const(lost)) {
        for (int level = 0; level < 2; ++level) {
            if (const auto found = previous.find(idOf(keycode, level)); found != previous.end())
                found->keysym = 0;
        }
    }

    m_slots.clear();
    const QList<quint8> spare = asIfEmpty.spareKeycodes();
    for (int level = 0; level < 2; ++level) {
        for (quint8 keycode : spare) {
            // A second level still bound stays in the pool, so that it is given back.
            if (level >= levels && !keepsSecondLevel.contains(keycode))
                continue;
            Slot slot = previous.value(idOf(keycode, level), Slot{keycode, quint8(level), 0});
            slot.keycode = keycode;
            slot.level = quint8(level);
            m_slots.append(slot);
        }
    }
    return lost;
}

KeySlotPool::Choice KeySlotPool::choose(quint32 keysym, qint64 now) const {
    for (const Slot& slot : m_slots) {
        if (slot.keysym == keysym)
            return {Choice::Ready, slot.id(), now};
    }
    const Slot* leastRecent = nullptr;
    const Slot* refused = nullptr;
    Choice wait{Choice::Wait, 0, std::numeric_limits<qint64>::max()};
    for (const Slot& slot : m_slots) {
        if (isHeld(slot.keycode))
            continue;
        const qint64 free = freeAt(slot.id());
        if (free <= now && slot.refused) {
            refused = refused ? refused : &slot;
        } else if (free <= now) {
            if (slot.keysym == 0)
                return {Choice::Bind, slot.id(), now};
            if (!leastRecent || lastUse(slot.id()) < lastUse(leastRecent->id()))
                leastRecent = &slot;
        } else {
            wait.readyAt = std::min(wait.readyAt, free);
            wait.confirmationHelps = wait.confirmationHelps || !isConfirmed(slot.id());
        }
    }
    if (leastRecent)
        return {Choice::Bind, leastRecent->id(), now};
    if (wait.readyAt != std::numeric_limits<qint64>::max())
        return wait;
    if (refused)
        return {Choice::Bind, refused->id(), now};
    return {};
}

QList<std::pair<KeySlotPool::SlotId, quint32>> KeySlotPool::planAhead(const QList<quint32>& keysyms,
                                                                      qint64 now, int spared) const {
    const QSet<quint32> wanted(keysyms.cbegin(), keysyms.cend());
    QSet<quint8> emptyKeycodes;
    for (const Slot& slot : m_slots) {
        if (isEmptyKeycode(slot.keycode))
            emptyKeycodes.insert(slot.keycode);
    }
    QSet<SlotId> taken;
    QSet<quint32> planned;
    QList<std::pair<SlotId, quint32>> plan;
    for (const quint32 keysym : keysyms) {
        if (planned.contains(keysym) || choose(keysym, now).kind == Choice::Ready)
            continue;
        const Slot* best = nullptr;
        for (const Slot& slot : m_slots) {
            if (taken.contains(slot.id()) || slot.refused || !isFree(slot, now) ||
                (emptyKeycodes.contains(slot.keycode) && emptyKeycodes.size() <= spared) ||
                wanted.contains(slot.keysym))
                continue;
            if (!best ||
                (best->keysym != 0 && (slot.keysym == 0 || lastUse(slot.id()) < lastUse(best->id()))))
                best = &slot;
        }
        if (!best)
            break;
        emptyKeycodes.remove(best->keycode);
        taken.insert(best->id());
        planned.insert(keysym);
        plan.append({best->id(), keysym});
    }
    return plan;
}

qint64 KeySlotPool::timeWhenFree(int count) const {
    QList<qint64> times;
    for (const Slot& slot : m_slots) {
        if (!isHeld(slot.keycode))
            times.append(freeAt(slot.id()));
    }
    if (times.isEmpty() || count <= 0)
        return Never;
    std::sort(times.begin(), times.end());
    return times.at(std::min<qsizetype>(count, times.size()) - 1);
}

void KeySlotPool::setBinding(SlotId id, quint32 keysym) {
    if (Slot* slot = findSlot(id)) {
        slot->keysym = keysym;
        slot->refused = false;
    }
}

std::pair<quint32, quint32> KeySlotPool::levelsOf(quint8 keycode,
                                                  const QHash<SlotId, quint32>& changes) const {
    const auto symbolAt = [&](int level) {
        const Slot* bound = slot(idOf(keycode, level));
        return changes.value(idOf(keycode, level), bound ? bound->keysym : 0);
    };
    const quint32 plain = symbolAt(0);
    const quint32 shifted = symbolAt(1);
    return {plain ? plain : shifted, shifted ? shifted : plain};
}

void KeySlotPool::markRefused(SlotId id) {
    if (Slot* slot = findSlot(id))
        slot->refused = true;
}

void KeySlotPool::markPressed(SlotId slot, qint64 now, quint64 sequence) {
    markUsed(slot, now, sequence);
    ++m_held[quint8(slot)];
}

void KeySlotPool::markReleased(SlotId slot, qint64 now, quint64 sequence) {
    markUsed(slot, now, sequence);
    if (int& held = m_held[quint8(slot)]; held > 0)
        --held;
}

qint64 KeySlotPool::settledAt() const {
    qint64 settled = Never;
    for (const Slot& slot : m_slots) {
        if (!isEmptyKeycode(slot.keycode))
            settled = std::max(settled, freeAt(slot.id()));
    }
    return settled;
}

bool KeySlotPool::hasUnconfirmedBindings() const {
    return std::any_of(m_slots.cbegin(), m_slots.cend(), [this](const Slot& slot) {
        return !isEmptyKeycode(slot.keycode) && !isConfirmed(slot.id());
    });
}

QList<KeySlotPool::Slot> KeySlotPool::boundSlots() const {
    QList<Slot> bound;
    for (const Slot& slot : m_slots) {
        if (slot.keysym != 0)
            bound.append(slot);
    }
    return bound;
}

const KeySlotPool::Slot* KeySlotPool::slot(SlotId id) const {
    for (const Slot& slot : m_slots) {
        if (slot.id() == id)
            return &slot;
    }
    return nullptr;
}

int KeySlotPool::keycodeCount() const {
    return int(
        std::count_if(m_slots.cbegin(), m_slots.cend(), [](const Slot& slot) { return slot.level == 0; }));
}

QList<KeySlotPool::SlotId> KeySlotPool::freeSecondSymbols(qint64 now, quint8 except) const {
    QList<SlotId> seconds;
    for (const Slot& second : m_slots) {
        const Slot* first = slot(idOf(second.keycode, 0));
        if (second.level == 1 && second.keysym != 0 && first && first->keysym != 0 &&
            second.keycode != except && isFree(second, now))
            seconds.append(second.id());
    }
    return seconds;
}

bool KeySlotPool::isEmptyKeycode(quint8 keycode) const {
    return std::none_of(m_slots.cbegin(), m_slots.cend(),
                        [keycode](const Slot& slot) { return slot.keycode == keycode && slot.keysym != 0; });
}

KeySlotPool::Slot* KeySlotPool::findSlot(SlotId id) {
    for (Slot& slot : m_slots) {
        if (slot.id() == id)
            return &slot;
    }
    return nullptr;
}

void KeySlotPool::markUsed(SlotId slot, qint64 now, quint64 sequence) {
    m_uses.insert(slot, {now, sequence});
}

bool KeySlotPool::isConfirmed(SlotId slot) const {
    const auto use = m_uses.constFind(slot);
    return use == m_uses.cend() || use->sequence <= m_confirmed;
}

qint64 KeySlotPool::freeAt(SlotId slot) const {
    const auto use = m_uses.constFind(slot);
    if (use == m_uses.cend() || use->sequence <= m_confirmed)
        return Never;
    return use->time + (m_receiverConfirms ? m_unconfirmedLimit : m_quarantine);
}
