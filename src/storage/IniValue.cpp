#include "IniValue.h"

#include <QList>
#include <QStringDecoder>

namespace {

// A character of a value after its escapes are resolved: raw bytes are UTF-8
// (or, inside @ByteArray(…), the bytes themselves); escapes name a code unit.
struct Unit {
    char32_t value;
    bool raw;
};
using Units = QList<Unit>;

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int hexValue(char c) {
    return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

QByteArrayView trimmedSpaces(QByteArrayView text) {
    while (!text.isEmpty() && (text.front() == ' ' || text.front() == '\t'))
        text = text.sliced(1);
    while (!text.isEmpty() && (text.back() == ' ' || text.back() == '\t'))
        text.chop(1);
    return text;
}

// The escapes QSettings writes and reads alike; anything else it would drop.
bool readEscape(QByteArrayView s, qsizetype& i, Units& out) {
    if (++i >= s.size())
        return false;
    const char c = s[i++];
    static const char simple[][2] = {{'a', '\a'}, {'b', '\b'},  {'f', '\f'}, {'n', '\n'},
                                     {'r', '\r'}, {'t', '\t'},  {'v', '\v'}, {'"', '"'},
                                     {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
    for (const auto& pair : simple) {
        if (c == pair[0]) {
            out.append({char32_t(uchar(pair[1])), false});
            return true;
        }
    }
    char32_t value = 0;
    if (c == 'x') {
        if (i >= s.size() || !isHexDigit(s[i]))
            return false;
        while (i < s.size() && isHexDigit(s[i]) && value <= 0xFFFF)
            value = value * 16 + hexValue(s[i++]);
    } else if (c >= '0' && c <= '7') {
        value = c - '0';
        while (i < s.size() && s[i] >= '0' && s[i] <= '7' && value <= 0xFFFF)
            value = value * 8 + (s[i++] - '0');
    } else {
        return false;
    }
    if (value > 0xFFFF)
        return false;
    out.append({value, false});
    return true;
}

// A value is one item or a comma-separated list of them; each item is either
// quoted as a whole or bare. Bare items lose their unescaped trailing blanks.
bool readItems(QByteArrayView s, QList<Units>& items) {
    qsizetype i = 0;
    const auto skipBlanks = [&] {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
            ++i;
    };
    skipBlanks();
    for (;;) {
        Units item;
        if (i < s.size() && s[i] == '"') {
            for (++i;;) {
                if (i >= s.size())
                    return false;
                if (s[i] == '"')
                    break;
                if (s[i] == '\\') {
                    if (!readEscape(s, i, item))
                        return false;
                } else {
                    item.append({char32_t(uchar(s[i++])), true});
                }
            }
            ++i;
            skipBlanks();
        } else {
            qsizetype kept = 0;
            while (i < s.size() && s[i] != ',') {
                if (s[i] == '"' || s[i] == ';')
                    return false;
                if (s[i] == '\\') {
                    if (!readEscape(s, i, item))
                        return false;
                    kept = item.size();
                } else {
                    item.append({char32_t(uchar(s[i++])), true});
                }
            }
            while (item.size() > kept && (item.last().value == ' ' || item.last().value == '\t'))
                item.removeLast();
        }
        items.append(item);
        if (i >= s.size())
            return true;
        if (s[i] != ',')
            return false;
        ++i;
        skipBlanks();
    }
}

bool startsWith(const Units& units, QLatin1StringView prefix) {
    if (units.size() < prefix.size())
        return false;
    for (qsizetype i = 0; i < prefix.size(); ++i) {
        if (units[i].value != char32_t(prefix[i].unicode()))
            return false;
    }
    return true;
}

std::optional<QString> textOf(const Units& units, qsizetype from, qsizetype to) {
    QString text;
    QByteArray run;
    const auto flush = [&] {
        // A U+FEFF inside a value is a character, not a byte order mark to drop.
        QStringDecoder decoder(QStringDecoder::Utf8,
                               QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        text += decoder(run);
        run.clear();
        return !decoder.hasError();
    };
    for (qsizetype i = from; i < to; ++i) {
        if (units[i].raw) {
            run += char(units[i].value);
        } else {
            if (!flush())
                return std::nullopt;
            text += QChar(char16_t(units[i].value));
        }
    }
    if (!flush())
        return std::nullopt;
    return text;
}

std::optional<QByteArray> bytesOf(const Units& units, qsizetype from, qsizetype to) {
    QByteArray bytes;
    bytes.reserve(to - from);
    for (qsizetype i = from; i < to; ++i) {
        if (units[i].value > 0xFF)
            return std::nullopt;
        bytes += char(units[i].value);
    }
    return bytes;
}

void escapeInto(const QString& text, bool utf8, QByteArray& out) {
    const qsizetype start = out.size();
    bool needsQuotes = false;
    bool escapeHexDigit = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == ';' || c == ',' || c == '=')
            needsQuotes = true;
        if (escapeHexDigit && c < 0x80 && isHexDigit(char(c))) {
            out += "\\x" + QByteArray::number(c, 16);
            continue;
        }
        escapeHexDigit = false;
        switch (c) {
        case 0:
            out += "\\0";
            escapeHexDigit = true;
            break;
        case '\a':
            out += "\\a";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\v':
            out += "\\v";
            break;
        case '"':
        case '\\':
            out += '\\';
            out += char(c);
            break;
        default:
            if (c <= 0x1F || (c >= 0x7F && !utf8)) {
                out += "\\x" + QByteArray::number(c, 16);
                escapeHexDigit = true;
            } else if (utf8 && text[i].isSurrogate()) {
                // Only a pair has a UTF-8 form; a lone half keeps its code as an escape.
                if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
                    out += text.sliced(i++, 2).toUtf8();
                } else {
                    out += "\\x" + QByteArray::number(c, 16);
                    escapeHexDigit = true;
                }
            } else if (utf8 && c >= 0x80) {
                out += QString(text[i]).toUtf8();
            } else {
                out += char(c);
            }
        }
    }
    if (needsQuotes || (out.size() > start && (out[start] == ' ' || out.back() == ' '))) {
        out.insert(start, '"');
        out += '"';
    }
}

} // namespace

QByteArray IniValue::spelled() const {
    QByteArray out;
    switch (kind) {
    case IniValue::Kind::Data:
        escapeInto(QStringLiteral("@ByteArray(") + QString::fromLatin1(data) + u')', false, out);
        break;
    case IniValue::Kind::Text:
        if (text.contains(QChar(0)))
            escapeInto(QStringLiteral("@String(") + text + u')', true, out);
        else
            escapeInto(text.startsWith(u'@') ? u'@' + text : text, true, out);
        break;
    case IniValue::Kind::Other:
        out = data;
        break;
    }
    return out;
}

std::optional<IniValue> IniValue::read(QByteArrayView spelled) {
    QList<Units> items;
    if (!readItems(spelled, items))
        return std::nullopt;
    const QByteArray asWritten = trimmedSpaces(spelled).toByteArray();
    if (items.size() != 1)
        return IniValue::other(asWritten);
    const Units& units = items.first();
    if (startsWith(units, QLatin1StringView("@")) && units.last().value == u')') {
        if (startsWith(units, QLatin1StringView("@ByteArray("))) {
            const auto bytes = bytesOf(units, 11, units.size() - 1);
            return bytes ? IniValue::fromData(*bytes) : IniValue::other(asWritten);
        }
        if (startsWith(units, QLatin1StringView("@String("))) {
            const auto text = textOf(units, 8, units.size() - 1);
            return text ? IniValue::fromText(*text) : IniValue::other(asWritten);
        }
        for (const char* other : {"@Variant(", "@DateTime(", "@Rect(", "@Size(", "@Point(", "@Invalid("}) {
            if (startsWith(units, QLatin1StringView(other)))
                return IniValue::other(asWritten);
        }
    }
    const auto text = textOf(units, 0, units.size());
    if (!text)
        return IniValue::other(asWritten);
    return IniValue::fromText(text->startsWith(QLatin1StringView("@@")) ? text->mid(1) : *text);
}
