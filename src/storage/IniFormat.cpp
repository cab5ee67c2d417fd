#include "IniFormat.h"

#include <QHash>

namespace {

QByteArrayView trimmedSpaces(QByteArrayView text) {
    while (!text.isEmpty() && (text.front() == ' ' || text.front() == '\t'))
        text = text.sliced(1);
    while (!text.isEmpty() && (text.back() == ' ' || text.back() == '\t'))
        text.chop(1);
    return text;
}

QString unescapedKey(QByteArrayView key) {
    QString result;
    for (qsizetype i = 0; i < key.size(); ++i) {
        const char c = key[i];
        if (c == '\\') {
            result += u'/';
            continue;
        }
        if (c == '%' && i + 1 < key.size()) {
            const bool wide = key[i + 1] == 'U';
            const qsizetype first = i + (wide ? 2 : 1);
            const qsizetype digits = wide ? 4 : 2;
            bool ok = first + digits <= key.size();
            const uint code = ok ? key.sliced(first, digits).toByteArray().toUInt(&ok, 16) : 0;
            if (ok) {
                result += QChar(char16_t(code));
                i = first + digits - 1;
                continue;
            }
        }
        result += QLatin1Char(c);
    }
    return result;
}

QByteArray headerFor(const QString& section) {
    return section.isEmpty() ? QByteArrayLiteral("[General]") : '[' + IniFormat::escapedKey(section) + ']';
}

} // namespace

std::optional<IniValue> IniDocument::value(const QString& name) const {
    for (const IniEntry& entry : entries) {
        if (entry.name == name)
            return entry.value;
    }
    return std::nullopt;
}

void IniDocument::set(const QString& name, const IniValue& value) {
    const qsizetype slash = name.indexOf(u'/');
    const QString key = slash < 0 ? name : name.mid(slash + 1);
    const QByteArray spelled = IniFormat::escapedKey(key) + '=' + value.spelled();
    for (IniEntry& entry : entries) {
        if (entry.name == name) {
            entry.value = value;
            entry.spelled = spelled;
            return;
        }
    }
    const QString section = slash < 0 ? QString() : name.left(slash);
    entries.append({name, section, headerFor(section), spelled, value});
}

void IniDocument::remove(const QString& name) {
    entries.removeIf([&name](const IniEntry& entry) { return entry.name == name; });
}

IniDocument IniFormat::parse(const QByteArray& bytes) {
    IniDocument document;
    QHash<QString, qsizetype> entryOf;
    QHash<QString, int> lineOf;
    QString section;
    QByteArray header = headerFor(section);
    bool inRejectedSection = false;
    qsizetype pos = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    for (int number = 1; pos < bytes.size(); ++number) {
        qsizetype end = pos;
        while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r')
            ++end;
        const QByteArrayView raw = QByteArrayView(bytes).sliced(pos, end - pos);
        pos = end + (bytes.mid(end, 2) == "\r\n" ? 2 : 1);
        const QByteArrayView line = trimmedSpaces(raw);
        if (line.isEmpty())
            continue;
        const auto reject = [&] { document.rejectedLines.append(number); };
        if (line.contains('\0')) {
            reject();
            continue;
        }
        if (line.front() == '[') {
            const qsizetype close = line.indexOf(']');
            const QByteArrayView name = trimmedSpaces(close < 0 ? line.sliced(1) : line.sliced(1, close - 1));
            const bool wellFormed = close == line.size() - 1 && !name.isEmpty() && !name.contains('[');
            const bool general = name.compare("general", Qt::CaseInsensitive) == 0;
            if (!wellFormed)
                reject();
            // An unclosed [General still says where the lines below it belong.
            inRejectedSection = !wellFormed && !general;
            if (general) {
                section.clear();
                header = headerFor(section);
            } else if (wellFormed) {
                section = name.compare("%general", Qt::CaseInsensitive) == 0 ? QStringLiteral("General")
                                                                             : unescapedKey(name);
                header = line.toByteArray();
            }
            continue;
        }
        qsizetype equals = -1;
        bool quoted = false;
        for (qsizetype i = 0; i < line.size() && equals < 0; ++i) {
            if (line[i] == '\\')
                ++i;
            else if (line[i] == '"')
                quoted = !quoted;
            else if (line[i] == '=' && !quoted)
                equals = i;
        }
        const QByteArrayView key = equals > 0 ? trimmedSpaces(line.first(equals)) : QByteArrayView();
        const std::optional<IniValue> value =
            key.isEmpty() ? std::nullopt : IniValue::read(line.sliced(equals + 1));
        // A key ending in a backslash took the blank after it along; written
        // back without that blank it would swallow the "=".
        if (inRejectedSection || key.isEmpty() || line.front() == ';' || line.front() == '#' ||
            key.contains(';') || key.contains('"') || key.back() == '\\' || !value) {
            reject();
            continue;
        }
        const QString name = section.isEmpty() ? unescapedKey(key) : section + u'/' + unescapedKey(key);
        IniEntry entry{name, section, header,
                       key.toByteArray() + '=' + trimmedSpaces(line.sliced(equals + 1)).toByteArray(),
                       *value};
        if (const auto known = entryOf.constFind(name); known != entryOf.cend()) {
            // The later line wins, as in QSettings; the earlier one would be lost.
            document.rejectedLines.append(lineOf.value(name));
            document.entries[*known] = entry;
        } else {
            entryOf.insert(name, document.entries.size());
            document.entries.append(entry);
        }
        lineOf.insert(name, number);
    }
    std::sort(document.rejectedLines.begin(), document.rejectedLines.end());
    return document;
}

QByteArray IniFormat::serialize(const IniDocument& document) {
    QList<QString> sections{QString()};
    for (const IniEntry& entry : document.entries) {
        if (!sections.contains(entry.section))
            sections.append(entry.section);
    }
    QByteArray out;
    for (const QString& section : sections) {
        bool headerWritten = false;
        for (const IniEntry& entry : document.entries) {
            if (entry.section != section)
                continue;
            if (!headerWritten) {
                if (!out.isEmpty())
                    out += '\n';
                out += entry.header + '\n';
                headerWritten = true;
            }
            out += entry.spelled + '\n';
        }
    }
    return out;
}

QByteArray IniFormat::escapedKey(const QString& key) {
    QByteArray out;
    for (const QChar qc : key) {
        const char16_t c = qc.unicode();
        if (c == '/')
            out += '\\';
        else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                 c == '-' || c == '.')
            out += char(c);
        else if (c <= 0xFF)
            out += '%' + QByteArray::number(c, 16).toUpper().rightJustified(2, '0');
        else
            out += "%U" + QByteArray::number(c, 16).toUpper().rightJustified(4, '0');
    }
    return out;
}
