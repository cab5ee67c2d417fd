#include "SettingsTable.h"

namespace {

std::optional<QVariant> anyText(const IniValue& stored) {
    if (stored.kind != IniValue::Kind::Text)
        return std::nullopt;
    return QVariant(stored.text);
}

// Anything but "Full" is the compact keyboard.
std::optional<QVariant> sizeText(const IniValue& stored) {
    if (stored.kind != IniValue::Kind::Text)
        return std::nullopt;
    return QVariant(stored.text == QLatin1StringView("Full") ? QStringLiteral("Full")
                                                             : QStringLiteral("Compact"));
}

// INI keeps no types: a Boolean is the plain text true or false.
std::optional<QVariant> booleanText(const IniValue& stored) {
    if (stored.kind == IniValue::Kind::Text && stored.text == QLatin1StringView("true"))
        return QVariant(true);
    if (stored.kind == IniValue::Kind::Text && stored.text == QLatin1StringView("false"))
        return QVariant(false);
    return std::nullopt;
}

std::optional<QVariant> data(const IniValue& stored) {
    if (stored.kind != IniValue::Kind::Data)
        return std::nullopt;
    return QVariant(stored.data);
}

IniValue asText(const QVariant& value) {
    return IniValue::fromText(value.toString());
}

IniValue asBoolean(const QVariant& value) {
    return IniValue::fromText(value.toBool() ? QStringLiteral("true") : QStringLiteral("false"));
}

IniValue asData(const QVariant& value) {
    return IniValue::fromData(value.toByteArray());
}

using L = QLatin1StringView;

} // namespace

const QList<SettingsTable::Row>& SettingsTable::rows() {
    // Local, not namespace-scope constants: the table is first built while other
    // files' statics are initialised (their storage keys come from it), which
    // may be before this file's own namespace-scope values exist.
    const L text("text");
    const L byteArray("a @ByteArray(...) value");
    static const QList<Row> table{
        {SettingKey::SavedSymbolSets, L("savedSymbolPalettes__v2"), byteArray, QVariant(), data, asData},
        {SettingKey::HotkeySettings, L("hotkeySettings_v1"), byteArray, QVariant(), data, asData},
        {SettingKey::KeyboardSize, L("keyboardSize"), text, QStringLiteral("Compact"), sizeText, asText},
        {SettingKey::ActiveSetId, L("activePaletteID"), text, QString(), anyText, asText},
        {SettingKey::TemporaryCustomCharacters, L("temporaryCustomCharacters"), text, QString(), anyText,
         asText},
        {SettingKey::SeparateCustomSymbols, L("separateCustomSymbols"), L("true or false"), true, booleanText,
         asBoolean},
        {SettingKey::AppLanguage, L("appLanguage"), text, QStringLiteral("auto"), anyText, asText},
        {SettingKey::KeyboardWindowPosition, L("KeyboardWindowPosition"), text, QString(), anyText, asText},
        {SettingKey::UpdateFeedURL, L("updateFeedURL"), text, QString(), anyText, asText},
    };
    return table;
}

const SettingsTable::Row& SettingsTable::row(SettingKey key) {
    return rows()[static_cast<qsizetype>(key)];
}

const SettingsTable::Row* SettingsTable::find(const QString& name) {
    for (const Row& row : rows()) {
        if (row.name == name)
            return &row;
    }
    return nullptr;
}
