// The configuration file's reader and writer against QSettings, both ways:
// what Runeboard writes QSettings reads as the same values, what QSettings
// writes Runeboard reads as the same values, and a file Runeboard accepts and
// rewrites means the same to QSettings afterwards. The input is taken as a
// file, and also as a text (its bytes as UTF-16 code units) and as data.
#include "storage/IniFormat.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>

#include <cstdio>
#include <cstdlib>

namespace {

void fail(const char* what, const QString& name) {
    std::fprintf(stderr, "%s: %s\n", what, qPrintable(name));
    std::abort();
}

QString scratchPath() {
    // In memory where there is a tmpfs: QSettings flushes each file it writes
    // to disk, which would make every run wait for the disk.
    static const QString folder =
        QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    static int serial = 0;
    return folder + QStringLiteral("/fuzz_settings_ini-%1-%2.conf")
                        .arg(QCoreApplication::applicationPid())
                        .arg(++serial);
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QVariant asQVariant(const IniValue& value) {
    return value.kind == IniValue::Kind::Data ? QVariant(value.data) : QVariant(value.text);
}

// Values compared as QSettings would store them again, so that NaN equals NaN.
QByteArray fingerprint(const QVariant& value) {
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << value;
    return bytes;
}

// Keys QSettings and Runeboard name alike (QSettings folds some others).
bool plainKey(const QString& name) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_]+$"));
    return plain.match(name).hasMatch();
}

// A value QSettings would hand to QDataStream, whose reading of arbitrary
// bytes is not what is tested here.
bool mayBeVariant(const QByteArray& spelled) {
    static const QRegularExpression at(QStringLiteral("@|\\\\x0*40|\\\\0*100"));
    return at.match(QString::fromLatin1(spelled)).hasMatch();
}

// What Runeboard keeps that QSettings itself drops or mangles when reading
// the same line: a raw U+FEFF opening the value, raw bytes above ASCII in
// @ByteArray(…). Runeboard's own writing of such values is exact.
bool hasHighBytes(QByteArrayView bytes) {
    return std::any_of(bytes.begin(), bytes.end(), [](char c) { return c < 0; });
}

bool qsettingsLoses(const IniEntry& entry, const QVariant& theirs, const QByteArray& file) {
    if (entry.value.kind == IniValue::Kind::Data)
        return hasHighBytes(entry.value.data) && hasHighBytes(file);
    QString text = entry.value.text;
    return text.contains(QChar(0xFEFF)) && text.remove(text.indexOf(QChar(0xFEFF)), 1) == theirs.toString();
}

// Runeboard writes a text and data; QSettings must read both exactly, and so
// must Runeboard. Then QSettings writes the same; Runeboard must read what
// QSettings was given, or what QSettings itself reads back.
void writeBothWays(const QString& text, const QByteArray& data) {
    const QString ours = scratchPath();
    IniDocument document;
    document.set(QStringLiteral("t"), IniValue::fromText(text));
    document.set(QStringLiteral("d"), IniValue::fromData(data));
    const QByteArray written = IniFormat::serialize(document);
    if (!writeFile(ours, written))
        return;
    {
        const QSettings settings(ours, QSettings::IniFormat);
        if (settings.value(QStringLiteral("t")) != QVariant(text))
            fail("QSettings reads Runeboard's text otherwise", QStringLiteral("t"));
        if (settings.value(QStringLiteral("d")) != QVariant(data))
            fail("QSettings reads Runeboard's data otherwise", QStringLiteral("d"));
    }
    const IniDocument reread = IniFormat::parse(written);
    if (reread.value(QStringLiteral("t")) != IniValue::fromText(text) ||
        reread.value(QStringLiteral("d")) != IniValue::fromData(data))
        fail("Runeboard reads its own writing otherwise", QString());
    QFile::remove(ours);

    const QString theirs = scratchPath();
    {
        QSettings settings(theirs, QSettings::IniFormat);
        settings.setValue(QStringLiteral("t"), text);
        settings.setValue(QStringLiteral("d"), data);
        settings.sync();
    }
    // Read from a copy: QSettings would answer from what it holds for the path it wrote.
    const QByteArray qtBytes = readFile(theirs);
    const QString copy = scratchPath();
    QFile::remove(theirs);
    if (!writeFile(copy, qtBytes))
        return;
    const QVariant readBack = QSettings(copy, QSettings::IniFormat).value(QStringLiteral("t"));
    QFile::remove(copy);
    const IniDocument fromQt = IniFormat::parse(qtBytes);
    if (!fromQt.rejectedLines.isEmpty() || fromQt.entries().size() != 2)
        fail("Runeboard rejects what QSettings wrote", QString());
    const std::optional<IniValue> t = fromQt.value(QStringLiteral("t"));
    if (t != IniValue::fromText(text) && t != IniValue::fromText(readBack.toString()))
        fail("Runeboard reads QSettings' text otherwise", QStringLiteral("t"));
    if (fromQt.value(QStringLiteral("d")) != IniValue::fromData(data))
        fail("Runeboard reads QSettings' data otherwise", QStringLiteral("d"));
}

// The input as a file: what Runeboard accepts survives its own rewriting,
// and means the same to QSettings before and after.
void readAndRewrite(const QByteArray& bytes) {
    const IniDocument document = IniFormat::parse(bytes);
    const QByteArray written = IniFormat::serialize(document);
    const IniDocument reread = IniFormat::parse(written);
    if (!reread.rejectedLines.isEmpty() || !reread.repeats.isEmpty() ||
        reread.entries().size() != document.entries().size())
        fail("the rewritten file reads otherwise", QString());
    for (const IniEntry& entry : document.entries()) {
        if (reread.value(entry.name) != entry.value || IniValue::read(entry.spelled) != entry.value)
            fail("the rewritten value reads otherwise", entry.name);
    }
    if (!document.rejectedLines.isEmpty() || bytes.startsWith("\xEF\xBB\xBF"))
        return;

    const QString original = scratchPath();
    const QString rewritten = scratchPath();
    if (!writeFile(original, bytes) || !writeFile(rewritten, written))
        return;
    {
        const QSettings before(original, QSettings::IniFormat);
        const QSettings after(rewritten, QSettings::IniFormat);
        for (const IniEntry& entry : document.entries()) {
            if (!entry.section.isEmpty() || !plainKey(entry.name))
                continue;
            if (entry.value.kind == IniValue::Kind::Other) {
                if (!mayBeVariant(entry.spelled) &&
                    fingerprint(before.value(entry.name)) != fingerprint(after.value(entry.name)))
                    fail("QSettings reads a kept value otherwise after the rewrite", entry.name);
                continue;
            }
            if (after.value(entry.name) != asQVariant(entry.value))
                fail("QSettings reads the rewritten value otherwise than Runeboard", entry.name);
            const QVariant theirs = before.value(entry.name);
            if (theirs != asQVariant(entry.value) && !qsettingsLoses(entry, theirs, bytes))
                fail("QSettings reads the file otherwise than Runeboard", entry.name);
        }
    }
    QFile::remove(original);
    QFile::remove(rewritten);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    readAndRewrite(bytes);
    writeBothWays(QString(reinterpret_cast<const QChar*>(bytes.constData()), bytes.size() / 2), bytes);
    return 0;
}
