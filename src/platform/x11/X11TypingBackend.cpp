#include "platform/x11/X11TypingBackend.h"

#include "platform/Log.h"
#include "platform/typing/Keysyms.h"

#include <QCoreApplication>
#include <QFile>

#include "platform/x11/XcbXkb.h"

namespace {
QString describe(quint32 keysym) {
    if (keysym >= 0x01000000 || keysym < 0x100) {
        const quint32 scalar = keysym & 0x00ffffff;
        return QStringLiteral("U+") +
               QString::number(scalar, 16).toUpper().rightJustified(4, QLatin1Char('0'));
    }
    return QStringLiteral("keysym 0x") + QString::number(keysym, 16);
}
} // namespace

X11TypingBackend::X11TypingBackend(const X11Connection& connection, QString recordDirectory, QObject* parent)
    : TypingBackend(parent)
    , m_x(connection)
    , m_device(connection)
    , m_engine(m_device, [this] { return m_clock.elapsed(); })
    , m_record(std::move(recordDirectory), QString::fromLocal8Bit(qgetenv("DISPLAY")),
               connection.serverIdentity(), QCoreApplication::applicationPid())
    , m_xkbEventBase(connection.xkbEventBase()) {
    m_clock.start();
    m_wake.setSingleShot(true);
    m_wake.setTimerType(Qt::PreciseTimer);
    connect(&m_wake, &QTimer::timeout, this, &X11TypingBackend::pump);
    m_digestTimeout.setSingleShot(true);
    m_digestTimeout.setInterval(keymapEventTimeoutMs);
    connect(&m_digestTimeout, &QTimer::timeout, this, [this] {
        m_engine.keymapDigested();
        pump();
    });
    m_settle.setSingleShot(true);
    m_settle.setTimerType(Qt::PreciseTimer);
    connect(&m_settle, &QTimer::timeout, this, &X11TypingBackend::trySettle);

    m_engine.setJournal([this](const BindingRecord::Bindings& bindings) { writeRecord(bindings); });
    m_engine.setFailureHandler([this](quint32 keysym, const QString& why) { reportFailure(keysym, why); });
    if (m_receiver.isConnected())
        m_engine.setConfirmationRequest(
            [this](quint64 sequence) { return m_receiver.ping(quint32(sequence)); });
    connect(&m_receiver, &X11ReceiverSync::answered, this, [this](quint32 token) {
        m_engine.confirm(token);
        if (m_restoring) {
            trySettle();
        } else if (!m_engine.isIdle() && !m_engine.isWaitingForKeymap()) {
            m_wake.stop();
            pump();
        }
    });

    clearLeftovers();
    rereadKeymap();

    if (QCoreApplication* app = QCoreApplication::instance()) {
        app->installNativeEventFilter(this);
        // Quitting without restoreSystem() (the loop is already ending) still gives the keys back.
        connect(app, &QCoreApplication::aboutToQuit, this, &X11TypingBackend::restoreNow);
    }
}

X11TypingBackend::~X11TypingBackend() {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        app->removeNativeEventFilter(this);
        restoreNow();
    }
}

bool X11TypingBackend::open() {
    if (m_closed || m_x.isBroken() || !m_engine.canType())
        return false;
    m_pieceOpen = true;
    m_engine.newReceiver();
    return true;
}

bool X11TypingBackend::keyDown(char32_t scalar) {
    return enqueue(true, scalar);
}

bool X11TypingBackend::keyUp(char32_t scalar) {
    return enqueue(false, scalar);
}

void X11TypingBackend::close() {
    m_pieceOpen = false;
    if (!m_wake.isActive() && !m_digestTimeout.isActive())
        pump(); // emits idle() once everything is delivered
}

QString X11TypingBackend::unavailableReason() const {
    if (m_x.isBroken())
        return QStringLiteral("The connection to the X server is broken.");
    if (!m_engine.canType())
        return QStringLiteral(
            "The keyboard mapping has no spare keycode (one without any symbol, at most 255) "
            "that could carry the typed symbols.");
    return {};
}

void X11TypingBackend::restoreSystem() {
    m_closed = true;
    m_restoring = true;
    m_engine.dropQueue();
    m_wake.stop();
    m_digestTimeout.stop();
    m_x.flush();
    trySettle();
}

