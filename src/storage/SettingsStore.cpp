#include "SettingsStore.h"

#include "platform/Log.h"

#include <QDir>

namespace {
// Long enough for another Runeboard to finish a write; short enough that a
// lock nobody will ever release costs one pause, and a termination signal
// arriving meanwhile is still answered within a second.
constexpr int lockTimeoutMs = 500;
// A start line names this many lines or keys at most; a file with thousands
// of them gets the first few and a count.
constexpr qsizetype namedAtMost = 10;

QString numbers(const QList<int>& lines) {
    QStringList named;
    for (qsizetype i = 0; i < qMin(lines.size(), namedAtMost); ++i)
        named.append(QString::number(lines[i]));
    const QString list = named.join(QStringLiteral(", "));
    return lines.size() > namedAtMost ? list + QStringLiteral(" and %1 more").arg(lines.size() - namedAtMost)
                                      : list;
}

QString listOfLines(const QList<int>& lines) {
    return lines.size() == 1 ? QStringLiteral("line %1 is not a setting").arg(lines.first())
                             : QStringLiteral("lines %1 are not settings").arg(numbers(lines));
}

QString listOfRepeats(const QList<IniDocument::Repeat>& repeats) {
    QStringList parts;
    for (qsizetype i = 0; i < qMin(repeats.size(), namedAtMost); ++i) {
        const IniDocument::Repeat& repeat = repeats[i];
        parts.append(QStringLiteral("\"%1\" is given more than once (lines %2), and only line %3 is read")
                         .arg(repeat.name, numbers(repeat.lines))
                         .arg(repeat.lines.last()));
    }
    if (repeats.size() > namedAtMost)
        parts.append(
            QStringLiteral("%1 more keys are given more than once").arg(repeats.size() - namedAtMost));
    return parts.join(QStringLiteral("; "));
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
    m_values = IniFormat::parse(m_diskBytes);
    m_diskRejectedLines = m_values.rejectedLines;
    m_diskRepeats = m_values.repeats;
    if (const QStringList removed = m_file.removeLeftovers(); !removed.isEmpty())
        Log::line(QStringLiteral("[Settings] Removed what interrupted writes left beside %1: %2.")
                      .arg(filePath, removed.join(QStringLiteral(", "))));
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
    // Stored as another kind than data counts as absent.
    const std::optional<IniValue> stored = m_values.value(SettingsTable::row(key).name);
    if (!stored || stored->kind != IniValue::Kind::Data)
        return std::nullopt;
    return stored->data;
}

bool SettingsStore::contains(SettingKey key) const {
    return m_values.value(SettingsTable::row(key).name).has_value();
}

void SettingsStore::setValue(SettingKey key, const QVariant& value) {
    const SettingsTable::Row& row = SettingsTable::row(key);
    store(row.name, row.encode(value));
}

void SettingsStore::setCodec(SettingKey key, DataCodec codec) {
    m_codecs.insert(key, std::move(codec));
}

bool SettingsStore::isWritable() const {
    return !m_refused && !m_writeFailed && !m_copyFailed;
}

void SettingsStore::store(const QString& name, const std::optional<IniValue>& value) {
    if (m_values.value(name) == value)
        return;
    const Values before = values();
    change(name, value);
    m_unwritten.insert(name);
    const Values mine = values();
    commit();
    publish(before, mine, false);
    publish(mine, values(), true);
}

void SettingsStore::change(const QString& name, const std::optional<IniValue>& value) {
    if (!m_diskValues.contains(name))
        m_diskValues.insert(name, m_values.value(name));
    if (value)
        m_values.set(name, *value);
    else
        m_values.remove(name);
}

std::optional<IniValue> SettingsStore::diskValue(const QString& name) const {
    const auto known = m_diskValues.constFind(name);
    return known != m_diskValues.cend() ? *known : m_values.value(name);
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
        failWrite(contents.problem);
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
            change(row.name, std::nullopt);
    }
    const QByteArray bytes = IniFormat::serialize(m_values);
    if (m_diskExists && bytes == m_diskBytes) {
        m_unwritten.clear();
        m_diskValues.clear();
        m_file.unlock();
        return;
    }
    QString error;
    const bool written = m_file.write(bytes, &error);
    m_file.unlock();
    if (!written) {
        failWrite(error);
        return;
    }
    if (m_writeFailed)
        Log::line(QStringLiteral("[Settings] Wrote %1 again; the changes kept in memory are saved.")
                      .arg(filePath()));
    m_writeFailed = false;
    m_diskBytes = bytes;
    m_diskExists = true;
    // What was written reads back as these values (the fuzzing target holds
    // the format to that), with nothing left to complain about.
    m_diskValues.clear();
    m_diskRejectedLines.clear();
    m_diskRepeats.clear();
    m_unwritten.clear();
}

