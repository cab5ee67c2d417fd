#include "platform/typing/TypingEngine.h"

#include "platform/typing/KeyboardDevice.h"
#include "platform/typing/Keysyms.h"

TypingEngine::TypingEngine(KeyboardDevice& device, Clock clock, qint64 quarantineMs,
                           qint64 unconfirmedLimitMs)
    : m_device(device)
    , m_clock(std::move(clock))
    , m_pool(quarantineMs, unconfirmedLimitMs) {}

void TypingEngine::newReceiver() {
    // Until asked, assume it can confirm: guessing wrong only costs one request.
    m_pool.setReceiverConfirms(bool(m_requestConfirmation));
    m_requested = 0;
}

void TypingEngine::confirm(quint64 sequence) {
    m_pool.confirm(sequence);
}

void TypingEngine::askForConfirmation() {
    if (m_requested >= m_sequence)
        return; // already asked for everything sent
    if (m_requestConfirmation && m_requestConfirmation(m_sequence))
        m_requested = m_sequence;
    else
        m_pool.setReceiverConfirms(false);
}

TypingEngine::Wait TypingEngine::settle() {
    if (m_pool.hasUnconfirmedBindings() && m_pool.receiverConfirms())
        askForConfirmation();
    const qint64 settled = m_pool.settledAt();
    if (settled <= m_clock())
        return {};
    return {Wait::Time, settled};
}

void TypingEngine::adopt(const KeymapSnapshot& keymap) {
    m_pool.adopt(keymap, m_device.levels());
    // What the keymap no longer holds cannot be left behind by a crash.
    bool changed = false;
    for (auto it = m_mayHold.begin(); it != m_mayHold.end();) {
        const QList<quint32> holds = keymap.symbols.value(it.key());
        const bool stillThere =
            !holds.isEmpty() &&
            std::all_of(holds.cbegin(), holds.cend(), [&](quint32 keysym) { return it->contains(keysym); });
        if (stillThere) {
            ++it;
        } else {
            it = m_mayHold.erase(it);
            changed = true;
        }
    }
    if (changed)
        writeJournal();
}

void TypingEngine::enqueue(quint32 keysym) {
    m_queue.append(keysym);
}

bool TypingEngine::prepare(const QList<quint32>& keysyms) {
    if (!m_queue.isEmpty() || m_held || m_bindingUndigested)
        return false;
    QList<SlotBinding> batch;
    for (const auto& [slot, keysym] : m_pool.planAhead(keysyms, m_clock(), sparedForOthers()))
        batch.append({slot, keysym});
    // A refusal here is no failure: the symbol is bound when it is typed, and reported then.
    return !batch.isEmpty() && bindNow(batch);
}

