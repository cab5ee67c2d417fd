#pragma once

#include <QWidget>

class KeyboardState;
class LocalizationManager;
class QComboBox;
class QLabel;
class SegmentedControl;
class ToggleSwitch;

// Interface language, keyboard size and whether custom symbols are shown
// apart. Each control writes its setting after the event that changed it has
// been handled, and otherwise just mirrors the stored value.
class GeneralTab : public QWidget {
    Q_OBJECT

public:
    GeneralTab(LocalizationManager& localization, KeyboardState& keyboard, QWidget* parent = nullptr);

    void retranslate();

    QComboBox* languageMenu() const { return m_language; }
    SegmentedControl* sizeSelector() const { return m_size; }
    ToggleSwitch* customSymbolsSwitch() const { return m_separate; }

private:
    void showStoredValues();

    LocalizationManager& m_localization;
    KeyboardState& m_keyboard;
    QLabel* m_languageTitle = nullptr;
    QLabel* m_sizeTitle = nullptr;
    QLabel* m_separateTitle = nullptr;
    QComboBox* m_language = nullptr;
    SegmentedControl* m_size = nullptr;
    ToggleSwitch* m_separate = nullptr;
};
