#include "hotkeys/GlobalHotkeyManager.h"

#include "hotkeys/CompositorBindings.h"
#include "hotkeys/HotkeySettings.h"
#include "hotkeys/KeyTable.h"
#include "platform/Log.h"

#include <utility>

QString HotkeyDef::text(Identifier identifier) {
    switch (identifier) {
    case Identifier::K:
        return QStringLiteral("K");
    case Identifier::One:
        return QStringLiteral("1");
    case Identifier::Two:
        return QStringLiteral("2");
    case Identifier::Three:
        return QStringLiteral("3");
    }
    return {};
}

GlobalHotkeyManager::GlobalHotkeyManager(HotkeyService& service, HotkeySettings& settings, QObject* parent)
    : QObject(parent)
    , m_service(service)
    , m_settings(settings) {
    connect(&m_service, &HotkeyService::hotkeyPressed, this, &GlobalHotkeyManager::handlePressed);
    connect(&m_settings, &HotkeySettings::changed, this, &GlobalHotkeyManager::settingsChanged);
}

QStringList GlobalHotkeyManager::compositorBindings() const {
    return CompositorBindings::swayLines(m_settings);
}

GlobalHotkeyManager::~GlobalHotkeyManager() {
    // No press may reach a half-destroyed manager.
    disconnect(&m_service, nullptr, this, nullptr);
    unregisterAll();
}

void GlobalHotkeyManager::registerFromSettings() {
    using Role = HotkeySettings::Role;
    using Identifier = HotkeyDef::Identifier;
    const struct {
        Role role;
        Identifier identifier;
        quint32 id;
    } assignments[] = {
        {Role::ToggleKeyboard, Identifier::K, 1},
        {Role::SwitchPalette1, Identifier::One, 2},
        {Role::SwitchPalette2, Identifier::Two, 3},
        {Role::SwitchPalette3, Identifier::Three, 4},
    };
    QList<HotkeyDef> definitions;
    for (const auto& assignment : assignments) {
        const HotkeyConfig config = m_settings.config(assignment.role);
        if (!config.isEmpty())
            definitions.append({assignment.identifier, config.keyCode, config.modifiers, assignment.id});
    }
    m_registered = true;
    if (isCompositorBound() && !std::exchange(m_bindingsShown, true)) {
        // Said once, at start; Settings → Hotkeys shows the lines for the combinations of the moment.
        Log::line(
            QStringLiteral("[GlobalHotkeyManager] The compositor delivers the hotkeys on this desktop; add "
                           "these lines to its configuration (sway):"));
        for (const QString& line : compositorBindings())
            Log::line(line);
    }
    unregisterAll();
    if (!m_suspended)
        registerHotkeys(definitions);
}

void GlobalHotkeyManager::registerHotkeys(const QList<HotkeyDef>& definitions) {
    m_idToIdentifier.clear();
    for (const HotkeyDef& definition : definitions) {
        const QString identifier = HotkeyDef::text(definition.identifier);
        // A key with no place on a Linux keyboard cannot be grabbed; the platform answers for it.
        const PhysicalKey key = KeyTable::toEvdev(definition.keyCode).value_or(PhysicalKey(-1));
        const HotkeyService::Registration registration =
            m_service.registerHotkey(key, KeyTable::fromCarbon(definition.modifiers), definition.id);
        if (registration.status == 0 && registration.handle != 0) {
            m_hotKeyRefs.append(registration.handle);
            m_idToIdentifier.insert(definition.id, identifier);
        } else {
            Log::line(QStringLiteral("[GlobalHotkeyManager] Failed to register hotkey '") + identifier +
                      QStringLiteral("': status ") + QString::number(registration.status));
        }
    }
}

void GlobalHotkeyManager::unregisterAll() {
    for (HotkeyService::Handle handle : std::as_const(m_hotKeyRefs))
        m_service.unregisterHotkey(handle);
    m_hotKeyRefs.clear();
    m_idToIdentifier.clear();
}

void GlobalHotkeyManager::suspend() {
    if (m_suspended)
        return;
    m_suspended = true;
    unregisterAll();
}

void GlobalHotkeyManager::resume() {
    if (!m_suspended)
        return;
    m_suspended = false;
    if (m_registered)
        registerFromSettings();
}

void GlobalHotkeyManager::settingsChanged() {
    if (m_registered)
        registerFromSettings();
}

void GlobalHotkeyManager::handlePressed(quint32 id) {
    const auto found = m_idToIdentifier.constFind(id);
    if (found != m_idToIdentifier.cend() && onHotkeyActivated)
        onHotkeyActivated(*found);
}
