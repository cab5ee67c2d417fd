// Runeboard on KDE Plasma on Wayland (a headless KWin 5.27 with Xwayland):
// what `runeboard --type` types arrives exactly in a GTK 4 entry and a Qt line
// edit on Wayland (pasted through KWin's fake input) and in an xterm (the X11
// engine); twenty fast clicks on the panel arrive in order, the focus stays in
// the receiver and the clipboard is as the user left it; the toggle hotkey, a
// KDE global shortcut, fires over a Wayland window and follows re-recording, and
// so do the digit hotkeys that switch sets;
// a binary that no installed entry names says why, and its own entry lets it type.
#include "DesktopHotkeyChecks.h"
#include "DesktopPanel.h"
#include "KwinSession.h"

#include "platform/kde/KwinFakeInputSetup.h"

#include <QTest>

namespace {
using DesktopPanel::text;
const QStringList& panelKeys = DesktopPanel::keys;

enum class Receiver { Gtk4, QtWayland, Xterm };
} // namespace

class TestKde : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        QString error;
        QVERIFY2(m_session.start(&error), qPrintable(error));
    }
    void cleanup() { m_session.endPrograms(); }

    void typedTextArrivesExactly_data() {
        QTest::addColumn<Receiver>("receiver");
        QTest::newRow("GTK 4 on Wayland") << Receiver::Gtk4;
        QTest::newRow("Qt on Wayland") << Receiver::QtWayland;
        QTest::newRow("xterm on Xwayland") << Receiver::Xterm;
    }
    void typedTextArrivesExactly() {
        QFETCH(Receiver, receiver);
        const QString out = m_session.scratchPath(QStringLiteral("typed-%1.txt").arg(int(receiver)));
        QVERIFY(start(receiver, out));
        const XSession::Result result =
            m_session.run(XSession::runeboardBinary(), {QStringLiteral("--type"), text});
        QVERIFY2(result.finished && result.exitCode == 0, qPrintable(result.out + result.err));
        QVERIFY2(result.err.isEmpty(), qPrintable(result.err));
        QCOMPARE(XSession::waitForFileText(out, text), text);
    }

    void panelClicksArriveInOrder_data() {
        QTest::addColumn<Receiver>("receiver");
        QTest::newRow("GTK 4 on Wayland") << Receiver::Gtk4;
        QTest::newRow("Qt on Wayland") << Receiver::QtWayland;
    }
    void panelClicksArriveInOrder() {
        QFETCH(Receiver, receiver);
        // What the user copied last stays theirs.
        const QString copied = QStringLiteral("copied before: ŋ 😀");
        QVERIFY(m_session.startGtkEntry(m_session.scratchPath(QStringLiteral("copier.txt")), copied));
        QVERIFY(XSession::waitFor([&] { return m_session.clipboardText() == copied; }));
        const QString out = m_session.scratchPath(QStringLiteral("clicks-%1.txt").arg(int(receiver)));
        QVERIFY(start(receiver, out));
        QVERIFY(m_runeboard.start());

        QList<QPoint> points;
        for (const QString& key : panelKeys)
            points.append(m_runeboard.keyCentre(key));
        QVERIFY(m_session.click(points));
        const QString all = panelKeys.join(QString());
        QCOMPARE(XSession::waitForFileText(out, all, 20000), all);
        QVERIFY(XSession::waitFor([&] { return m_session.clipboardText() == copied; }));
        // The receiver kept the focus: what is typed next arrives there too.
        QVERIFY(!m_session.x11Active());
        const XSession::Result typed =
            m_session.run(XSession::runeboardBinary(), {QStringLiteral("--type"), QStringLiteral("!")});
        QCOMPARE(typed.exitCode, 0);
        QCOMPARE(XSession::waitForFileText(out, all + u'!'), all + u'!');
    }

    void toggleHotkeyFiresOverAWaylandWindowAndFollowsRecording() {
        DesktopHotkeyChecks::toggleFollowsRecording(m_session, startReceiver(), startRuneboardFor());
    }

    void digitHotkeysSwitchSets() {
        DesktopHotkeyChecks::digitsSwitchSets(m_session, startReceiver(), startRuneboardFor());
    }

    void anUnlistedBinaryIsToldAndItsOwnEntryLetsItType() {
        // A Runeboard that no installed entry names, as one unpacked or built elsewhere is.
        const QString copy = m_session.scratchPath(QStringLiteral("elsewhere/runeboard"));
        QVERIFY(QDir().mkpath(QFileInfo(copy).path()) && QFile::copy(XSession::runeboardBinary(), copy));
        m_session.handOver(QFileInfo(copy).path());
        const QString out = m_session.scratchPath(QStringLiteral("unlisted.txt"));
        QVERIFY(start(Receiver::Gtk4, out));
        const XSession::Result refused = m_session.run(copy, {QStringLiteral("--type"), QStringLiteral("ŋ")});
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(
            (refused.out + refused.err).contains(QLatin1String("KWin does not let Runeboard press keys")),
            qPrintable(refused.out + refused.err));

        // What Settings' Turn On writes; KWin reads it within a second or so.
        QFile entry(m_session.applicationsFolder() + QStringLiteral("/runeboard-kwin.desktop"));
        QVERIFY(entry.open(QIODevice::WriteOnly));
        entry.write(KwinFakeInputSetup::entry(QFileInfo(copy).canonicalFilePath()));
        entry.close();
        m_session.handOver(m_session.applicationsFolder());
        QVERIFY(XSession::waitFor(
            [&] {
                return m_session.run(copy, {QStringLiteral("--type"), QStringLiteral("ə")}).exitCode == 0;
            },
            20000));
        QCOMPARE(XSession::waitForFileText(out, QStringLiteral("ə")), QStringLiteral("ə"));
    }

private:
    DesktopHotkeyChecks::StartReceiver startReceiver() {
        return [this](bool xterm, const QString& out) {
            return start(xterm ? Receiver::Xterm : Receiver::Gtk4, out);
        };
    }
    DesktopHotkeyChecks::StartRuneboard startRuneboardFor() {
        return [this](const QString& preset) { return m_runeboard.start(preset); };
    }
    bool start(Receiver receiver, const QString& out) {
        switch (receiver) {
        case Receiver::Gtk4:
            return m_session.startGtkEntry(out);
        case Receiver::QtWayland:
            return m_session.startLineEdit(out);
        case Receiver::Xterm:
            return m_session.startXterm(out);
        }
        return false;
    }

    KwinSession m_session;
    DesktopPanel::Runeboard<KwinSession> m_runeboard{m_session};
};

QTEST_GUILESS_MAIN(TestKde)
#include "e2e_kde.moc"
