#include "hotkeys/GlobalHotkeyManager.h"

#include "hotkeys/HotkeySettings.h"

#include <cstdio>

GlobalHotkeyManager::GlobalHotkeyManager(HotkeyService& service, SettingsStore& store)
    : m_service(service)
    , m_store(store) {}

GlobalHotkeyManager::~GlobalHotkeyManager() {
    // The handler goes first, so no press can reach a half-destroyed manager.
    if (m_handler)
        QObject::disconnect(m_handler);
    unregisterAll();
}

void GlobalHotkeyManager::registerFromSettings() {
    const HotkeySettings settings(m_store);
    const struct {
        HotkeySettings::Role role;
        const char* identifier;
        quint32 id;
    } assignments[] = {
        {HotkeySettings::Role::ToggleKeyboard, "K", 1},
        {HotkeySettings::Role::SwitchPalette1, "1", 2},
        {HotkeySettings::Role::SwitchPalette2, "2", 3},
        {HotkeySettings::Role::SwitchPalette3, "3", 4},
    };
    QList<HotkeyDef> definitions;
    for (const auto& assignment : assignments) {
        const HotkeyConfig config = settings.config(assignment.role);
        if (!config.isEmpty())
            definitions.append({QString::fromLatin1(assignment.identifier), config.keyCode, config.modifiers,
                                assignment.id});
    }
    registerHotkeys(definitions);
}

void GlobalHotkeyManager::registerHotkeys(const QList<HotkeyDef>& definitions) {
    m_idToIdentifier.clear();
    for (const HotkeyDef& definition : definitions) {
        const HotkeyService::Registration registration =
            m_service.registerHotkey(definition.keyCode, definition.modifiers, definition.id);
        if (registration.status == 0 && registration.handle != 0) {
            m_hotKeyRefs.append(registration.handle);
            m_idToIdentifier.insert(definition.id, definition.identifier);
        } else {
            const QString line = QStringLiteral("[GlobalHotkeyManager] Failed to register hotkey '") +
                                 definition.identifier + QStringLiteral("': status ") +
                                 QString::number(registration.status) + QLatin1Char('\n');
            std::fputs(line.toUtf8().constData(), stdout);
            std::fflush(stdout);
        }
    }
    if (!m_handler)
        m_handler = QObject::connect(&m_service, &HotkeyService::hotkeyPressed,
                                     [this](quint32 id) { handlePressed(id); });
}

void GlobalHotkeyManager::unregisterAll() {
    for (HotkeyService::Handle handle : std::as_const(m_hotKeyRefs))
        m_service.unregisterHotkey(handle);
    m_hotKeyRefs.clear();
    m_idToIdentifier.clear();
}

void GlobalHotkeyManager::handlePressed(quint32 id) {
    const auto found = m_idToIdentifier.constFind(id);
    if (found != m_idToIdentifier.cend() && onHotkeyActivated)
        onHotkeyActivated(*found);
}
