#pragma once

#include "platform/kde/DataControlClipboard.h"
#include "platform/kde/KdePasteKeystroke.h"
#include "platform/paste/PasteQueue.h"
#include "platform/paste/RoutedTypingBackend.h"

#include <functional>
#include <memory>

class KwinConnection;

// Typing on KDE Plasma on Wayland, where KWin offers ordinary programs no
// virtual keyboard: into an X11 program (Xwayland) through the X11 typing
// engine; into any other window by pasting, with the clipboard and the paste
// keys on Runeboard's own connection to KWin.
class KdeTypingBackend : public RoutedTypingBackend {
    Q_OBJECT
public:
    // `x11Focused` says whether an X11 program has the keyboard focus now.
    KdeTypingBackend(std::unique_ptr<KwinConnection> connection, std::unique_ptr<TypingBackend> x11,
                     std::function<bool()> x11Focused, QObject* parent = nullptr);
    ~KdeTypingBackend() override;

private:
    UserText waysUnavailable() const override;
    void send(const QString& text) override;

    std::unique_ptr<KwinConnection> m_connection;
    std::function<bool()> m_x11Focused;
    DataControlClipboard m_clipboard;
    KdePasteKeystroke m_keystroke;
    PasteQueue m_paste;
};
