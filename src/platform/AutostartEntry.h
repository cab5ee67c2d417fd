#pragma once

#include <QString>

// Runeboard's entry in the session's autostart folder, where XDG desktops look
// for programs to start: $XDG_CONFIG_HOME/autostart/runeboard.desktop, ~/.config
// standing in for an unset or relative XDG_CONFIG_HOME. The file is the only
// record of the choice: the user or the desktop's own tools may remove or
// disable it at any time, so its state is read from the file on every call.
class AutostartEntry {
public:
    // configHome: the folder that holds autostart/; empty follows the environment at each call.
    explicit AutostartEntry(QString configHome = {});

    QString filePath() const;

    // The file exists and does not tell the session to skip it (Hidden=true,
    // or GNOME's X-GNOME-Autostart-enabled=false).
    bool isEnabled() const;

    // The running program's path as the file system spells it; empty when
    // it cannot be found.
    static QByteArray runningProgram();

    // Writes the entry so that the session starts `executable` (an absolute
    // path, as the file system spells it). False, with one line saying why,
    // when it cannot be written.
    bool enable(const QByteArray& executable, QString* error);
    // Removes the entry; an absent one is no failure.
    bool disable(QString* error);

    // The desktop entry that starts `executable`; empty for a path that an
    // Exec line cannot carry (control characters, a relative path).
    static QString entryText(const QString& executable);

private:
    QString m_configHome;
};
