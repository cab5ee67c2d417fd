#include "AppFixture.h"
#include "StdoutCapture.h"
#include "app/TrayMenu.h"
#include "hotkeys/HotkeySettings.h"
#include "keyboard/FloatingPanel.h"
#include "keyboard/KeyboardState.h"
#include "keyboard/view/KeyboardView.h"
#include "localization/LocalizationManager.h"
#include "sets/SetStore.h"
#include "sets/UnsavedSet.h"
#include "storage/SettingsStore.h"

#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include <linux/input-event-codes.h>

using Command = AppRequest::Command;

namespace {
// Sets described by letters: M main, A additional, P plain.
QList<SymbolSet> setsOf(const QString& roles) {
    QList<SymbolSet> sets;
    for (QChar role : roles)
        sets.append({QUuid::createUuid(),
                     QStringLiteral("s"),
                     QStringLiteral("äö"),
                     {},
                     role == u'M',
                     role == u'A',
                     false});
    return sets;
}
} // namespace

class TestApp : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { m = std::make_unique<AppFixture>(); }
    void cleanup() { m.reset(); }

    void startShowsTheKeyboardWithEverythingWired();
    void launchStep_data();
    void launchStep();
    void trayMenuFollowsTheSettings();
    void requestsOfASecondProcess_data();
    void requestsOfASecondProcess();
    void typedRequestAnswersWhenTheTextIsDelivered_data();
    void typedRequestAnswersWhenTheTextIsDelivered();
    void typingThatCannotWorkIsReported_data();
    void typingThatCannotWorkIsReported();
    void aLostSymbolShowsOnTheKeyboard();
    void windowsOpenOnce();
    void quittingGivesTheKeyboardBackFirst();

private:
    AppState& launched() {
        m->start();
        QCoreApplication::processEvents(); // the launch step
        return *m->app;
    }
    AppReply ask(Command command, const QString& text = {});

    std::unique_ptr<AppFixture> m;
};

AppReply TestApp::ask(Command command, const QString& text) {
    AppRequest request;
    request.command = command;
    request.text = text;
    std::optional<AppReply> answer;
    m->app->handleRequest(request, [&answer](const AppReply& reply) { answer = reply; });
    [[maybe_unused]] const bool answered = QTest::qWaitFor([&] { return answer.has_value(); }, 2000);
    return answer.value_or(AppReply{-1, QStringLiteral("no answer")});
}

void TestApp::startShowsTheKeyboardWithEverythingWired() {
    AppState& app = launched();
    KeyboardState& keyboard = app.keyboardState();
    QVERIFY(keyboard.isKeyboardVisible());
    auto* panel = dynamic_cast<FloatingPanel*>(keyboard.floatingPanel());
    QVERIFY(panel && panel->isVisible());
    QVERIFY(qobject_cast<KeyboardView*>(panel->content()));
    // First run: the presets are there and the main one is shown.
    const std::optional<SymbolSet> main = app.setStore().mainSet();
    QVERIFY(main);
    QCOMPARE(keyboard.activeSetId(), main->idText());
    QCOMPARE(m->hotkeys->active.size(), 4);
    QVERIFY(m->shift->started);

    // A hotkey is acted on in a later turn of the loop, not inside the system's callback.
    constexpr PhysicalKey k = 37;
    QVERIFY(m->hotkeys->press(k, HotkeyModifier::Alt | HotkeyModifier::Shift));
    QVERIFY(keyboard.isKeyboardVisible());
    QTRY_VERIFY(!keyboard.isKeyboardVisible());
}

void TestApp::launchStep_data() {
    QTest::addColumn<QString>("roles");
    QTest::addColumn<QString>("storedActive"); // "-" for nothing stored
    QTest::addColumn<int>("expectedSet");      // -1: the stored text stays
    QTest::newRow("empty choice with a main set chooses it") << "AM"
                                                             << "" << 1;
    QTest::newRow("first run without a main set chooses nothing") << "AP"
                                                                  << "-" << -1;
    QTest::newRow("an earlier choice stays") << "AM"
                                             << "customEmpty" << -1;
}

