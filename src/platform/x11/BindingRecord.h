#pragma once

#include "platform/typing/KeymapSnapshot.h"

#include <QList>
#include <QMap>
#include <QString>

#include <functional>

// While Runeboard has symbols bound to spare keycodes, a small file under
// $XDG_RUNTIME_DIR/runeboard/ names them (one file per process). If the process
// dies without giving them back, the next start on the same display finds the
// file and clears every keycode that still carries what the file says.
class BindingRecord {
public:
    using Bindings = QMap<quint8, QList<quint32>>; // keycode → keysyms it may carry

    struct Leftover {
        QString path;
        qint64 pid = 0;
        Bindings bindings;
    };

    BindingRecord(QString directory, QString display, qint64 pid);

    static QString defaultDirectory();
    // ":0.0", "unix:0" and ":0" name the same display.
    static QString normalizedDisplay(const QString& display);
    // True when `pid` is a live process running `program` (a pid can be
    // recycled for another program once the recorded one has died).
    static bool processIsRunning(qint64 pid, const QString& program);

    QString path() const { return m_path; }

    // Replaces the file's content; an empty map removes the file. False when the
    // file cannot be written (the reason is in errorString()).
    bool write(const Bindings& bindings);
    QString errorString() const { return m_error; }
    void remove();

    // Files of processes that are gone, for this display.
    QList<Leftover>
    leftovers(const std::function<bool(qint64, const QString&)>& isRunning = processIsRunning) const;
    // The keycodes of a leftover that still carry exactly what it recorded.
    static QList<quint8> keycodesToClear(const Leftover& leftover, const KeymapSnapshot& keymap);

private:
    QString m_directory;
    QString m_display;
    qint64 m_pid;
    QString m_path;
    QString m_error;
};
