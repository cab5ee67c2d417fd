#pragma once

#include "UserSession.h"

#include <QPoint>

// A private headless KWin (Plasma's compositor) for one end-to-end test
// executable, in a session bus of its own, with Xwayland as its X display.
// kwin_wayland is installed with a file capability that a container will not
// grant, so a plain copy of it runs. KWin lends fake input only to programs
// that an installed desktop file names: the session's home has one for
// Runeboard and one for the test tool that clicks and presses keys. As
// `nobody` when the tests run as root, and so is every program started here
// (see UserSession).
class KwinSession : public UserSession {
public:
    ~KwinSession() override;

    // Makes the entry at `desktopFile` (absolute) Plasma's virtual keyboard, as System Settings
    // does; before start(), which then waits until KWin has started it and it listens.
    void chooseInputMethod(const QString& desktopFile) { m_inputMethod = desktopFile; }
    // Starts KWin and waits until it and its Xwayland take programs.
    bool start(QString* error);
    // WAYLAND_DISPLAY, DISPLAY (Xwayland), the session bus, XDG folders, a UTF-8 locale, KDE's names.
    QProcessEnvironment environment() const override;

    // A GTK entry (3 or 4) on Wayland that writes its text to the file; with clipboard text it also
    // copies that. True once it is there (KWin focuses a new window).
    bool startGtkEntry(const QString& outputFile, const QString& clipboard = {}, int version = 4);
    // The Qt line edit on Wayland; true once it is there.
    bool startLineEdit(const QString& outputFile);
    // Konsole on Wayland running `cat > file`; true once KWin has made it the active window.
    bool startKonsole(const QString& outputFile);
    // An xterm running `cat > file`; true once KWin has made it the active window.
    bool startXterm(const QString& outputFile);
    // Whether KWin says the focused window's text field takes input (from Plasma's virtual keyboard).
    bool textInputFocused();
    // Turns Plasma's virtual keyboard off or on, as its tray icon does (KWin ends or starts it), and
    // waits until its socket is gone or there.
    bool enableInputMethod(bool on);
    // Whether an X11 window is KWin's active window (it names none while a Wayland window is).
    bool x11Active();

    // Left clicks at each point in turn, each handled before the next.
    bool click(const QList<QPoint>& points);
    // Presses, then releases, evdev key codes in the given orders.
    bool keys(const QList<uint>& press, const QList<uint>& release);
    // The clipboard's text, read on the Wayland side.
    QString clipboardText();
    // The session user's applications folder, where KWin looks for desktop entries.
    QString applicationsFolder() const { return m_dir.filePath(QStringLiteral(".local/share/applications")); }

private:
    // The session's folders and KDE's names.
    QProcessEnvironment desktopEnvironment() const;
    bool authorise(const QString& program, const QString& name);
    QString inputMethodSocket() const;
    QString findXwayland(qint64 kwin) const;

    QString m_busAddress;
    QString m_inputMethod;
    int m_receivers = 0;
};
