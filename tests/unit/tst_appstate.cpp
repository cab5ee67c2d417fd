#include "FakeModifierMonitor.h"
#include "RecordingHotkeyService.h"
#include "RecordingTypingBackend.h"
#include "app/AppState.h"
#include "app/TrayMenu.h"
#include "hotkeys/HotkeySettings.h"
#include "keyboard/FloatingPanel.h"
#include "keyboard/KeyboardState.h"
#include "keyboard/view/KeyboardView.h"
#include "localization/LocalizationManager.h"
#include "palettes/PaletteManager.h"
#include "platform/null/NullWindowSystem.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>

using Command = AppRequest::Command;

class TestAppState : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void startShowsTheKeyboardWithEverythingWired();
    void trayMenuHasSixEntriesWithLiveTitles();
    void requestsOfASecondProcess_data();
    void requestsOfASecondProcess();
    void typedRequestAnswersWhenTheTextIsDelivered();
    void typingThatCannotWorkIsReported();
    void windowsOpenOnce();
    void quittingGivesTheKeyboardBackFirst();

private:
    AppReply ask(Command command, const QString& text = {});

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<AppState> m_app;
    RecordingTypingBackend* m_typing = nullptr;
    RecordingHotkeyService* m_hotkeys = nullptr;
    FakeModifierMonitor* m_shift = nullptr;
};

void TestAppState::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    PlatformServices services;
    auto typing = std::make_unique<RecordingTypingBackend>();
    auto hotkeys = std::make_unique<RecordingHotkeyService>();
    auto shift = std::make_unique<FakeModifierMonitor>();
    m_typing = typing.get();
    m_hotkeys = hotkeys.get();
    m_shift = shift.get();
    services.typing = std::move(typing);
    services.hotkeys = std::move(hotkeys);
    services.shiftMonitor = std::move(shift);
    services.windowSystem = std::make_unique<NullWindowSystem>();
    m_app = std::make_unique<AppState>(std::move(services), m_dir->filePath(QStringLiteral("runeboard.conf")),
                                       QStringLiteral("en"));
    QCoreApplication::processEvents(); // the launch step
}

void TestAppState::cleanup() {
    m_app.reset();
    m_dir.reset();
}

AppReply TestAppState::ask(Command command, const QString& text) {
    AppRequest request;
    request.command = command;
    request.text = text;
    std::optional<AppReply> answer;
    m_app->handleRequest(request, [&answer](const AppReply& reply) { answer = reply; });
    [[maybe_unused]] const bool answered = QTest::qWaitFor([&] { return answer.has_value(); }, 2000);
    return answer.value_or(AppReply{-1, QStringLiteral("no answer")});
}

void TestAppState::startShowsTheKeyboardWithEverythingWired() {
    KeyboardState& keyboard = m_app->keyboardState();
    QVERIFY(keyboard.isKeyboardVisible());
    auto* panel = dynamic_cast<FloatingPanel*>(keyboard.floatingPanel());
    QVERIFY(panel);
    QVERIFY(panel->isVisible());
    QVERIFY(qobject_cast<KeyboardView*>(panel->content()));
    // First run: the presets are there and the main one is shown.
    const std::optional<SymbolPalette> main = m_app->paletteManager().mainPalette();
    QVERIFY(main);
    QCOMPARE(keyboard.activePaletteID(), main->idText());
    QCOMPARE(m_hotkeys->active.size(), 4);
    QVERIFY(m_shift->started);

    // A hotkey is acted on in a later turn of the loop, not inside the system's callback.
    constexpr PhysicalKey k = 37;
    QVERIFY(m_hotkeys->press(k, HotkeyModifier::Alt | HotkeyModifier::Shift));
    QVERIFY(keyboard.isKeyboardVisible());
    QTRY_VERIFY(!keyboard.isKeyboardVisible());
}

