#include "IniValue.h"

#include <QStringDecoder>
#include <QVarLengthArray>

#include <algorithm>

namespace {

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int hexValue(char c) {
    return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// The escapes QSettings writes and reads alike; anything else it would drop
// (-1). s[i] is the backslash; i ends past the escape.
int readEscape(QByteArrayView s, qsizetype& i) {
    if (++i >= s.size())
        return -1;
    const char c = s[i++];
    static const char simple[][2] = {{'a', '\a'}, {'b', '\b'},  {'f', '\f'}, {'n', '\n'},
                                     {'r', '\r'}, {'t', '\t'},  {'v', '\v'}, {'"', '"'},
                                     {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
    for (const auto& pair : simple) {
        if (c == pair[0])
            return uchar(pair[1]);
    }
    int value = 0;
    if (c == 'x') {
        if (i >= s.size() || !isHexDigit(s[i]))
            return -1;
        while (i < s.size() && isHexDigit(s[i]) && value <= 0xFFFF)
            value = value * 16 + hexValue(s[i++]);
    } else if (c >= '0' && c <= '7') {
        value = c - '0';
        while (i < s.size() && s[i] >= '0' && s[i] <= '7' && value <= 0xFFFF)
            value = value * 8 + (s[i++] - '0');
    } else {
        return -1;
    }
    return value > 0xFFFF ? -1 : value;
}

// One item of a value: where its characters lie, inside its quotes if it
// has them, without the unescaped trailing blanks a bare item loses.
struct Span {
    qsizetype begin;
    qsizetype end;
};

// A value is one item or a comma-separated list of them; each item is either
// quoted as a whole or bare. Only the places are noted here, so that even a
// value of many megabytes costs no more than its own size to read.
using Spans = QVarLengthArray<Span, 2>;

bool splitItems(QByteArrayView s, Spans& items) {
    qsizetype i = 0;
    const auto skipBlanks = [&] {
        while (i < s.size() && isBlank(s[i]))
            ++i;
    };
    skipBlanks();
    for (;;) {
        Span item{i, i};
        if (i < s.size() && s[i] == '"') {
            item.begin = ++i;
            while (i < s.size() && s[i] != '"') {
                if (s[i] == '\\' ? readEscape(s, i) < 0 : (++i, false))
                    return false;
            }
            if (i >= s.size())
                return false;
            item.end = i++;
            skipBlanks();
        } else {
            while (i < s.size() && s[i] != ',') {
                if (s[i] == '"' || s[i] == ';')
                    return false;
                if (s[i] == '\\') {
                    if (readEscape(s, i) < 0)
                        return false;
                    item.end = i;
                } else if (!isBlank(s[i++])) {
                    item.end = i;
                }
            }
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

// Hands an item over in order: each run of raw bytes, and each escape as the
// code unit it names. Units are counted as QSettings counts them before
// decoding: a raw byte is one, an escape is one.
template <typename Raw, typename Unit> void walk(QByteArrayView s, Span span, Raw raw, Unit unit) {
    qsizetype i = span.begin;
    while (i < span.end) {
        if (s[i] == '\\') {
            unit(char16_t(readEscape(s, i)));
            continue;
        }
        qsizetype j = i;
        while (j < span.end && s[j] != '\\')
            ++j;
        raw(s.sliced(i, j - i));
        i = j;
    }
}

// The first units of an item (enough to tell "@ByteArray(" and its kin), its
// last one and how many there are.
struct Outline {
    static constexpr qsizetype headSize = 11;
    char16_t head[headSize] = {};
    char16_t last = 0;
    qsizetype count = 0;

    void add(char16_t unit) {
        if (count < headSize)
            head[count] = unit;
        last = unit;
        ++count;
    }
    bool startsWith(QLatin1StringView prefix) const {
        if (count < prefix.size())
            return false;
        for (qsizetype i = 0; i < prefix.size(); ++i) {
            if (head[i] != char16_t(uchar(prefix[i].toLatin1())))
                return false;
        }
        return true;
    }
};

Outline outlineOf(QByteArrayView s, Span span) {
    Outline outline;
    walk(
        s, span,
        [&](QByteArrayView run) {
            const qsizetype room = qMax(Outline::headSize - outline.count, qsizetype(0));
            for (qsizetype i = 0; i < qMin(room, run.size()); ++i)
                outline.head[outline.count + i] = uchar(run[i]);
            outline.count += run.size();
            outline.last = uchar(run.back());
        },
        [&](char16_t unit) { outline.add(unit); });
    return outline;
}

// Units [from, to) of an item as text: raw runs are UTF-8, each whole by itself.
std::optional<QString> textOf(QByteArrayView s, Span span, qsizetype from, qsizetype to) {
    // A U+FEFF inside a value is a character, not a byte order mark to drop.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text;
    text.reserve(to - from);
    qsizetype index = 0;
    walk(
        s, span,
        [&](QByteArrayView run) {
            const qsizetype first = qMax(from - index, qsizetype(0));
            const qsizetype last = qMin(to - index, run.size());
            index += run.size();
            if (first >= last)
                return;
            const qsizetype size = text.size();
            text.resize(size + decoder.requiredSpace(last - first));
            QChar* end = decoder.appendToBuffer(text.data() + size, run.sliced(first, last - first));
            text.truncate(end - text.constData());
        },
        [&](char16_t unit) {
            if (index >= from && index < to)
                text += QChar(unit);
            ++index;
        });
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

// Units [from, to) of an item as bytes, when none is beyond one byte.
std::optional<QByteArray> bytesOf(QByteArrayView s, Span span, qsizetype from, qsizetype to) {
    QByteArray bytes;
    bytes.reserve(to - from);
    qsizetype index = 0;
    bool fits = true;
    walk(
        s, span,
        [&](QByteArrayView run) {
            const qsizetype first = qMax(from - index, qsizetype(0));
            const qsizetype last = qMin(to - index, run.size());
            index += run.size();
            if (first < last)
                bytes += run.sliced(first, last - first);
        },
        [&](char16_t unit) {
            if (index >= from && index < to) {
                fits = fits && unit <= 0xFF;
                bytes += char(unit);
            }
            ++index;
        });
    if (!fits)
        return std::nullopt;
    return bytes;
}

void appendHex(QByteArray& out, char16_t c) {
    static const char digits[] = "0123456789abcdef";
    out += "\\x";
    bool started = false;
    for (int shift = 12; shift >= 0; shift -= 4) {
        const int digit = (c >> shift) & 0xF;
        started = started || digit != 0 || shift == 0;
        if (started)
            out += digits[digit];
    }
}

void appendUtf8(QByteArray& out, char32_t c) {
    if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
    }
    out += char(0x80 | (c & 0x3F));
}

struct NamedEscape {
    char16_t c;
    const char* spelled;
};
constexpr NamedEscape namedEscapes[] = {{0, "\\0"},    {'\a', "\\a"}, {'\b', "\\b"}, {'\f', "\\f"},
                                        {'\n', "\\n"}, {'\r', "\\r"}, {'\t', "\\t"}, {'\v', "\\v"},
                                        {'"', "\\\""}, {'\\', "\\\\"}};

void escapeInto(QStringView text, bool utf8, QByteArray& out) {
    const qsizetype start = out.size();
    out.reserve(start + text.size() + 2);
    bool needsQuotes = false;
    bool escapeHexDigit = false;
    // QSettings decodes all raw bytes of a value with one decoder, which drops
    // a byte order mark at the start of the first of them.
    bool rawWritten = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == ';' || c == ',' || c == '=')
            needsQuotes = true;
        if (escapeHexDigit && c < 0x80 && isHexDigit(char(c))) {
            appendHex(out, c);
            continue;
        }
        const auto named = std::find_if(std::begin(namedEscapes), std::end(namedEscapes),
                                        [c](NamedEscape e) { return e.c == c; });
        escapeHexDigit = c == 0;
        if (named != std::end(namedEscapes)) {
            out += named->spelled;
        } else if (c <= 0x1F || (c >= 0x7F && !utf8) || (c == 0xFEFF && !rawWritten)) {
            appendHex(out, c);
            escapeHexDigit = true;
        } else if (c < 0x80) {
            out += char(c);
            rawWritten = true;
        } else if (!text[i].isSurrogate()) {
            appendUtf8(out, c);
            rawWritten = true;
        } else if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            appendUtf8(out, QChar::surrogateToUcs4(text[i], text[i + 1]));
            ++i;
            rawWritten = true;
        } else {
            // Only a pair has a UTF-8 form; a lone half keeps its code as an escape.
            appendHex(out, c);
            escapeHexDigit = true;
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
    Spans items;
    const bool wellFormed = splitItems(spelled, items);
    // Kept as written but for its leading blanks, which no reader sees. Its
    // trailing ones stay where the bytes are not all UTF-8: QSettings turns an
    // unfinished sequence before them into U+FFFD, but drops it at the end.
    QByteArrayView asWritten = spelled;
    while (!asWritten.isEmpty() && isBlank(asWritten.front()))
        asWritten = asWritten.sliced(1);
    QByteArrayView trimmed = asWritten;
    while (!trimmed.isEmpty() && isBlank(trimmed.back()))
        trimmed.chop(1);
    if (trimmed.size() == asWritten.size() || trimmed.isValidUtf8())
        asWritten = trimmed;
    if (!wellFormed)
        return std::nullopt;
    if (items.size() != 1)
        return IniValue::other(asWritten.toByteArray());
    const Span item = items.first();
    const Outline outline = outlineOf(spelled, item);
    if (outline.startsWith(QLatin1StringView("@")) && outline.last == u')') {
        if (outline.startsWith(QLatin1StringView("@ByteArray("))) {
            const auto bytes = bytesOf(spelled, item, 11, outline.count - 1);
            return bytes ? IniValue::fromData(*bytes) : IniValue::other(asWritten.toByteArray());
        }
        if (outline.startsWith(QLatin1StringView("@String("))) {
            const auto text = textOf(spelled, item, 8, outline.count - 1);
            return text ? IniValue::fromText(*text) : IniValue::other(asWritten.toByteArray());
        }
        for (const char* other : {"@Variant(", "@DateTime(", "@Rect(", "@Size(", "@Point(", "@Invalid("}) {
            if (outline.startsWith(QLatin1StringView(other)))
                return IniValue::other(asWritten.toByteArray());
        }
    }
    std::optional<QString> text = textOf(spelled, item, 0, outline.count);
    if (!text)
        return IniValue::other(asWritten.toByteArray());
    if (text->startsWith(QLatin1StringView("@@")))
        text->remove(0, 1);
    return IniValue::fromText(*std::move(text));
}
