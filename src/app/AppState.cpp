#include "AppState.h"

#include "app/SetFileCommand.h"
#include "app/TrayMenu.h"
#include "app/TypedText.h"
#include "app/TypingJob.h"
#include "hotkeys/GlobalHotkeyManager.h"
#include "hotkeys/HotkeySettings.h"
#include "keyboard/DeliveryWarning.h"
#include "keyboard/FloatingPanel.h"
#include "keyboard/KeyboardState.h"
#include "keyboard/view/KeyboardView.h"
#include "localization/LocalizationManager.h"
#include "platform/HotkeyService.h"
#include "platform/Log.h"
#include "platform/ModifierMonitor.h"
#include "platform/StartupTrace.h"
#include "platform/TypingBackend.h"
#include "platform/WindowSystem.h"
#include "sets/SetStore.h"
#include "settings/SettingsView.h"
#include "settings/about/HelpAboutView.h"
#include "storage/SettingsStore.h"
#include "updates/UpdateManager.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {
// The tray is made when the keyboard has appeared; should it not appear, after this.
constexpr int trayFallbackDelayMs = 2000;
} // namespace

AppState::AppState(PlatformServices services, const QString& settingsFile, const QString& systemLanguage,
                   QObject* parent)
    : QObject(parent)
    , m_services(std::move(services))
    , m_store(std::make_unique<SettingsStore>(settingsFile)) {
    // The keyboard lives in the tray and the panel, not in any window the user may close.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    // Whoever asked for it (a key, or another process), a symbol that cannot arrive is said here, once.
    connect(m_services.typing.get(), &TypingBackend::deliveryFailed, this,
            [](const QString& text, const QString& why) {
                Log::line(
                    QStringLiteral("[Typing] Cannot type %1: %2").arg(TypedText::codePoints(text), why));
            });

    StartupTrace::mark("settings file read");
    // The managers, in the order in which each needs the one before.
    m_localizationManager = std::make_unique<LocalizationManager>(*m_store, systemLanguage);
    m_setStore = std::make_unique<SetStore>(*m_store, systemLanguage);
    m_keyboardState = std::make_unique<KeyboardState>(*m_store, *m_setStore, *m_localizationManager,
                                                      *m_services.shiftMonitor);
    m_hotkeySettings = std::make_unique<HotkeySettings>(*m_store);
    m_hotkeyManager = std::make_unique<GlobalHotkeyManager>(*m_services.hotkeys, *m_hotkeySettings);
    m_updateManager = std::make_unique<UpdateManager>(*m_store, *m_localizationManager);
    m_updateManager->setCurrentVersion(QCoreApplication::applicationVersion());

    m_keyboardState->setPanelFactory([this] {
        auto panel = std::make_unique<FloatingPanel>(*m_store, *m_services.windowSystem);
        auto* view = new KeyboardView(*m_keyboardState, *m_setStore, *m_localizationManager,
                                      *m_services.typing, panel.get());
        new DeliveryWarning(*m_services.typing, *m_localizationManager, *view);
        panel->setContent(view);
        // The window manager's close only hides it, as the keyboard's own close button does.
        panel->onCloseRequested = [this] {
            if (m_keyboardState->isKeyboardVisible())
                m_keyboardState->toggleVisibility();
        };
        StartupTrace::mark("panel built");
        connect(panel.get(), &FloatingPanel::appeared, this, [] { StartupTrace::mark("panel painted"); });
        connect(panel.get(), &FloatingPanel::appeared, this, &AppState::ensureTrayMenu);
        return panel;
    });
    // Presses arrive from the system's event handling; acting on them is left
    // to a later turn of the loop, and to nobody once the state is gone.
    connect(m_hotkeyManager.get(), &GlobalHotkeyManager::actionTriggered, m_keyboardState.get(),
            &KeyboardState::perform, Qt::QueuedConnection);
    StartupTrace::mark("managers");
    m_hotkeyManager->registerFromSettings();
    StartupTrace::mark("hotkeys registered");
    m_keyboardState->start();
    StartupTrace::mark("keyboard started (the panel follows in the event loop)");

    QTimer::singleShot(trayFallbackDelayMs, this, &AppState::ensureTrayMenu);
}

TrayMenu& AppState::trayMenu() {
    ensureTrayMenu();
    return *m_trayMenu;
}

void AppState::ensureTrayMenu() {
    if (m_trayMenu)
        return;
    m_trayMenu = std::make_unique<TrayMenu>(*m_keyboardState, *m_localizationManager, *m_hotkeySettings);
    connect(m_trayMenu.get(), &TrayMenu::settingsRequested, this, &AppState::openSettings);
    connect(m_trayMenu.get(), &TrayMenu::helpRequested, this, &AppState::openHelp);
    connect(m_trayMenu.get(), &TrayMenu::quitRequested, this, &AppState::quit, Qt::QueuedConnection);
    m_trayMenu->show();
    StartupTrace::mark("tray menu");
#ifdef __GLIBC__
    // The start is over; what it used on the way (the font configuration, the first layout) goes
    // back to the system instead of staying with a process that then idles for hours.
    malloc_trim(0);
    StartupTrace::mark("start-up memory returned");
#endif
}

