#pragma once

#include "hotkeys/KeyTable.h"
#include "hotkeys/KeyboardAction.h"
#include "storage/SettingsTable.h"

#include <QObject>

#include <array>
#include <optional>

class SettingsStore;

// The four global combinations, stored together as JSON under
// "hotkeySettings_v1". This is where their stored form is read and written:
// everything above sees physical keys and neutral modifiers. Every assignment
// saves at once; what another Runeboard stores there is taken over as it is,
// and what is read is written back unchanged, down to key codes and mask bits
// that have no meaning here.
class HotkeySettings : public QObject {
    Q_OBJECT

public:
    static inline const QString storageKey{SettingsTable::row(SettingKey::HotkeySettings).name};

    // In the order of KeyboardActions::rows().
    using StoredHotkeys = std::array<KeyTable::StoredHotkey, 4>;

    // Loads the stored combinations; falls back to all four defaults when any part is unreadable.
    explicit HotkeySettings(SettingsStore& store, QObject* parent = nullptr);

    Hotkey hotkey(KeyboardAction action) const;
    // Assigns and saves. A combination storage cannot keep (a key it has no
    // name for, or no Control, Alt or Super) is refused: false, and nothing changes.
    bool setHotkey(KeyboardAction action, const Hotkey& hotkey);
    void resetToDefaults();

    // The compact JSON text stored for the current values.
    QByteArray encoded() const { return encode(m_stored); }

    // The four combinations of a stored document. All four are required, each
    // a pair of unsigned 32-bit numbers, and each non-empty one with Control,
    // Alt or Super: a stored plain letter would take that letter away from
    // every application.
    static std::optional<StoredHotkeys> decode(const QByteArray& stored, QString* why);
    static QByteArray encode(const StoredHotkeys& stored);

Q_SIGNALS:
    // Any of the four changed, by this process or in the file; always after it was saved.
    void changed();

private:
    void load();
    void takeStored(SettingKey key);

    SettingsStore& m_store;
    StoredHotkeys m_stored;
};
