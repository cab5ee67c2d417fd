#pragma once

#include "UserSession.h"

#include <QJsonObject>
#include <QPoint>

// A private headless GNOME Shell for one end-to-end test executable: its own
// session bus, a stand-in system bus (the shell will not run without one),
// Runeboard's GNOME Shell extension installed and enabled in the session's
// home, and a test aid extension that reports the focus, hides the overview
// the shell starts in, and drives a virtual pointer and keyboard. Xwayland is
// its X display. As `nobody` when the tests run as root, and so is every
// program started here (see UserSession).
class GnomeSession : public UserSession {
public:
    struct Focus {
        QString title; // of the focused window, empty when none has the focus
        bool x11 = false;
        bool textInput = false; // a text field there takes the shell's input method
        bool operator==(const Focus&) const = default;
    };

    ~GnomeSession() override;

    // Installs the extensions, starts the shell and waits until it is ready for programs.
    bool start(QString* error);
    // WAYLAND_DISPLAY, DISPLAY and XAUTHORITY (Xwayland), the session bus, XDG folders, a UTF-8 locale.
    QProcessEnvironment environment() const override;

    Focus focus();
    // A GTK 3 or 4 window with one entry that writes its text to the file; with clipboard text it
    // also copies that. True once it has the focus.
    bool startGtkEntry(int version, const QString& outputFile, const QString& clipboard = {});
    // The Qt line edit on Wayland (no text-input there: it takes the paste route); true once focused.
    bool startLineEdit(const QString& outputFile);
    // An xterm running `cat > file`; true once focused.
    bool startXterm(const QString& outputFile);

    // Left clicks at each point in turn, as fast as the shell's virtual pointer goes.
    bool click(const QList<QPoint>& points);
    // Presses, then releases, evdev key codes in the given orders.
    bool keys(const QList<uint>& press, const QList<uint>& release);
    // The clipboard's text, read from the X11 side.
    QString clipboardText();
    // gdbus in the session, as the session's user.
    Result gdbus(const QStringList& arguments);

private:
    QProcessEnvironment desktopEnvironment() const;
    Result aid(const QString& method, const QStringList& arguments = {});
    // The test aid's view of the shell: focus, overview, Xwayland; empty when it does not answer.
    QJsonObject info();
    bool startReceiver(const QString& title, const QString& outputFile, const QString& program,
                       const QStringList& arguments, const QProcessEnvironment& env = {});
    bool installExtension(const QString& from, const QString& uuid, QString* error);

    std::unique_ptr<QProcess> m_systemBus;
    QString m_xauthority;
    QString m_busAddress;
    int m_receivers = 0;
};
