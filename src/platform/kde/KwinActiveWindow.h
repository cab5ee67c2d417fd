#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QHash>
#include <QObject>
#include <QString>

// Which kind of window KWin has made active, as far as the paste keystroke
// cares: a terminal pastes the clipboard only with Ctrl+Shift+V. On Wayland no
// program may ask which window has the focus, so a small KWin script, loaded
// over D-Bus for as long as this object lives, reports every activation to it
// on the session bus. While the script is not loaded (no KWin on the bus, a
// KWin without scripting, a refusal) the kind of window is not known.
class KwinActiveWindow : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.runeboard.Runeboard.KwinActiveWindow")
public:
    enum class State { Loading, Following, Unavailable };

    explicit KwinActiveWindow(QDBusConnection bus, QObject* parent = nullptr);
    ~KwinActiveWindow() override;

    State state() const { return m_state; }
    bool terminalActive() const { return m_terminal; }

    // Whether a window with these names (X11 resource class and name, or a Wayland app id, and
    // its desktop file) is a terminal.
    static bool isTerminal(const QStringList& names);

public Q_SLOTS:
    // Called by the script; only KWin is listened to.
    Q_SCRIPTABLE void Activated(const QString& resourceClass, const QString& resourceName,
                                const QString& desktopFileName);

Q_SIGNALS:
    // The first report came, or the script will not report at all.
    void settled();

private:
    void load();
    void run(int id);
    void giveUp(const QString& why);
    // Whether the desktop file of that name lists the program as a terminal emulator.
    bool declaresTerminal(const QString& desktopFileName);

    QDBusConnection m_bus;
    State m_state = State::Loading;
    bool m_terminal = false;
    QString m_kwin; // KWin's unique name on the bus
    QString m_scriptPath;
    QHash<QString, bool> m_declared;
};
