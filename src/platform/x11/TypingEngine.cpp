#include "platform/x11/TypingEngine.h"

#include "platform/x11/KeyboardDevice.h"

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
    m_pool.adopt(keymap);
    // What the keymap no longer holds cannot be left behind by a crash.
    bool changed = false;
    for (auto it = m_mayHold.begin(); it != m_mayHold.end();) {
        const quint8 keycode = it.key();
        const bool stillThere = std::any_of(
            it->cbegin(), it->cend(), [&](quint32 keysym) { return keymap.holdsOnly(keycode, keysym); });
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

void TypingEngine::enqueue(bool down, quint32 keysym) {
    m_queue.append({down, keysym});
}

TypingEngine::Wait TypingEngine::run() {
    while (!m_queue.isEmpty()) {
        const Event event = m_queue.first();
        if (!event.down) {
            release(event.keysym);
            m_queue.removeFirst();
            continue;
        }
        const KeySlotPool::Choice choice = m_pool.choose(event.keysym, m_clock());
        if (choice.kind == KeySlotPool::Choice::Wait) {
            if (choice.confirmationHelps && m_pool.receiverConfirms() && m_requested < m_sequence) {
                askForConfirmation();
                continue; // the receiver may have turned out unable to confirm: choose again
            }
            return {Wait::Time, choice.readyAt};
        }
        if (choice.kind == KeySlotPool::Choice::Bind && m_bindingUndigested)
            return {Wait::Keymap, 0};
        m_queue.removeFirst();
        if (choice.kind == KeySlotPool::Choice::Exhausted) {
            fail(event.keysym, m_pool.isEmpty() ? QStringLiteral("the keyboard mapping has no spare keycode")
                                                : QStringLiteral("every spare keycode is held down"));
            continue;
        }
        if (choice.kind == KeySlotPool::Choice::Bind) {
            const quint8 keycode = choice.keycode;
            QList<quint32>& mayHold = m_mayHold[keycode];
            if (!mayHold.contains(event.keysym))
                mayHold.append(event.keysym);
            writeJournal();
            if (!m_device.bind(keycode, event.keysym)) {
                // The keycode keeps whatever it had; give that back too before it leaves the pool.
                const KeySlotPool::Slot* slot = m_pool.slot(keycode);
                if (!slot || slot->keysym == 0 || m_device.unbind(keycode))
                    m_mayHold.remove(keycode);
                m_pool.remove(keycode);
                writeJournal();
                fail(event.keysym, QStringLiteral("the server refused to bind keycode %1").arg(keycode));
                continue;
            }
            m_pool.setBinding(keycode, event.keysym);
            mayHold = {event.keysym};
            m_bindingUndigested = true;
        }
        m_device.press(choice.keycode);
        m_pool.markPressed(choice.keycode, m_clock(), ++m_sequence);
        m_held[event.keysym].append(choice.keycode);
    }
    return {};
}

void TypingEngine::release(quint32 keysym) {
    auto held = m_held.find(keysym);
    if (held == m_held.end() || held->isEmpty())
        return; // its press failed, or never came
    const quint8 keycode = held->takeFirst();
    if (held->isEmpty())
        m_held.erase(held);
    m_device.release(keycode);
    m_pool.markReleased(keycode, m_clock(), ++m_sequence);
}

void TypingEngine::dropQueue() {
    m_queue.clear();
    const auto held = m_held;
    for (auto it = held.cbegin(); it != held.cend(); ++it) {
        for (qsizetype i = 0; i < it->size(); ++i)
            release(it.key());
    }
}

void TypingEngine::restoreAll() {
    for (const KeySlotPool::Slot& slot : m_pool.boundSlots()) {
        if (m_device.unbind(slot.keycode)) {
            m_pool.setBinding(slot.keycode, 0);
            m_mayHold.remove(slot.keycode);
        }
    }
    writeJournal();
}

void TypingEngine::writeJournal() {
    if (m_journal)
        m_journal(m_mayHold);
}

void TypingEngine::fail(quint32 keysym, const QString& why) {
    if (m_onFailure)
        m_onFailure(keysym, why);
}
