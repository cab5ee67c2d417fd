// Runeboard on KDE Plasma on Wayland (a headless KWin 5.27 with Xwayland):
// what `runeboard --type` types arrives exactly in a GTK 4 and a GTK 3 entry and a
// Qt line edit on Wayland (pasted through KWin's fake input, also while the user holds
// Shift, which stays held), in Konsole on Wayland (which pastes only on
// Ctrl+Shift+V) and in an xterm (the X11 engine); twenty fast clicks on the
// panel arrive in order, the focus stays in the receiver and the clipboard is
// as the user left it; the toggle hotkey, a KDE global shortcut, fires over a
// Wayland window and follows re-recording, and so do the digit hotkeys that
// switch sets, System Settings shows the defaults and keys given there are
// recorded; a binary that no installed entry names says why, and its own
// entry lets it type. A second pass chooses Runeboard as Plasma's virtual
// keyboard before KWin starts: the same text (Konsole's too) and clicks reach
// the Wayland programs through it, exactly, and the clipboard is never set at all.
#include "DesktopHotkeyChecks.h"
#include "DesktopPanel.h"
#include "KwinSession.h"

#include "platform/kde/KwinFakeInputSetup.h"
#include "platform/kde/KwinInputMethodEntry.h"

#include <QTest>

namespace {
using DesktopPanel::text;
const QStringList& panelKeys = DesktopPanel::keys;

enum class Receiver { Gtk4, QtWayland, Konsole, Xterm, Gtk3 };
constexpr uint keyLeftShift = 42, keyA = 30;
} // namespace

class TestKde : public QObject {
    Q_OBJECT
public:
    explicit TestKde(bool inputMethod)
        : m_inputMethod(inputMethod) {}

private Q_SLOTS:
    void initTestCase() {
        if (m_inputMethod) {
            const QString entry =
                m_session.applicationsFolder() + QStringLiteral("/runeboard-input-method.desktop");
            QVERIFY(QDir().mkpath(m_session.applicationsFolder()));
            QFile file(entry);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(
                KwinInputMethodEntry::entry(QFileInfo(XSession::runeboardBinary()).canonicalFilePath()));
            file.close();
            m_session.chooseInputMethod(entry);
        }
        QString error;
        QVERIFY2(m_session.start(&error), qPrintable(error));
    }
    void cleanup() {
        if (std::exchange(m_shiftHeld, false))
            m_session.keys({}, {keyLeftShift});
        m_session.endPrograms();
    }

    void typedTextArrivesExactly_data() {
        QTest::addColumn<Receiver>("receiver");
        QTest::addColumn<bool>("shiftHeld");
        QTest::newRow("GTK 4 on Wayland") << Receiver::Gtk4 << false;
        QTest::newRow("Qt on Wayland") << Receiver::QtWayland << false;
        QTest::newRow("xterm on Xwayland") << Receiver::Xterm << false;
        QTest::newRow("Konsole on Wayland") << Receiver::Konsole << false;
        // It reads a paste slowly: the clipboard must not change hands, nor `--type` end, before it is done.
        QTest::newRow("GTK 3 on Wayland") << Receiver::Gtk3 << false;
        QTest::newRow("GTK 4 on Wayland, Shift held") << Receiver::Gtk4 << true;
        QTest::newRow("Qt on Wayland, Shift held") << Receiver::QtWayland << true;
    }
    void typedTextArrivesExactly() {
        QFETCH(Receiver, receiver);
        QFETCH(bool, shiftHeld);
        if (m_inputMethod && shiftHeld)
            QSKIP("a question of the paste keys only");
        const QString out =
            m_session.scratchPath(QStringLiteral("typed-%1-%2.txt").arg(int(receiver)).arg(shiftHeld));
        QVERIFY(start(receiver, out));
        // Held as a user holding Shift while clicking would.
        if (shiftHeld)
            QVERIFY(m_shiftHeld = m_session.keys({keyLeftShift}, {}));
        // Something on the clipboard, which the watch below reports first.
        if (m_inputMethod)
            m_session.launch(QStringLiteral("wl-copy"), {QStringLiteral("--foreground"), QStringLiteral("--"),
                                                         QStringLiteral("before")});
        const QString changes = watchClipboard(QStringLiteral("typed-%1").arg(int(receiver)));
        const XSession::Result result =
            m_session.run(XSession::runeboardBinary(), {QStringLiteral("--type"), text});
        QVERIFY2(result.finished && result.exitCode == 0, qPrintable(result.out + result.err));
        QVERIFY2(result.err.isEmpty(), qPrintable(result.err));
        QCOMPARE(XSession::waitForFileText(out, text), text);
        if (shiftHeld) {
            // The paste keys let go of no Shift of the user's.
            QVERIFY(m_session.keys({keyA}, {keyA}));
            QCOMPARE(XSession::waitForFileText(out, text + u'A'), text + u'A');
        }
        if (m_inputMethod && receiver != Receiver::Xterm)
            QCOMPARE(heldOnly(changes), QStringLiteral("before"));
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
        const QString changes = watchClipboard(QStringLiteral("clicks-%1").arg(int(receiver)));

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
        // Pasting takes the clipboard and gives it back; Plasma's virtual keyboard never touches it.
        if (m_inputMethod)
            QCOMPARE(heldOnly(changes), copied);
    }

