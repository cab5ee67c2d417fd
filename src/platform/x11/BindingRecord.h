#pragma once

#include "platform/typing/KeymapSnapshot.h"
#include "platform/x11/XkbKey.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>

#include <functional>

// While Runeboard has symbols bound to spare keycodes, a small file in the
// private runtime folder (see RuntimeFolder) names them, one file per process.
// If the process dies without giving them back, the next start on the same X
// server finds the file and clears what Runeboard can have bound there.
//
// A record is a claim about somebody's keymap, so it is believed only as far
// as it must be: it is read only from a private folder and only from a file of
// this user; it is applied only to the server it was written for (the display
// name alone may by then belong to another server); and a keycode is cleared
// only while it still has the shape of Runeboard's own bindings.
class BindingRecord {
public:
    using Bindings = QMap<quint8, QList<quint32>>; // keycode → keysyms it may carry

    struct Leftover {
        QString path;
        qint64 pid = 0;
        Bindings bindings;
    };

    // A record larger than this was not written by Runeboard.
    static constexpr qint64 maximumFileSize = 64 * 1024;

    // `server` names the X server beyond its display name
    // (X11Connection::serverIdentity()); without it nothing is ever applied.
    BindingRecord(QString directory, QString display, QByteArray server, qint64 pid);

    // ":0.0", "unix:0" and ":0" name the same display.
    static QString normalizedDisplay(const QString& display);
    // True when `pid` is a live process running `program` (a pid can be
    // recycled for another program once the recorded one has died; a zombie is dead).
    static bool processIsRunning(qint64 pid, const QString& program);

    QString path() const { return m_path; }

    // Replaces the file's content; an empty map removes the file. False when the
    // file cannot be written (the reason is in errorString()).
    bool write(const Bindings& bindings);
    QString errorString() const { return m_error; }
    void remove();

    // Records of processes that are gone, written for this server. Records of
    // this display written for a server that is gone are deleted unread.
    QList<Leftover>
    leftovers(const std::function<bool(qint64, const QString&)>& isRunning = processIsRunning) const;

    // The keycodes of a leftover that may be cleared: each still carries only
    // keysyms recorded for it, in the shape only Runeboard binds with
    // `boundType` (see XkbKey), and drives no modifier. So a record, whoever
    // wrote it, can empty no key of a layout. `keys` is the whole XKB map.
    static QList<quint8> keycodesToClear(const Leftover& leftover, const KeymapSnapshot& keymap,
                                         const QHash<quint8, XkbKey>& keys, quint8 boundType);

private:
    QString m_directory;
    QString m_display;
    QByteArray m_server;
    qint64 m_pid;
    QString m_path;
    QString m_error;
};
