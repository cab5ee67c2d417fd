#include "platform/x11/X11TypingBackend.h"

#include "platform/Log.h"

#include <QCoreApplication>
#include <QFile>

#include "platform/x11/XcbXkb.h"

X11TypingBackend::X11TypingBackend(const X11Connection& connection, QString recordDirectory, QObject* parent)
    : EngineTypingBackend(m_device, parent)
    , m_x(connection)
    , m_device(connection)
    , m_record(std::move(recordDirectory), QString::fromLocal8Bit(qgetenv("DISPLAY")),
               connection.serverIdentity(), QCoreApplication::applicationPid())
    , m_xkbEventBase(connection.xkbEventBase()) {
    engine().setJournal([this](const BindingRecord::Bindings& bindings) { writeRecord(bindings); });
    // The ping travels on a connection of its own: the key events it follows must have left first.
    if (m_receiver.isConnected())
        engine().setConfirmationRequest([this](quint64 sequence) {
            m_x.flush();
            return m_receiver.ping(quint32(sequence));
        });
    connect(&m_receiver, &X11ReceiverSync::answered, this, [this](quint32 token) { confirmed(token); });

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

UserText X11TypingBackend::unavailableReason() const {
    if (m_x.isBroken())
        return {QStringLiteral("typing_x_connection_broken")};
    if (!engine().canType())
        return {QStringLiteral("typing_no_spare_keycode")};
    return {};
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
    if (const std::optional<KeymapSnapshot> keymap = m_x.readKeymap()) {
        m_device.follow(*keymap);
        engine().adopt(*keymap);
    }
    // Qt has handled every keymap event that had arrived, so this process has re-read the keymap.
    keymapDigested();
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

void X11TypingBackend::writeRecord(const BindingRecord::Bindings& bindings) {
    if (m_record.write(bindings) || m_recordFailureReported)
        return;
    m_recordFailureReported = true;
    Log::line(QStringLiteral("[X11TypingBackend] Cannot keep the record of bound keycodes (%1); "
                             "after a crash they stay bound until setxkbmap or a new session")
                  .arg(m_record.errorString()));
}
