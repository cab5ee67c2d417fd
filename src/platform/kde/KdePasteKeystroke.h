#pragma once

#include "platform/kde/KwinActiveWindow.h"
#include "platform/kde/KwinConnection.h"
#include "platform/paste/PasteKeystroke.h"

// The paste keys through KWin's fake input, sent on the connection that has
// just set the clipboard, so KWin has the new clipboard before the keys. No
// program here learns whether the user holds Shift while clicking, so the keys
// paste either way: Shift+Insert, on which Qt and GTK paste the clipboard
// (Ctrl+V under a held Shift becomes Ctrl+Shift+V, which pastes nothing
// there); Ctrl+Shift+V for a terminal, which pastes its selection on
// Shift+Insert. While the kind of window is not known, Ctrl+V, as a terminal
// would at worst take it for a control key, never for someone's selection.
// The right Shift, so that a held left one stays held. The keys are evdev
// codes, the same on every layout.
class KdePasteKeystroke : public PasteKeystroke {
    Q_OBJECT
public:
    static constexpr quint32 keyLeftCtrl = 29;
    static constexpr quint32 keyRightShift = 54;
    static constexpr quint32 keyV = 47;
    static constexpr quint32 keyInsert = 110;

    KdePasteKeystroke(KwinConnection& connection, const KwinActiveWindow& window, QObject* parent = nullptr)
        : PasteKeystroke(parent)
        , m_connection(connection)
        , m_window(window) {}

    void send() override {
        // Right after start-up the script has yet to say which window is active.
        if (m_window.state() == KwinActiveWindow::State::Loading) {
            connect(&m_window, &KwinActiveWindow::settled, this, &KdePasteKeystroke::press,
                    Qt::SingleShotConnection);
            return;
        }
        press();
    }

private:
    void press() {
        QList<quint32> keys{keyLeftCtrl, keyV};
        if (m_window.state() == KwinActiveWindow::State::Following)
            keys = m_window.terminalActive() ? QList<quint32>{keyLeftCtrl, keyRightShift, keyV}
                                             : QList<quint32>{keyRightShift, keyInsert};
        const bool ok = m_connection.pressKeys(keys);
        QMetaObject::invokeMethod(
            this,
            [this, ok] {
                Q_EMIT sent(ok, ok ? QString() : QStringLiteral("KWin takes no keys from Runeboard"));
            },
            Qt::QueuedConnection);
    }

    KwinConnection& m_connection;
    const KwinActiveWindow& m_window;
};