void SettingsStore::failWrite(const QString& why) {
    if (!m_writeFailed)
        Log::line(
            QStringLiteral("[Settings] Cannot write %1 (%2); settings are kept in memory until Runeboard "
                           "quits.")
                .arg(filePath(), why));
    m_writeFailed = true;
}

bool SettingsStore::keepCopyIfNeeded() {
    if (m_copiedFor == m_diskBytes || (unreadableParts().isEmpty() && m_diskRepeats.isEmpty()))
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
    // Their file as they spelled it, but where this process holds something
    // other than the file did: a change of ours not yet written is newer than
    // theirs, or meets it; what we only dropped as unreadable, they may have
    // set anew. Only those names are looked at, besides reading the file.
    IniDocument merged = IniFormat::parse(contents.bytes);
    m_diskRejectedLines = merged.rejectedLines;
    m_diskRepeats = merged.repeats;
    QHash<QString, std::optional<IniValue>> stillDiffering;
    QSet<QString> removed;
    for (auto known = m_diskValues.cbegin(); known != m_diskValues.cend(); ++known) {
        const QString& name = known.key();
        const std::optional<IniValue>& base = known.value();
        const std::optional<IniValue> their = merged.value(name);
        if (base != their && !m_unwritten.contains(name))
            continue;
        stillDiffering.insert(name, their);
        const IniEntry* mine = m_values.entry(name);
        const SettingsTable::Row* row = SettingsTable::find(name);
        const auto codec = row ? m_codecs.constFind(row->key) : m_codecs.cend();
        if (base != their && codec != m_codecs.cend() && codec->merge && mine && their &&
            mine->value.kind == IniValue::Kind::Data && their->kind == IniValue::Kind::Data) {
            const std::optional<QByteArray> baseData =
                base && base->kind == IniValue::Kind::Data ? std::optional(base->data) : std::nullopt;
            merged.set(name, IniValue::fromData(codec->merge(baseData, mine->value.data, their->data)));
        } else if (mine) {
            merged.put(*mine);
        } else {
            removed.insert(name);
        }
    }
    merged.remove(removed);
    m_values = std::move(merged);
    m_diskValues = std::move(stillDiffering);
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

QStringList SettingsStore::unreadableParts() const {
    QStringList parts;
    if (!m_diskRejectedLines.isEmpty())
        parts.append(listOfLines(m_diskRejectedLines));
    for (const SettingsTable::Row& row : SettingsTable::rows()) {
        QString why;
        const std::optional<IniValue> stored = diskValue(row.name);
        if (stored && !isReadable(row, *stored, &why))
            parts.append(why);
    }
    return parts;
}

void SettingsStore::reportUnreadable() {
    if (m_refused || m_reportedFor == m_diskBytes)
        return;
    m_reportedFor = m_diskBytes;
    const QStringList parts = unreadableParts();
    if (parts.isEmpty() && m_diskRepeats.isEmpty())
        return;
    QStringList told = parts;
    if (!m_diskRepeats.isEmpty())
        told.append(listOfRepeats(m_diskRepeats));
    const QString keeping = QStringLiteral("a copy of the file is kept before Runeboard first writes to it.");
    Log::line(QStringLiteral("[Settings] Cannot read all of %1: %2. %3")
                  .arg(filePath(), told.join(QStringLiteral("; ")),
                       parts.isEmpty() ? u'A' + keeping.mid(1)
                                       : QStringLiteral("The defaults are used instead, and ") + keeping));
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
