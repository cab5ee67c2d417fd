#include "AppFixture.h"
#include "DataRows.h"
#include "StdoutCapture.h"
#include "app/KeyboardIconEngine.h"
#include "app/TrayMenu.h"
#include "keyboard/KeyboardState.h"
#include "storage/SettingsStore.h"

#include <QAction>
#include <QImage>
#include <QSignalSpy>
#include <QTest>

using Command = AppRequest::Command;

class TestApp : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { m = std::make_unique<AppFixture>(); }
    void cleanup() { m.reset(); }

    void launchStep_data() {
        // storedActive "-": nothing stored; "#n": the id of set n
        stringRows({"roles", "storedActive", "expectedActive"},
                   {{"empty choice with a main set chooses it", "AM", "", "#1"},
                    {"first run without a main set chooses nothing", "AP", "-", ""},
                    {"an earlier choice stays", "AM", "customEmpty", "customEmpty"}});
    }

    void launchStep() {
        QFETCH(QString, roles);
        QFETCH(QString, storedActive);
        QFETCH(QString, expectedActive);
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
        QCOMPARE(keyboard.activeSetId(), expectedActive.startsWith(u'#')
                                             ? sets.at(expectedActive.mid(1).toInt()).idText()
                                             : expectedActive);
        // Defaults are never written by themselves.
        for (const SettingKey key : {SettingKey::KeyboardSize, SettingKey::TemporaryCustomCharacters,
                                     SettingKey::SeparateCustomSymbols})
            QVERIFY2(!m->app->settingsStore().contains(key), qPrintable(SettingsTable::row(key).name));
        QCOMPARE(m->app->settingsStore().contains(SettingKey::ActiveSetId),
                 storedActive != QLatin1String("-"));
    }

    void trayToggleHidesTheKeyboardAndSaysSo() {
        AppState& app = m->launched();
        TrayMenu& tray = app.trayMenu();
        const QString hide = tray.toggleAction()->text();
        tray.toggleAction()->trigger();
        QVERIFY(!app.keyboardState().isKeyboardVisible());
        QVERIFY(tray.toggleAction()->text() != hide);
    }

    // The drawn tray icon fills the pixels the tray asks for, at its density, instead of a blurred
    // enlargement.
    void trayIconIsDrawnAtTheTraysDensity_data() {
        QTest::addColumn<int>("side");
        QTest::addColumn<qreal>("density");
        QTest::newRow("22 px at 2x") << 22 << 2.0;
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
        m->launched();
        if (!undeliverable.isEmpty())
            m->typing->undeliverable.insert(undeliverable);
        m->typing->off = off;
        const AppReply reply = ask(Command::Type, text);
        QCOMPARE(reply.status, status);
        QVERIFY2(reply.message.contains(said), qPrintable(reply.message));
        QCOMPARE(m->typing->typedText(), arrived);
    }

    void quittingGivesTheKeyboardBackFirst() {
        AppState& app = m->launched();
        QSignalSpy restored(m->typing, &TypingBackend::restored);
        app.trayMenu().quitAction()->trigger();
        QTRY_VERIFY(app.isQuitting());
        QTRY_COMPARE(restored.count(), 1);
        // Nothing is typed any more once the keyboard mapping is being given back.
        QCOMPARE(ask(Command::Type, QStringLiteral("a")).status, 2);
    }

private:
    AppReply ask(Command command, const QString& text = {}) {
        std::optional<AppReply> answer;
        m->app->handleRequest({command, text, {}, 0}, [&answer](const AppReply& reply) { answer = reply; });
        [[maybe_unused]] const bool answered = QTest::qWaitFor([&] { return answer.has_value(); }, 2000);
        return answer.value_or(AppReply{-1, QStringLiteral("no answer")});
    }

    std::unique_ptr<AppFixture> m;
};

QTEST_MAIN(TestApp)
#include "tst_app.moc"
