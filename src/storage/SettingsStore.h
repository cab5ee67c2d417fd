#pragma once

#include <QByteArray>
#include <QSet>
#include <QSettings>
#include <QString>

#include <memory>
#include <optional>

// The per-user key-value store that every persisted setting lives in:
// $XDG_CONFIG_HOME/runeboard/runeboard.conf in INI form. Every write goes to
// disk at once. Reads are typed: a value stored as another kind than asked
// reads as absent, so a hand-edited file can never feed a string to a reader
// that expects data. When the file cannot be written the values stay in
// memory and the reason is printed once.
class SettingsStore {
public:
    // The file under $XDG_CONFIG_HOME (or ~/.config when unset).
    static QString defaultFilePath();

    explicit SettingsStore(const QString& filePath = defaultFilePath());
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    QString filePath() const { return m_filePath; }

    std::optional<QByteArray> data(const QString& key) const;
    std::optional<QString> string(const QString& key) const;
    std::optional<bool> boolean(const QString& key) const;
    bool contains(const QString& key) const;

    void setData(const QString& key, const QByteArray& value);
    void setString(const QString& key, const QString& value);
    void setBoolean(const QString& key, bool value);
    void remove(const QString& key);

    // Copies the value stored under key, exactly as it is, into a file beside
    // the configuration named after the key and the current time, and prints
    // where. Owners call it before overwriting a value they could not read, so
    // nothing a user stored is lost without a copy. Returns the copy's path,
    // or an empty string when there was nothing to copy or the copy failed.
    QString preserveValue(const QString& key);

    // False once a write has failed; the values then live in memory only.
    bool isWritable() const { return !m_writeFailureReported; }

private:
    void commit();
    std::optional<QByteArray> rawLineValue(const QString& key) const;
    QString writeFailureReason() const;

    QString m_filePath;
    std::unique_ptr<QSettings> m_settings;
    bool m_writeFailureReported = false;
};
