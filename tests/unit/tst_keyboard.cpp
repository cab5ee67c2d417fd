#include "AppFixture.h"
#include "keyboard/KeyboardState.h"
#include "sets/SetStore.h"
#include "sets/UnsavedSet.h"
#include "storage/SettingsStore.h"

#include <QTest>

#include <linux/input-event-codes.h>

using Command = AppRequest::Command;

// The keyboard's shared state, as the running application wires it.
class TestKeyboard : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { m = std::make_unique<AppFixture>(); }
    void cleanup() { m.reset(); }

    void activeSetResolution_data() {
        QTest::addColumn<QString>("roles");
        QTest::addColumn<QString>("active");    // "#n": the id of set n; otherwise the text itself
        QTest::addColumn<QString>("temporary"); // temporaryCustomCharacters
        QTest::addColumn<int>("expectedSet");   // index into the sets, or -1 for the unsaved set
        QTest::addColumn<QString>("expectedCustom");

        const auto row = [](const char* name, const char* roles, const QString& active,
                            const QString& temporary, int set, const QString& custom) {
            QTest::newRow(name) << QString(roles) << active << temporary << set << custom;
        };
        row("stored set", "MAP", "#2", "", 2, "");
        row("deleted set: the main set", "PAM", QUuid::createUuid().toString(QUuid::WithoutBraces), "", 2,
            "");
        row("customEmpty: the unsaved set", "MA", "customEmpty", "ab", -1, "ab");
        row("zero identifier: the unsaved set", "MA", UnsavedSet::idText, "", -1, "");
        row("nothing chosen: the main set", "AM", "", "xy", 1, "");
        row("no main set: the first additional", "PAA", "", "xy", 1, "");
        row("nothing at all: an empty unsaved set", "PP", "junk", "xy", -1, "");
    }

    void activeSetResolution() {
        QFETCH(QString, roles);
        QFETCH(QString, active);
        QFETCH(QString, temporary);
        QFETCH(int, expectedSet);
        QFETCH(QString, expectedCustom);
        AppState& app = m->launched();
        const QList<SymbolSet> sets = AppFixture::setsOf(roles);
        app.setStore().replaceSets(sets);
        const QString stored =
            active.startsWith(u'#') ? sets.at(active.mid(1).toInt()).idText().toLower() : active;
        KeyboardState& state = app.keyboardState();
        state.setActiveSetId(stored); // ids are read in any case
        state.setTemporaryCustomCharacters(temporary);
        QCOMPARE(state.activeSet(),
                 expectedSet >= 0 ? sets.at(expectedSet) : UnsavedSet::withCharacters(expectedCustom));
        QCOMPARE(state.isUnsavedSetActive(), expectedSet < 0);
        // Resolving never writes: a stale choice stays until something chooses a set.
        QCOMPARE(app.settingsStore().text(SettingKey::ActiveSetId), stored);
    }

    void hotkeysSelectByPosition_data() {
        QTest::addColumn<QString>("roles");
        QTest::addColumn<int>("number");      // 1..3, as `--set` and the settings count
        QTest::addColumn<bool>("pressed");    // the hotkey Alt+Shift+number, or `runeboard --set number`
        QTest::addColumn<int>("expectedSet"); // -1: nothing changes
        QTest::newRow("1 with main and two additional") << "AMPA" << 1 << true << 1;
        QTest::newRow("--set 3 with main and two additional") << "AMPA" << 3 << false << 3;
        QTest::newRow("no main: 1 is the first additional") << "PAA" << 1 << true << 1;
        QTest::newRow("3 with two sets does nothing") << "MA" << 3 << true << -1;
        QTest::newRow("--set 1 without any quick-access set does nothing") << "PP" << 1 << false << -1;
    }

    void hotkeysSelectByPosition() {
        QFETCH(QString, roles);
        QFETCH(int, number);
        QFETCH(bool, pressed);
        QFETCH(int, expectedSet);
        AppState& app = m->launched();
        const QList<SymbolSet> sets = AppFixture::setsOf(roles);
        app.setStore().replaceSets(sets);
        KeyboardState& state = app.keyboardState();
        state.setActiveSetId(UnsavedSet::startedEmpty);
        if (pressed) {
            QVERIFY(m->hotkeys->press(PhysicalKey(KEY_1 + number - 1),
                                      HotkeyModifier::Alt | HotkeyModifier::Shift));
            QCOMPARE(state.activeSetId(), UnsavedSet::startedEmpty); // acted on later, not inside the press
            QCoreApplication::processEvents();
        } else {
            app.handleRequest({Command::Set, {}, {}, number},
                              [](const AppReply& r) { QCOMPARE(r.status, 0); });
        }
        QCOMPARE(state.activeSetId(),
                 expectedSet >= 0 ? sets.at(expectedSet).idText() : UnsavedSet::startedEmpty);
        QVERIFY(state.isKeyboardVisible());
    }

private:
    std::unique_ptr<AppFixture> m;
};

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
