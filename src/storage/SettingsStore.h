#pragma once

#include "storage/IniFormat.h"
#include "storage/SettingsFile.h"
#include "storage/SettingsTable.h"

#include <QHash>
#include <QObject>
#include <QSet>

#include <functional>
#include <optional>

// The registry of everything Runeboard keeps: the keys of SettingsTable,
// held in memory and written at once to $XDG_CONFIG_HOME/runeboard/runeboard.conf
// (INI, as QSettings writes it). It is the one place that decides what in the
// file cannot be read, says so once, and keeps a copy of the whole original
// file before the first write that would lose it. Changes another process
// makes to the file are merged in before each write and when the file
// changes, so two Runeboards sharing a configuration keep each other's edits.
class SettingsStore : public QObject {
    Q_OBJECT
public:
    // How the owner of a data key reads it: whether stored bytes are usable
    // (and why not), and how another process's version meets this one's
    // when both changed it. Without a merge, this process's version wins.
    struct DataCodec {
        std::function<bool(const QByteArray& stored, QString* why)> check;
        std::function<QByteArray(const std::optional<QByteArray>& base, const QByteArray& mine,
                                 const QByteArray& theirs)>
            merge;
    };

    // The file under $XDG_CONFIG_HOME (or ~/.config when unset).
    static QString defaultFilePath();

    explicit SettingsStore(const QString& filePath = defaultFilePath(), QObject* parent = nullptr);
    ~SettingsStore() override;

    QString filePath() const { return m_file.path(); }

    // The stored value as the table reads it, or the key's default.
    QVariant value(SettingKey key) const;
    QString text(SettingKey key) const { return value(key).toString(); }
    bool boolean(SettingKey key) const { return value(key).toBool(); }
    std::optional<QByteArray> data(SettingKey key) const;
    // Something is stored under the key, readable or not.
    bool contains(SettingKey key) const;
    // Stores and writes at once; does nothing when the same is stored already.
    void setValue(SettingKey key, const QVariant& value);
    void setCodec(SettingKey key, DataCodec codec);

    // False while changes cannot reach the file; they then live in memory.
    bool isWritable() const;

    // Takes in what another process wrote; runs by itself when the file changes.
    void reload();

Q_SIGNALS:
    // What value(key) reads changed: by this process, or taken from the file.
    void changed(SettingKey key, bool fromFile);

private:
    using Values = QList<QVariant>;

    void store(const QString& name, const std::optional<IniValue>& value);
    void change(const QString& name, const std::optional<IniValue>& value);
    std::optional<IniValue> diskValue(const QString& name) const;
    void commit();
    void failWrite(const QString& why);
    bool keepCopyIfNeeded();
    void mergeFromDisk(const SettingsFile::Contents& contents);
    QStringList unreadableParts() const;
    bool isReadable(const SettingsTable::Row& row, const IniValue& stored, QString* why) const;
    void reportUnreadable();
    Values values() const;
    void publish(const Values& before, const Values& after, bool fromFile);

    SettingsFile m_file;
    IniDocument m_values; // what this process holds
    // The file as last read or written is m_values but for these names,
    // whose value there this is: one document, however large, is never
    // copied for a change of one key.
    QHash<QString, std::optional<IniValue>> m_diskValues;
    QList<int> m_diskRejectedLines;
    QList<IniDocument::Repeat> m_diskRepeats;
    QByteArray m_diskBytes;
    bool m_diskExists = false;
    QSet<QString> m_unwritten; // names changed here since the last write
    QHash<SettingKey, DataCodec> m_codecs;
    bool m_refused = false; // not a file Runeboard may read or write
    bool m_writeFailed = false;
    bool m_copyFailed = false;
    bool m_lockGivenUp = false;
    std::optional<QByteArray> m_reportedFor; // the file contents whose faults were told
    std::optional<QByteArray> m_copiedFor;   // the file contents a copy was kept of
};
