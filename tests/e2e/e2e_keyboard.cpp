// The keyboard as a user meets it: a German compact panel whose keys type into
// the xterm that keeps the focus; the add field takes the typing from the real
// keyboard and gives the focus back after the commit; the new key types and is
// still there after a restart; the close button hides the panel.
#include "XSession.h"

#include "keyboard/view/KeyboardLayout.h"
#include "palettes/PaletteManager.h"
#include "storage/SettingsStore.h"

#include <QDir>
#include <QImage>
#include <QTest>

namespace {

const QString panelTitle = QStringLiteral("Runeboard Keyboard");
const QString eng = QStringLiteral("ŋ");

QString artifact(const QString& name) {
    const QString dir = qEnvironmentVariable("RUNEBOARD_ARTIFACTS", QDir::tempPath());
    QDir().mkpath(dir);
    return QDir(dir).filePath(name);
}

KeyboardLayout germanLayout(const QStringList& custom, bool adding) {
    KeyboardLayoutInput in;
    in.baseSymbols = SymbolPalette::graphemes(QStringLiteral("äöüß"));
    in.customSymbols = custom;
    in.isAddingMode = adding;
    in.activeAddingSection = 1;
    return KeyboardLayout::compute(in);
}

} // namespace

class TestKeyboardEndToEnd : public QObject {
    Q_OBJECT

    XSession m_session;
    QString m_panel;
    QList<int> m_geometry;

    bool waitForPanel(const QSizeF& size) {
        return XSession::waitFor([&] {
            m_panel = m_session.findWindowByName(panelTitle);
            if (m_panel.isEmpty())
                return false;
            m_geometry = m_session.windowGeometry(m_panel);
            return m_geometry[2] == qRound(size.width()) && m_geometry[3] == qRound(size.height());
        });
    }

    void clickAt(const QPointF& viewPoint) {
        // From elsewhere, as a hand would come: a window mapped under a resting pointer
        // has seen no pointer motion yet.
        m_session.xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QStringLiteral("5"),
                           QStringLiteral("5")});
        m_session.xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"),
                           QString::number(m_geometry[0] + int(viewPoint.x())),
                           QString::number(m_geometry[1] + int(viewPoint.y())), QStringLiteral("click"),
                           QStringLiteral("1")});
    }

    // The empty field shows its text cursor once it has the keyboard focus.
    bool fieldShowsCursor(const QRectF& field) {
        const QString shot = m_session.scratchPath(QStringLiteral("panel.png"));
        if (!m_session.screenshot(shot))
            return false;
        const QImage image(shot);
        const QRect r = field.translated(m_geometry[0], m_geometry[1]).toRect().adjusted(8, 6, -8, -6);
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                if (qGray(image.pixel(x, y)) > 140) // the face is darker than 100 inside its bevel
                    return true;
        return false;
    }

    // Puts ŋ on a keycode that carries nothing, as a user who types it would have. (xdotool's own
    // on-the-fly remapping races with the program reading the keymap.)
    bool giveEngAKey() {
        int free = -1;
        for (const QString& line : m_session.keymap().split(u'\n')) {
            const QStringList parts = line.simplified().split(u' ');
            if (parts.size() == 3 && parts[0] == QLatin1String("keycode") && parts[2] == QLatin1String("="))
                free = parts[1].toInt();
        }
        if (free < 0)
            return false;
        m_session.run(QStringLiteral("xmodmap"),
                      {QStringLiteral("-e"), QStringLiteral("keycode %1 = eng ENG").arg(free)});
        return XSession::waitFor([&] { return m_session.keymap().contains(QStringLiteral("eng")); });
    }