AppState::~AppState() {
    // Windows and the panel read the managers; they go before them.
    m_helpWindow.reset();
    m_settingsWindow.reset();
    m_trayMenu.reset();
    m_keyboardState.reset();
    m_hotkeyManager.reset();
}

QWidget* AppState::settingsWindow() const {
    return m_settingsWindow.get();
}

QWidget* AppState::helpWindow() const {
    return m_helpWindow.get();
}

void AppState::openSettings() {
    if (!m_settingsWindow)
        m_settingsWindow =
            std::make_unique<SettingsView>(*m_localizationManager, *m_setStore, *m_keyboardState,
                                           *m_hotkeySettings, *m_hotkeyManager, m_services.setup.get());
    bringToFront(*m_settingsWindow, QByteArrayLiteral("settings"));
}

void AppState::openHelp() {
    if (!m_helpWindow)
        m_helpWindow =
            std::make_unique<HelpAboutView>(*m_localizationManager, *m_updateManager, *m_hotkeySettings);
    bringToFront(*m_helpWindow, QByteArrayLiteral("help"));
}

void AppState::bringToFront(QWidget& window, const QByteArray& role) {
    window.winId(); // the native window, so that it can be named before it is mapped
    if (QWindow* handle = window.windowHandle())
        m_services.windowSystem->setIdentity(*handle, role);
    if (window.isMinimized())
        window.showNormal();
    else
        window.show();
    window.raise();
    window.activateWindow();
}

void AppState::handleRequest(const AppRequest& request, const InstanceServer::Respond& respond) {
    using Command = AppRequest::Command;
    KeyboardState& keyboard = *m_keyboardState;
    switch (request.command) {
    case Command::Show:
        if (!keyboard.isKeyboardVisible())
            keyboard.toggleVisibility();
        break;
    case Command::Toggle:
        keyboard.perform(KeyboardAction::ToggleKeyboard);
        break;
    case Command::Hide:
        if (keyboard.isKeyboardVisible())
            keyboard.toggleVisibility();
        break;
    case Command::Set:
        // What the set hotkeys do; a compositor's key bindings call it.
        if (const auto action = KeyboardActions::quickSet(request.set))
            keyboard.perform(*action);
        break;
    case Command::Settings:
        openSettings();
        break;
    case Command::About:
        openHelp();
        break;
    case Command::Quit:
        respond({});
        QMetaObject::invokeMethod(this, &AppState::quit, Qt::QueuedConnection);
        return;
    case Command::Type:
        typeForRequest(request.text, respond);
        return;
    case Command::ExportSet:
    case Command::ImportSet:
        respond(SetFileCommand::carryOut(request, *m_setStore, *m_localizationManager));
        return;
    }
    respond({});
}

void AppState::typeForRequest(const QString& text, const InstanceServer::Respond& respond) {
    // Another program may have sent it: nothing reaches the keyboard unchecked.
    if (const QString problem = TypedText::problem(text); !problem.isEmpty()) {
        respond({2, QStringLiteral("runeboard: cannot type this text: ") + problem});
        return;
    }
    const UserText reason =
        m_quitting ? UserText{QStringLiteral("typing_stopped")} : m_services.typing->unavailableReason();
    if (!reason.isEmpty()) {
        respond({2, QStringLiteral("runeboard: cannot type: ") + m_localizationManager->text(reason)});
        return;
    }
    QString note;
    if (!m_services.typingProblem.isEmpty())
        note = QStringLiteral("runeboard: ") + m_localizationManager->text(m_services.typingProblem) + u'\n';

    // The answer waits until the last key is delivered, so the asking process
    // ends when the text is there.
    auto* job = new TypingJob(*m_services.typing, this);
    connect(job, &TypingJob::finished, this, [job, respond, note](int failures) {
        job->deleteLater();
        if (failures == 0)
            respond({0, note});
        else
            respond({1, note + QStringLiteral("runeboard: %1 of the text's symbols could not be typed (the "
                                              "running Runeboard's output says why)")
                                   .arg(failures)});
    });
    job->start(text);
}

bool AppState::writeLaunchCheck() const {
    if (m_services.setup && !m_services.setup->note().isEmpty())
        Log::line(m_localizationManager->text(m_services.setup->note()));
    if (m_services.typingProblem.isEmpty())
        return false;
    Log::line(m_localizationManager->text(m_services.typingProblem));
    return true;
}

void AppState::quit() {
    if (m_quitting)
        return;
    m_quitting = true;
    connect(m_services.typing.get(), &TypingBackend::restored, qApp, &QCoreApplication::quit,
            Qt::QueuedConnection);
    m_services.typing->restoreSystem();
}
