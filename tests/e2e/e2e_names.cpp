// Symbols found by name on a real X server with openbox: `runeboard --find`
// prints the best match first; words typed into the panel's add field offer
// the symbols they name beside the panel, in a window that never takes the
// focus; a click on one adds it to the set, the focus goes back to the
// program the user was typing into, and the new key types there.
#include "XSession.h"

#include "keyboard/view/fields/CandidateStrip.h"
#include "keyboard/view/layout/KeyboardLayout.h"
#include "sets/SetStore.h"
#include "storage/SettingsStore.h"

#include <QTest>

#include <algorithm>

namespace {
const QString panelTitle = QStringLiteral("Runeboard Keyboard");
const QString candidatesTitle = QStringLiteral("Runeboard Candidates");

KeyboardLayout germanLayout(const QStringList& custom) {
    KeyboardLayoutInput in;
    in.baseSymbols = SymbolSet::graphemes(QStringLiteral("äöüß"));
    in.customSymbols = custom;
    return KeyboardLayout::compute(in);
}
} // namespace

class TestNames : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void findPrintsTheBestMatchFirst_data();
    void findPrintsTheBestMatchFirst();
    void aCandidateClickedIsAddedAndTheFocusGoesBack();

private:
    // Clicks a point of a window, coming from a corner as a hand would.
    void click(const QList<int>& window, const QPointF& at);

    XSession m_session;
};

void TestNames::initTestCase() {
    QString error;
    QVERIFY2(m_session.start(&error), qPrintable(error));
    QVERIFY2(QFileInfo(XSession::runeboardBinary()).isExecutable(), "RUNEBOARD_BINARY is not set");
}

void TestNames::findPrintsTheBestMatchFirst_data() {
    QTest::addColumn<QStringList>("words");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("firstLine");
    QTest::newRow("words cut short") << QStringList{"--find", "lat", "sm", "eng"} << 0
                                     << QStringLiteral("ŋ\tU+014B\tlatin small letter eng");
    QTest::newRow("one argument") << QStringList{"--find=arrow right"} << 0
                                  << QStringLiteral("→\tU+2192\tright-pointing arrow");
    QTest::newRow("nothing matches") << QStringList{"--find", "qqzzx"} << 1 << QString();
}

void TestNames::findPrintsTheBestMatchFirst() {
    QFETCH(QStringList, words);
    QFETCH(int, exitCode);
    QFETCH(QString, firstLine);
    const XSession::Result found = m_session.run(XSession::runeboardBinary(), words);
    QVERIFY2(found.finished, qPrintable(found.err));
    QCOMPARE(found.exitCode, exitCode);
    QCOMPARE(found.out.section(u'\n', 0, 0), firstLine);
    QCOMPARE(found.err.isEmpty(), exitCode == 0);
}

void TestNames::click(const QList<int>& window, const QPointF& at) {
    m_session.xdotool(
        {QStringLiteral("mousemove"), QStringLiteral("--sync"), QStringLiteral("5"), QStringLiteral("5")});
    m_session.xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"),
                       QString::number(window[0] + int(at.x())), QString::number(window[1] + int(at.y())),
                       QStringLiteral("click"), QStringLiteral("1")});
}

void TestNames::aCandidateClickedIsAddedAndTheFocusGoesBack() {
    {
        SettingsStore store(m_session.configHome() + QStringLiteral("/runeboard/runeboard.conf"));
        SetStore sets(store, QStringLiteral("en"));
        const QList<SymbolSet> all = sets.sets(); // setting the main set rewrites the list
        sets.setMainSet(std::ranges::find(all, QStringLiteral("preset_german"), &SymbolSet::name)->id);
    }
    const QString typed = m_session.scratchPath(QStringLiteral("typed.txt"));
    const QString xterm = m_session.startXtermReceiver(typed);
    QVERIFY(!xterm.isEmpty());
    m_session.launch(XSession::runeboardBinary(), {});
    QList<int> panel;
    const auto panelHasSize = [&](const QSizeF& size) {
        return XSession::waitFor([&] {
            panel = m_session.windowGeometry(m_session.findWindowByName(panelTitle));
            return panel[2] == qRound(size.width()) && panel[3] == qRound(size.height());
        });
    };
    const KeyboardLayout plain = germanLayout({});
    QVERIFY(panelHasSize(plain.size()));
    QCOMPARE(m_session.activeWindow(), xterm);

    // The panel borrows the focus for its add field, which takes the typing 100 ms later.
    click(panel, plain.toView(plain.element(KeyboardElementKind::AddKey)->frame).center());
    QVERIFY(XSession::waitFor([&] { return m_session.activeWindow() != xterm; }));
    // Nothing outside tells when the line edit has it: until then the keys go nowhere, so the
    // words are typed again, over whatever arrived, until candidates show.
    QString strip;
    for (int attempt = 0; attempt < 5 && strip.isEmpty(); ++attempt) {
        m_session.xdotool({QStringLiteral("key"), QStringLiteral("ctrl+a"), QStringLiteral("BackSpace")});
        m_session.xdotool(
            {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("60"), QStringLiteral("eng")});
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
    QVERIFY(panelHasSize(grown.size()));
    QVERIFY(XSession::waitFor([&] { return m_session.activeWindow() == xterm; }));
    QVERIFY(XSession::waitFor([&] { return m_session.findWindowByName(candidatesTitle).isEmpty(); }));

    click(panel, grown.toView(grown.key(QStringLiteral("ŋ"), true)->frame).center());
    QCOMPARE(XSession::waitForFileText(typed, QStringLiteral("ŋ")), QStringLiteral("ŋ"));
    QCOMPARE(m_session.activeWindow(), xterm);
}

QTEST_GUILESS_MAIN(TestNames)
#include "e2e_names.moc"
