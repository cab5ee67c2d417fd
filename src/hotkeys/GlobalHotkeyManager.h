#pragma once

#include "hotkeys/KeyboardAction.h"
#include "platform/HotkeyService.h"

#include <QList>
#include <QObject>
#include <QStringList>

class HotkeySettings;

// Makes the four combinations of the live HotkeySettings work system-wide,
// registers them again whenever they change, and announces the action of
// each press. suspend() releases them all until resume(), so a field
// recording a combination receives it instead of the system.
class GlobalHotkeyManager : public QObject {
    Q_OBJECT
public:
    GlobalHotkeyManager(HotkeyService& service, HotkeySettings& settings, QObject* parent = nullptr);
    ~GlobalHotkeyManager() override;

    // Registers every non-empty combination of the settings, and from now on follows them.
    void registerFromSettings();

    // True where the compositor owns the combinations (see HotkeyService):
    // the user binds compositorBindings() in its configuration instead.
    bool isCompositorBound() const { return m_service.isCompositorBound(); }
    QStringList compositorBindings() const;

    void suspend();
    void resume();

Q_SIGNALS:
    // Emitted from the platform's event handling: whoever acts on it queues the work.
    void actionTriggered(KeyboardAction action);

private:
    struct Registered {
        HotkeyService::Handle handle;
        KeyboardAction action;
    };

    void unregisterAll();
    void handlePressed(quint32 id);
    // Keys given in the desktop's own shortcut settings become the recorded ones.
    void takeChangeFromOutside(quint32 id, PhysicalKey key, HotkeyModifiers modifiers);

    HotkeyService& m_service;
    HotkeySettings& m_settings;
    QList<Registered> m_registered;
    bool m_suspended = false;
    bool m_following = false; // registerFromSettings() was asked for: changes re-register
    bool m_bindingsShown = false;
};
