#pragma once

#include "platform/kde/DataControlClipboard.h"
#include "platform/kde/InputMethodService.h"
#include "platform/kde/KdePasteKeystroke.h"
#include "platform/paste/PasteQueue.h"
#include "platform/paste/RoutedTypingBackend.h"

#include <functional>
#include <memory>

class InputMethodLink;
class KwinConnection;

// Typing on KDE Plasma on Wayland, where KWin offers ordinary programs no
// virtual keyboard: into an X11 program (Xwayland) through the X11 typing
// engine; into a Wayland text field through Plasma's virtual keyboard when the
// user chose Runeboard as it (committed whole, the clipboard untouched); into
// any other window by pasting, with the clipboard and the paste keys on
// Runeboard's own connection to KWin, the keys chosen for the kind of window
// KWin says is active.
class KdeTypingBackend : public RoutedTypingBackend {
    Q_OBJECT
public:
    // `x11Focused` says whether an X11 program has the keyboard focus now; `inputMethod` reaches
    // Runeboard as Plasma's virtual keyboard, when the user chose it.
    KdeTypingBackend(std::unique_ptr<KwinConnection> connection, std::unique_ptr<TypingBackend> x11,
                     std::function<bool()> x11Focused, std::unique_ptr<InputMethodLink> inputMethod,
                     QObject* parent = nullptr);
    ~KdeTypingBackend() override;

private:
    UserText waysUnavailable() const override;
    void send(const QString& text) override;
    void paste(const QString& text);
    void committed(InputMethodService::Outcome outcome);

    std::unique_ptr<KwinConnection> m_connection;
    std::function<bool()> m_x11Focused;
    DataControlClipboard m_clipboard;
    KwinActiveWindow m_activeWindow;
    KdePasteKeystroke m_keystroke;
    PasteQueue m_paste;
    std::unique_ptr<InputMethodLink> m_inputMethod;
    QString m_committing;
};
