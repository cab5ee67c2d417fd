#include "HotkeySettings.h"

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

std::optional<HotkeyConfig> readConfig(const QJsonValue& value, const char* name, QString* why) {
    const QJsonObject object = value.toObject();
    const auto keyCode = readUnsigned32(object.value(QLatin1String("keyCode")));
    const auto modifiers = readUnsigned32(object.value(QLatin1String("modifiers")));
    if (!value.isObject() || !keyCode || !modifiers) {
        *why = QStringLiteral("\"%1\" is not a key code and modifiers").arg(QLatin1String(name));
        return std::nullopt;
    }
    const HotkeyConfig config{*keyCode, *modifiers};
    if (!config.isEmpty() && !(config.modifiers & CarbonModifier::Required)) {
        *why = QStringLiteral("\"%1\" has no Control, Alt or Super").arg(QLatin1String(name));
        return std::nullopt;
    }
    return config;
}

constexpr HotkeySettings::Role roles[] = {
    HotkeySettings::Role::ToggleKeyboard, HotkeySettings::Role::SwitchPalette1,
    HotkeySettings::Role::SwitchPalette2, HotkeySettings::Role::SwitchPalette3};

} // namespace

HotkeySettings::HotkeySettings(SettingsStore& store, QObject* parent)
    : QObject(parent)
    , m_store(store) {
    SettingsStore::DataCodec codec;
    codec.check = [](const QByteArray& stored, QString* why) { return decode(stored, why).has_value(); };
    m_store.setCodec(SettingKey::HotkeySettings, codec);
    connect(&m_store, &SettingsStore::changed, this, &HotkeySettings::takeStored);
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
    emitChanged(role);
    Q_EMIT changed();
}

void HotkeySettings::emitChanged(Role role) {
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
}

void HotkeySettings::resetToDefaults() {
    for (Role role : roles)
        setConfig(role, defaultConfig(role));
}

void HotkeySettings::save() {
    m_store.setValue(SettingKey::HotkeySettings, encoded());
}

QByteArray HotkeySettings::encode(const Configs& configs) {
    // Written by hand to keep the member order of the documented format.
    QByteArray text = "{";
    for (int i = 0; i < 4; ++i) {
        if (i > 0)
            text += ',';
        text += '"';
        text += memberNames[i];
        text += "\":{\"keyCode\":";
        text += QByteArray::number(configs[i].keyCode);
        text += ",\"modifiers\":";
        text += QByteArray::number(configs[i].modifiers);
        text += '}';
    }
    text += '}';
    return text;
}

std::optional<HotkeySettings::Configs> HotkeySettings::decode(const QByteArray& stored, QString* why) {
    QString ignored;
    why = why ? why : &ignored;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(stored, &error);
    if (!document.isObject()) {
        *why = error.error != QJsonParseError::NoError
                   ? QStringLiteral("%1 at offset %2").arg(error.errorString()).arg(error.offset)
                   : QStringLiteral("the document is not an object");
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    Configs configs;
    for (int i = 0; i < 4; ++i) {
        const auto config = readConfig(object.value(QLatin1String(memberNames[i])), memberNames[i], why);
        // All or nothing: one unreadable member leaves all four at their defaults.
        if (!config)
            return std::nullopt;
        configs[i] = *config;
    }
    return configs;
}

void HotkeySettings::load() {
    const std::optional<QByteArray> stored = m_store.data(SettingKey::HotkeySettings);
    const std::optional<Configs> decoded = stored ? decode(*stored, nullptr) : std::nullopt;
    for (Role role : roles)
        m_configs[static_cast<int>(role)] =
            decoded ? (*decoded)[static_cast<int>(role)] : defaultConfig(role);
}

void HotkeySettings::takeStored(SettingKey key, bool fromFile) {
    if (key != SettingKey::HotkeySettings || !fromFile)
        return;
    const Configs before = m_configs;
    load();
    bool any = false;
    for (Role role : roles) {
        if (before[static_cast<int>(role)] != m_configs[static_cast<int>(role)]) {
            emitChanged(role);
            any = true;
        }
    }
    if (any)
        Q_EMIT changed();
}
