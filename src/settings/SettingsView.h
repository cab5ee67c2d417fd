#pragma once

#include <QWidget>

class GeneralTab;
class GlobalHotkeyManager;
class HotkeySettings;
class HotkeysTab;
class KeyboardState;
class LocalizationManager;
class SetStore;
class QStackedWidget;
class SegmentedControl;
class SetsTab;
class TypingSetup;

// The settings window: a three-segment tab selector (General, Sets, Hotkeys)
// above the selected tab, fixed at 480 × 460.
//
// Created without a parent it is itself the top-level window titled
// "Runeboard Settings" with the window role "settings"; the application keeps
// one and raises it when asked again. The whole window re-translates at once
// when the interface language changes.
class SettingsView : public QWidget {
    Q_OBJECT

public:
    static inline const QString windowTitleText = QStringLiteral("Runeboard Settings");
    static inline const QString windowRoleName = QStringLiteral("settings");

    SettingsView(LocalizationManager& localization, SetStore& sets, KeyboardState& keyboard,
                 HotkeySettings& hotkeys, GlobalHotkeyManager& hotkeyManager, TypingSetup* setup = nullptr,
                 QWidget* parent = nullptr);

    int selectedTab() const;
    void setSelectedTab(int index);

    SegmentedControl* tabSelector() const { return m_tabSelector; }
    GeneralTab* generalTab() const { return m_general; }
    SetsTab* setsTab() const { return m_sets; }
    HotkeysTab* hotkeysTab() const { return m_hotkeys; }

Q_SIGNALS:
    void selectedTabChanged(int index);

private:
    void retranslate();

    LocalizationManager& m_localization;
    SegmentedControl* m_tabSelector = nullptr;
    QStackedWidget* m_stack = nullptr;
    GeneralTab* m_general = nullptr;
    SetsTab* m_sets = nullptr;
    HotkeysTab* m_hotkeys = nullptr;
};