void X11TypingBackend::trySettle() {
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

bool X11TypingBackend::enqueue(bool down, char32_t scalar) {
    const quint32 keysym = Keysyms::forScalar(scalar);
    if (m_closed || keysym == Keysyms::NoSymbol || !m_engine.canType())
        return false;
    m_engine.enqueue(down, keysym);
    // A piece of text is queued whole before the engine starts (close()), so
    // that its symbols can be bound together; single events start it from the loop.
    if (!m_pieceOpen && !m_pumpQueued) {
        m_pumpQueued = true;
        QMetaObject::invokeMethod(this, &X11TypingBackend::pump, Qt::QueuedConnection);
    }
    return true;
}

void X11TypingBackend::pump() {
    m_pumpQueued = false;
    const TypingEngine::Wait wait = m_engine.run();
    m_x.flush();
    switch (wait.kind) {
    case TypingEngine::Wait::Time:
        m_wake.start(int(std::max<qint64>(0, wait.until - m_clock.elapsed())));
        return;
    case TypingEngine::Wait::Keymap:
        // Normally the keymap event comes within milliseconds; this only guards against losing it.
        if (!m_digestTimeout.isActive())
            m_digestTimeout.start();
        return;
    case TypingEngine::Wait::Nothing:
        break;
    }
    if (!m_pieceOpen)
        Q_EMIT idle();
}

bool X11TypingBackend::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const quint8 type = event->response_type & 0x7f;
    if (type == XCB_MAPPING_NOTIFY) {
        if (reinterpret_cast<const xcb_mapping_notify_event_t*>(event)->request != XCB_MAPPING_POINTER)
            queueKeymapReread();
    } else if (m_xkbEventBase && type == m_xkbEventBase) {
        const quint8 xkbType = reinterpret_cast<const xcb_xkb_map_notify_event_t*>(event)->xkbType;
        if (xkbType == XCB_XKB_MAP_NOTIFY || xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY)
            queueKeymapReread();
    }
    return false; // Qt follows the keymap too
}

void X11TypingBackend::queueKeymapReread() {
    if (m_rereadQueued)
        return;
    m_rereadQueued = true;
    QMetaObject::invokeMethod(this, &X11TypingBackend::rereadKeymap, Qt::QueuedConnection);
}

void X11TypingBackend::rereadKeymap() {
    m_rereadQueued = false;
    if (const std::optional<KeymapSnapshot> keymap = m_x.readKeymap())
        m_engine.adopt(*keymap);
    // Qt has handled every keymap event that had arrived, so this process has re-read the keymap.
    m_digestTimeout.stop();
    if (m_engine.isWaitingForKeymap()) {
        m_engine.keymapDigested();
        if (!m_engine.isIdle() && !m_wake.isActive())
            pump();
    }
}

void X11TypingBackend::clearLeftovers() {
    const QList<BindingRecord::Leftover> leftovers = m_record.leftovers();
    if (leftovers.isEmpty())
        return;
    const std::optional<KeymapSnapshot> keymap = m_x.readKeymap();
    const QHash<quint8, XkbKey> keys = m_device.readKeys();
    if (!keymap || keys.isEmpty())
        return;
    for (const BindingRecord::Leftover& leftover : leftovers) {
        QList<KeyboardDevice::Binding> empty;
        for (quint8 keycode :
             BindingRecord::keycodesToClear(leftover, *keymap, keys, m_device.keyTypeIndex()))
            empty.append({keycode, 0});
        if (m_device.bind(empty))
            QFile::remove(leftover.path);
    }
}

void X11TypingBackend::restoreNow() {
    m_settle.stop();
    if (m_x.isBroken())
        return;
    m_engine.restoreAll();
    m_x.flush();
}

void X11TypingBackend::writeRecord(const BindingRecord::Bindings& bindings) {
    if (m_record.write(bindings) || m_recordFailureReported)
        return;
    m_recordFailureReported = true;
    Log::line(QStringLiteral("[X11TypingBackend] Cannot keep the record of bound keycodes (%1); "
                             "after a crash they stay bound until setxkbmap or a new session")
                  .arg(m_record.errorString()));
}

void X11TypingBackend::reportFailure(quint32 keysym, const QString& why) {
    Log::line(QStringLiteral("[X11TypingBackend] Cannot type %1: %2").arg(describe(keysym), why));
    Q_EMIT deliveryFailed(char32_t(keysym >= 0x01000000 ? keysym - 0x01000000 : keysym));
}
