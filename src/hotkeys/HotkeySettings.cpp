#include "HotkeySettings.h"

#include "storage/SettingsStore.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <limits>

namespace {

std::size_t indexOf(KeyboardAction action) {
    return static_cast<std::size_t>(action);
}

std::optional<quint32> readUnsigned32(const QJsonValue& value) {
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (number < 0 || number > std::numeric_limits<quint32>::max() || number != std::floor(number))
        return std::nullopt;
    return static_cast<quint32>(number);
}

std::optional<KeyTable::StoredHotkey> readHotkey(const QJsonValue& value, const char* name, QString* why) {
    const QJsonObject object = value.toObject();
    const auto keyCode = readUnsigned32(object.value(QLatin1String("keyCode")));
    const auto modifiers = readUnsigned32(object.value(QLatin1String("modifiers")));
    if (!value.isObject() || !keyCode || !modifiers) {
        *why = QStringLiteral("\"%1\" is not a key code and modifiers").arg(QLatin1String(name));
        return std::nullopt;
    }
    const KeyTable::StoredHotkey stored{*keyCode, *modifiers};
    if (!KeyTable::fromStored(stored).isUsable()) {
        *why = QStringLiteral("\"%1\" has no Control, Alt or Super").arg(QLatin1String(name));
        return std::nullopt;
    }
    return stored;
}

HotkeySettings::StoredHotkeys defaults() {
    HotkeySettings::StoredHotkeys stored;
    for (const KeyboardActionRow& row : KeyboardActions::rows())
        stored[indexOf(row.action)] = *KeyTable::toStored(row.defaultHotkey);
    return stored;
}

} // namespace

HotkeySettings::HotkeySettings(SettingsStore& store, QObject* parent)
    : QObject(parent)
    , m_store(store) {
    SettingsStore::DataCodec codec;
    codec.check = [](const QByteArray& stored, QString* why) { return decode(stored, why).has_value(); };
    m_store.setCodec(SettingKey::HotkeySettings, codec);
    // The one way in: assignments here come back through the store like another process's.
    connect(&m_store, &SettingsStore::changed, this, &HotkeySettings::takeStored);
    load();
}

Hotkey HotkeySettings::hotkey(KeyboardAction action) const {
    return KeyTable::fromStored(m_stored[indexOf(action)]);
}

bool HotkeySettings::setHotkey(KeyboardAction action, const Hotkey& hotkey) {
    if (hotkey == this->hotkey(action)) {
        // What was read stays byte for byte, even where it decodes to less than it holds.
        m_store.setValue(SettingKey::HotkeySettings, encoded());
        return true;
    }
    const std::optional<KeyTable::StoredHotkey> stored = KeyTable::toStored(hotkey);
    if (!stored || !hotkey.isUsable())
        return false;
    StoredHotkeys next = m_stored;
    next[indexOf(action)] = *stored;
    m_store.setValue(SettingKey::HotkeySettings, encode(next));
    return true;
}

void HotkeySettings::resetToDefaults() {
    m_store.setValue(SettingKey::HotkeySettings, encode(defaults()));
}

QByteArray HotkeySettings::encode(const StoredHotkeys& stored) {
    // Written by hand to keep the member order of the documented format.
    QByteArray text = "{";
    for (const KeyboardActionRow& row : KeyboardActions::rows()) {
        const KeyTable::StoredHotkey& hotkey = stored[indexOf(row.action)];
        if (text.size() > 1)
            text += ',';
        text += '"';
        text += row.storedName;
        text += "\":{\"keyCode\":";
        text += QByteArray::number(hotkey.keyCode);
        text += ",\"modifiers\":";
        text += QByteArray::number(hotkey.modifiers);
        text += '}';
    }
    text += '}';
    return text;
}

std::optional<HotkeySettings::StoredHotkeys> HotkeySettings::decode(const QByteArray& stored, QString* why) {
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
    StoredHotkeys hotkeys;
    for (const KeyboardActionRow& row : KeyboardActions::rows()) {
        const auto hotkey = readHotkey(object.value(QLatin1String(row.storedName)), row.storedName, why);
        // All or nothing: one unreadable member leaves all four at their defaults.
        if (!hotkey)
            return std::nullopt;
        hotkeys[indexOf(row.action)] = *hotkey;
    }
    return hotkeys;
}

void HotkeySettings::load() {
    const std::optional<QByteArray> stored = m_store.data(SettingKey::HotkeySettings);
    const std::optional<StoredHotkeys> decoded = stored ? decode(*stored, nullptr) : std::nullopt;
    m_stored = decoded ? *decoded : defaults();
}

void HotkeySettings::takeStored(SettingKey key) {
    if (key != SettingKey::HotkeySettings)
        return;
    const StoredHotkeys before = m_stored;
    load();
    if (m_stored != before)
        Q_EMIT changed();
}