TypingEngine::Wait TypingEngine::run() {
    if (m_held) {
        if (const std::optional<qint64> until = heldUntil())
            return {Wait::Time, *until};
        releaseHeld();
    }
    while (!m_queue.isEmpty()) {
        const quint32 keysym = m_queue.first();
        const KeySlotPool::Choice choice = m_pool.choose(keysym, m_clock());
        if (choice.kind == KeySlotPool::Choice::Wait) {
            if (choice.confirmationHelps && m_pool.receiverConfirms() && m_requested < m_sequence) {
                askForConfirmation();
                continue; // the receiver may have turned out unable to confirm: choose again
            }
            return {Wait::Time, choice.readyAt};
        }
        if (choice.kind == KeySlotPool::Choice::Bind) {
            if (m_bindingUndigested)
                return {Wait::Keymap, 0};
            const qint64 now = m_clock();
            const qint64 gathered = m_pool.timeWhenFree(unboundAhead(now));
            if (gathered > now && gathered - now <= gatherMs)
                return {Wait::Time, gathered};
        }
        if (choice.kind == KeySlotPool::Choice::Exhausted) {
            m_queue.removeFirst();
            fail(keysym, m_pool.isEmpty() ? QStringLiteral("the keyboard mapping has no spare keycode")
                                          : QStringLiteral("every spare keycode is held down"));
            continue;
        }
        if (choice.kind == KeySlotPool::Choice::Bind) {
            if (!bindAhead(keysym, choice.slot))
                m_queue.removeFirst();
            continue; // bound: choose again, and the next binding waits for this one to be digested
        }
        const quint8 keycode = quint8(choice.slot);
        if (const std::optional<Wait> wait = waitUntilSeen(keycode))
            return *wait;
        const int level = choice.slot >> 8;
        const bool twoSymbols = m_pool.levelsOf(keycode).first != m_pool.levelsOf(keycode).second;
        const int pressedAt = m_device.press(keycode, twoSymbols ? level : 0, twoSymbols);
        if (pressedAt < 0) {
            // The modifiers held would give the key's other symbol, or keep Shift from being added
            // safely: first the key gets this symbol on both levels, and until the text is typed
            // every key gets one symbol.
            m_oneLevel = true;
            const KeySlotPool::SlotId other = KeySlotPool::idOf(keycode, 1 - level);
            const qint64 freeAt = m_pool.freeAt(other);
            if (freeAt > m_clock()) {
                if (m_pool.receiverConfirms() && m_requested < m_sequence) {
                    askForConfirmation();
                    continue;
                }
                return {Wait::Time, freeAt};
            }
            if (m_bindingUndigested)
                return {Wait::Keymap, 0};
            QList<SlotBinding> split{{other, 0}};
            for (const KeySlotPool::SlotId second : m_pool.freeSecondSymbols(m_clock(), keycode))
                split.append({second, 0});
            if (!bindNow(split)) {
                m_queue.removeFirst();
                fail(keysym, refusal());
            }
            continue;
        }
        m_queue.removeFirst();
        m_pool.markPressed(choice.slot, m_clock(), ++m_sequence);
        m_held = Held{choice.slot, KeySlotPool::idOf(keycode, pressedAt), m_clock(), m_sequence, 0};
        // Shift took the press to the other level: a receiver translates it through that one.
        if (m_held->through != choice.slot)
            m_pool.markUsed(m_held->through, m_clock(), m_sequence);
        if (holdsForOrder(keysym)) {
            if (const std::optional<qint64> until = heldUntil())
                return {Wait::Time, *until};
        }
        releaseHeld();
    }
    m_oneLevel = false;
    return {};
}

void TypingEngine::keymapDigested() {
    m_bindingUndigested = false;
    const auto undigested = [](const Fresh& fresh) { return fresh.sequence == 0; };
    if (std::none_of(m_fresh.cbegin(), m_fresh.cend(), undigested))
        return;
    // A place among the key events, so that only a ping sent from now on can cover the change.
    ++m_sequence;
    for (Fresh& fresh : m_fresh) {
        if (undigested(fresh))
            fresh.sequence = m_sequence;
    }
}

std::optional<TypingEngine::Wait> TypingEngine::waitUntilSeen(quint8 keycode) {
    const auto fresh = m_fresh.constFind(keycode);
    if (fresh == m_fresh.cend())
        return std::nullopt;
    const qint64 limit = fresh->boundAt + m_pool.unconfirmedLimit();
    if (m_pool.receiverConfirms() && m_clock() < limit) {
        if (fresh->sequence == 0)
            return Wait{Wait::Keymap, 0};
        if (!m_pool.isConfirmed(fresh->sequence)) {
            askForConfirmation();
            if (m_pool.receiverConfirms()) // it may have turned out unable to
                return Wait{Wait::Time, limit};
        }
    }
    m_fresh.erase(fresh);
    return std::nullopt;
}

bool TypingEngine::holdsForOrder(quint32 keysym) const {
    return !m_queue.isEmpty() && Keysyms::isAstral(m_queue.first()) && !Keysyms::isAstral(keysym) &&
           m_pool.receiverConfirms();
}

