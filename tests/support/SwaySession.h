#pragma once

#include "XSession.h"

#include <QJsonObject>
#include <QPointer>

// A private headless sway (wlroots) for one end-to-end test executable, with
// Xwayland as its X display; as `nobody` when the tests run as root, and so
// is every program started here (see SessionUser).
class SwaySession : public XSession {
public:
    SwaySession();

    bool start(QString* error);
    // WAYLAND_DISPLAY, DISPLAY (Xwayland), XDG folders and a UTF-8 locale.
    QProcessEnvironment environment() const override;
    // Makes what root wrote under the configuration the session user's.
    void handOver(const QString& path);

    // The focused window of sway's tree ("app_id", or X11 "class"), or empty.
    QString focusedWindow();
    // foot running `cat > file` (echo and line buffering off); true once it has the focus.
    bool startFoot(const QString& outputFile);
    // The Qt line edit writing its text to the file, on Wayland or on xcb; true once it has the focus.
    bool startLineEdit(const QString& outputFile, bool xwayland);
    // A left click at a point of the output, with the session's one virtual pointer.
    bool click(int x, int y);

protected:
    QStringList commandLine(const QString& program, const QStringList& arguments) const override;

private:
    bool startReceiver(const QString& outputFile, const QString& focused, const QString& program,
                       const QStringList& arguments, const QProcessEnvironment& env = {});

    QString m_ipc;
    QPointer<QProcess> m_pointer;
};