void TestApp::launchStep() {
    QFETCH(QString, roles);
    QFETCH(QString, storedActive);
    QFETCH(int, expectedSet);
    const QList<SymbolSet> sets = setsOf(roles);
    {
        SettingsStore before(m->configPath());
        before.setValue(SettingKey::SavedSymbolSets, SymbolSet::encodeList(sets));
        if (storedActive != QLatin1String("-"))
            before.setValue(SettingKey::ActiveSetId, storedActive);
    }
    KeyboardState& keyboard = m->start().keyboardState();
    // Nothing happens before the loop turns: AppState finishes building first.
    QVERIFY(!keyboard.isKeyboardVisible() && !keyboard.floatingPanel());
    QCoreApplication::processEvents();
    QVERIFY(keyboard.isKeyboardVisible());
    QCOMPARE(keyboard.activeSetId(), expectedSet >= 0                     ? sets.at(expectedSet).idText()
                                     : storedActive == QLatin1String("-") ? QString()
                                                                          : storedActive);
    // Defaults are never written by themselves.
    for (const SettingKey key :
         {SettingKey::KeyboardSize, SettingKey::TemporaryCustomCharacters, SettingKey::SeparateCustomSymbols})
        QVERIFY2(!m->app->settingsStore().contains(key), qPrintable(SettingsTable::row(key).name));
    QCOMPARE(m->app->settingsStore().contains(SettingKey::ActiveSetId), storedActive != QLatin1String("-"));
}

void TestApp::trayMenuFollowsTheSettings() {
    AppState& app = launched();
    TrayMenu& tray = app.trayMenu();
    // The show/hide hint is the toggle combination as it is set now; none while it is cleared.
    QCOMPARE(tray.toggleAction()->shortcut(), QKeySequence(QStringLiteral("Alt+Shift+K")));
    app.hotkeySettings().setHotkey(KeyboardAction::ToggleKeyboard,
                                   {KEY_J, HotkeyModifier::Super | HotkeyModifier::Alt});
    QCOMPARE(tray.toggleAction()->shortcut().toString(QKeySequence::NativeText),
             QStringLiteral("Super+Alt+J"));
    app.hotkeySettings().setHotkey(KeyboardAction::ToggleKeyboard, {});
    QVERIFY(tray.toggleAction()->shortcut().isEmpty());

    const QString hide = tray.toggleAction()->text();
    tray.toggleAction()->trigger();
    QVERIFY(!app.keyboardState().isKeyboardVisible());
    QVERIFY(tray.toggleAction()->text() != hide);
    // Another language re-titles every entry.
    QStringList english;
    for (QAction* entry : tray.menu()->actions())
        english.append(entry->text());
    app.localizationManager().setAppLanguage(QStringLiteral("ru"));
    Q_EMIT tray.menu()->aboutToShow();
    for (qsizetype i = 0; i < english.size(); ++i)
        QVERIFY2(english.at(i).isEmpty() || tray.menu()->actions().at(i)->text() != english.at(i),
                 qPrintable(english.at(i)));
}

void TestApp::requestsOfASecondProcess_data() {
    QTest::addColumn<bool>("startVisible");
    QTest::addColumn<int>("command");
    QTest::addColumn<bool>("visibleAfter");
    QTest::newRow("show a hidden keyboard") << false << int(Command::Show) << true;
    QTest::newRow("show a shown keyboard") << true << int(Command::Show) << true;
    QTest::newRow("hide a hidden keyboard") << false << int(Command::Hide) << false;
    QTest::newRow("toggle a shown keyboard") << true << int(Command::Toggle) << false;
}

void TestApp::requestsOfASecondProcess() {
    QFETCH(bool, startVisible);
    QFETCH(int, command);
    QFETCH(bool, visibleAfter);
    KeyboardState& keyboard = launched().keyboardState();
    if (!startVisible)
        keyboard.toggleVisibility();
    QCOMPARE(ask(Command(command)).status, 0);
    QCOMPARE(keyboard.isKeyboardVisible(), visibleAfter);
    QCOMPARE(dynamic_cast<QWidget*>(keyboard.floatingPanel())->isVisible(), visibleAfter);
}

