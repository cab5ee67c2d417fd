// The keyboard as a user meets it: a German compact panel of 226 × 90 whose
// keys type into the xterm that keeps the focus, and a close button that hides it.
#include "XSession.h"

#include "keyboard/view/KeyboardLayout.h"
#include "palettes/PaletteManager.h"
#include "storage/SettingsStore.h"

#include <QDir>
#include <QTest>

namespace {

const QString panelTitle = QStringLiteral("Runeboard Keyboard");

QString artifact(const QString& name) {
    const QString dir = qEnvironmentVariable("RUNEBOARD_ARTIFACTS", QDir::tempPath());
    QDir().mkpath(dir);
    return QDir(dir).filePath(name);
}

// A fresh configuration whose main set (shown at launch) is the German preset.
bool prepareGermanConfiguration(const XSession& session) {
    SettingsStore store(session.configHome() + QStringLiteral("/runeboard/runeboard.conf"));
    PaletteManager palettes(store, QStringLiteral("en"));
    QUuid german;
    for (const SymbolPalette& p : palettes.palettes())
        if (p.name == QLatin1String("preset_german"))
            german = p.id;
    palettes.setMainPalette(german);
    return !german.isNull() && palettes.mainPalette() && palettes.mainPalette()->id == german;
}

} // namespace

class TestKeyboardViewEndToEnd : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void germanKeysTypeIntoTheFocusedXterm() {
        XSession session;
        QString error;
        QVERIFY2(session.start(&error), qPrintable(error));
        QVERIFY(prepareGermanConfiguration(session));

        const QString received = session.scratchPath(QStringLiteral("received.txt"));
        const QString xterm = session.startXtermReceiver(received);
        QVERIFY(!xterm.isEmpty());
        QProcess* runeboard = session.launch(XSession::runeboardBinary(), {});
        QVERIFY(runeboard->state() == QProcess::Running);

        QString panel;
        QVERIFY(XSession::waitFor([&] { return !(panel = session.findWindowByName(panelTitle)).isEmpty(); }));
        QList<int> g;
        QVERIFY2(XSession::waitFor([&] {
                     g = session.windowGeometry(panel);
                     return g[2] == 226 && g[3] == 90;
                 }),
                 qPrintable(QStringLiteral("panel is %1 × %2").arg(g[2]).arg(g[3])));
        QCOMPARE(session.activeWindow(), xterm);
        session.screenshot(artifact(QStringLiteral("e2e-german-compact.png")));

        KeyboardLayoutInput in;
        in.baseSymbols = {QStringLiteral("ä"), QStringLiteral("ö"), QStringLiteral("ü"), QStringLiteral("ß")};
        const KeyboardLayout layout = KeyboardLayout::compute(in);
        QString expected;
        for (const QString& key : in.baseSymbols) {
            const QPointF c = layout.toView(layout.key(key, false)->frame).center();
            session.xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"),
                             QString::number(g[0] + int(c.x())), QString::number(g[1] + int(c.y())),
                             QStringLiteral("click"), QStringLiteral("1")});
            expected += key;
            QCOMPARE(XSession::waitForFileText(received, expected), expected);
            QCOMPARE(session.activeWindow(), xterm);
        }

        const QPointF close = layout.closeButton().center();
        session.xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"),
                         QString::number(g[0] + int(close.x())), QString::number(g[1] + int(close.y())),
                         QStringLiteral("click"), QStringLiteral("1")});
        QVERIFY(XSession::waitFor([&] { return session.findWindowByName(panelTitle).isEmpty(); }));
        QCOMPARE(session.activeWindow(), xterm);
        QCOMPARE(XSession::readFile(received), expected);
    }
};

QTEST_GUILESS_MAIN(TestKeyboardViewEndToEnd)
#include "e2e_keyboard_view.moc"
