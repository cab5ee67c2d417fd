#pragma once

#include "platform/kde/KwinConnection.h"
#include "platform/paste/PasteKeystroke.h"

// Ctrl+V through KWin's fake input, sent on the connection that has just set
// the clipboard, so KWin has the new clipboard before the keys. The keys are
// evdev codes, the same on every layout.
class KdePasteKeystroke : public PasteKeystroke {
    Q_OBJECT
public:
    static constexpr quint32 keyLeftCtrl = 29;
    static constexpr quint32 keyV = 47;

    explicit KdePasteKeystroke(KwinConnection& connection, QObject* parent = nullptr)
        : PasteKeystroke(parent)
        , m_connection(connection) {}

    void send() override {
        const bool ok = m_connection.pressKeys({keyLeftCtrl, keyV});
        QMetaObject::invokeMethod(
            this,
            [this, ok] {
                Q_EMIT sent(ok, ok ? QString() : QStringLiteral("KWin takes no keys from Runeboard"));
            },
            Qt::QueuedConnection);
    }

private:
    KwinConnection& m_connection;
};