std::optional<qint64> TypingEngine::heldUntil() {
    if (m_held->pings == 0 || (m_pool.isConfirmed(m_held->sequence) && m_held->pings < orderConfirmations)) {
        // Each ping stands in the sequence, so that its answer confirms nothing sent after it.
        if (m_held->pings > 0)
            ++m_sequence;
        m_held->sequence = m_sequence;
        ++m_held->pings;
        askForConfirmation();
    }
    if (!m_pool.receiverConfirms())
        return std::nullopt;
    const qint64 now = m_clock();
    const bool answered = m_pool.isConfirmed(m_held->sequence) && m_held->pings >= orderConfirmations;
    if (!m_held->released) {
        const qint64 settled = m_held->pressedAt + orderHoldMinMs;
        if (answered && now >= settled)
            return std::nullopt;
        const qint64 limit = m_held->pressedAt + orderHoldLimitMs;
        if (now < limit)
            return answered ? settled : limit;
        release(now);
        m_held->released = true;
    }
    const qint64 giveUp = m_held->pressedAt + m_pool.unconfirmedLimit();
    if (answered || now >= giveUp)
        return std::nullopt;
    return giveUp;
}

void TypingEngine::releaseHeld() {
    if (!m_held)
        return;
    if (!m_held->released)
        release(m_clock());
    m_held.reset();
}

void TypingEngine::release(qint64 now) {
    m_device.release(quint8(m_held->slot));
    m_pool.markReleased(m_held->slot, now, ++m_sequence);
    if (m_held->through != m_held->slot)
        m_pool.markUsed(m_held->through, now, m_sequence);
}

void TypingEngine::dropQueue() {
    m_queue.clear();
    m_oneLevel = false;
    releaseHeld();
}

bool TypingEngine::bindAhead(quint32 keysym, KeySlotPool::SlotId slot) {
    const qint64 now = m_clock();
    const qsizetype horizon = std::min<qsizetype>(m_queue.size(), lookAhead);
    // Where each bound symbol is next typed: the one typed last (or not at all) is replaced first.
    QHash<quint32, qsizetype> nextUse;
    for (qsizetype i = horizon - 1; i >= 0; --i)
        nextUse.insert(m_queue.at(i), i);
    // Walking the symbols in the order they are typed, a slot whose symbol
    // comes up is kept, and each symbol without one gets a free slot.
    QSet<KeySlotPool::SlotId> kept;
    QSet<quint32> planned;
    QList<SlotBinding> batch;
    const auto secondLevelCanGo = [&](quint8 keycode) {
        const KeySlotPool::Slot* second = m_pool.slot(KeySlotPool::idOf(keycode, 1));
        return !second || second->keysym == 0 ||
               (!kept.contains(second->id()) && m_pool.isFree(*second, now));
    };
    const auto take = [&](quint32 symbol) {
        const KeySlotPool::Slot* best = nullptr;
        for (const KeySlotPool::Slot& candidate : m_pool.slots()) {
            if (kept.contains(candidate.id()) || candidate.refused || !m_pool.isFree(candidate, now))
                continue;
            if (m_oneLevel && (candidate.level == 1 || !secondLevelCanGo(candidate.keycode)))
                continue;
            if (!best || (best->keysym != 0 && candidate.keysym == 0)) {
                best = &candidate;
                continue;
            }
            if (best->keysym == 0 || candidate.keysym == 0)
                continue;
            const qsizetype candidateNext = nextUse.value(candidate.keysym, horizon);
            const qsizetype bestNext = nextUse.value(best->keysym, horizon);
            if (candidateNext > bestNext ||
                (candidateNext == bestNext && m_pool.lastUse(candidate.id()) < m_pool.lastUse(best->id())))
                best = &candidate;
        }
        if (!best)
            return false;
        batch.append({best->id(), symbol});
        kept.insert(best->id());
        if (const KeySlotPool::Slot* second = m_pool.slot(KeySlotPool::idOf(best->keycode, 1));
            m_oneLevel && second && second->keysym != 0) {
            batch.append({second->id(), 0});
            kept.insert(second->id());
        }
        planned.insert(symbol);
        return true;
    };
    if (!take(keysym)) {
        batch.append({slot, keysym});
        kept.insert(slot);
        planned.insert(keysym);
    }
    slot = batch.first().slot;
    for (qsizetype i = 1; i < horizon; ++i) { // the first symbol is planned already
        const quint32 next = m_queue.at(i);
        if (planned.contains(next))
            continue;
        if (const KeySlotPool::Choice choice = m_pool.choose(next, now);
            choice.kind == KeySlotPool::Choice::Ready) {
            kept.insert(choice.slot);
            continue;
        }
        if (!take(next))
            break;
    }
    if (bindNow(batch))
        return true;
    // Something in the batch was refused: find out whether the first symbol alone can be bound.
    if (batch.size() > 1 && bindNow({batch.first()}))
        return true;
    // Nothing changed, so the slot keeps what it had and stays in the pool.
    m_pool.markRefused(slot);
    fail(keysym, refusal());
    return false;
}

