#include "AppFixture.h"
#include "StdoutCapture.h"
#include "app/KeyboardIconEngine.h"
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
#include <QImage>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include <linux/input-event-codes.h>

using Command = AppRequest::Command;

class TestApp : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { m = std::make_unique<AppFixture>(); }
    void cleanup() { m.reset(); }

    void startShowsTheKeyboardWithEverythingWired() {
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

    void launchStep_data() {
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

    void launchStep() {
        QFETCH(QString, roles);
        QFETCH(QString, storedActive);
        QFETCH(int, expectedSet);
        const QList<SymbolSet> sets = AppFixture::setsOf(roles);
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
        for (const SettingKey key : {SettingKey::KeyboardSize, SettingKey::TemporaryCustomCharacters,
                                     SettingKey::SeparateCustomSymbols})
            QVERIFY2(!m->app->settingsStore().contains(key), qPrintable(SettingsTable::row(key).name));
        QCOMPARE(m->app->settingsStore().contains(SettingKey::ActiveSetId),
                 storedActive != QLatin1String("-"));
    }

    void trayMenuFollowsTheSettings() {
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

    // The drawn tray icon fills the pixels the tray asks for, at its density, instead of a blurred
    // enlargement.
    void trayIconIsDrawnAtTheTraysDensity_data() {
        QTest::addColumn<int>("side");
        QTest::addColumn<qreal>("density");
        QTest::newRow("16 px") << 16 << 1.0;
        QTest::newRow("22 px at 2x") << 22 << 2.0;
        QTest::newRow("24 px at 1.5x") << 24 << 1.5;
        QTest::newRow("256 px") << 256 << 1.0;
    }

    void trayIconIsDrawnAtTheTraysDensity() {
        QFETCH(int, side);
        QFETCH(qreal, density);
        const QPixmap pixmap = QIcon(new KeyboardIconEngine).pixmap(QSize(side, side), density);
        const int pixels = qRound(side * density);
        QCOMPARE(pixmap.size(), QSize(pixels, pixels));
        const QImage image = pixmap.toImage();
        const auto at = [&](qreal x, qreal y) {
            return image.pixelColor(int(x * pixels / 64), int(y * pixels / 64));
        };
        QCOMPARE(at(1, 1).alpha(), 0);           // outside the keyboard
        QVERIFY(at(9, 45).lightness() > 200);    // the keyboard's face
        QVERIFY(at(32, 41.5).lightness() < 100); // the space bar
        QCOMPARE(at(32, 41.5).alpha(), 255);
    }

    void requestsOfASecondProcess_data() {
        QTest::addColumn<bool>("startVisible");
        QTest::addColumn<int>("command");
        QTest::addColumn<bool>("visibleAfter");
        QTest::newRow("show a hidden keyboard") << false << int(Command::Show) << true;
        QTest::newRow("show a shown keyboard") << true << int(Command::Show) << true;
        QTest::newRow("hide a hidden keyboard") << false << int(Command::Hide) << false;
        QTest::newRow("toggle a shown keyboard") << true << int(Command::Toggle) << false;
    }

    void requestsOfASecondProcess() {
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

    void typedRequest_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("undeliverable");
        QTest::addColumn<bool>("off"); // no typing here
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said");
        QTest::addColumn<QString>("arrived");
        const auto row = [](const char* name, const QString& text, const char* undeliverable, bool off,
                            int status, const char* said, const QString& arrived = {}) {
            QTest::newRow(name) << text << QString(undeliverable) << off << status << QString(said)
                                << arrived;
        };
        row("all of it", "ą𝔸e\u0301", "", false, 0, "", "ą𝔸e\u0301");
        row("each lost symbol counted", "aƀcƀ", "ƀ", false, 1, "2 of the text", "ac");
        row("no typing here", "ą", "", true, 2, "cannot type");
        // Any program may send requests: text that is no text, or would press Escape, is refused whole.
        row("lone surrogate", QStringLiteral("x") + QChar(0xd800) + u'y', "", false, 2, "cannot type");
        row("escape", "a\x1b:q!\n", "", false, 2, "cannot type");
    }

    // Answered once the text is delivered, saying what was lost.
    void typedRequest() {
        QFETCH(QString, text);
        QFETCH(QString, undeliverable);
        QFETCH(bool, off);
        QFETCH(int, status);
        QFETCH(QString, said);
        QFETCH(QString, arrived);
        launched();
        if (!undeliverable.isEmpty())
            m->typing->undeliverable.insert(undeliverable);
        m->typing->off = off;
        const AppReply reply = ask(Command::Type, text);
        QCOMPARE(reply.status, status);
        QVERIFY2(reply.message.contains(said), qPrintable(reply.message));
        QCOMPARE(m->typing->typedText(), arrived);
    }

    void aLostSymbolShowsOnTheKeyboard() {
        AppState& app = launched();
        auto* panel = dynamic_cast<FloatingPanel*>(app.keyboardState().floatingPanel());
        QVERIFY(panel);
        auto* mark = panel->content()->findChild<QWidget*>(QStringLiteral("deliveryWarning"));
        QVERIFY(mark && !mark->isVisible());
        Q_EMIT m->typing->deliveryFailed(QStringLiteral("ą"),
                                         QStringLiteral("no window has the keyboard focus"));
        QVERIFY(mark->isVisible());
        QVERIFY(!mark->accessibleName().isEmpty());
        // For a moment only: the keyboard is not left looking broken.
        QTRY_VERIFY_WITH_TIMEOUT(!mark->isVisible(), 10000);
    }

    // Closed, a window comes back as it was, from the tray as from a second process.
    void windowsOpenOnce() {
        AppState& app = launched();
        QCOMPARE(ask(Command::Settings).status, 0);
        QWidget* settings = app.settingsWindow();
        settings->close();
        app.trayMenu().settingsAction()->trigger();
        QCOMPARE(app.settingsWindow(), settings);
        QVERIFY(settings->isVisible());
    }

    void quittingGivesTheKeyboardBackFirst() {
        AppState& app = launched();
        QSignalSpy restored(m->typing, &TypingBackend::restored);
        app.trayMenu().quitAction()->trigger();
        QTRY_VERIFY(app.isQuitting());
        QTRY_COMPARE(restored.count(), 1);
        // Nothing is typed any more once the keyboard mapping is being given back.
        QCOMPARE(ask(Command::Type, QStringLiteral("a")).status, 2);
    }

private:
    AppState& launched() { return m->launched(); }
    AppReply ask(Command command, const QString& text = {}) {
        AppRequest request;
        request.command = command;
        request.text = text;
        std::optional<AppReply> answer;
        m->app->handleRequest(request, [&answer](const AppReply& reply) { answer = reply; });
        [[maybe_unused]] const bool answered = QTest::qWaitFor([&] { return answer.has_value(); }, 2000);
        return answer.value_or(AppReply{-1, QStringLiteral("no answer")});
    }

    std::unique_ptr<AppFixture> m;
};

QTEST_MAIN(TestApp)
#include "tst_app.moc"
