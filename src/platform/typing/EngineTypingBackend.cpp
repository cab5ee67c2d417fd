#include "platform/typing/EngineTypingBackend.h"

#include "platform/typing/Keysyms.h"

EngineTypingBackend::EngineTypingBackend(KeyboardDevice& device, QObject* parent)
    : TypingBackend(parent)
    , m_engine(device, [this] { return m_clock.elapsed(); }) {
    m_clock.start();
    m_wake.setSingleShot(true);
    m_wake.setTimerType(Qt::PreciseTimer);
    connect(&m_wake, &QTimer::timeout, this, &EngineTypingBackend::pump);
    m_digestTimeout.setSingleShot(true);
    m_digestTimeout.setInterval(keymapEventTimeoutMs);
    connect(&m_digestTimeout, &QTimer::timeout, this, [this] {
        m_engine.keymapDigested();
        pump();
    });
    m_settle.setSingleShot(true);
    m_settle.setTimerType(Qt::PreciseTimer);
    connect(&m_settle, &QTimer::timeout, this, &EngineTypingBackend::trySettle);
    m_engine.setFailureHandler([this](quint32 keysym, const QString& why) { reportFailure(keysym, why); });
}

bool EngineTypingBackend::type(const QString& text) {
    if (m_closed || isBroken() || !m_engine.canType())
        return false;
    m_engine.newReceiver();
    // The whole text is queued before the engine starts, so that its symbols can be bound together.
    for (const char32_t scalar : text.toUcs4()) {
        const quint32 keysym = Keysyms::forScalar(scalar);
        if (keysym == Keysyms::NoSymbol)
            reportFailure(scalar, QStringLiteral("no key can carry it"));
        else
            m_engine.enqueue(keysym);
    }
    if (!m_wake.isActive() && !m_digestTimeout.isActive())
        pump(); // emits idle() once everything is delivered
    return true;
}

void EngineTypingBackend::bindAhead(const QString& text) {
    if (m_closed || isBroken() || !m_engine.canType())
        return;
    QList<quint32> keysyms;
    for (const char32_t scalar : text.toUcs4()) {
        if (const quint32 keysym = Keysyms::forScalar(scalar); keysym != Keysyms::NoSymbol)
            keysyms.append(keysym);
    }
    if (m_engine.prepare(keysyms))
        flush();
}

void EngineTypingBackend::restoreSystem() {
    m_closed = true;
    m_restoring = true;
    m_engine.dropQueue();
    m_wake.stop();
    m_digestTimeout.stop();
    flush();
    trySettle();
}

void EngineTypingBackend::holdUntil(qint64 time) {
    m_heldUntil = time;
}

void EngineTypingBackend::keymapDigested() {
    m_digestTimeout.stop();
    if (!m_engine.isWaitingForKeymap())
        return;
    m_engine.keymapDigested();
    if (!m_engine.isIdle() && !m_wake.isActive())
        pump();
}

void EngineTypingBackend::confirmed(quint64 sequence) {
    m_engine.confirm(sequence);
    if (m_restoring) {
        trySettle();
    } else if (!m_engine.isIdle()) {
        // A key bound just now may be pressed, even before this process has re-read the keymap.
        m_wake.stop();
        pump();
    }
}

void EngineTypingBackend::trySettle() {
    const TypingEngine::Wait wait = m_engine.settle();
    if (wait.kind != TypingEngine::Wait::Nothing) {
        m_settle.start(int(std::max<qint64>(0, wait.until - m_clock.elapsed())));
        return;
    }
    m_restoring = false;
    restoreNow();
    // Queued, so a caller of restoreSystem() can connect after calling it.
    QMetaObject::invokeMethod(this, &TypingBackend::restored, Qt::QueuedConnection);
}

void EngineTypingBackend::pump() {
    if (m_heldUntil > m_clock.elapsed() && !m_engine.isIdle()) {
        m_wake.start(int(m_heldUntil - m_clock.elapsed()));
        return;
    }
    const TypingEngine::Wait wait = m_engine.run();
    flush();
    switch (wait.kind) {
    case TypingEngine::Wait::Time:
        m_wake.start(int(std::max<qint64>(0, wait.until - m_clock.elapsed())));
        return;
    case TypingEngine::Wait::Keymap:
        // Normally the keymap is digested within milliseconds; this only guards against losing the news.
        if (!m_digestTimeout.isActive())
            m_digestTimeout.start();
        return;
    case TypingEngine::Wait::Nothing:
        break;
    }
    Q_EMIT idle();
}

void EngineTypingBackend::restoreNow() {
    m_settle.stop();
    if (isBroken())
        return;
    m_engine.restoreAll();
    flush();
}

void EngineTypingBackend::reportFailure(quint32 keysym, const QString& why) {
    const char32_t scalar = keysym >= 0x01000000 ? keysym - 0x01000000 : keysym;
    Q_EMIT deliveryFailed(QString::fromUcs4(&scalar, 1), why);
}
