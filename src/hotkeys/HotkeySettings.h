#pragma once

#include "hotkeys/HotkeyConfig.h"
#include "storage/SettingsTable.h"

#include <QObject>

#include <array>
#include <optional>

class SettingsStore;

// The four global combinations, stored together as JSON under
// "hotkeySettings_v1". Every assignment saves at once; what another
// Runeboard stores there is taken over as it is.
class HotkeySettings : public QObject {
    Q_OBJECT
    Q_PROPERTY(
        HotkeyConfig toggleKeyboard READ toggleKeyboard WRITE setToggleKeyboard NOTIFY toggleKeyboardChanged)
    Q_PROPERTY(
        HotkeyConfig switchPalette1 READ switchPalette1 WRITE setSwitchPalette1 NOTIFY switchPalette1Changed)
    Q_PROPERTY(
        HotkeyConfig switchPalette2 READ switchPalette2 WRITE setSwitchPalette2 NOTIFY switchPalette2Changed)
    Q_PROPERTY(
        HotkeyConfig switchPalette3 READ switchPalette3 WRITE setSwitchPalette3 NOTIFY switchPalette3Changed)

public:
    static inline const QString storageKey{SettingsTable::row(SettingKey::HotkeySettings).name};

    enum class Role { ToggleKeyboard, SwitchPalette1, SwitchPalette2, SwitchPalette3 };

    using Configs = std::array<HotkeyConfig, 4>;

    // Loads the stored combinations; falls back to all four defaults when any part is unreadable.
    explicit HotkeySettings(SettingsStore& store, QObject* parent = nullptr);

    static HotkeyConfig defaultConfig(Role role);
    // The four combinations of a stored document, in Role order. All four are
    // required, each a pair of unsigned 32-bit numbers, and each non-empty one
    // with Control, Option or Command: a stored plain letter would take that
    // letter away from every application.
    static std::optional<Configs> decode(const QByteArray& stored, QString* why);

    HotkeyConfig toggleKeyboard() const { return m_configs[0]; }
    HotkeyConfig switchPalette1() const { return m_configs[1]; }
    HotkeyConfig switchPalette2() const { return m_configs[2]; }
    HotkeyConfig switchPalette3() const { return m_configs[3]; }
    void setToggleKeyboard(const HotkeyConfig& config) { setConfig(Role::ToggleKeyboard, config); }
    void setSwitchPalette1(const HotkeyConfig& config) { setConfig(Role::SwitchPalette1, config); }
    void setSwitchPalette2(const HotkeyConfig& config) { setConfig(Role::SwitchPalette2, config); }
    void setSwitchPalette3(const HotkeyConfig& config) { setConfig(Role::SwitchPalette3, config); }

    HotkeyConfig config(Role role) const { return m_configs[static_cast<int>(role)]; }
    // Assigns and saves, even when the value is unchanged.
    void setConfig(Role role, const HotkeyConfig& config);

    // Assigns the defaults in order: toggle, set 1, set 2, set 3.
    void resetToDefaults();
    void save();

    // The compact JSON text stored for the current values.
    QByteArray encoded() const { return encode(m_configs); }
    static QByteArray encode(const Configs& configs);

Q_SIGNALS:
    void toggleKeyboardChanged();
    void switchPalette1Changed();
    void switchPalette2Changed();
    void switchPalette3Changed();
    // Any of the four changed.
    void changed();

private:
    void load();
    void takeStored(SettingKey key, bool fromFile);
    void emitChanged(Role role);

    SettingsStore& m_store;
    Configs m_configs;
};
