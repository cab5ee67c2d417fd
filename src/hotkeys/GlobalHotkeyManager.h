#pragma once

#include "platform/HotkeyService.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class HotkeySettings;

struct HotkeyDef {
    // What a combination does; stored and printed as "K", "1", "2" and "3".
    enum class Identifier { K, One, Two, Three };
    static QString text(Identifier identifier);

    Identifier identifier = Identifier::K;
    quint32 keyCode = 0;   // macOS virtual key code, as stored
    quint32 modifiers = 0; // Carbon mask, as stored
    quint32 id = 0;
};

// Makes the four combinations of the live HotkeySettings work system-wide,
// registers them again whenever they change, and hands the identifier of
// each press to its owner. suspend() releases them all until resume(), so a
// field recording a combination receives it instead of the system.
class GlobalHotkeyManager : public QObject {
    Q_OBJECT
public:
    GlobalHotkeyManager(HotkeyService& service, HotkeySettings& settings, QObject* parent = nullptr);
    ~GlobalHotkeyManager() override;

    std::function<void(const QString&)> onHotkeyActivated;

    // Registers every non-empty combination of the settings (releasing what was registered).
    void registerFromSettings();
    void registerHotkeys(const QList<HotkeyDef>& definitions);
    void unregisterAll();

    // True where the compositor owns the combinations (see HotkeyService):
    // the user binds compositorBindings() in its configuration instead.
    bool isCompositorBound() const { return m_service.isCompositorBound(); }
    QStringList compositorBindings() const;

    void suspend();
    void resume();
    bool isSuspended() const { return m_suspended; }

    const QHash<quint32, QString>& idToIdentifier() const { return m_idToIdentifier; }
    const QList<HotkeyService::Handle>& hotKeyRefs() const { return m_hotKeyRefs; }

private:
    void settingsChanged();
    void handlePressed(quint32 id);

    HotkeyService& m_service;
    HotkeySettings& m_settings;
    QList<HotkeyService::Handle> m_hotKeyRefs;
    QHash<quint32, QString> m_idToIdentifier;
    bool m_suspended = false;
    bool m_registered = false; // registerFromSettings() was asked for: changes re-register
    bool m_bindingsShown = false;
};
