#include "SetFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

namespace {
const QString header = QStringLiteral("Runeboard set");
const QString namePrefix = QStringLiteral("Name: ");
// Longer than any key may be (seven characters), so no symbol line reads as one.
const QString baseHeader = QStringLiteral("Base keys:");
const QString addedHeader = QStringLiteral("Added keys:");
constexpr int longestSymbol = 7; // grapheme clusters, as the add field keeps them

// A line as a symbol: invisible control characters dropped, blanks trimmed.
QString cleaned(const QString& line) {
    QString symbol;
    for (const QChar c : line) {
        if (c.category() != QChar::Other_Control)
            symbol += c;
    }
    symbol = symbol.trimmed();
    const QStringList clusters = SymbolSet::graphemes(symbol);
    return clusters.size() > longestSymbol ? clusters.mid(0, longestSymbol).join(QString()) : symbol;
}
} // namespace

QByteArray SetFile::encode(const QString& name, const SymbolSet& set) {
    QStringList lines{header, namePrefix + QString(name).replace(u'\n', u' '), baseHeader};
    lines += set.baseSymbols();
    lines.append(addedHeader);
    lines += set.customSymbols();
    return (lines.join(u'\n') + u'\n').toUtf8();
}

SetFile::Result SetFile::decode(const QByteArray& bytes, const QString& fallbackName) {
    if (bytes.size() > maximumBytes)
        return {std::nullopt, Problem::TooLarge, {}};
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError() || text.contains(QChar(0)))
        return {std::nullopt, Problem::NotText, {}};
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    QStringList lines = text.split(u'\n');
    for (QString& line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
    }

    QString name = fallbackName;
    QStringList base, added;
    if (lines.value(0) == header) {
        QStringList* into = nullptr;
        for (const QString& line : lines.mid(1)) {
            if (line.startsWith(namePrefix) && !into)
                name = line.mid(namePrefix.size()).trimmed();
            else if (line == baseHeader)
                into = &base;
            else if (line == addedHeader)
                into = &added;
            else if (const QString symbol = cleaned(line); into && !symbol.isEmpty())
                into->append(into == &base ? SymbolSet::graphemes(symbol) : QStringList{symbol});
            if (base.size() + added.size() > maximumSymbols)
                return {std::nullopt, Problem::TooLarge, {}};
        }
    } else {
        for (const QString& cluster : SymbolSet::graphemes(text)) {
            if (const QString symbol = cleaned(cluster); !symbol.isEmpty())
                base.append(symbol);
            if (base.size() > maximumSymbols)
                return {std::nullopt, Problem::TooLarge, {}};
        }
    }
    if (base.isEmpty() && added.isEmpty())
        return {std::nullopt, Problem::Empty, {}};
    if (name.isEmpty())
        name = fallbackName;
    SymbolSet set{QUuid::createUuid(), name, base.join(QString()), SymbolSet::joinedCustomSymbols(added)};
    return {set, Problem::None, {}};
}

SetFile::Result SetFile::read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {std::nullopt, Problem::CannotOpen, file.errorString()};
    if (file.size() > maximumBytes)
        return {std::nullopt, Problem::TooLarge, {}};
    // A file that grows while it is read is cut at the limit, and refused as too large.
    return decode(file.read(maximumBytes + 1), QFileInfo(path).completeBaseName());
}

SetFile::Problem SetFile::write(const QString& path, const QString& name, const SymbolSet& set,
                                QString* detail) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(encode(name, set)) < 0 || !file.commit()) {
        if (detail)
            *detail = file.errorString();
        return Problem::CannotWrite;
    }
    return Problem::None;
}
