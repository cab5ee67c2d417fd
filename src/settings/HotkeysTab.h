#pragma once

#include "hotkeys/HotkeySettings.h"

#include <QWidget>

class GlobalHotkeyManager;
class HotkeyRecorderView;
class LocalizationManager;
class QLabel;
class SubtleResetButton;

// The four global combinations, each with its recorder, and a reset to the
// defaults. Every change is saved, and the hotkey manager registers it. While
// a field records, the global combinations are suspended so that pressing one
// of them reaches the field instead of firing.
class HotkeysTab : public QWidget {
    Q_OBJECT

public:
    HotkeysTab(LocalizationManager& localization, HotkeySettings& hotkeys, GlobalHotkeyManager& manager,
               QWidget* parent = nullptr);
    ~HotkeysTab() override;

    void retranslate();

    HotkeyRecorderView* recorder(KeyboardAction action) const { return m_recorders[int(action)]; }
    SubtleResetButton* resetButton() const { return m_reset; }

private:
    void showStoredValues();
    void recordingChanged();

    LocalizationManager& m_localization;
    HotkeySettings& m_hotkeys;
    GlobalHotkeyManager& m_manager;
    QLabel* m_titles[4] = {};
    HotkeyRecorderView* m_recorders[4] = {};
    SubtleResetButton* m_reset = nullptr;
    // Where the compositor owns the combinations: what to add to its configuration.
    QLabel* m_compositorNote = nullptr;
};
