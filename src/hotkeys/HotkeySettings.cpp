#include "HotkeySettings.h"

#include "platform/Log.h"
#include "storage/SettingsStore.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <limits>
#include <optional>

namespace {

// Member names in the order they are written.
const char* const memberNames[4] = {"toggleKeyboard", "switchPalette1", "switchPalette2", "switchPalette3"};

std::optional<quint32> readUnsigned32(const QJsonValue& value) {
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (number < 0 || number > std::numeric_limits<quint32>::max() || number != std::floor(number))
        return std::nullopt;
    return static_cast<quint32>(number);
}

std::optional<HotkeyConfig> readConfig(const QJsonValue& value) {
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    const auto keyCode = readUnsigned32(object.value(QLatin1String("keyCode")));
    const auto modifiers = readUnsigned32(object.value(QLatin1String("modifiers")));
    if (!keyCode || !modifiers)
        return std::nullopt;
    return HotkeyConfig{*keyCode, *modifiers};
}

} // namespace

HotkeySettings::HotkeySettings(SettingsStore& store, QObject* parent)
    : QObject(parent)
    , m_store(store) {
    load();
}

HotkeyConfig HotkeySettings::defaultConfig(Role role) {
    constexpr quint32 optionShift = CarbonModifier::Option | CarbonModifier::Shift;
    switch (role) {
    case Role::ToggleKeyboard:
        return {40, optionShift}; // K
    case Role::SwitchPalette1:
        return {18, optionShift}; // 1
    case Role::SwitchPalette2:
        return {19, optionShift}; // 2
    case Role::SwitchPalette3:
        return {20, optionShift}; // 3
    }
    return {};
}

void HotkeySettings::setConfig(Role role, const HotkeyConfig& config) {
    m_configs[static_cast<int>(role)] = config;
    // Saved before anyone hears of it: listeners re-register from the store.
    save();
    switch (role) {
    case Role::ToggleKeyboard:
        Q_EMIT toggleKeyboardChanged();
        break;
    case Role::SwitchPalette1:
        Q_EMIT switchPalette1Changed();
        break;
    case Role::SwitchPalette2:
        Q_EMIT switchPalette2Changed();
        break;
    case Role::SwitchPalette3:
        Q_EMIT switchPalette3Changed();
        break;
    }
    Q_EMIT changed();
}

void HotkeySettings::resetToDefaults() {
    for (Role role : {Role::ToggleKeyboard, Role::SwitchPalette1, Role::SwitchPalette2, Role::SwitchPalette3})
        setConfig(role, defaultConfig(role));
}

void HotkeySettings::save() {
    if (m_storedValueUnreadable) {
        // A hand-edited value we could not read is still the user's: keep a copy
        // before replacing it. Should the copy fail, the stored value is left
        // alone and the copy is tried again at the next save.
        if (m_store.preserveValue(storageKey).isEmpty() && m_store.contains(storageKey)) {
            Log::line(
                QStringLiteral("[HotkeySettings] Hotkeys not saved: the unreadable stored value could not "
                               "be copied first; the new hotkeys last until Runeboard quits."));
            return;
        }
        m_storedValueUnreadable = false;
    }
    m_store.setData(storageKey, encoded());
}

QByteArray HotkeySettings::encoded() const {
    // Written by hand to keep the member order of the documented format.
    QByteArray text = "{";
    for (int i = 0; i < 4; ++i) {
        if (i > 0)
            text += ',';
        text += '"';
        text += memberNames[i];
        text += "\":{\"keyCode\":";
        text += QByteArray::number(m_configs[i].keyCode);
        text += ",\"modifiers\":";
        text += QByteArray::number(m_configs[i].modifiers);
        text += '}';
    }
    text += '}';
    return text;
}

void HotkeySettings::load() {
    for (Role role : {Role::ToggleKeyboard, Role::SwitchPalette1, Role::SwitchPalette2, Role::SwitchPalette3})
        m_configs[static_cast<int>(role)] = defaultConfig(role);

    const std::optional<QByteArray> stored = m_store.data(storageKey);
    if (!stored) {
        // Present but not a data value: a hand edit, not a fresh installation.
        m_storedValueUnreadable = m_store.contains(storageKey);
        return;
    }

    const QJsonDocument document = QJsonDocument::fromJson(*stored);
    if (!document.isObject()) {
        m_storedValueUnreadable = true;
        return;
    }
    const QJsonObject object = document.object();
    HotkeyConfig loaded[4];
    for (int i = 0; i < 4; ++i) {
        const auto config = readConfig(object.value(QLatin1String(memberNames[i])));
        if (!config) {
            // All or nothing: one unreadable member leaves all four at their defaults.
            m_storedValueUnreadable = true;
            return;
        }
        loaded[i] = *config;
    }
    for (int i = 0; i < 4; ++i)
        m_configs[i] = loaded[i];
}
