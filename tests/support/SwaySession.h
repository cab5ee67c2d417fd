#pragma once

#include "XSession.h"

#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>
#include <vector>

// A private headless sway (wlroots) for one end-to-end test executable, with
// Xwayland. sway refuses to run as root, so when the tests run as root it
// runs as `nobody`, and so does every program started here: Xwayland admits
// only clients of sway's own user. Everything is ended when the session goes away.
class SwaySession {
public:
    SwaySession();
    ~SwaySession();
    SwaySession(const SwaySession&) = delete;
    SwaySession& operator=(const SwaySession&) = delete;

    bool start(QString* error);

    QString configHome() const { return m_dir.filePath(QStringLiteral("config")); }
    // A folder every program here may write to.
    QString scratchPath(const QString& name) const {
        return m_dir.filePath(QStringLiteral("scratch/") + name);
    }
    // WAYLAND_DISPLAY, DISPLAY (Xwayland), XDG folders and a UTF-8 locale.
    QProcessEnvironment environment() const;

    QProcess* launch(const QString& program, const QStringList& arguments,
                     const QProcessEnvironment& env = {});
    XSession::Result run(const QString& program, const QStringList& arguments, int timeoutMs = 30000,
                         const QProcessEnvironment& env = {});
    // Makes what root wrote under the configuration the session user's.
    void handOver(const QString& path);

    // The focused window of sway's tree ("app_id" or X11 "class", else its name), or empty.
    QString focusedWindow();
    // foot running `cat > file` (echo and line buffering off); true once it has the focus.
    bool startFoot(const QString& outputFile);
    // The Qt line edit writing its text to the file, on Wayland or on xcb; true once it has the focus.
    bool startLineEdit(const QString& outputFile, bool xwayland);
    // A left click at a point of the output, with the session's one virtual pointer.
    bool click(int x, int y);
    // Ends the programs started so far (the session stays).
    void endPrograms();

private:
    QStringList asSessionUser(const QString& program, const QStringList& arguments, QString* command) const;
    QJsonObject tree();

    QTemporaryDir m_dir;
    QString m_runtime;
    QString m_display;
    std::unique_ptr<QProcess> m_sway;
    QProcess* m_pointer = nullptr;
    std::vector<std::unique_ptr<QProcess>> m_processes;
};
