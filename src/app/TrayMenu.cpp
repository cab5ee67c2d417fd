#include "TrayMenu.h"

#include "app/KeyboardIconEngine.h"
#include "hotkeys/HotkeySettings.h"
#include "hotkeys/KeyTable.h"
#include "keyboard/KeyboardState.h"
#include "localization/LocalizationManager.h"
#include "platform/Log.h"

#include <QAction>
#include <QCoreApplication>
#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTranslator>

namespace {
// Qt writes the Super key as "Meta" in the shortcut hints it draws; Linux keyboards say Super.
class ShortcutWords : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* sourceText, const char*, int) const override {
        const bool meta = qstrcmp(context, "QShortcut") == 0 && qstrcmp(sourceText, "Meta") == 0;
        return meta ? QStringLiteral("Super") : QString();
    }
};
} // namespace

TrayMenu::TrayMenu(KeyboardState& keyboardState, LocalizationManager& localization, HotkeySettings& hotkeys,
                   QObject* parent)
    : QObject(parent)
    , m_keyboardState(keyboardState)
    , m_localization(localization)
    , m_hotkeys(hotkeys)
    , m_menu(new QMenu)
    , m_trayIcon(new QSystemTrayIcon(KeyboardIconEngine::trayIcon(), this)) {
    m_trayIcon->setToolTip(QStringLiteral("Runeboard"));
    static const bool wordsInstalled = QCoreApplication::installTranslator(new ShortcutWords(qApp));
    Q_UNUSED(wordsInstalled);

    // The key combinations are only shown here; the global hotkeys do the work.
    m_toggle = m_menu->addAction(QString(), &keyboardState, &KeyboardState::toggleVisibility);
    m_menu->addSeparator();
    m_settings = m_menu->addAction(QString(), this, &TrayMenu::settingsRequested);
    m_settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    m_help = m_menu->addAction(QString(), this, &TrayMenu::helpRequested);
    m_menu->addSeparator();
    m_quit = m_menu->addAction(QString(), this, &TrayMenu::quitRequested);
    for (QAction* action : {m_toggle, m_settings}) {
        action->setShortcutContext(Qt::WidgetShortcut);
        action->setShortcutVisibleInContextMenu(true);
    }

    retranslate();
    connect(m_menu, &QMenu::aboutToShow, this, &TrayMenu::retranslate);
    connect(&keyboardState, &KeyboardState::isKeyboardVisibleChanged, this, &TrayMenu::retranslate);
    connect(&localization, &LocalizationManager::currentLanguageChanged, this, &TrayMenu::retranslate);
    connect(&hotkeys, &HotkeySettings::changed, this, &TrayMenu::retranslate);
    m_trayIcon->setContextMenu(m_menu);
    // Trays only open the menu on a right click; a left click opens it too.
    connect(m_trayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger && !m_menu->isVisible())
            m_menu->popup(QCursor::pos());
    });
}

TrayMenu::~TrayMenu() {
    delete m_menu;
}

void TrayMenu::show() {
    m_trayIcon->show();
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        Log::line(
            QStringLiteral("[TrayMenu] This desktop shows no system tray, so Runeboard has no menu icon; "
                           "`runeboard --settings` opens the settings."));
    }
}

void TrayMenu::retranslate() {
    m_toggle->setText(m_localization.localized(m_keyboardState.isKeyboardVisible()
                                                   ? QStringLiteral("hide_keyboard")
                                                   : QStringLiteral("show_keyboard")));
    // A hint that names a combination which no longer works would mislead: it follows the setting.
    const std::optional<QKeyCombination> toggle =
        KeyTable::keyCombination(m_hotkeys.hotkey(KeyboardAction::ToggleKeyboard));
    m_toggle->setShortcut(toggle ? QKeySequence(*toggle) : QKeySequence());
    m_settings->setText(m_localization.localized(QStringLiteral("settings")));
    m_help->setText(m_localization.localized(QStringLiteral("how_to_use")));
    m_quit->setText(m_localization.localized(QStringLiteral("quit")));
}
