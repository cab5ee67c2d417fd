// The KDE backend's rules that need no KWin: when a session counts as Plasma
// on Wayland, the keys a hotkey becomes for KDE's global shortcuts, and the
// desktop entry that lets KWin lend its fake input to a binary.
#include "platform/kde/KdeHotkeyService.h"
#include "platform/kde/KdePlatform.h"
#include "platform/kde/KwinFakeInputSetup.h"

#include <QTest>

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
        constexpr uint keyK = 37, key1 = 2, keyF1 = 59, keySpace = 57, keyMinus = 12, keyNone = 240;
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
        QTest::newRow("Ctrl+Super+1")
            << key1 << int(HotkeyModifier::Control | HotkeyModifier::Super)
            << QList<int>{combined(Qt::ControlModifier | Qt::MetaModifier, Qt::Key_1)};
        QTest::newRow("F1") << keyF1 << 0 << QList<int>{int(Qt::Key_F1)};
        QTest::newRow("Alt+Space") << keySpace << int(HotkeyModifier::Alt)
                                   << QList<int>{combined(Qt::AltModifier, Qt::Key_Space)};
        QTest::newRow("punctuation") << keyMinus << int(HotkeyModifier::Control)
                                     << QList<int>{combined(Qt::ControlModifier, Qt::Key_Minus)};
        QTest::newRow("a key without a symbol") << keyNone << altShift << QList<int>{};
    }
    void hotkeysBecomeQtKeys() {
        QFETCH(uint, key);
        QFETCH(int, modifiers);
        QFETCH(QList<int>, expected);
        QCOMPARE(KdeHotkeyService::qtKeys(key, HotkeyModifiers::fromInt(modifiers)), expected);
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
};

QTEST_GUILESS_MAIN(TestKde)
#include "tst_kde.moc"
