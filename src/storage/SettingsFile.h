#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <memory>

class QFileSystemWatcher;
class QLockFile;

// The configuration file on disk. Nothing here may hang or half-write: only a
// regular file is read (a FIFO, device or folder in its place is refused
// without being opened for long, one beyond maximumBytes without being read),
// a write replaces the file atomically or leaves it as it was, also at a
// file-size limit, the lock is waited for a bounded time, and copies are
// created exclusively, never through a symlink.
class SettingsFile : public QObject {
    Q_OBJECT
public:
    // Far beyond what settings take; what is larger is no configuration of
    // ours, and reading it would cost memory and time out of all proportion.
    static constexpr qsizetype maximumBytes = 16 * 1024 * 1024;

    struct Contents {
        enum class Status { Read, Absent, Refused };
        Status status = Status::Absent;
        QByteArray bytes;
        QString problem; // why it was refused
    };

    explicit SettingsFile(QString path, QObject* parent = nullptr);
    ~SettingsFile() override;

    QString path() const { return m_path; }

    Contents read() const;
    // On failure the previous file is still there, byte for byte. A new file
    // gets the permissions the umask allows, an existing one keeps its own.
    bool write(const QByteArray& bytes, QString* error);
    // Removes what writes cut short (by a crash, a kill) left beside the
    // file: temporary files named as ours, owned by this user, holding only
    // settings lines. Only while the lock is free, so no running write loses
    // its file; the names removed, or nothing.
    QStringList removeLeftovers();
    // A new file "<name>.unreadable-<time>" beside the configuration holding
    // bytes (or an earlier copy holding the same); its path, or empty.
    QString keepCopy(const QByteArray& bytes, QString* error);

    // The lock other Runeboards (and QSettings) take around a write. *error
    // is set only when the lock is there and was not released in time.
    bool lock(int timeoutMs, QString* error);
    void unlock();

    // From now on changedOnDisk() follows the file, also across atomic renames.
    void startWatching();

Q_SIGNALS:
    void changedOnDisk();

private:
    void rearm();

    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
    QFileSystemWatcher* m_watcher = nullptr;
    QTimer m_settle;
};
