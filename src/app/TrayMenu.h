#pragma once

#include <QObject>

class HotkeySettings;
class KeyboardState;
class LocalizationManager;
class QAction;
class QMenu;
class QSystemTrayIcon;

// The tray icon "Runeboard" and its menu: show/hide the keyboard, settings,
// help, quit. Titles are looked up in the current language and follow the
// keyboard's visibility; they are refreshed whenever either changes and again
// each time the menu opens. Show/hide carries the user's current toggle
// combination as its shortcut hint (the menu has no entries for the sets).
class TrayMenu : public QObject {
    Q_OBJECT
public:
    TrayMenu(KeyboardState& keyboardState, LocalizationManager& localization, HotkeySettings& hotkeys,
             QObject* parent = nullptr);
    ~TrayMenu() override;

    // Puts the icon into the tray. Without a tray, says so in one line; the
    // icon appears by itself once a tray does.
    void show();

    QMenu* menu() const { return m_menu; }
    QSystemTrayIcon* trayIcon() const { return m_trayIcon; }
    QAction* toggleAction() const { return m_toggle; }
    QAction* settingsAction() const { return m_settings; }
    QAction* helpAction() const { return m_help; }
    QAction* quitAction() const { return m_quit; }

    void retranslate();

Q_SIGNALS:
    void settingsRequested();
    void helpRequested();
    void quitRequested();

private:
    KeyboardState& m_keyboardState;
    LocalizationManager& m_localization;
    HotkeySettings& m_hotkeys;
    QMenu* m_menu = nullptr;
    QSystemTrayIcon* m_trayIcon = nullptr;
    QAction* m_toggle = nullptr;
    QAction* m_settings = nullptr;
    QAction* m_help = nullptr;
    QAction* m_quit = nullptr;
};
