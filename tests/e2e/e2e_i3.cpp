// The panel under i3, headless on Xvfb, with focus_follows_mouse off: i3
// focuses any window it manages when it is clicked, whatever the window
// declares. A click on a key types into xterm and xterm keeps the focus, click
// after click; the add field opens in a window of its own, takes the typing,
// and gives the focus back to xterm once it closes.
#include "GermanPanel.h"
#include "XSession.h"

#include <QTest>

namespace {
const QString panelTitle = QStringLiteral("Runeboard Keyboard");
} // namespace

class TestI3 : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        const QString config = m_session.scratchPath(QStringLiteral("i3.conf"));
        QVERIFY(XSession::writeFile(
            config, "# i3 config file (v4)\nfont pango:monospace 8\nfocus_follows_mouse no\n"));
        m_session.useWindowManager(QStringLiteral("i3"), {QStringLiteral("-c"), config});
        QString error;
        QVERIFY2(m_session.start(&error), qPrintable(error));
        QVERIFY2(QFileInfo(XSession::runeboardBinary()).isExecutable(), "RUNEBOARD_BINARY is not set");
    }

    void keysTypeIntoXtermThatKeepsTheFocusAndTheAddFieldGivesItBack() {
        chooseGermanPreset(m_session.configHome());
        const QString typed = m_session.scratchPath(QStringLiteral("typed.txt"));
        const QString xterm = m_session.startXtermReceiver(typed);
        QVERIFY(!xterm.isEmpty());
        m_session.launch(XSession::runeboardBinary(), {});
        const auto panelHasSize = [&](const QSizeF& size) {
            return m_session.waitForWindowSize(panelTitle, size, m_panel);
        };
        const KeyboardLayout plain = germanLayout();
        QVERIFY(panelHasSize(plain.size()));
        QCOMPARE(m_session.activeWindow(), xterm);

        QString expected;
        for (const QString& key : {QStringLiteral("ä"), QStringLiteral("ß"), QStringLiteral("ä")}) {
            click(plain, plain.key(key, false));
            expected += key;
            QCOMPARE(XSession::waitForFileText(typed, expected), expected);
            QCOMPARE(m_session.activeWindow(), xterm);
        }

        // The add field's own window takes the focus and the typing; committed, it gives the focus back.
        click(plain, plain.element(KeyboardElementKind::AddKey));
        QVERIFY(XSession::waitFor([&] { return m_session.activeWindow() != xterm; }));
        const XSession::Result added =
            m_session.run(XSession::runeboardBinary(), {QStringLiteral("--type"), QStringLiteral("ŋ\n")});
        QVERIFY2(added.finished && added.exitCode == 0, qPrintable(added.err));
        const KeyboardLayout grown = germanLayout({QStringLiteral("ŋ")});
        QVERIFY(panelHasSize(grown.size()));
        QVERIFY(XSession::waitFor([&] { return m_session.activeWindow() == xterm; }));
        click(grown, grown.key(QStringLiteral("ŋ"), true));
        expected += QStringLiteral("ŋ");
        QCOMPARE(XSession::waitForFileText(typed, expected), expected);
        QCOMPARE(m_session.activeWindow(), xterm);
    }

private:
    void click(const KeyboardLayout& layout, const KeyboardElement* element) {
        const QPointF at = layout.toView(element->frame).center();
        m_session.clickFromCorner(m_panel[0] + int(at.x()), m_panel[1] + int(at.y()));
    }

    XSession m_session;
    QList<int> m_panel; // x, y, width, height
};

QTEST_GUILESS_MAIN(TestI3)
#include "e2e_i3.moc"
