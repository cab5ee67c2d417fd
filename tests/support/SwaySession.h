#pragma once

#include "UserSession.h"

#include <QJsonObject>

// A private headless sway (wlroots) for one end-to-end test executable, with
// Xwayland as its X display; as `nobody` when the tests run as root, and so
// is every program started here (see UserSession).
class SwaySession : public UserSession {
public:
    ~SwaySession() override;

    bool start(QString* error);
    // WAYLAND_DISPLAY, DISPLAY (Xwayland), XDG folders and a UTF-8 locale.
    QProcessEnvironment environment() const override;

    // The focused window of sway's tree ("app_id", or X11 "class"), or empty.
    QString focusedWindow();
    // foot running `cat > file` (echo and line buffering off); true once it has the focus.
    bool startFoot(const QString& outputFile);
    // The Qt line edit writing its text to the file, on Wayland or on xcb; true once it has the focus.
    bool startLineEdit(const QString& outputFile, bool xwayland);
    // A left click at a point of the output, with the seat's one pointer.
    bool click(int x, int y);

private:
    bool startReceiver(const QString& outputFile, const QString& focused, const QString& program,
                       const QStringList& arguments, const QProcessEnvironment& env = {});

    QString m_ipc;
    std::unique_ptr<QProcess> m_pointer; // the seat's one pointer, for the whole session
};
