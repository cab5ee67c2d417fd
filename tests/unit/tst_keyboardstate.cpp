#include "ConfigDir.h"
#include "FakeModifierMonitor.h"
#include "keyboard/KeyboardPanel.h"
#include "keyboard/KeyboardState.h"
#include "localization/LocalizationManager.h"
#include "palettes/PaletteManager.h"
#include "storage/SettingsStore.h"

#include <QSignalSpy>
#include <QTest>

namespace {
struct PanelLog {
    int created = 0, fronts = 0, outs = 0;
};

class RecordingPanel : public KeyboardPanel {
public:
    explicit RecordingPanel(PanelLog& log)
        : m_log(log) {
        ++m_log.created;
    }
    void orderFront() override { ++m_log.fronts; }
    void orderOut() override { ++m_log.outs; }
    bool allowFocus() const override { return false; }
    void setAllowFocus(bool) override {}
    void makeKeyWindow() override {}
    void setMovableByBackground(bool) override {}

private:
    PanelLog& m_log;
};

// Sets described by letters: M main, A additional, P plain.
QList<SymbolPalette> setsOf(const QString& roles) {
    QList<SymbolPalette> sets;
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

class TestKeyboardState : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();

    void activePaletteResolution_data();
    void activePaletteResolution();
    void hotkeysSelectByPosition_data();
    void hotkeysSelectByPosition();
    void launchStep_data();
    void launchStep();
    void persistedFieldsAreTheStores();

private:
    KeyboardState& configured(const QList<SymbolPalette>& sets);
    KeyboardState& construct();

    // The state's collaborators; the state is declared last so it goes first.
    struct Env {
        ConfigDir config;
        SettingsStore store{config.path()};
        FakeModifierMonitor shift;
        LocalizationManager localization{store, QStringLiteral("en")};
        PaletteManager palettes{store, QStringLiteral("en")};
        PanelLog panelLog;
        std::unique_ptr<KeyboardState> state;
    };
    std::unique_ptr<Env> m;
};

void TestKeyboardState::init() {
    m = std::make_unique<Env>();
}

KeyboardState& TestKeyboardState::construct() {
    m->state = std::make_unique<KeyboardState>(m->store, m->shift);
    m->state->setPanelFactory([this] { return std::make_unique<RecordingPanel>(m->panelLog); });
    m->state->configure(m->palettes, m->localization);
    return *m->state;
}

KeyboardState& TestKeyboardState::configured(const QList<SymbolPalette>& sets) {
    m->palettes.setPalettes(sets);
    construct();
    QCoreApplication::processEvents(); // the launch step
    return *m->state;
}

void TestKeyboardState::activePaletteResolution_data() {
    QTest::addColumn<QString>("roles");
    QTest::addColumn<QString>("active");    // "#n": the id of set n; otherwise the text itself
    QTest::addColumn<QString>("temporary"); // temporaryCustomCharacters
    QTest::addColumn<int>("expectedSet");   // index into the sets, or -1 for the unsaved set
    QTest::addColumn<QString>("expectedCustom");

    const auto row = [](const char* name, const char* roles, const QString& active, const QString& temporary,
                        int set, const QString& custom) {
        QTest::newRow(name) << QString(roles) << active << temporary << set << custom;
    };
    row("stored set", "MAP", "#2", "", 2, "");
    row("deleted set: the main set", "PAM", QUuid::createUuid().toString(QUuid::WithoutBraces), "", 2, "");
    row("customEmpty: the unsaved set", "MA", "customEmpty", "ab", -1, "ab");
    const QString separated = QStringLiteral("a") + customSymbolSeparator + QStringLiteral("bc");
    row("zero identifier: the unsaved set", "MA", customPaletteIDText, separated, -1, separated);
    row("nothing chosen: the main set", "AM", "", "xy", 1, "");
    row("no main set: the first additional", "PAA", "", "xy", 1, "");
    row("nothing at all: an empty unsaved set", "PP", "junk", "xy", -1, "");
    row("no sets", "", "", "xy", -1, "");
}

void TestKeyboardState::activePaletteResolution() {
    QFETCH(QString, roles);
    QFETCH(QString, active);
    QFETCH(QString, temporary);
    QFETCH(int, expectedSet);
    QFETCH(QString, expectedCustom);

    const QList<SymbolPalette> sets = setsOf(roles);
    QString stored = active;
    if (active.startsWith(u'#'))
        stored = sets.at(active.mid(1).toInt()).idText().toLower(); // read in any case
    KeyboardState& state = configured(sets);
    state.setActivePaletteID(stored);
    state.setTemporaryCustomCharacters(temporary);
    const SymbolPalette shown = state.activePalette();
    if (expectedSet >= 0) {
        QCOMPARE(shown, sets.at(expectedSet));
    } else {
        QCOMPARE(shown.id, customPaletteID);
        QCOMPARE(shown.name, QStringLiteral("Custom"));
        QCOMPARE(shown.customCharacters, expectedCustom);
        QVERIFY(shown.baseCharacters.isEmpty() && !shown.isMain && !shown.isAdditional && !shown.isSystem);
        QVERIFY(state.isCustomPaletteActive());
    }
    // Resolving never writes: a stale choice stays until something chooses a set.
    QCOMPARE(m->store.string(QStringLiteral("activePaletteID")), stored);
}

void TestKeyboardState::hotkeysSelectByPosition_data() {
    QTest::addColumn<QString>("roles");
    QTest::addColumn<int>("hotkey");      // 1..3
    QTest::addColumn<int>("expectedSet"); // -1: nothing changes

    QTest::newRow("1 with main and two additional") << "AMPA" << 1 << 1;
    QTest::newRow("3 with main and two additional") << "AMPA" << 3 << 3;
    QTest::newRow("no main: 1 is the first additional") << "PAA" << 1 << 1;
    QTest::newRow("3 with two sets does nothing") << "MA" << 3 << -1;
    QTest::newRow("1 without any quick-access set does nothing") << "PP" << 1 << -1;
}

void TestKeyboardState::hotkeysSelectByPosition() {
    QFETCH(QString, roles);
    QFETCH(int, hotkey);
    QFETCH(int, expectedSet);

    const QList<SymbolPalette> sets = setsOf(roles);
    const QString before = QStringLiteral("customEmpty");
    m->store.setString(QStringLiteral("activePaletteID"), before);
    KeyboardState& state = configured(sets);
    const bool visible = state.isKeyboardVisible();

    state.handleHotkey(QString::number(hotkey));
    QCOMPARE(state.activePaletteID(), expectedSet >= 0 ? sets.at(expectedSet).idText() : before);
    QCOMPARE(state.isKeyboardVisible(), visible);
}

void TestKeyboardState::launchStep_data() {
    QTest::addColumn<QString>("roles");
    QTest::addColumn<QString>("storedActive"); // "-" for nothing stored
    QTest::addColumn<int>("expectedSet");      // -1: the stored text stays

    const auto row = [](const char* name, const char* roles, const char* stored, int set) {
        QTest::newRow(name) << QString(roles) << QString(stored) << set;
    };
    row("first run with a main set chooses it", "AM", "-", 1);
    row("empty choice with a main set chooses it", "AM", "", 1);
    row("first run without a main set chooses nothing", "AP", "-", -1);
    row("an earlier choice stays", "AM", "customEmpty", -1);
}

void TestKeyboardState::launchStep() {
    QFETCH(QString, roles);
    QFETCH(QString, storedActive);
    QFETCH(int, expectedSet);
    if (storedActive != QLatin1String("-"))
        m->store.setString(QStringLiteral("activePaletteID"), storedActive);
    m->palettes.setPalettes(setsOf(roles));
    const QList<SymbolPalette> sets = m->palettes.palettes();

    construct();
    QVERIFY(m->shift.started);
    // Nothing happens before the loop turns: AppState finishes building first.
    QVERIFY(!m->state->isKeyboardVisible());
    QCOMPARE(m->panelLog.created, 0);

    QCoreApplication::processEvents();
    QVERIFY(m->state->isKeyboardVisible());
    QCOMPARE(m->panelLog.created, 1);
    QCOMPARE(m->panelLog.fronts, 1);
    if (expectedSet >= 0) {
        QCOMPARE(m->state->activePaletteID(), sets.at(expectedSet).idText());
    } else {
        QCOMPARE(m->store.contains(QStringLiteral("activePaletteID")), storedActive != QLatin1String("-"));
        QCOMPARE(m->state->activePaletteID(), storedActive == QLatin1String("-") ? QString() : storedActive);
    }
    // Defaults are never written by themselves.
    for (const char* key : {"keyboardSize", "temporaryCustomCharacters", "separateCustomSymbols"})
        QVERIFY2(!m->store.contains(QString::fromLatin1(key)), key);
}

// The state keeps no copy of its persisted fields: whoever changes them in
// the store, this process or another one sharing the file, the views hear of it.
void TestKeyboardState::persistedFieldsAreTheStores() {
    KeyboardState& state = configured(setsOf(QStringLiteral("MA")));
    QSignalSpy size(&state, &KeyboardState::keyboardSizeChanged);
    QSignalSpy changed(&state, &KeyboardState::changed);
    SettingsStore other(m->config.path());

    other.setString(QStringLiteral("keyboardSize"), QStringLiteral("Full"));
    QTRY_COMPARE(state.keyboardSize(), KeyboardSize::Full);
    other.setString(QStringLiteral("keyboardSize"), QStringLiteral("full")); // anything else is compact
    QTRY_COMPARE(state.keyboardSize(), KeyboardSize::Compact);
    QCOMPARE(size.count(), 2);

    state.setSeparateCustomSymbols(false);
    state.setTemporaryCustomCharacters(QStringLiteral("é"));
    state.selectQuickAccessSet(1);
    QCOMPARE(m->store.string(QStringLiteral("temporaryCustomCharacters")), QStringLiteral("é"));
    QCOMPARE(changed.count(), 5);
    state.setSeparateCustomSymbols(false); // the same again publishes nothing
    m->shift.setShift(true);
    QCoreApplication::processEvents();
    QCOMPARE(changed.count(), 6);
}

QTEST_GUILESS_MAIN(TestKeyboardState)
#include "tst_keyboardstate.moc"