void TestAppState::trayMenuHasSixEntriesWithLiveTitles() {
    TrayMenu& tray = m_app->trayMenu();
    QCOMPARE(tray.trayIcon()->toolTip(), QStringLiteral("Runeboard"));
    QVERIFY(!tray.trayIcon()->icon().isNull());
    // Separators show as empty titles.
    auto titles = [&] {
        QStringList texts;
        for (QAction* entry : tray.menu()->actions())
            texts.append(entry->text());
        return texts;
    };
    QCOMPARE(titles(), (QStringList{"Hide Keyboard", "", "Settings...", "About App", "", "Quit"}));
    QCOMPARE(tray.settingsAction()->shortcut(), QKeySequence(QStringLiteral("Ctrl+,")));
    // The show/hide hint is the toggle combination as it is set now; none while it is cleared.
    QCOMPARE(tray.toggleAction()->shortcut(), QKeySequence(QStringLiteral("Alt+Shift+K")));
    m_app->hotkeySettings().setToggleKeyboard({38, CarbonModifier::Command | CarbonModifier::Option});
    QCOMPARE(tray.toggleAction()->shortcut().toString(QKeySequence::NativeText),
             QStringLiteral("Super+Alt+J"));
    m_app->hotkeySettings().setToggleKeyboard({});
    QVERIFY(tray.toggleAction()->shortcut().isEmpty());

    tray.toggleAction()->trigger();
    QVERIFY(!m_app->keyboardState().isKeyboardVisible());
    QCOMPARE(tray.toggleAction()->text(), QStringLiteral("Show Keyboard"));

    m_app->localizationManager().setAppLanguage(QStringLiteral("ru"));
    m_app->localizationManager().updateLanguage();
    Q_EMIT tray.menu()->aboutToShow();
    QCOMPARE(titles(), (QStringList{"Показать клавиатуру", "", "Настройки...", "О приложении", "", "Выход"}));
}

void TestAppState::requestsOfASecondProcess_data() {
    QTest::addColumn<bool>("startVisible");
    QTest::addColumn<int>("command");
    QTest::addColumn<bool>("visibleAfter");
    QTest::newRow("show a hidden keyboard") << false << int(Command::Show) << true;
    QTest::newRow("show a shown keyboard") << true << int(Command::Show) << true;
    QTest::newRow("hide a hidden keyboard") << false << int(Command::Hide) << false;
    QTest::newRow("toggle a shown keyboard") << true << int(Command::Toggle) << false;
}

void TestAppState::requestsOfASecondProcess() {
    QFETCH(bool, startVisible);
    QFETCH(int, command);
    QFETCH(bool, visibleAfter);
    KeyboardState& keyboard = m_app->keyboardState();
    if (!startVisible)
        keyboard.toggleVisibility();
    QCOMPARE(ask(Command(command)).status, 0);
    QCOMPARE(keyboard.isKeyboardVisible(), visibleAfter);
    QCOMPARE(dynamic_cast<QWidget*>(keyboard.floatingPanel())->isVisible(), visibleAfter);
}

void TestAppState::typedRequestAnswersWhenTheTextIsDelivered() {
    const QString text = QStringLiteral("ą𝔸e\u0301");
    const AppReply reply = ask(Command::Type, text);
    QCOMPARE(reply.status, 0);
    QCOMPARE(m_typing->typedText(), text);
}

void TestAppState::typingThatCannotWorkIsReported() {
    m_typing->failOpen = true;
    const AppReply reply = ask(Command::Type, QStringLiteral("ą"));
    QCOMPARE(reply.status, 2);
    QVERIFY(reply.message.contains(QLatin1String("cannot type")));
    QVERIFY(m_typing->events.isEmpty());
}

void TestAppState::windowsOpenOnce() {
    QCOMPARE(ask(Command::Settings).status, 0);
    QWidget* settings = m_app->settingsWindow();
    QVERIFY(settings && settings->isVisible());
    QCOMPARE(ask(Command::About).status, 0);
    QWidget* help = m_app->helpWindow();
    QVERIFY(help && help->isVisible());

    settings->close();
    m_app->trayMenu().settingsAction()->trigger();
    QCOMPARE(m_app->settingsWindow(), settings);
    QVERIFY(settings->isVisible());
    // Closing windows never ends the application.
    QVERIFY(!QApplication::quitOnLastWindowClosed());
}

void TestAppState::quittingGivesTheKeyboardBackFirst() {
    QSignalSpy restored(m_typing, &TypingBackend::restored);
    m_app->trayMenu().quitAction()->trigger();
    QTRY_VERIFY(m_app->isQuitting());
    QTRY_COMPARE(restored.count(), 1);
    // Nothing is typed any more once the keyboard mapping is being given back.
    QCOMPARE(ask(Command::Type, QStringLiteral("a")).status, 2);
}

QTEST_MAIN(TestAppState)
#include "tst_appstate.moc"