void TestApp::typedRequestAnswersWhenTheTextIsDelivered_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("undeliverable");
    QTest::addColumn<QString>("arrived");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said");
    QTest::newRow("all of it") << QStringLiteral("ą𝔸e\u0301") << QString() << QStringLiteral("ą𝔸e\u0301") << 0
                               << QString();
    QTest::newRow("each lost symbol counted") << QStringLiteral("aƀcƀ") << QStringLiteral("ƀ")
                                              << QStringLiteral("ac") << 1 << QStringLiteral("2 of the text");
}

void TestApp::typedRequestAnswersWhenTheTextIsDelivered() {
    QFETCH(QString, text);
    QFETCH(QString, undeliverable);
    QFETCH(QString, arrived);
    QFETCH(int, status);
    QFETCH(QString, said);
    launched();
    if (!undeliverable.isEmpty())
        m->typing->undeliverable.insert(undeliverable);
    const AppReply reply = ask(Command::Type, text);
    QCOMPARE(reply.status, status);
    QVERIFY2(reply.message.contains(said), qPrintable(reply.message));
    QCOMPARE(m->typing->typedText(), arrived);
}

void TestApp::typingThatCannotWorkIsReported_data() {
    QTest::addColumn<bool>("off");
    QTest::addColumn<QString>("text");
    QTest::newRow("no typing here") << true << QStringLiteral("ą");
    // Any program may send requests: text that is no text, or would press Escape, is refused whole.
    QTest::newRow("lone surrogate") << false << QStringLiteral("x") + QChar(0xd800) + u'y';
    QTest::newRow("escape") << false << QStringLiteral("a\x1b:q!\n");
}

void TestApp::typingThatCannotWorkIsReported() {
    QFETCH(bool, off);
    QFETCH(QString, text);
    launched();
    m->typing->off = off;
    const AppReply reply = ask(Command::Type, text);
    QCOMPARE(reply.status, 2);
    QVERIFY(reply.message.contains(QLatin1String("cannot type")));
    QVERIFY(m->typing->texts.isEmpty());
}

void TestApp::aLostSymbolShowsOnTheKeyboard() {
    AppState& app = launched();
    auto* panel = dynamic_cast<FloatingPanel*>(app.keyboardState().floatingPanel());
    QVERIFY(panel);
    auto* mark = panel->content()->findChild<QWidget*>(QStringLiteral("deliveryWarning"));
    QVERIFY(mark && !mark->isVisible());
    Q_EMIT m->typing->deliveryFailed(QStringLiteral("ą"), QStringLiteral("no window has the keyboard focus"));
    QVERIFY(mark->isVisible());
    QVERIFY(!mark->accessibleName().isEmpty());
    // For a moment only: the keyboard is not left looking broken.
    QTRY_VERIFY_WITH_TIMEOUT(!mark->isVisible(), 10000);
}

// Closed, a window comes back as it was, from the tray as from a second process.
void TestApp::windowsOpenOnce() {
    AppState& app = launched();
    QCOMPARE(ask(Command::Settings).status, 0);
    QWidget* settings = app.settingsWindow();
    settings->close();
    app.trayMenu().settingsAction()->trigger();
    QCOMPARE(app.settingsWindow(), settings);
    QVERIFY(settings->isVisible());
}

void TestApp::quittingGivesTheKeyboardBackFirst() {
    AppState& app = launched();
    QSignalSpy restored(m->typing, &TypingBackend::restored);
    app.trayMenu().quitAction()->trigger();
    QTRY_VERIFY(app.isQuitting());
    QTRY_COMPARE(restored.count(), 1);
    // Nothing is typed any more once the keyboard mapping is being given back.
    QCOMPARE(ask(Command::Type, QStringLiteral("a")).status, 2);
}

QTEST_MAIN(TestApp)
#include "tst_app.moc"
