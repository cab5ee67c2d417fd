#pragma once

#include "platform/gnome/GnomeShellLink.h"
#include "platform/paste/PasteKeystroke.h"

#include <QPointer>

// Ctrl+V, pressed by the GNOME Shell extension once the clipboard offers
// Runeboard's text: the keys are evdev codes, the same on every layout.
class GnomePasteKeystroke : public PasteKeystroke {
    Q_OBJECT
public:
    static constexpr uint keyLeftCtrl = 29;
    static constexpr uint keyV = 47;

    explicit GnomePasteKeystroke(GnomeShellLink& link, QObject* parent = nullptr)
        : PasteKeystroke(parent)
        , m_link(link) {}

    void send() override {
        m_link.paste({keyLeftCtrl, keyV}, [self = QPointer(this)](bool ok, const QString& why) {
            if (self)
                Q_EMIT self->sent(ok, why);
        });
    }

private:
    GnomeShellLink& m_link;
};