private Q_SLOTS:
    void typeAddKeepAndClose() {
        QString error;
        QVERIFY2(m_session.start(&error), qPrintable(error));
        {
            SettingsStore store(m_session.configHome() + QStringLiteral("/runeboard/runeboard.conf"));
            PaletteManager palettes(store, QStringLiteral("en"));
            // A copy: setting the main set rewrites the manager's list.
            const QList<SymbolPalette> all = palettes.palettes();
            for (const SymbolPalette& p : all)
                if (p.name == QLatin1String("preset_german"))
                    palettes.setMainPalette(p.id);
        }
        const QString received = m_session.scratchPath(QStringLiteral("received.txt"));
        const QString xterm = m_session.startXtermReceiver(received);
        QVERIFY(!xterm.isEmpty());
        QProcess* runeboard = m_session.launch(XSession::runeboardBinary(), {});
        const KeyboardLayout plain = germanLayout({}, false);
        QCOMPARE(plain.size(), QSizeF(226, 90));
        QVERIFY(waitForPanel(plain.size()));
        QCOMPARE(m_session.activeWindow(), xterm);
        m_session.screenshot(artifact(QStringLiteral("e2e-german-compact.png")));

        QString expected;
        for (const QString& key : SymbolPalette::graphemes(QStringLiteral("äöüß"))) {
            clickAt(plain.toView(plain.key(key, false)->frame).center());
            expected += key;
            QCOMPARE(XSession::waitForFileText(received, expected), expected);
            QCOMPARE(m_session.activeWindow(), xterm);
        }

        // The add key opens the field and the panel takes the focus.
        clickAt(plain.toView(plain.element(KeyboardElementKind::AddKey)->frame).center());
        const KeyboardLayout adding = germanLayout({}, true);
        QVERIFY(waitForPanel(adding.size()));
        QVERIFY(XSession::waitFor([&] { return m_session.activeWindow() == m_panel; }));
        const QRectF field = adding.toView(adding.element(KeyboardElementKind::AddField)->frame);
        const bool cursor = XSession::waitFor([&] { return fieldShowsCursor(field); });
        m_session.screenshot(artifact(QStringLiteral("e2e-add-field.png")));
        QVERIFY(cursor);
        QVERIFY(giveEngAKey());
        m_session.xdotool({QStringLiteral("key"), QStringLiteral("eng")});
        m_session.xdotool({QStringLiteral("key"), QStringLiteral("Return")});

        // Committed: the field closes, the xterm has the focus again, the new key is there and types.
        const KeyboardLayout added = germanLayout({eng}, false);
        const bool focusBack = XSession::waitFor([&] { return m_session.activeWindow() == xterm; });
        m_session.screenshot(artifact(QStringLiteral("e2e-added.png")));
        QVERIFY(focusBack);
        QVERIFY(waitForPanel(added.size()));
        clickAt(added.toView(added.key(eng, true)->frame).center());
        expected += eng;
        QCOMPARE(XSession::waitForFileText(received, expected), expected);
        QCOMPARE(m_session.activeWindow(), xterm);

        // Quit and start again: the symbol was stored, its key is there and still types.
        QCOMPARE(m_session.run(XSession::runeboardBinary(), {QStringLiteral("--quit")}).exitCode, 0);
        QVERIFY(runeboard->waitForFinished(10000));
        m_session.launch(XSession::runeboardBinary(), {});
        QVERIFY(waitForPanel(added.size()));
        clickAt(added.toView(added.key(eng, true)->frame).center());
        expected += eng;
        const QString typed = XSession::waitForFileText(received, expected);
        m_session.screenshot(artifact(QStringLiteral("e2e-after-restart.png")));
        QCOMPARE(typed, expected);

        // The close button hides the panel and leaves the focus where it was.
        clickAt(added.closeButton().center());
        QVERIFY(XSession::waitFor([&] { return m_session.findWindowByName(panelTitle).isEmpty(); }));
        QCOMPARE(m_session.activeWindow(), xterm);
        QCOMPARE(XSession::readFile(received), expected);
    }
};

QTEST_GUILESS_MAIN(TestKeyboardEndToEnd)
#include "e2e_keyboard.moc"
