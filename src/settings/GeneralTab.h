#pragma once

#include "platform/AutostartEntry.h"

#include <QWidget>

class KeyboardState;
class LocalizationManager;
class QComboBox;
class QLabel;
class SegmentedControl;
class ToggleSwitch;
class TypingSetup;
class TypingSetupRow;

// Interface language, keyboard size, whether custom symbols are shown apart,
// whether the session starts Runeboard at login, and, where the desktop needs
// a part of Runeboard's set up first (GNOME), how far that is. Each control writes its
// setting after the event that changed it has been handled, and otherwise just
// mirrors the stored value; the login switch mirrors the autostart file itself,
// read again whenever the tab is shown or its window activated.
class GeneralTab : public QWidget {
    Q_OBJECT

public:
    GeneralTab(LocalizationManager& localization, KeyboardState& keyboard, TypingSetup* setup = nullptr,
               QWidget* parent = nullptr);

    void retranslate();

    QComboBox* languageMenu() const { return m_language; }
    SegmentedControl* sizeSelector() const { return m_size; }
    ToggleSwitch* customSymbolsSwitch() const { return m_separate; }
    ToggleSwitch* startAtLoginSwitch() const { return m_startAtLogin; }
    // None where nothing needs setting up.
    TypingSetupRow* typingSetupRow() const { return m_setup; }

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void showStoredValues();
    void setStartAtLogin(bool on);

    LocalizationManager& m_localization;
    KeyboardState& m_keyboard;
    QLabel* m_languageTitle = nullptr;
    QLabel* m_sizeTitle = nullptr;
    QLabel* m_separateTitle = nullptr;
    QLabel* m_startAtLoginTitle = nullptr;
    QComboBox* m_language = nullptr;
    SegmentedControl* m_size = nullptr;
    ToggleSwitch* m_separate = nullptr;
    ToggleSwitch* m_startAtLogin = nullptr;
    TypingSetupRow* m_setup = nullptr;
    AutostartEntry m_autostart;
};
