#pragma once

#include "app/InstanceServer.h"
#include "platform/PlatformServices.h"

#include <QObject>
#include <QPointer>

#include <memory>

class GlobalHotkeyManager;
class HelpAboutView;
class HotkeySettings;
class KeyboardState;
class LocalizationManager;
class SetStore;
class QWidget;
class SettingsStore;
class SettingsView;
class TrayMenu;
class UpdateManager;

// The application: it owns the settings store, the platform services, the
// five long-lived managers and the hotkey manager, built once in a fixed
// order, and the windows and tray menu that show them. Every other part gets
// its managers from here.
class AppState : public QObject {
    Q_OBJECT
public:
    // systemLanguage: the session's bare language code (chooses the interface
    // language and the factory main set).
    AppState(PlatformServices services, const QString& settingsFile, const QString& systemLanguage,
             QObject* parent = nullptr);
    ~AppState() override;

    SettingsStore& settingsStore() { return *m_store; }
    LocalizationManager& localizationManager() { return *m_localizationManager; }
    SetStore& setStore() { return *m_setStore; }
    KeyboardState& keyboardState() { return *m_keyboardState; }
    HotkeySettings& hotkeySettings() { return *m_hotkeySettings; }
    GlobalHotkeyManager& hotkeyManager() { return *m_hotkeyManager; }
    UpdateManager& updateManager() { return *m_updateManager; }
    TypingBackend& typingBackend() { return *m_services.typing; }
    const PlatformServices& platformServices() const { return m_services; }
    WindowSystem& windowSystem() { return *m_services.windowSystem; }
    // Made once the keyboard is on screen (or after a while without it): the
    // icon is not what the user waits for at start.
    TrayMenu& trayMenu();

    // One of each, kept once opened and brought to the front when asked again.
    void openSettings();
    void openHelp();
    QWidget* settingsWindow() const;
    QWidget* helpWindow() const;

    // Carries out what another `runeboard` asked for.
    void handleRequest(const AppRequest& request, const InstanceServer::Respond& respond);

    // Says once, in the interface language, what typing lacks in this session.
    // Returns whether it said anything.
    bool writeLaunchCheck() const;

    // Ends the run the orderly way: the keyboard mapping is given back first.
    void quit();
    bool isQuitting() const { return m_quitting; }

private:
    void bringToFront(QWidget& window, const QByteArray& role);
    void ensureTrayMenu();
    void typeForRequest(const QString& text, const InstanceServer::Respond& respond);

    PlatformServices m_services;
    std::unique_ptr<SettingsStore> m_store;
    std::unique_ptr<LocalizationManager> m_localizationManager;
    std::unique_ptr<SetStore> m_setStore;
    std::unique_ptr<KeyboardState> m_keyboardState;
    std::unique_ptr<HotkeySettings> m_hotkeySettings;
    std::unique_ptr<GlobalHotkeyManager> m_hotkeyManager;
    std::unique_ptr<UpdateManager> m_updateManager;
    std::unique_ptr<TrayMenu> m_trayMenu;
    std::unique_ptr<SettingsView> m_settingsWindow;
    std::unique_ptr<HelpAboutView> m_helpWindow;
    bool m_quitting = false;
};
