// Symbols found by name on a real X server with openbox: `runeboard --find`
// prints the best match first; words typed into the panel's add field offer
// the symbols they name beside the panel, in a window that never takes the
// focus; a click on one adds it to the set, the focus goes back to the
// program the user was typing into, and the new key types there. A screen
// reader (AT-SPI on a private D-Bus) finds the panel's keys by their names,
// and pressing one through its action types it into xterm, which keeps the focus.
// A set exported to a file imports back identical into a fresh configuration.
#include "GermanPanel.h"
#include "ScreenReader.h"

#include "keyboard/view/fields/CandidateStrip.h"

#include <QFile>
#include <QTest>

#include <algorithm>

namespace {
const QString panelTitle = QStringLiteral("Runeboard Keyboard");
const QString candidatesTitle = QStringLiteral("Runeboard Candidates");
} // namespace

class TestNames : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        QString error;
        QVERIFY2(m_session.start(&error), qPrintable(error));
        QVERIFY2(QFileInfo(XSession::runeboardBinary()).isExecutable(), "RUNEBOARD_BINARY is not set");
    }

    void findPrintsTheBestMatchFirst_data() {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("firstLine");
        QTest::newRow("words cut short") << QStringList{"--find", "lat", "sm", "eng"} << 0
                                         << QStringLiteral("ŋ\tU+014B\tlatin small letter eng");
        QTest::newRow("one argument")
            << QStringList{"--find=arrow right"} << 0 << QStringLiteral("→\tU+2192\tright-pointing arrow");
        QTest::newRow("nothing matches") << QStringList{"--find", "qqzzx"} << 1 << QString();
    }

    void findPrintsTheBestMatchFirst() {
        QFETCH(QStringList, words);
        QFETCH(int, exitCode);
        QFETCH(QString, firstLine);
        const XSession::Result found = m_session.run(XSession::runeboardBinary(), words);
        QVERIFY2(found.finished, qPrintable(found.err));
        QCOMPARE(found.exitCode, exitCode);
        QCOMPARE(found.out.section(u'\n', 0, 0), firstLine);
        QCOMPARE(found.err.isEmpty(), exitCode == 0);
    }

    void aCandidateClickedIsAddedAndTheFocusGoesBack() {
        chooseGermanPreset(m_session.configHome());
        const QString typed = m_session.scratchPath(QStringLiteral("typed.txt"));
        const QString xterm = m_session.startXtermReceiver(typed);
        QVERIFY(!xterm.isEmpty());
        m_runeboard = m_session.launch(XSession::runeboardBinary(), {});
        QList<int> panel;
        const KeyboardLayout plain = germanLayout();
        QVERIFY(m_session.waitForWindowSize(panelTitle, plain.size(), panel));
        QCOMPARE(m_session.activeWindow(), xterm);

        // The panel borrows the focus for its add field, which takes the typing 100 ms later.
        click(panel, plain.toView(plain.element(KeyboardElementKind::AddKey)->frame).center());
        QVERIFY(XSession::waitFor([&] { return m_session.activeWindow() != xterm; }));
        // Nothing outside tells when the line edit has it: until then the keys go nowhere, so the
        // words are typed again, over whatever arrived, until candidates show.
        QString strip;
        for (int attempt = 0; attempt < 5 && strip.isEmpty(); ++attempt) {
            m_session.xdotool(QStringLiteral("key ctrl+a BackSpace"));
            m_session.xdotool(QStringLiteral("type --delay 60 eng"));
            strip = m_session.waitForWindow(candidatesTitle, 2000);
        }
        QVERIFY2(!strip.isEmpty(), "no candidates were offered for 'eng'");
        const QString focused = m_session.activeWindow();
        QVERIFY(focused != xterm && focused != strip); // the panel keeps it while the field is open

        // "eng" offers ŋ first.
        const QList<int> stripGeometry = m_session.windowGeometry(strip);
        click(stripGeometry,
              CandidateStrip::keyRect(0, KeyboardMetrics::forSize(KeyboardSize::Compact)).center());
        const KeyboardLayout grown = germanLayout({QStringLiteral("ŋ")});
        QVERIFY(m_session.waitForWindowSize(panelTitle, grown.size(), panel));
        QVERIFY(XSession::waitFor([&] { return m_session.activeWindow() == xterm; }));
        QVERIFY(XSession::waitFor([&] { return m_session.findWindowByName(candidatesTitle).isEmpty(); }));

        click(panel, grown.toView(grown.key(QStringLiteral("ŋ"), true)->frame).center());
        QCOMPARE(XSession::waitForFileText(typed, QStringLiteral("ŋ")), QStringLiteral("ŋ"));
        QCOMPARE(m_session.activeWindow(), xterm);
    }

    void aScreenReaderReadsTheKeysAndPressesThem() {
        ScreenReader reader(m_session);
        QVERIFY(reader.isRunning());
        chooseGermanPreset(m_session.configHome());
        const QString typed = m_session.scratchPath(QStringLiteral("read.txt"));
        const QString xterm = m_session.startXtermReceiver(typed);
        QVERIFY(!xterm.isEmpty());
        m_runeboard =
            m_session.launch(XSession::runeboardBinary(), {}, reader.environment(m_session.environment()));
        QVERIFY(!m_session.waitForWindow(panelTitle).isEmpty());

        const QString key = QStringLiteral("ä, latin small letter a with diaeresis");
        const QStringList expected{key, QStringLiteral("ß, latin small letter sharp s"),
                                   QStringLiteral("Add Symbol"), QStringLiteral("Hide Keyboard")};
        QVERIFY(reader.findsAll(expected, false));
        const QList<ScreenReader::Object> objects = reader.objects(false);
        const auto found = std::ranges::find(objects, key, &ScreenReader::Object::name);
        for (const QString& twice : {QStringLiteral("ä"), QStringLiteral("ää")}) {
            QVERIFY(reader.press(*found));
            QCOMPARE(XSession::waitForFileText(typed, twice), twice);
            QCOMPARE(m_session.activeWindow(), xterm);
        }
        m_session.xdotool(QStringLiteral("windowkill ") + xterm);
    }

    void anExportedSetImportsBackIdenticalOnAFreshConfiguration() {
        {
            SettingsStore store(m_session.configHome() + QStringLiteral("/runeboard/runeboard.conf"));
            SetStore sets(store, QStringLiteral("en"));
            sets.addSet({QUuid::createUuid(), QStringLiteral("Phonetics"), QStringLiteral("əɛɔʃʒθðŋ"),
                         SymbolSet::joinedCustomSymbols(
                             {QStringLiteral("eng"), QStringLiteral("👩‍💻"), QStringLiteral("\\")})});
        }
        const QString first = m_session.scratchPath(QStringLiteral("phonetics.txt"));
        const QString second = m_session.scratchPath(QStringLiteral("phonetics-again.txt"));
        const XSession::Result exported =
            m_session.run(XSession::runeboardBinary(),
                          {QStringLiteral("--export-set"), QStringLiteral("phonetics"), first});
        QVERIFY2(exported.finished && exported.exitCode == 0, qPrintable(exported.err));

        QProcessEnvironment fresh = m_session.environment();
        fresh.insert(QStringLiteral("XDG_CONFIG_HOME"),
                     m_session.scratchPath(QStringLiteral("fresh-config")));
        const XSession::Result imported =
            m_session.run(XSession::runeboardBinary(), {QStringLiteral("--import-set"), first}, 30000, fresh);
        QVERIFY2(imported.finished && imported.exitCode == 0, qPrintable(imported.err));
        QVERIFY(imported.out.contains(QLatin1String("Phonetics")));
        const XSession::Result again = m_session.run(
            XSession::runeboardBinary(),
            {QStringLiteral("--export-set"), QStringLiteral("Phonetics"), second}, 30000, fresh);
        QVERIFY2(again.finished && again.exitCode == 0, qPrintable(again.err));
        const QString text = XSession::readFile(first);
        QVERIFY(text.contains(QStringLiteral("\nə\nɛ\n"))); // one key a line
        QCOMPARE(XSession::readFile(second), text);

        // A file that is no text is refused and the fresh configuration keeps what it had.
        const QString binary = m_session.scratchPath(QStringLiteral("binary.txt"));
        QVERIFY(XSession::writeFile(binary, QByteArray("\xff\xfe\x00\x01", 4)));
        const QString conf = m_session.scratchPath(QStringLiteral("fresh-config/runeboard/runeboard.conf"));
        const QString kept = XSession::readFile(conf);
        QVERIFY(!kept.isEmpty());
        const XSession::Result refused = m_session.run(
            XSession::runeboardBinary(), {QStringLiteral("--import-set"), binary}, 30000, fresh);
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(refused.err.contains(QLatin1String("not UTF-8 text")), qPrintable(refused.err));
        QCOMPARE(XSession::readFile(conf), kept);
    }

    void cleanup() {
        if (!m_runeboard || m_runeboard->state() == QProcess::NotRunning)
            return;
        m_session.run(XSession::runeboardBinary(), {QStringLiteral("--quit")});
        if (!m_runeboard->waitForFinished(10000))
            m_runeboard->kill();
    }

private:
    // Clicks a point of a window, coming from a corner as a hand would.
    void click(const QList<int>& window, const QPointF& at) {
        m_session.clickFromCorner(window[0] + int(at.x()), window[1] + int(at.y()));
    }

    XSession m_session;
    QProcess* m_runeboard = nullptr;
};

QTEST_GUILESS_MAIN(TestNames)
#include "e2e_names.moc"
