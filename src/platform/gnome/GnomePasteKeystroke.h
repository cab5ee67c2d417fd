#pragma once

#include "platform/gnome/GnomeShellLink.h"
#include "platform/paste/PasteKeystroke.h"
#include "platform/paste/QtPasteClipboard.h"

#include <QPointer>

// Ctrl+V, pressed by the GNOME Shell extension once the shell's clipboard
// holds the clipboard's last offer (mutter takes each new X11 clipboard in its
// own time); Insert while the user holds Shift, since Ctrl+Shift+V pastes
// nothing in most programs and Shift+Insert pastes in GTK and Qt alike. The
// keys are evdev codes, the same on every layout.
class GnomePasteKeystroke : public PasteKeystroke {
    Q_OBJECT
public:
    static constexpr uint keyLeftCtrl = 29;
    static constexpr uint keyV = 47;
    static constexpr uint keyInsert = 110;

    GnomePasteKeystroke(GnomeShellLink& link, const QtPasteClipboard& clipboard, QObject* parent = nullptr)
        : PasteKeystroke(parent)
        , m_link(link)
        , m_clipboard(clipboard) {}

    void send() override {
        m_link.paste({keyLeftCtrl, keyV}, {keyInsert}, m_clipboard.offerMarker(),
                     [self = QPointer(this)](bool ok, const QString& why) {
                         if (self)
                             Q_EMIT self->sent(ok, why);
                     });
    }

private:
    GnomeShellLink& m_link;
    const QtPasteClipboard& m_clipboard;
};
