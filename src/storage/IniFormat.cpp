#include "IniFormat.h"

#include <algorithm>

namespace {

QByteArrayView trimmedSpaces(QByteArrayView text) {
    while (!text.isEmpty() && (text.front() == ' ' || text.front() == '\t'))
        text = text.sliced(1);
    while (!text.isEmpty() && (text.back() == ' ' || text.back() == '\t'))
        text.chop(1);
    return text;
}

// As QSettings reads a key: "\" is "/", %XX and %UXXXX name a character, and
// the bytes between are UTF-8.
QString unescapedKey(QByteArrayView key) {
    QString result;
    qsizetype i = 0;
    while (i < key.size()) {
        const char c = key[i];
        if (c == '\\') {
            result += u'/';
            ++i;
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
                i = first + digits;
                continue;
            }
        }
        qsizetype end = i + 1;
        while (end < key.size() && key[end] != '\\' && key[end] != '%')
            ++end;
        result += QString::fromUtf8(key.sliced(i, end - i));
        i = end;
    }
    return result;
}

QByteArray headerFor(const QString& section) {
    return section.isEmpty() ? QByteArrayLiteral("[General]") : '[' + IniFormat::escapedKey(section) + ']';
}

} // namespace

const IniEntry* IniDocument::entry(const QString& name) const {
    const auto found = m_index.constFind(name);
    return found == m_index.cend() ? nullptr : &m_entries[found->at];
}

std::optional<IniValue> IniDocument::value(const QString& name) const {
    const IniEntry* found = entry(name);
    return found ? std::optional(found->value) : std::nullopt;
}

void IniDocument::set(const QString& name, const IniValue& value) {
    if (const auto found = m_index.constFind(name); found != m_index.cend()) {
        IniEntry& known = m_entries[found->at];
        known.value = value;
        known.spelled = value.spelled();
        return;
    }
    const qsizetype slash = name.indexOf(u'/');
    const QString section = slash < 0 ? QString() : name.left(slash);
    const QByteArray key = IniFormat::escapedKey(slash < 0 ? name : name.mid(slash + 1));
    put({name, section, headerFor(section), key, value.spelled(), value});
}

qsizetype IniDocument::put(IniEntry entry, bool* replaced) {
    Place& place = m_index[entry.name];
    if (replaced)
        *replaced = place.at >= 0;
    if (place.at >= 0) {
        m_entries[place.at] = std::move(entry);
        return place.at;
    }
    place.at = m_entries.size();
    m_entries.append(std::move(entry));
    return place.at;
}

void IniDocument::reserve(qsizetype entries) {
    m_entries.reserve(entries);
    m_index.reserve(entries);
}

void IniDocument::remove(const QString& name) {
    const auto found = m_index.constFind(name);
    if (found == m_index.cend())
        return;
    const qsizetype at = found->at;
    m_index.erase(found);
    m_entries.removeAt(at);
    reindexFrom(at);
}

void IniDocument::remove(const QSet<QString>& names) {
    if (names.isEmpty())
        return;
    m_entries.removeIf([&names](const IniEntry& entry) { return names.contains(entry.name); });
    m_index.clear();
    reindexFrom(0);
}

void IniDocument::reindexFrom(qsizetype first) {
    for (qsizetype i = first; i < m_entries.size(); ++i)
        m_index.insert(m_entries[i].name, {i});
}

IniDocument IniFormat::parse(const QByteArray& bytes) {
    IniDocument document;
    document.reserve(bytes.count('\n') + 1);
    QList<int> lineOf; // of each entry
    QHash<QString, QList<int>> repeated;
    QString section;
    QByteArray header = headerFor(section);
    bool inRejectedSection = false;
    qsizetype pos = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    for (int number = 1; pos < bytes.size(); ++number) {
        qsizetype end = pos;
        while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r')
            ++end;
        const QByteArrayView raw = QByteArrayView(bytes).sliced(pos, end - pos);
        pos = end + (end + 1 < bytes.size() && bytes[end] == '\r' && bytes[end + 1] == '\n' ? 2 : 1);
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
        // The value up to the line's end: blanks there can matter to QSettings.
        const QByteArrayView valuePart = raw.sliced(line.data() - raw.data() + equals + 1);
        const std::optional<IniValue> value = key.isEmpty() ? std::nullopt : IniValue::read(valuePart);
        // A key ending in a backslash took the blank after it along; written
        // back without that blank it would swallow the "=".
        if (inRejectedSection || key.isEmpty() || line.front() == ';' || line.front() == '#' ||
            key.contains(';') || key.contains('"') || key.back() == '\\' || !value) {
            reject();
            continue;
        }
        const QString name = section.isEmpty() ? unescapedKey(key) : section + u'/' + unescapedKey(key);
        const QByteArrayView asWritten = trimmedSpaces(line.sliced(equals + 1));
        // QSettings reads a leading U+FEFF as a byte order mark to drop, and
        // raw bytes above ASCII in @ByteArray(…) as UTF-8; such values are
        // spelled anew, so that the rewritten file means the same to both.
        const bool respelled =
            (value->kind == IniValue::Kind::Text && value->text.contains(QChar(0xFEFF))) ||
            (value->kind == IniValue::Kind::Data &&
             std::any_of(asWritten.begin(), asWritten.end(), [](char c) { return c < 0; }));
        const QByteArray spelled = value->kind == IniValue::Kind::Other ? value->data
                                   : respelled                          ? value->spelled()
                                                                        : asWritten.toByteArray();
        // The later line wins, as in QSettings; the earlier one is lost on the next write.
        bool repeat = false;
        const qsizetype at =
            document.put({name, section, header, key.toByteArray(), spelled, *value}, &repeat);
        if (repeat) {
            QList<int>& lines = repeated[name];
            if (lines.isEmpty())
                lines.append(lineOf[at]);
            lines.append(number);
            lineOf[at] = number;
        } else {
            lineOf.append(number);
        }
    }
    if (!repeated.isEmpty()) {
        for (const IniEntry& entry : document.entries()) {
            if (const auto lines = repeated.constFind(entry.name); lines != repeated.cend())
                document.repeats.append({entry.name, *lines});
        }
    }
    return document;
}

QByteArray IniFormat::serialize(const IniDocument& document) {
    // Sections in the order they first appear, [General] first; each entry
    // under its own, as QSettings groups them.
    QHash<QString, qsizetype> sectionOf{{QString(), 0}};
    QList<QList<const IniEntry*>> sections(1);
    qsizetype size = 0;
    for (const IniEntry& entry : document.entries()) {
        auto found = sectionOf.constFind(entry.section);
        if (found == sectionOf.cend()) {
            found = sectionOf.insert(entry.section, sections.size());
            sections.append(QList<const IniEntry*>());
        }
        sections[*found].append(&entry);
        size += entry.header.size() + entry.key.size() + entry.spelled.size() + 4;
    }
    QByteArray out;
    out.reserve(size);
    for (const QList<const IniEntry*>& entries : sections) {
        if (entries.isEmpty())
            continue;
        if (!out.isEmpty())
            out += '\n';
        out += entries.first()->header + '\n';
        for (const IniEntry* entry : entries) {
            out += entry->key;
            out += '=';
            out += entry->spelled;
            out += '\n';
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
