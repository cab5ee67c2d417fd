// `make demo`: Runeboard on a private display with a fresh configuration. Clicks
// a few keys into an xterm, checks what arrived, and saves screenshots of the
// keyboard (compact and full, with and without Shift) into the folder given.
#include "XSession.h"

#include "keyboard/view/layout/KeyboardLayout.h"
#include "sets/SetStore.h"
#include "storage/SettingsStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>

#include <cstdio>

namespace {

const QString panelTitle = QStringLiteral("Runeboard Keyboard");

void say(const QString& line) {
    std::fputs(qPrintable(line + u'\n'), stdout);
    std::fflush(stdout);
}

class Demo {
public:
    explicit Demo(QString outputDir)
        : m_out(std::move(outputDir)) {}

    bool run() {
        QString error;
        if (!m_session.start(&error))
            return fail(QStringLiteral("could not start the private display: ") + error);
        say(QStringLiteral("Private display %1 with openbox.").arg(m_session.display()));
        configure(KeyboardSize::Compact);

        const QString received = m_session.scratchPath(QStringLiteral("xterm.txt"));
        m_xterm = m_session.startXtermReceiver(received);
        if (m_xterm.isEmpty())
            return fail(QStringLiteral("the xterm did not start"));

        if (!startRuneboard())
            return false;
        say(QStringLiteral("Runeboard shows the German set, compact: %1 × %2.")
                .arg(m_geometry[2])
                .arg(m_geometry[3]));
        shoot(QStringLiteral("compact"));

        // Each click is checked before the next step, so Shift never overtakes a click.
        if (!clickKey(QStringLiteral("ä"), received, QStringLiteral("ä")) ||
            !clickKey(QStringLiteral("ß"), received, QStringLiteral("äß")))
            return false;
        const QImage plain = panelImage();
        m_session.xdotool({QStringLiteral("keydown"), QStringLiteral("shift")});
        // The labels turn upper case once the Shift monitor has seen the key.
        shootWhenChanged(QStringLiteral("compact-shift"), plain);
        const bool shifted = clickKey(QStringLiteral("ü"), received, QStringLiteral("äßÜ"));
        m_session.xdotool({QStringLiteral("keyup"), QStringLiteral("shift")});
        if (!shifted)
            return false;

        const QString expected = QStringLiteral("äßÜ");
        const QString got = XSession::waitForFileText(received, expected);
        if (got != expected)
            return fail(QStringLiteral("the xterm received \"%1\", expected \"%2\"").arg(got, expected));
        say(QStringLiteral("The xterm received \"%1\" and kept the focus: %2.")
                .arg(got,
                     m_session.activeWindow() == m_xterm ? QStringLiteral("yes") : QStringLiteral("NO")));
        if (m_session.activeWindow() != m_xterm)
            return fail(QStringLiteral("the keyboard took the focus"));

        m_session.run(XSession::runeboardBinary(), {QStringLiteral("--quit")});
        XSession::waitFor([this] { return m_session.findWindowByName(panelTitle).isEmpty(); });
        configure(KeyboardSize::Full);
        if (!startRuneboard())
            return false;
        say(QStringLiteral("Full size: %1 × %2.").arg(m_geometry[2]).arg(m_geometry[3]));
        shoot(QStringLiteral("full"));
        const QImage full = panelImage();
        m_session.xdotool({QStringLiteral("keydown"), QStringLiteral("shift")});
        shootWhenChanged(QStringLiteral("full-shift"), full);
        m_session.xdotool({QStringLiteral("keyup"), QStringLiteral("shift")});
        m_session.run(XSession::runeboardBinary(), {QStringLiteral("--quit")});
        say(QStringLiteral("Screenshots are in %1.").arg(QDir(m_out).absolutePath()));
        return true;
    }

private:
    bool fail(const QString& why) {
        say(QStringLiteral("Demo failed: ") + why);
        return false;
    }

    // A fresh configuration on the first call: the presets, German as the main set.
    void configure(KeyboardSize size) {
        SettingsStore store(m_session.configHome() + QStringLiteral("/runeboard/runeboard.conf"));
        SetStore sets(store, QStringLiteral("en"));
        QUuid german;
        for (const SymbolSet& p : sets.sets())
            if (p.name == QLatin1String("preset_german"))
                german = p.id;
        sets.setMainSet(german);
        store.setValue(SettingKey::KeyboardSize, rawString(size));
        KeyboardLayoutInput in;
        in.size = size;
        in.baseSymbols = SymbolSet::graphemes(QStringLiteral("äöüß"));
        m_layout = KeyboardLayout::compute(in);
    }

    bool startRuneboard() {
        m_session.launch(XSession::runeboardBinary(), {});
        const QSize size = m_layout.size().toSize();
        const bool shown = XSession::waitFor([&] {
            m_panel = m_session.findWindowByName(panelTitle);
            if (m_panel.isEmpty())
                return false;
            m_geometry = m_session.windowGeometry(m_panel);
            return m_geometry[2] == size.width() && m_geometry[3] == size.height();
        });
        if (!shown)
            return fail(
                QStringLiteral("no keyboard panel of %1 × %2 appeared").arg(size.width()).arg(size.height()));
        m_session.focusWindow(m_xterm);
        return true;
    }

    // Clicks a key and waits until the xterm holds `expected` in all.
    bool clickKey(const QString& key, const QString& received, const QString& expected) {
        const QPointF c = m_layout.toView(m_layout.key(key, false)->frame).center();
        m_session.xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"),
                           QString::number(m_geometry[0] + int(c.x())),
                           QString::number(m_geometry[1] + int(c.y())), QStringLiteral("click"),
                           QStringLiteral("1")});
        const QString got = XSession::waitForFileText(received, expected);
        say(QStringLiteral("Clicked %1; the xterm holds \"%2\".").arg(key, got));
        if (got != expected)
            return fail(QStringLiteral("expected \"%1\" in the xterm").arg(expected));
        return true;
    }

    // The panel's part of the screen.
    QImage panelImage() {
        const QString screen = m_session.scratchPath(QStringLiteral("screen.png"));
        if (!m_session.screenshot(screen))
            return {};
        return QImage(screen).copy(QRect(m_geometry[0], m_geometry[1], m_geometry[2], m_geometry[3]));
    }

    void save(const QImage& image, const QString& name) {
        QDir().mkpath(m_out);
        const QString path = QDir(m_out).filePath(QStringLiteral("keyboard-%1.png").arg(name));
        if (!image.isNull() && image.save(path))
            say(QStringLiteral("Saved %1.").arg(path));
        else
            say(QStringLiteral("Could not save the screenshot %1.").arg(path));
    }

    void shoot(const QString& name) { save(panelImage(), name); }

    // Waits until the panel looks different from `before` (Shift has reached it), then saves it.
    void shootWhenChanged(const QString& name, const QImage& before) {
        QImage now;
        if (!XSession::waitFor([&] { return (now = panelImage()) != before; }, 5000))
            say(QStringLiteral("The keyboard did not change for %1.").arg(name));
        save(now, name);
    }

    QString m_out;
    XSession m_session;
    QString m_xterm;
    QString m_panel;
    QList<int> m_geometry;
    KeyboardLayout m_layout;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2 || XSession::runeboardBinary().isEmpty()) {
        std::fputs("usage: RUNEBOARD_BINARY=… RUNEBOARD_E2E_TOOLS=… rb-demo OUTPUT_FOLDER\n", stderr);
        return 2;
    }
    return Demo(args[1]).run() ? 0 : 1;
}
