#pragma once

#include "storage/IniValue.h"

#include <QList>
#include <QVariant>

#include <optional>

// Every key Runeboard keeps in its configuration file.
enum class SettingKey {
    SavedSymbolSets,
    HotkeySettings,
    KeyboardSize,
    ActiveSetId,
    TemporaryCustomCharacters,
    SeparateCustomSymbols,
    AppLanguage,
    KeyboardWindowPosition,
    UpdateFeedURL,
};

// The one table of stored settings: each key's name in the file, the kind it
// is stored as, what is read when nothing readable is stored, and how a
// stored value is read and written. The two JSON documents (sets, hotkeys)
// are stored as data here and decoded by their owners, which the store asks
// through SettingsStore::setCodec.
class SettingsTable {
public:
    struct Row {
        SettingKey key;
        QLatin1StringView name;
        // What the value must be, as said when it is not ("text", "true or false", …).
        QLatin1StringView expected;
        QVariant fallback; // invalid for the data keys: nothing stored
        // What a stored value means; nothing when it is not of the row's kind.
        std::optional<QVariant> (*decode)(const IniValue& stored);
        IniValue (*encode)(const QVariant& value);
    };

    static const QList<Row>& rows();
    static const Row& row(SettingKey key);
    static const Row* find(const QString& name);
};
