#pragma once

#include "platform/paste/PasteQueue.h"
#include "platform/paste/QtPasteClipboard.h"
#include "platform/paste/RoutedTypingBackend.h"

#include <memory>

class GnomePasteKeystroke;
class GnomeShellLink;

// Typing on GNOME on Wayland, where no program may send keys of its own. Each
// piece of text goes to Runeboard's GNOME Shell extension first, which commits
// it whole through the shell's input method when a text field has the focus;
// otherwise it says where the focus is, and the text goes on from here: to an
// X11 program (Xwayland) through the X11 typing engine, to any other window
// by pasting. While the extension does not answer, everything goes to the
// X11 engine.
class GnomeTypingBackend : public RoutedTypingBackend {
    Q_OBJECT
public:
    GnomeTypingBackend(std::shared_ptr<GnomeShellLink> link, std::unique_ptr<TypingBackend> x11,
                       QObject* parent = nullptr);
    ~GnomeTypingBackend() override;

private:
    UserText waysUnavailable() const override;
    void send(const QString& text) override;

    std::shared_ptr<GnomeShellLink> m_link;
    QtPasteClipboard m_clipboard;
    std::unique_ptr<GnomePasteKeystroke> m_keystroke;
    PasteQueue m_paste;
};
