#include "SettingsStore.h"

#include "platform/Log.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

QString SettingsStore::defaultFilePath() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/runeboard/runeboard.conf");
}

SettingsStore::SettingsStore(const QString& filePath)
    : m_filePath(filePath)
    , m_settings(std::make_unique<QSettings>(filePath, QSettings::IniFormat)) {}

SettingsStore::~SettingsStore() = default;

std::optional<QByteArray> SettingsStore::data(const QString& key) const {
    const QVariant value = m_settings->value(key);
    if (value.typeId() != QMetaType::QByteArray)
        return std::nullopt;
    return value.toByteArray();
}

std::optional<QString> SettingsStore::string(const QString& key) const {
    const QVariant value = m_settings->value(key);
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

std::optional<bool> SettingsStore::boolean(const QString& key) const {
    // INI keeps no types: a Boolean is the plain text true or false.
    const QVariant value = m_settings->value(key);
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    const QString text = value.toString();
    if (text == QLatin1String("true"))
        return true;
    if (text == QLatin1String("false"))
        return false;
    return std::nullopt;
}

bool SettingsStore::contains(const QString& key) const {
    return m_settings->contains(key);
}

void SettingsStore::setData(const QString& key, const QByteArray& value) {
    m_settings->setValue(key, value);
    commit();
}

void SettingsStore::setString(const QString& key, const QString& value) {
    m_settings->setValue(key, value);
    commit();
}

void SettingsStore::setBoolean(const QString& key, bool value) {
    m_settings->setValue(key, value);
    commit();
}

void SettingsStore::remove(const QString& key) {
    m_settings->remove(key);
    commit();
}

QString SettingsStore::preserveValue(const QString& key) {
    const QVariant value = m_settings->value(key);
    if (!value.isValid())
        return {};
    // Data values come back byte for byte. Anything else was most likely written
    // by hand, and INI parsing drops its quotes and splits it at commas, so the
    // line is taken from the file as it stands.
    QByteArray bytes;
    if (value.typeId() == QMetaType::QByteArray)
        bytes = value.toByteArray();
    else
        bytes = rawLineValue(key).value_or(value.toString().toUtf8());
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    const QString copyPath =
        QFileInfo(m_filePath).absolutePath() + u'/' + key + QStringLiteral(".unreadable-") + stamp;
    QDir().mkpath(QFileInfo(copyPath).absolutePath());
    QSaveFile file(copyPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        Log::line(
            QStringLiteral("[Settings] Could not keep a copy of the unreadable value of \"%1\" in %2: %3")
                .arg(key, copyPath, file.errorString()));
        return {};
    }
    Log::line(
        QStringLiteral("[Settings] The unreadable value of \"%1\" was copied to %2 before being replaced.")
            .arg(key, copyPath));
    return copyPath;
}

std::optional<QByteArray> SettingsStore::rawLineValue(const QString& key) const {
    QFile file(m_filePath);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray prefix = key.toUtf8();
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (!line.startsWith(prefix))
            continue;
        const QByteArray rest = line.mid(prefix.size()).trimmed();
        if (rest.startsWith('='))
            return rest.mid(1).trimmed();
    }
    return std::nullopt;
}

void SettingsStore::commit() {
    m_settings->sync();
    if (m_settings->status() == QSettings::NoError || m_writeFailureReported)
        return;
    m_writeFailureReported = true;
    Log::line(
        QStringLiteral("[Settings] Cannot write %1 (%2); settings are kept in memory until Runeboard quits.")
            .arg(m_filePath, writeFailureReason()));
}

QString SettingsStore::writeFailureReason() const {
    const QFileInfo info(m_filePath);
    const QString folder = info.absolutePath();
    if (!QDir().mkpath(folder))
        return QStringLiteral("the folder %1 cannot be created").arg(folder);
    QFile probe(m_filePath);
    if (!probe.open(QIODevice::Append))
        return probe.errorString();
    return QStringLiteral("the disk refused the write");
}
