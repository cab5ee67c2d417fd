#pragma once

#include "platform/ModifierMonitor.h"

#include <memory>

class GnomeShellLink;

// The Shift key on GNOME on Wayland, as the shell sees it whichever window
// has the focus: Runeboard's GNOME Shell extension says when it changes.
// While the extension does not answer, the X11 monitor stands in (it sees
// Shift only while an X11 window has the focus).
class GnomeShiftMonitor : public ModifierMonitor {
    Q_OBJECT
public:
    GnomeShiftMonitor(std::shared_ptr<GnomeShellLink> link, std::unique_ptr<ModifierMonitor> fallback,
                      QObject* parent = nullptr);
    ~GnomeShiftMonitor() override;

    bool start() override;
    bool followsEveryWindow() const override;

private:
    void askNow();

    std::shared_ptr<GnomeShellLink> m_link;
    std::unique_ptr<ModifierMonitor> m_fallback;
    bool m_started = false;
};
