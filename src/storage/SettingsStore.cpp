#include "SettingsStore.h"

#include "platform/Log.h"

#include <QDir>

namespace {
// Long enough for another Runeboard to finish a write; short enough that a
// lock nobody will ever release costs one pause.
constexpr int lockTimeoutMs = 1000;

QString listOfLines(const QList<int>& lines) {
    QStringList numbers;
    for (int line : lines)
        numbers.append(QString::number(line));
    return lines.size() == 1
               ? QStringLiteral("line %1 is not a setting").arg(numbers.first())
               : QStringLiteral("lines %1 are not settings").arg(numbers.join(QStringLiteral(", ")));
}
} // namespace

QString SettingsStore::defaultFilePath() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/runeboard/runeboard.conf");
}

SettingsStore::SettingsStore(const QString& filePath, QObject* parent)
    : QObject(parent)
    , m_file(filePath) {
    const SettingsFile::Contents contents = m_file.read();
    if (contents.status == SettingsFile::Contents::Status::Refused) {
        m_refused = true;
        Log::line(QStringLiteral("[Settings] Cannot use %1 (%2); settings are kept in memory until Runeboard "
                                 "quits.")
                      .arg(filePath, contents.problem));
        return;
    }
    m_diskExists = contents.status == SettingsFile::Contents::Status::Read;
    m_diskBytes = contents.bytes;
    m_disk = IniFormat::parse(m_diskBytes);
    m_values = m_disk;
    connect(&m_file, &SettingsFile::changedOnDisk, this, &SettingsStore::reload);
    m_file.startWatching();
    // Told once the owners of the data keys have said what they can read.
    QMetaObject::invokeMethod(this, &SettingsStore::reportUnreadable, Qt::QueuedConnection);
}

SettingsStore::~SettingsStore() = default;

QVariant SettingsStore::value(SettingKey key) const {
    const SettingsTable::Row& row = SettingsTable::row(key);
    if (const std::optional<IniValue> stored = m_values.value(row.name)) {
        if (const std::optional<QVariant> decoded = row.decode(*stored))
            return *decoded;
    }
    return row.fallback;
}

std::optional<QByteArray> SettingsStore::data(SettingKey key) const {
    return data(QString(SettingsTable::row(key).name));
}

bool SettingsStore::contains(SettingKey key) const {
    return contains(QString(SettingsTable::row(key).name));
}

void SettingsStore::setValue(SettingKey key, const QVariant& value) {
    const SettingsTable::Row& row = SettingsTable::row(key);
    store(row.name, row.encode(value));
}

void SettingsStore::setCodec(SettingKey key, DataCodec codec) {
    m_codecs.insert(key, std::move(codec));
}

std::optional<QByteArray> SettingsStore::data(const QString& key) const {
    const std::optional<IniValue> stored = m_values.value(key);
    if (!stored || stored->kind != IniValue::Kind::Data)
        return std::nullopt;
    return stored->data;
}

std::optional<QString> SettingsStore::string(const QString& key) const {
    const std::optional<IniValue> stored = m_values.value(key);
    if (!stored || stored->kind != IniValue::Kind::Text)
        return std::nullopt;
    return stored->text;
}

std::optional<bool> SettingsStore::boolean(const QString& key) const {
    const std::optional<QString> text = string(key);
    if (text == QLatin1StringView("true"))
        return true;
    if (text == QLatin1StringView("false"))
        return false;
    return std::nullopt;
}

bool SettingsStore::contains(const QString& key) const {
    return m_values.value(key).has_value();
}

void SettingsStore::setData(const QString& key, const QByteArray& value) {
    store(key, IniValue::fromData(value));
}

void SettingsStore::setString(const QString& key, const QString& value) {
    store(key, IniValue::fromText(value));
}

void SettingsStore::setBoolean(const QString& key, bool value) {
    store(key, IniValue::fromText(value ? QStringLiteral("true") : QStringLiteral("false")));
}