    void aVirtualKeyboardTurnedOffAndOnAgainIsFollowed() {
        if (!m_inputMethod)
            QSKIP("only where Runeboard is Plasma's virtual keyboard");
        const QString out = m_session.scratchPath(QStringLiteral("restarted.txt"));
        QVERIFY(start(Receiver::Gtk4, out));
        QVERIFY(m_runeboard.start());
        // Without it, symbols are pasted.
        QVERIFY(m_session.enableInputMethod(false));
        QVERIFY(m_session.click({m_runeboard.keyCentre(panelKeys.at(0))}));
        QCOMPARE(XSession::waitForFileText(out, panelKeys.at(0)), panelKeys.at(0));
        // KWin starts a new one, and the running Runeboard finds it.
        QVERIFY(m_session.enableInputMethod(true));
        m_session.launch(QStringLiteral("wl-copy"),
                         {QStringLiteral("--foreground"), QStringLiteral("--"), QStringLiteral("before")});
        const QString changes = watchClipboard(QStringLiteral("restarted"));
        QVERIFY(XSession::waitFor([&] {
            return m_runeboard.said().contains(
                QLatin1String("[InputMethodLink] Plasma's virtual keyboard is"));
        }));
        QVERIFY(m_session.click({m_runeboard.keyCentre(panelKeys.at(1))}));
        const QString both = panelKeys.at(0) + panelKeys.at(1);
        QCOMPARE(XSession::waitForFileText(out, both), both);
        QCOMPARE(heldOnly(changes), QStringLiteral("before"));
    }

    void toggleHotkeyFiresOverAWaylandWindowAndFollowsRecording() {
        if (m_inputMethod)
            QSKIP("the same whichever way symbols go");
        DesktopHotkeyChecks::toggleFollowsRecording(m_session, startReceiver(), startRuneboardFor());
    }

    void digitHotkeysSwitchSets() {
        if (m_inputMethod)
            QSKIP("the same whichever way symbols go");
        DesktopHotkeyChecks::digitsSwitchSets(m_session, startReceiver(), startRuneboardFor());
    }

    // System Settings → Shortcuts offers Runeboard's defaults, and keys given there become Runeboard's.
    void plasmasShortcutSettingsAndRuneboardsAgree() {
        if (m_inputMethod)
            QSKIP("the same whichever way symbols go");
        QVERIFY(m_runeboard.start());
        const QString action =
            QStringLiteral("['runeboard','toggle-keyboard','Runeboard','Show or hide the keyboard']");
        const auto call = [&](const QString& method, const QStringList& arguments) {
            const QString command = QStringLiteral("call --session --dest org.kde.kglobalaccel --object-path "
                                                   "/kglobalaccel --method org.kde.KGlobalAccel.");
            return m_session.run(QStringLiteral("gdbus"), (command + method).split(u' ') + arguments)
                .out.trimmed();
        };
        const int altShiftK = QKeyCombination(Qt::AltModifier | Qt::ShiftModifier, Qt::Key_K).toCombined();
        QVERIFY(XSession::waitFor([&] {
            return call(QStringLiteral("defaultShortcut"), {action}) ==
                   QStringLiteral("([%1],)").arg(altShiftK);
        }));
        const int controlAltJ =
            QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_J).toCombined();
        // As System Settings gives it: a key sequence of four codes.
        call(QStringLiteral("setForeignShortcutKeys"),
             {action, QStringLiteral("[([%1, 0, 0, 0],)]").arg(controlAltJ)});
        const Hotkey given{DesktopHotkeyChecks::keyJ, HotkeyModifier::Control | HotkeyModifier::Alt};
        QVERIFY(XSession::waitFor([&] {
            SettingsStore store(m_session.configHome() + QStringLiteral("/runeboard/runeboard.conf"));
            return HotkeySettings(store).hotkey(KeyboardAction::ToggleKeyboard) == given;
        }));
    }

    void anUnlistedBinaryIsToldAndItsOwnEntryLetsItType() {
        if (m_inputMethod)
            QSKIP("the same whichever way symbols go");
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
    // On the second pass, a file with a line for every time the clipboard has changed hands, with what
    // it held (the first for what it holds now), once the focused field is Plasma's virtual keyboard's (a new
    // window enables it a moment after it takes the focus).
    QString watchClipboard(const QString& name) {
        const QString changes = m_session.scratchPath(QStringLiteral("clipboard-%1.txt").arg(name));
        if (!m_inputMethod || m_session.x11Active())
            return changes;
        m_session.launch(QStringLiteral("wl-paste"),
                         {QStringLiteral("--watch"), QStringLiteral("sh"), QStringLiteral("-c"),
                          QStringLiteral("cat >> \"$0\"; echo >> \"$0\""), changes});
        if (!XSession::waitFor(
                [&] { return m_session.textInputFocused() && !XSession::readFile(changes).isEmpty(); }))
            qWarning("The focused field never became the input method's");
        return changes;
    }

    // What the clipboard held each time, when always the same; all of it otherwise.
    static QString heldOnly(const QString& changes) {
        QStringList held = XSession::readFile(changes).split(u'\n');
        held.removeLast(); // after the last line feed
        if (held.isEmpty())
            return {};
        return QSet<QString>(held.cbegin(), held.cend()).size() == 1 ? held.first() : held.join(u'|');
    }

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
        case Receiver::Gtk3:
            return m_session.startGtkEntry(out, {}, 3);
        case Receiver::QtWayland:
            return m_session.startLineEdit(out);
        case Receiver::Konsole:
            return m_session.startKonsole(out);
        case Receiver::Xterm:
            return m_session.startXterm(out);
        }
        return false;
    }

    const bool m_inputMethod;
    bool m_shiftHeld = false;
    KwinSession m_session;
    DesktopPanel::Runeboard<KwinSession> m_runeboard{m_session};
};

int main(int argc, char* argv[]) {
    const QCoreApplication app(argc, argv);
    int failed = 0;
    for (const bool inputMethod : {false, true}) {
        TestKde test(inputMethod);
        failed += QTest::qExec(&test, argc, argv);
    }
    return failed;
}
#include "e2e_kde.moc"
