// The configuration file reader. What it accepts must come back the same
// after being written, and must mean what QSettings reads from the same
// bytes, so that a file Runeboard calls readable is one no other reader of
// the format would see differently.
#include "storage/IniFormat.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>

#include <cstdlib>

namespace {
bool plainKey(const QString& name) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_]+$"));
    return plain.match(name).hasMatch();
}

QVariant asQVariant(const IniValue& value) {
    return value.kind == IniValue::Kind::Data ? QVariant(value.data) : QVariant(value.text);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const IniDocument document = IniFormat::parse(bytes);

    const QByteArray written = IniFormat::serialize(document);
    const IniDocument reread = IniFormat::parse(written);
    if (!reread.rejectedLines.isEmpty() || reread.entries.size() != document.entries.size())
        std::abort();
    for (const IniEntry& entry : document.entries) {
        if (reread.value(entry.name) != entry.value || IniValue::read(entry.value.spelled()) != entry.value)
            std::abort();
    }
    if (!document.rejectedLines.isEmpty() || bytes.startsWith("\xEF\xBB\xBF"))
        return 0;

    static int serial = 0;
    const QString path =
        QDir::tempPath() +
        QStringLiteral("/fuzz_settings_ini-%1-%2.conf").arg(QCoreApplication::applicationPid()).arg(++serial);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return 0;
    file.close();
    {
        QSettings settings(path, QSettings::IniFormat);
        for (const IniEntry& entry : document.entries) {
            // Where QSettings itself loses what the file says: raw bytes in
            // @ByteArray(…) are read as UTF-8 and mangled, and a U+FEFF right
            // after an escape is dropped as if it were a byte order mark.
            const bool rawHighBytes = entry.value.kind == IniValue::Kind::Data &&
                                      std::any_of(entry.spelled.cbegin(), entry.spelled.cend(),
                                                  [](char c) { return uchar(c) >= 0x80; });
            if (!entry.section.isEmpty() || !plainKey(entry.name) || rawHighBytes ||
                entry.value.kind == IniValue::Kind::Other || entry.value.text.contains(QChar(0xFEFF)))
                continue;
            if (settings.value(entry.name) != asQVariant(entry.value))
                std::abort();
        }
    }
    QFile::remove(path);
    return 0;
}