void SettingsStore::remove(const QString& key) {
    store(key, std::nullopt);
}

bool SettingsStore::isWritable() const {
    return !m_refused && !m_writeFailed && !m_copyFailed;
}

void SettingsStore::store(const QString& name, const std::optional<IniValue>& value) {
    if (m_values.value(name) == value)
        return;
    const Values before = values();
    if (value)
        m_values.set(name, *value);
    else
        m_values.remove(name);
    m_unwritten.insert(name);
    const Values mine = values();
    commit();
    publish(before, mine, false);
    publish(mine, values(), true);
}

void SettingsStore::commit() {
    if (m_refused)
        return;
    reportUnreadable();
    QString problem;
    if (!m_file.lock(m_lockGivenUp ? 0 : lockTimeoutMs, &problem) && !problem.isEmpty() && !m_lockGivenUp) {
        m_lockGivenUp = true;
        Log::line(QStringLiteral("[Settings] Gave up waiting for the lock %1.lock (%2); writing without it.")
                      .arg(filePath(), problem));
    }
    // What another process wrote since we last looked goes into this write.
    const SettingsFile::Contents contents = m_file.read();
    if (contents.status == SettingsFile::Contents::Status::Refused) {
        m_file.unlock();
        if (!m_writeFailed)
            Log::line(QStringLiteral("[Settings] Cannot write %1 (%2); settings are kept in memory until "
                                     "Runeboard quits.")
                          .arg(filePath(), contents.problem));
        m_writeFailed = true;
        return;
    }
    mergeFromDisk(contents);
    if (!keepCopyIfNeeded()) {
        m_file.unlock();
        return;
    }
    // What could not be read is in the copy now; the file keeps what could
    // (and whatever this process stored, which it will tell about when read).
    for (const SettingsTable::Row& row : SettingsTable::rows()) {
        const std::optional<IniValue> stored = m_values.value(row.name);
        if (stored && !m_unwritten.contains(row.name) && !isReadable(row, *stored, nullptr))
            m_values.remove(row.name);
    }
    const QByteArray bytes = IniFormat::serialize(m_values);
    if (m_diskExists && bytes == m_diskBytes) {
        m_unwritten.clear();
        m_file.unlock();
        return;
    }
    QString error;
    const bool written = m_file.write(bytes, &error);
    m_file.unlock();
    if (!written) {
        if (!m_writeFailed)
            Log::line(QStringLiteral("[Settings] Cannot write %1 (%2); settings are kept in memory until "
                                     "Runeboard quits.")
                          .arg(filePath(), error));
        m_writeFailed = true;
        return;
    }
    if (m_writeFailed)
        Log::line(QStringLiteral("[Settings] Wrote %1 again; the changes kept in memory are saved.")
                      .arg(filePath()));
    m_writeFailed = false;
    m_diskBytes = bytes;
    m_diskExists = true;
    m_disk = IniFormat::parse(bytes);
    m_unwritten.clear();
}

bool SettingsStore::keepCopyIfNeeded() {
    if (m_copiedFor == m_diskBytes || unreadableParts(m_disk).isEmpty())
        return true;
    QString error;
    const QString copy = m_file.keepCopy(m_diskBytes, &error);
    if (copy.isEmpty()) {
        if (!m_copyFailed)
            Log::line(QStringLiteral("[Settings] Cannot keep a copy of %1 (%2), so nothing is written to it; "
                                     "changes are kept in memory until Runeboard quits.")
                          .arg(filePath(), error));
        m_copyFailed = true;
        return false;
    }
    Log::line(QStringLiteral("[Settings] Kept a copy of %1 as it was in %2.").arg(filePath(), copy));
    m_copyFailed = false;
    m_copiedFor = m_diskBytes;
    return true;
}

void SettingsStore::reload() {
    if (m_refused)
        return;
    const SettingsFile::Contents contents = m_file.read();
    if (contents.status == SettingsFile::Contents::Status::Refused)
        return;
    const Values before = values();
    mergeFromDisk(contents);
    publish(before, values(), true);
    reportUnreadable();
}

