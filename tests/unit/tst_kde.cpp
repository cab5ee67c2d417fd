// The KDE backend's rules that need no KWin: when a session counts as Plasma
// on Wayland, the keys a hotkey becomes for KDE's global shortcuts, and the
// desktop entry that lets KWin lend its fake input to a binary; which active
// windows get a terminal's paste keys; the text that
// Plasma's virtual keyboard commits (in pieces a Wayland message holds) and the
// socket between it and Runeboard.
#include "platform/kde/InputMethodLink.h"
#include "platform/kde/InputMethodService.h"
#include "platform/kde/KdeHotkeyService.h"
#include "platform/kde/KdePlatform.h"
#include "platform/kde/KwinActiveWindow.h"
#include "platform/kde/KwinFakeInputSetup.h"
#include "platform/kde/KwinInputMethod.h"
#include "platform/kde/KwinInputMethodEntry.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBoundaryFinder>

#include <QTest>

#include <sys/stat.h>

#include <csignal>

class TestKde : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void recognisesPlasmaOnWayland_data() {
        QTest::addColumn<QByteArray>("desktop");
        QTest::addColumn<QByteArray>("sessionType");
        QTest::addColumn<QByteArray>("waylandDisplay");
        QTest::addColumn<bool>("kde");
        QTest::newRow("Plasma") << QByteArray("KDE") << QByteArray("wayland") << QByteArray("wayland-0")
                                << true;
        QTest::newRow("no session type, a Wayland display")
            << QByteArray("KDE") << QByteArray() << QByteArray("wayland-0") << true;
        QTest::newRow("Plasma on X11") << QByteArray("KDE") << QByteArray("x11") << QByteArray() << false;
        QTest::newRow("GNOME") << QByteArray("GNOME") << QByteArray("wayland") << QByteArray("wayland-0")
                               << false;
        QTest::newRow("a longer word")
            << QByteArray("KDEConnect") << QByteArray("wayland") << QByteArray() << false;
    }
    void recognisesPlasmaOnWayland() {
        QFETCH(QByteArray, desktop);
        QFETCH(QByteArray, sessionType);
        QFETCH(QByteArray, waylandDisplay);
        QFETCH(bool, kde);
        QCOMPARE(KdePlatform::isKdeWayland(desktop, sessionType, waylandDisplay), kde);
    }

    void hotkeysBecomeQtKeys_data() {
        QTest::addColumn<uint>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QList<int>>("expected");
        constexpr uint keyK = 37, key1 = 2, keyF1 = 59, keySpace = 57, keyNone = 240;
        const int altShift = int(HotkeyModifier::Alt | HotkeyModifier::Shift);
        const auto combined = [](Qt::KeyboardModifiers modifiers, Qt::Key key) {
            return QKeyCombination(modifiers, key).toCombined();
        };
        // Letters are the upper-case codes whatever Shift says; the modifiers are Qt's.
        QTest::newRow("Alt+Shift+K") << keyK << altShift
                                     << QList<int>{combined(Qt::AltModifier | Qt::ShiftModifier, Qt::Key_K)};
        // KWin names Shift+1 by its shifted symbol alone: both forms are taken.
        QTest::newRow("Alt+Shift+1") << key1 << altShift
                                     << QList<int>{combined(Qt::AltModifier | Qt::ShiftModifier, Qt::Key_1),
                                                   combined(Qt::AltModifier, Qt::Key_Exclam)};
        QTest::newRow("F1") << keyF1 << 0 << QList<int>{int(Qt::Key_F1)};
        QTest::newRow("Alt+Space") << keySpace << int(HotkeyModifier::Alt)
                                   << QList<int>{combined(Qt::AltModifier, Qt::Key_Space)};
        QTest::newRow("a key without a symbol") << keyNone << altShift << QList<int>{};
    }
    void hotkeysBecomeQtKeys() {
        QFETCH(uint, key);
        QFETCH(int, modifiers);
        QFETCH(QList<int>, expected);
        QCOMPARE(KdeHotkeyService::qtKeys(key, HotkeyModifiers::fromInt(modifiers)), expected);
        // System Settings gives back either form.
        for (int code : expected)
            QCOMPARE(KdeHotkeyService::fromQtKey(code), std::pair(key, HotkeyModifiers::fromInt(modifiers)));
    }

    void terminalsAreKnownByAnyOfTheirNames_data() {
        QTest::addColumn<QStringList>("names"); // resource class, resource name, desktop file
        QTest::addColumn<bool>("terminal");
        QTest::newRow("reverse-domain app id") << QStringList{"org.wezfurlong.wezterm", "", ""} << true;
        QTest::newRow("X11 class in capitals") << QStringList{"Alacritty", "", ""} << true;
        QTest::newRow("desktop file only") << QStringList{"", "", "footclient.desktop"} << true;
        QTest::newRow("an editor") << QStringList{"org.kde.kate", "kate", "org.kde.kate"} << false;
        QTest::newRow("a longer word") << QStringList{"kittycat", "", ""} << false;
        QTest::newRow("no active window") << QStringList{"", "", ""} << false;
    }
    void terminalsAreKnownByAnyOfTheirNames() {
        QFETCH(QStringList, names);
        QFETCH(bool, terminal);
        QCOMPARE(KwinActiveWindow::isTerminal(names), terminal);
    }

    void theEntryNamesTheBinaryAsOneWord_data() {
        QTest::addColumn<QString>("executable");
        QTest::addColumn<QString>("exec");
        QTest::newRow("plain") << QStringLiteral("/opt/rb/runeboard") << QStringLiteral("/opt/rb/runeboard");
        QTest::newRow("with a space")
            << QStringLiteral("/home/a b/runeboard") << QStringLiteral("\"/home/a b/runeboard\"");
        QTest::newRow("with a quote")
            << QStringLiteral("/home/a\"b c/runeboard") << QStringLiteral("\"/home/a\\\"b c/runeboard\"");
    }
    void theEntryNamesTheBinaryAsOneWord() {
        QFETCH(QString, executable);
        QFETCH(QString, exec);
        const QString entry = QString::fromUtf8(KwinFakeInputSetup::entry(executable));
        QVERIFY2(entry.contains(u'\n' + QStringLiteral("Exec=") + exec + u'\n'), qPrintable(entry));
        QVERIFY(entry.contains(QStringLiteral("\nX-KDE-Wayland-Interfaces=org_kde_kwin_fake_input\n")));
    }

    void anEntryCountsOnlyWhenItStartsThisBinary_data() {
        QTest::addColumn<QByteArray>("entry");
        QTest::addColumn<QString>("binary");
        QTest::addColumn<bool>("counts");
        const QString installedBinary = QStringLiteral("/usr/bin/runeboard");
        const QString elsewhere = QStringLiteral("/opt/my apps/runeboard");
        QFile template_(QFINDTESTDATA("../../resources/desktop/runeboard-input-method.desktop.in"));
        QVERIFY(template_.open(QIODevice::ReadOnly));
        const QByteArray installed =
            template_.readAll().replace("@RUNEBOARD_INSTALLED_BINARY@", "/usr/bin/runeboard");
        QTest::newRow("the package's, for its binary") << installed << installedBinary << true;
        QTest::newRow("the package's, for another") << installed << elsewhere << false;
        QTest::newRow("its own, the path quoted")
            << KwinInputMethodEntry::entry(elsewhere) << elsewhere << true;
        QTest::newRow("without fake input") << KwinInputMethodEntry::entry(elsewhere).replace(
                                                   "X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input\n", "")
                                            << elsewhere << false;
    }
    void anEntryCountsOnlyWhenItStartsThisBinary() {
        QFETCH(QByteArray, entry);
        QFETCH(QString, binary);
        QFETCH(bool, counts);
        QCOMPARE(KwinInputMethodEntry::startsExecutable(entry, binary), counts);
    }

    void longTextGoesInPiecesAWaylandMessageHolds_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("betweenClusters");
        QTest::newRow("short") << QStringLiteral("ŋ👩\u200D💻") << true;
        QTest::newRow("ASCII over a piece") << QString(5000, u'a') << true;
        QTest::newRow("emoji sequences and marks at the cuts")
            << QStringLiteral("👩\u200D💻e\u0301𝔸").repeated(400) << true;
        QTest::newRow("one letter with thousands of marks") << u'a' + QString(3000, QChar(0x301)) << false;
    }
    void longTextGoesInPiecesAWaylandMessageHolds() {
        QFETCH(QString, text);
        QFETCH(bool, betweenClusters);
        QTextBoundaryFinder clusters(QTextBoundaryFinder::Grapheme, text);
        QByteArray joined;
        for (const QByteArray& piece : KwinInputMethod::pieces(text, 2048)) {
            QVERIFY(!piece.isEmpty() && piece.size() <= 2048);
            QCOMPARE(QString::fromUtf8(piece).toUtf8(), piece); // whole characters
            joined += piece;
            clusters.setPosition(QString::fromUtf8(joined).size());
            QVERIFY(!betweenClusters || clusters.isAtBoundary());
        }
        QCOMPARE(QString::fromUtf8(joined), text);
    }

    void textCrossesTheInputMethodSocketWhicheverStartsFirst_data() {
        QTest::addColumn<InputMethodService::Outcome>("outcome");
        QTest::addColumn<QString>("text");
        const QString mixed = QStringLiteral("line\nbreak 𝔸 👩\u200D💻 e\u0301");
        QTest::newRow("typed") << InputMethodService::Outcome::Typed << mixed;
        QTest::newRow("no field") << InputMethodService::Outcome::NoField << mixed;
        QTest::newRow("focus moved meanwhile") << InputMethodService::Outcome::Unsure << mixed;
        // Far more than a socket's buffer takes at once: the request goes in several writes.
        QTest::newRow("a text of hundreds of kilobytes")
            << InputMethodService::Outcome::Typed << QString(300000, QChar(u'ŋ'));
    }
    void textCrossesTheInputMethodSocketWhicheverStartsFirst() {
        QFETCH(InputMethodService::Outcome, outcome);
        QFETCH(QString, text);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("im.socket"));
        QString committed;
        InputMethodService service([&](const QString& text) {
            committed += text;
            return outcome;
        });
        InputMethodLink link(path);
        QVERIFY(!link.isConnected());
        QString error;
        QVERIFY2(service.listen(path, &error), qPrintable(error));
        QTRY_VERIFY(link.isConnected());
        struct stat socketFile {};
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &socketFile), 0);
        QCOMPARE(socketFile.st_mode & 0777, 0600u);

        QSignalSpy answered(&link, &InputMethodLink::answered);
        link.commit(text);
        QTRY_COMPARE(answered.size(), 1);
        QCOMPARE(answered.at(0).at(0).value<InputMethodService::Outcome>(), outcome);
        QCOMPARE(committed, text);
    }

    void anInputMethodGoneBeforeItAnswersLosesTheTextAndTheNextOneIsFollowed() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("im.socket"));
        auto silent = std::make_unique<QLocalServer>();
        QVERIFY(silent->listen(path));
        InputMethodLink link(path);
        QVERIFY(link.isConnected());
        QSignalSpy answered(&link, &InputMethodLink::answered);
        link.commit(QStringLiteral("ŋ"));
        QVERIFY(silent->waitForNewConnection(5000));
        QLocalSocket* peer = silent->nextPendingConnection();
        QTRY_VERIFY(peer->canReadLine());
        silent.reset(); // never answers
        QTRY_COMPARE(answered.size(), 1);
        QCOMPARE(answered.at(0).at(0).value<InputMethodService::Outcome>(),
                 InputMethodService::Outcome::Lost);

        InputMethodService next([](const QString&) { return InputMethodService::Outcome::Typed; });
        QString error;
        QVERIFY2(next.listen(path, &error), qPrintable(error));
        QTRY_VERIFY(link.isConnected());
        link.commit(QStringLiteral("ə"));
        QTRY_COMPARE(answered.size(), 2);
        QCOMPARE(answered.at(1).at(0).value<InputMethodService::Outcome>(),
                 InputMethodService::Outcome::Typed);
    }

    void anInputMethodEndingAfterItsSuccessorStartedLeavesItsSocket() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("im.socket"));
        auto typed = [](const QString&) { return InputMethodService::Outcome::Typed; };
        auto previous = std::make_unique<InputMethodService>(typed);
        InputMethodService successor(typed);
        QString error;
        QVERIFY2(previous->listen(path, &error), qPrintable(error));
        QVERIFY2(successor.listen(path, &error), qPrintable(error));
        previous.reset();
        InputMethodLink link(path);
        QVERIFY(link.isConnected());
        QSignalSpy answered(&link, &InputMethodLink::answered);
        link.commit(QStringLiteral("ŋ"));
        QTRY_COMPARE(answered.size(), 1);
        successor.close();
        QVERIFY(!QFile::exists(path));
    }

    void theInputMethodAnswersWholeRequestsAndCutsOffTheRest_data() {
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<bool>("hangUp");
        QTest::addColumn<QStringList>("committed"); // none: the sender is cut off
        QTest::newRow("two requests in one piece")
            << InputMethodService::request(QStringLiteral("ŋ")) +
                   InputMethodService::request(QStringLiteral("ə"))
            << false << QStringList{QStringLiteral("ŋ"), QStringLiteral("ə")};
        // Its answer has nobody to go to, which must not end the input method (SIGPIPE).
        QTest::newRow("a sender that hangs up right after its request")
            << InputMethodService::request(QStringLiteral("ŋ")) << true << QStringList{QStringLiteral("ŋ")};
        QTest::newRow("not base64") << QByteArray("ŋ not base64\n") << false << QStringList();
        QTest::newRow("not UTF-8") << QByteArray("\xff\xfe").toBase64() + '\n' << false << QStringList();
        QTest::newRow("a line over the limit")
            << QByteArray(InputMethodService::maximumLineBytes + 2, 'A') + '\n'
            << false << QStringList();
    }
    void theInputMethodAnswersWholeRequestsAndCutsOffTheRest() {
        QFETCH(QByteArray, sent);
        QFETCH(bool, hangUp);
        QFETCH(QStringList, committed);
        // Qt's own sockets, used here as the peer, ignore SIGPIPE for the whole process; Runeboard has none.
        const auto previous = std::signal(SIGPIPE, SIG_DFL);
        const auto restore = qScopeGuard([previous] { std::signal(SIGPIPE, previous); });
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("im.socket"));
        QStringList texts;
        InputMethodService service([&](const QString& text) {
            texts.append(text);
            return InputMethodService::Outcome::Typed;
        });
        QString error;
        QVERIFY2(service.listen(path, &error), qPrintable(error));
        QLocalSocket client;
        client.connectToServer(path);
        QVERIFY(client.waitForConnected(5000));
        client.write(sent);
        QVERIFY(client.flush());
        if (hangUp)
            client.abort();
        if (committed.isEmpty()) {
            QTRY_COMPARE_WITH_TIMEOUT(client.state(), QLocalSocket::UnconnectedState, 10000);
            QCOMPARE(texts, QStringList());
        } else {
            QTRY_COMPARE(texts, committed);
        }
        if (!hangUp && !committed.isEmpty()) {
            QTRY_COMPARE(client.bytesAvailable(), qint64(committed.size()) * 6);
            QCOMPARE(client.readAll(), QByteArray("typed\n").repeated(committed.size()));
        }

        QLocalSocket next; // the service goes on for others
        next.connectToServer(path);
        QVERIFY(next.waitForConnected(5000));
        next.write(InputMethodService::request(QStringLiteral("x")));
        QTRY_VERIFY(next.canReadLine());
        QCOMPARE(next.readLine(), QByteArray("typed\n"));
    }
};

QTEST_GUILESS_MAIN(TestKde)
#include "tst_kde.moc"
