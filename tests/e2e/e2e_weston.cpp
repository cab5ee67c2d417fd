// Runeboard on a compositor without a virtual keyboard (a headless weston 10,
// which for typing is what GNOME and KDE Plasma are): `runeboard --type` types
// through Xwayland, exactly, into xterm and into a Qt line edit on xcb, and
// gives the keymap back as it found it.
#include "WestonSession.h"

#include <QTest>

namespace {
// 20 distinct symbols, one more than the spare keycodes, so keycodes are re-bound too: symbols no key
// of the us layout carries, a combining mark after a plain letter and an astral symbol. It starts
// with one of them.
const QString text = QStringLiteral("ąŋ∞ əɛʃ €₸ αβγ e\u0301 𝔸 abc ĄŊ");

enum class Receiver { Xterm, QtXcb };
} // namespace

class TestWeston : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        QString error;
        QVERIFY2(m_session.start(&error), qPrintable(error));
    }
    void cleanup() { m_session.endPrograms(); }

    void typedTextArrivesExactly_data() {
        QTest::addColumn<Receiver>("receiver");
        QTest::newRow("xterm") << Receiver::Xterm;
        QTest::newRow("Qt on xcb") << Receiver::QtXcb;
    }
    void typedTextArrivesExactly() {
        QFETCH(Receiver, receiver);
        const QString out = m_session.scratchPath(QStringLiteral("typed-%1.txt").arg(int(receiver)));
        const QString keymap = m_session.keymap();
        QVERIFY(!(receiver == Receiver::Xterm ? m_session.startXtermReceiver(out)
                                              : m_session.startLineEditReceiver(out))
                     .isEmpty());
        // As in a GNOME or Plasma session: Runeboard chooses its platform itself.
        QProcessEnvironment env = m_session.environment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
        const XSession::Result result =
            m_session.run(XSession::runeboardBinary(), {QStringLiteral("--type"), text}, 30000, env);
        QVERIFY2(result.finished && result.exitCode == 0, qPrintable(result.out + result.err));
        QCOMPARE(XSession::waitForFileText(out, text), text);
        QCOMPARE(m_session.keymap(), keymap);
    }

private:
    WestonSession m_session;
};

QTEST_GUILESS_MAIN(TestWeston)
#include "e2e_weston.moc"