void SettingsStore::mergeFromDisk(const SettingsFile::Contents& contents) {
    const bool exists = contents.status == SettingsFile::Contents::Status::Read;
    if (exists == m_diskExists && contents.bytes == m_diskBytes)
        return;
    const IniDocument theirs = IniFormat::parse(contents.bytes);
    QSet<QString> names;
    for (const IniDocument* document : {static_cast<const IniDocument*>(&m_disk), &theirs}) {
        for (const IniEntry& entry : document->entries)
            names.insert(entry.name);
    }
    for (const QString& name : names) {
        const std::optional<IniValue> base = m_disk.value(name);
        const std::optional<IniValue> their = theirs.value(name);
        if (base == their)
            continue;
        const std::optional<IniValue> mine = m_values.value(name);
        std::optional<IniValue> merged = their;
        // A change of ours not yet in the file is newer than theirs, or meets it.
        if (m_unwritten.contains(name)) {
            merged = mine;
            const SettingsTable::Row* row = SettingsTable::find(name);
            const auto codec = row ? m_codecs.constFind(row->key) : m_codecs.cend();
            if (codec != m_codecs.cend() && codec->merge && mine && their &&
                mine->kind == IniValue::Kind::Data && their->kind == IniValue::Kind::Data) {
                const std::optional<QByteArray> baseData =
                    base && base->kind == IniValue::Kind::Data ? std::optional(base->data) : std::nullopt;
                merged = IniValue::fromData(codec->merge(baseData, mine->data, their->data));
            }
        }
        if (merged)
            m_values.set(name, *merged);
        else
            m_values.remove(name);
    }
    m_disk = theirs;
    m_diskBytes = contents.bytes;
    m_diskExists = exists;
}

bool SettingsStore::isReadable(const SettingsTable::Row& row, const IniValue& stored, QString* why) const {
    const std::optional<QVariant> decoded = row.decode(stored);
    if (!decoded) {
        if (why)
            *why = QStringLiteral("\"%1\" is not %2").arg(row.name, row.expected);
        return false;
    }
    const auto codec = m_codecs.constFind(row.key);
    QString reason;
    if (codec != m_codecs.cend() && codec->check && !codec->check(decoded->toByteArray(), &reason)) {
        if (why)
            *why = QStringLiteral("\"%1\": %2").arg(row.name, reason);
        return false;
    }
    return true;
}

QStringList SettingsStore::unreadableParts(const IniDocument& document) const {
    QStringList parts;
    if (!document.rejectedLines.isEmpty())
        parts.append(listOfLines(document.rejectedLines));
    for (const SettingsTable::Row& row : SettingsTable::rows()) {
        QString why;
        const std::optional<IniValue> stored = document.value(row.name);
        if (stored && !isReadable(row, *stored, &why))
            parts.append(why);
    }
    return parts;
}

void SettingsStore::reportUnreadable() {
    if (m_refused || m_reportedFor == m_diskBytes)
        return;
    m_reportedFor = m_diskBytes;
    const QStringList parts = unreadableParts(m_disk);
    if (parts.isEmpty())
        return;
    Log::line(
        QStringLiteral("[Settings] Cannot read all of %1: %2. The defaults are used instead, and a copy "
                       "of the file is kept before Runeboard first writes to it.")
            .arg(filePath(), parts.join(QStringLiteral("; "))));
}

SettingsStore::Values SettingsStore::values() const {
    Values all;
    for (const SettingsTable::Row& row : SettingsTable::rows())
        all.append(value(row.key));
    return all;
}

void SettingsStore::publish(const Values& before, const Values& after, bool fromFile) {
    for (const SettingsTable::Row& row : SettingsTable::rows()) {
        const auto index = static_cast<qsizetype>(row.key);
        if (before[index] != after[index])
            Q_EMIT changed(row.key, fromFile);
    }
}
