#pragma once

#include "platform/TypingBackend.h"
#include "platform/paste/PasteQueue.h"
#include "platform/paste/QtPasteClipboard.h"

#include <memory>

class GnomePasteKeystroke;
class GnomeShellLink;

// Typing on GNOME on Wayland, where no program may send keys of its own. Each
// piece of text goes to Runeboard's GNOME Shell extension first, which commits
// it whole through the shell's input method when a text field has the focus;
// otherwise it says where the focus is, and the text goes on from here: to an
// X11 program (Xwayland) through the X11 typing engine, to any other window
// by pasting. One piece is on its way at a time, in the order queued; what is
// queued meanwhile leaves together, so fast clicks cost one trip, not many.
// While the extension does not answer, everything goes to the X11 engine.
class GnomeTypingBackend : public TypingBackend {
    Q_OBJECT
public:
    GnomeTypingBackend(std::shared_ptr<GnomeShellLink> link, std::unique_ptr<TypingBackend> x11,
                       QObject* parent = nullptr);
    ~GnomeTypingBackend() override;

    bool type(const QString& text) override;
    UserText unavailableReason() const override;
    bool isIdle() const override { return !m_busy && m_waiting.isEmpty(); }
    void restoreSystem() override;

private:
    void sendNext();
    void typeOnX11(const QString& text);
    void report(const QString& text, const QString& why);
    void settle();

    std::shared_ptr<GnomeShellLink> m_link;
    std::unique_ptr<TypingBackend> m_x11;
    QtPasteClipboard m_clipboard;
    std::unique_ptr<GnomePasteKeystroke> m_keystroke;
    PasteQueue m_paste;
    QString m_waiting;
    bool m_busy = false;
    bool m_onX11 = false;
    bool m_closed = false;
};