int TypingEngine::unboundAhead(qint64 now) const {
    QSet<quint32> unbound;
    const qsizetype horizon = std::min<qsizetype>(m_queue.size(), lookAhead);
    for (qsizetype i = 0; i < horizon; ++i) {
        const quint32 keysym = m_queue.at(i);
        if (m_pool.choose(keysym, now).kind != KeySlotPool::Choice::Ready)
            unbound.insert(keysym);
    }
    return int(unbound.size());
}

bool TypingEngine::bindNow(const QList<SlotBinding>& changes) {
    // Each keycode touched, whole: a device changes keycodes, not levels.
    QHash<KeySlotPool::SlotId, quint32> next;
    QList<quint8> keycodes;
    for (const SlotBinding& change : changes) {
        next.insert(change.slot, change.keysym);
        if (!keycodes.contains(quint8(change.slot)))
            keycodes.append(quint8(change.slot));
    }
    QList<KeyboardDevice::Binding> bindings;
    bool widened = false;
    for (const quint8 keycode : std::as_const(keycodes)) {
        const auto [plain, shifted] = m_pool.levelsOf(keycode, next);
        bindings.append({keycode, plain, shifted == plain ? 0 : shifted});
        QList<quint32>& mayHold = m_mayHold[keycode];
        for (const quint32 keysym : {plain, shifted}) {
            if (keysym != 0 && !mayHold.contains(keysym)) {
                mayHold.append(keysym);
                widened = true;
            }
        }
    }
    if (widened)
        writeJournal();
    if (!m_device.bind(bindings))
        return false;
    // Where the server has told every client already, a ping sent from now on covers the change.
    const quint64 announced = m_device.announcesBeforeReturning() ? ++m_sequence : 0;
    for (const SlotBinding& change : changes)
        m_pool.setBinding(change.slot, change.keysym);
    for (const KeyboardDevice::Binding& binding : std::as_const(bindings)) {
        if (binding.keysym != 0) {
            m_mayHold[binding.keycode] =
                binding.shifted ? QList{binding.keysym, binding.shifted} : QList{binding.keysym};
            m_fresh.insert(binding.keycode, {m_clock(), announced});
        } else {
            m_mayHold.remove(binding.keycode);
            m_fresh.remove(binding.keycode);
        }
    }
    if (!widened)
        writeJournal(); // an emptied keycode leaves the record
    m_bindingUndigested = true;
    return true;
}

void TypingEngine::restoreAll() {
    releaseHeld();
    QList<SlotBinding> empty;
    for (const KeySlotPool::Slot& slot : m_pool.boundSlots())
        empty.append({slot.id(), 0});
    if (empty.isEmpty() || bindNow(empty))
        return;
    for (const SlotBinding& binding : std::as_const(empty))
        bindNow({binding});
}

void TypingEngine::writeJournal() {
    if (m_journal)
        m_journal(m_mayHold);
}

QString TypingEngine::refusal() const {
    const QString why = m_device.refusal();
    return why.isEmpty() ? QStringLiteral("the keyboard mapping could not be changed") : why;
}

void TypingEngine::fail(quint32 keysym, const QString& why) {
    if (m_onFailure)
        m_onFailure(keysym, why);
}
