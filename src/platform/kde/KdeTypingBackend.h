#pragma once

#include "platform/TypingBackend.h"
#include "platform/kde/DataControlClipboard.h"
#include "platform/kde/KdePasteKeystroke.h"
#include "platform/paste/PasteQueue.h"

#include <functional>
#include <memory>

class KwinConnection;

// Typing on KDE Plasma on Wayland, where KWin offers ordinary programs no
// virtual keyboard: into an X11 program (Xwayland) through the X11 typing
// engine; into any other window by pasting, with the clipboard and the paste
// keys on Runeboard's own connection to KWin. One piece is on its way at a
// time, in the order queued; what is queued meanwhile leaves together.
class KdeTypingBackend : public TypingBackend {
    Q_OBJECT
public:
    // `x11Focused` says whether an X11 program has the keyboard focus now.
    KdeTypingBackend(std::unique_ptr<KwinConnection> connection, std::unique_ptr<TypingBackend> x11,
                     std::function<bool()> x11Focused, QObject* parent = nullptr);
    ~KdeTypingBackend() override;

    bool type(const QString& text) override;
    UserText unavailableReason() const override;
    bool isIdle() const override { return !m_busy && m_waiting.isEmpty(); }
    void restoreSystem() override;

private:
    void sendNext();
    void report(const QString& text, const QString& why);
    void settle();

    std::unique_ptr<KwinConnection> m_connection;
    std::unique_ptr<TypingBackend> m_x11;
    std::function<bool()> m_x11Focused;
    DataControlClipboard m_clipboard;
    KdePasteKeystroke m_keystroke;
    PasteQueue m_paste;
    QString m_waiting;
    bool m_busy = false;
    bool m_onX11 = false;
    bool m_closed = false;
};
