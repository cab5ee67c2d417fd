#include "hotkeys/GlobalHotkeyManager.h"

#include "hotkeys/CompositorBindings.h"
#include "hotkeys/HotkeySettings.h"
#include "hotkeys/KeyTable.h"
#include "platform/Log.h"

#include <utility>

GlobalHotkeyManager::GlobalHotkeyManager(HotkeyService& service, HotkeySettings& settings, QObject* parent)
    : QObject(parent)
    , m_service(service)
    , m_settings(settings) {
    connect(&m_service, &HotkeyService::hotkeyPressed, this, &GlobalHotkeyManager::handlePressed);
    connect(&m_settings, &HotkeySettings::changed, this, [this] {
        if (m_following)
            registerFromSettings();
    });
    connect(&m_service, &HotkeyService::changedOutside, this, &GlobalHotkeyManager::takeChangeFromOutside);
    for (const KeyboardActionRow& row : KeyboardActions::rows())
        m_service.describeDefault(static_cast<quint32>(row.action), row.defaultHotkey.key,
                                  row.defaultHotkey.modifiers);
}

GlobalHotkeyManager::~GlobalHotkeyManager() {
    // No press may reach a half-destroyed manager.
    disconnect(&m_service, nullptr, this, nullptr);
    unregisterAll();
}

QStringList GlobalHotkeyManager::compositorBindings() const {
    return CompositorBindings::swayLines(m_settings);
}

void GlobalHotkeyManager::registerFromSettings() {
    m_following = true;
    if (isCompositorBound() && !std::exchange(m_bindingsShown, true)) {
        // Said once, at start; Settings → Hotkeys shows the lines for the combinations of the moment.
        Log::line(
            QStringLiteral("[GlobalHotkeyManager] The compositor delivers the hotkeys on this desktop; add "
                           "these lines to its configuration (sway):"));
        for (const QString& line : compositorBindings())
            Log::line(line);
    }
    unregisterAll();
    if (m_suspended)
        return;
    for (const KeyboardActionRow& row : KeyboardActions::rows()) {
        const Hotkey hotkey = m_settings.hotkey(row.action);
        if (hotkey.isEmpty())
            continue;
        // The action is the id: a press names it directly.
        const HotkeyService::Registration registration =
            m_service.registerHotkey(hotkey.key, hotkey.modifiers, static_cast<quint32>(row.action));
        if (registration.status == 0 && registration.handle != 0) {
            m_registered.append({registration.handle, row.action});
        } else {
            Log::line(QStringLiteral("[GlobalHotkeyManager] Failed to register hotkey '%1': status %2")
                          .arg(QLatin1String(row.printedName))
                          .arg(registration.status));
        }
    }
}

void GlobalHotkeyManager::unregisterAll() {
    for (const Registered& registered : std::as_const(m_registered))
        m_service.unregisterHotkey(registered.handle);
    m_registered.clear();
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
    if (m_following)
        registerFromSettings();
}

void GlobalHotkeyManager::takeChangeFromOutside(quint32 id, PhysicalKey key, HotkeyModifiers modifiers) {
    const auto& rows = KeyboardActions::rows();
    if (id >= rows.size())
        return;
    const KeyboardActionRow& row = rows[id];
    const Hotkey hotkey = key ? Hotkey{key, modifiers} : Hotkey{};
    if (m_settings.setHotkey(row.action, hotkey))
        return;
    // The settings cannot keep it (a key without a stored form, no modifier): the desktop gets
    // the combination the settings hold back, so the two never disagree.
    Log::line(QStringLiteral("[GlobalHotkeyManager] The desktop's shortcut settings gave hotkey '%1' keys "
                             "Runeboard cannot keep (%2); it keeps %3")
                  .arg(QLatin1String(row.printedName), KeyTable::displayText(hotkey),
                       KeyTable::displayText(m_settings.hotkey(row.action))));
    if (m_following)
        registerFromSettings();
}

void GlobalHotkeyManager::handlePressed(quint32 id) {
    for (const Registered& registered : std::as_const(m_registered)) {
        if (static_cast<quint32>(registered.action) == id) {
            Q_EMIT actionTriggered(registered.action);
            return;
        }
    }
}
