#pragma once

#include "platform/HotkeyService.h"

#include <QHash>

#include <memory>

class GnomeShellLink;

// Hotkeys on GNOME on Wayland, where no program may grab keys: Runeboard's
// GNOME Shell extension grabs each combination as a shell accelerator and
// tells Runeboard when it fires, whichever window has the focus. The
// combinations are Runeboard's while it runs and gone when it quits; the
// user's own shortcuts are never touched. While the extension does not
// answer, the X11 grabs stand in (they fire only while an X11 window has the
// focus); the combinations move between the two as it comes and goes.
class GnomeHotkeyService : public HotkeyService {
    Q_OBJECT
public:
    GnomeHotkeyService(std::shared_ptr<GnomeShellLink> link, std::unique_ptr<HotkeyService> fallback,
                       QObject* parent = nullptr);
    ~GnomeHotkeyService() override;

    Registration registerHotkey(PhysicalKey key, HotkeyModifiers modifiers, quint32 id) override;
    void unregisterHotkey(Handle handle) override;

    // The shell's form of a combination: modifiers and the X keycode, so that
    // the physical key fires whatever layout is active ("<Shift><Alt>0x2d").
    static QString accelerator(PhysicalKey key, HotkeyModifiers modifiers);

private:
    struct Grab {
        PhysicalKey key = 0;
        HotkeyModifiers modifiers;
        quint32 id = 0;
        uint action = 0;    // the extension's, when it holds the grab
        Handle standIn = 0; // the fallback's, when it does
    };

    int grab(Grab& grab);
    void release(Grab& grab);
    void moveAll();

    std::shared_ptr<GnomeShellLink> m_link;
    std::unique_ptr<HotkeyService> m_fallback;
    QHash<Handle, Grab> m_grabs;
    Handle m_lastHandle = 0;
};
