#include "names/NameIndex.h"

#include "names/CldrNameData.h"
#include "names/NameFolding.h"
#include "names/SymbolFamiliarity.h"

#include <unicode/uchar.h>

#include <QRegularExpression>

#include <QSet>
#include <malloc.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace {
enum Language : quint8 { Unicode, English, Russian };

// Scores: each query word adds what it matched; a tight name beats a long one.
constexpr int wholeWord = 100;
constexpr int wordPrefix = 80;
constexpr int inSpokenName = 10;
constexpr int wholeKeyword = 15;
constexpr int unmatchedNameWord = -15;
// The query is the whole name or a whole keyword: that outranks any partial match.
constexpr int wholeKeywordPhrase = 1000;
constexpr int wholeName = 1005;
std::string_view view(QByteArrayView bytes) {
    return {bytes.data(), size_t(bytes.size())};
}

// Names such as "CJK UNIFIED IDEOGRAPH-4E00" only spell the code point out.
bool isNumberedName(const char* name, int length, char32_t code) {
    const QByteArray suffix = '-' + QByteArray::number(uint(code), 16).toUpper().rightJustified(4, '0');
    return length > suffix.size() && QByteArrayView(name, length).endsWith(suffix);
}

char32_t singleCodePoint(const QString& symbol) {
    const QList<uint> codes = symbol.toUcs4();
    return codes.size() == 1 ? char32_t(codes.first()) : 0;
}

// One record of the CLDR table, without its newline.
QByteArrayView recordAt(quint32 offset) {
    const char* start = CldrNameData::table + offset;
    const void* end = std::memchr(start, '\n', CldrNameData::size - offset);
    return QByteArrayView(start, end ? static_cast<const char*>(end) - start
                                     : qsizetype(CldrNameData::size - offset));
}

QString withoutPresentationSelector(QString symbol) {
    symbol.remove(QChar(0xFE0F));
    return symbol;
}
} // namespace

// Gives each distinct word a number while the index is built; the numbers are
// made alphabetical at the end, so that the words a prefix begins are one range.
struct NameIndex::Interner {
    std::unordered_map<std::string, quint32> ids;
    std::vector<std::string> words;

    quint32 id(const QByteArray& word) {
        const auto [it, added] = ids.try_emplace(word.toStdString(), quint32(words.size()));
        if (added)
            words.push_back(it->first);
        return it->second;
    }
};

NameIndex::NameIndex() {
    auto words = std::make_unique<Interner>();
    addUnicodeNames(*words);
    addCldrNames(*words);

    std::vector<quint32> order(words->words.size());
    for (quint32 i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](quint32 a, quint32 b) { return words->words[a] < words->words[b]; });
    std::vector<quint32> rank(order.size());
    m_vocabulary.reserve(order.size());
    for (quint32 i = 0; i < order.size(); ++i) {
        rank[order[i]] = i;
        m_vocabulary.push_back(quint32(m_pool.size()));
        m_pool.append(words->words[order[i]].data(), qsizetype(words->words[order[i]].size()));
        m_pool.append('\0');
    }
    for (quint32& w : m_words)
        w = (w & keywordFlag) | rank[w & idMask];
    words.reset();
    std::vector<quint32>().swap(order);
    std::vector<quint32>().swap(rank);
    m_words.shrink_to_fit();
    m_entries.shrink_to_fit();
    // The building took several times what the index keeps; give that back
    // before the lasting lookup tables are made, so that they do not pin it.
    malloc_trim(0);
    for (const Entry& entry : m_entries) {
        if (entry.record != noRecord)
            (entry.language == Russian ? m_russian : m_english)
                .insert(withoutPresentationSelector(symbolOf(entry)), entry.record);
    }
}

void NameIndex::addEntry(Interner& words, Entry entry, const QList<QByteArray>& nameWords,
                         const QList<QList<QByteArray>>& keywords) {
    if (nameWords.isEmpty() && keywords.isEmpty())
        return;
    entry.firstWord = quint32(m_words.size());
    entry.nameWords = quint8(std::min<qsizetype>(nameWords.size(), 255));
    for (qsizetype i = 0; i < entry.nameWords; ++i)
        m_words.push_back(words.id(nameWords.at(i)));
    for (const QList<QByteArray>& keyword : keywords) {
        for (const QByteArray& word : keyword) {
            const quint32 id = words.id(word);
            const quint32 flag = keyword.size() == 1 ? keywordFlag : 0;
            auto begin = m_words.begin() + entry.firstWord;
            const auto known =
                std::find_if(begin, m_words.end(), [id](quint32 w) { return (w & idMask) == id; });
            if (known != m_words.end())
                *known |= flag;
            else if (m_words.size() - entry.firstWord < 0xFFFF)
                m_words.push_back(id | flag);
        }
    }
    entry.wordCount = quint16(m_words.size() - entry.firstWord);
    m_entries.push_back(entry);
}

void NameIndex::addUnicodeNames(Interner& words) {
    struct Context {
        NameIndex* index;
        Interner* words;
    } context{this, &words};
    UErrorCode error = U_ZERO_ERROR;
    u_enumCharNames(
        0, 0x110000,
        [](void* raw, UChar32 code, UCharNameChoice, const char* name, int32_t length) -> UBool {
            auto* c = static_cast<Context*>(raw);
            if (length > 0 && !isNumberedName(name, length, char32_t(code)))
                c->index->addEntry(*c->words, Entry{char32_t(code), noRecord, 0, 0, 0, Unicode},
                                   NameFolding::asciiWords(name, length), {});
            return true;
        },
        &context, U_UNICODE_CHAR_NAME, &error);
}

void NameIndex::addCldrNames(Interner& words) {
    const QByteArrayView table(CldrNameData::table, qsizetype(CldrNameData::size));
    qsizetype start = 0;
    while (start < table.size()) {
        qsizetype end = table.indexOf('\n', start);
        if (end < 0)
            end = table.size();
        const QList<QByteArrayView> fields = [&] {
            QList<QByteArrayView> parts;
            qsizetype from = start;
            for (qsizetype i = start; i <= end; ++i) {
                if (i == end || table.at(i) == '\t') {
                    parts.append(table.sliced(from, i - from));
                    from = i + 1;
                }
            }
            return parts;
        }();
        if (fields.size() == 4) {
            const QString symbol = QString::fromUtf8(fields.at(0));
            const Language language = fields.at(1) == "ru" ? Russian : English;
            QList<QList<QByteArray>> keywords;
            for (const QString& keyword : QString::fromUtf8(fields.at(3)).split(u'|', Qt::SkipEmptyParts))
                keywords.append(NameFolding::words(keyword));
            addEntry(words, Entry{singleCodePoint(symbol), quint32(start), 0, 0, 0, language},
                     NameFolding::words(QString::fromUtf8(fields.at(2))), keywords);
            (language == Russian ? m_russian : m_english)
                .insert(withoutPresentationSelector(symbol), quint32(start));
        }
        start = end + 1;
    }
}

QByteArrayView NameIndex::word(quint32 id) const {
    return QByteArrayView(m_pool.constData() + m_vocabulary[id]);
}

QString NameIndex::symbolOf(const Entry& entry) const {
    if (entry.record == noRecord)
        return QString::fromUcs4(&entry.codePoint, 1);
    const char* record = CldrNameData::table + entry.record;
    return QString::fromUtf8(record, qsizetype(std::strchr(record, '\t') - record));
}

QString NameIndex::spokenNameOf(const Entry& entry) const {
    if (entry.record == noRecord) {
        char name[256];
        UErrorCode error = U_ZERO_ERROR;
        const int32_t length =
            u_charName(UChar32(entry.codePoint), U_UNICODE_CHAR_NAME, name, sizeof name, &error);
        return U_SUCCESS(error) ? QString::fromLatin1(name, length).toLower() : QString();
    }
    const QByteArrayView record = recordAt(entry.record);
    const qsizetype symbolEnd = record.indexOf('\t');
    const qsizetype nameStart = record.indexOf('\t', symbolEnd + 1) + 1;
    return QString::fromUtf8(record.sliced(nameStart, record.indexOf('\t', nameStart) - nameStart));
}

bool NameIndex::ranksBefore(const Scored& a, const Scored& b, bool preferUpper) const {
    if (a.score != b.score)
        return a.score > b.score;
    const Entry& x = m_entries[a.entry];
    const Entry& y = m_entries[b.entry];
    // "eng" means ŋ before Ŋ; "Eng" the other way round.
    const auto caseRank = [preferUpper](char32_t c) {
        return c && (preferUpper ? QChar::isLower(c) : QChar::isUpper(c)) ? 1 : 0;
    };
    if (caseRank(x.codePoint) != caseRank(y.codePoint))
        return caseRank(x.codePoint) < caseRank(y.codePoint);
    if ((x.codePoint == 0) != (y.codePoint == 0))
        return x.codePoint != 0;
    if (x.codePoint != y.codePoint)
        return x.codePoint < y.codePoint;
    return a.entry < b.entry;
}

QList<NameIndex::Match> NameIndex::find(QStringView query, int limit) const {
    QList<Match> result;
    if (limit <= 0)
        return result;
    static const QRegularExpression codePointQuery(QStringLiteral("^\\s*[uU]\\+([0-9a-fA-F]{1,6})\\s*$"));
    if (const QRegularExpressionMatch hex = codePointQuery.match(query.toString()); hex.hasMatch()) {
        const uint code = hex.capturedView(1).toUInt(nullptr, 16);
        const Entry entry{char32_t(code), noRecord, 0, 0, 0, Unicode};
        if (code <= 0x10FFFF && !spokenNameOf(entry).isEmpty())
            result.append(
                {QString::fromUcs4(&entry.codePoint, 1), spokenNameOf(entry), QStringLiteral("en")});
        return result;
    }

    QList<QByteArray> queryWords = NameFolding::words(query);
    if (queryWords.isEmpty())
        return result;
    for (qsizetype i = queryWords.size() - 1; i > 0; --i) {
        if (queryWords.indexOf(queryWords.at(i)) < i)
            queryWords.removeAt(i);
    }
    struct Range {
        quint32 begin, end, exact;
    };
    std::vector<Range> ranges;
    const auto less = [this](quint32 id, std::string_view text) { return view(word(id)) < text; };
    for (const QByteArray& queryWord : queryWords) {
        const std::string_view text = view(queryWord);
        const std::string beyond = std::string(text) + '\xFF'; // after every word the text begins
        quint32 lo = 0, hi = quint32(m_vocabulary.size());
        quint32 first = lo, count = hi - lo;
        while (count > 0) { // lower bound of the text
            const quint32 step = count / 2;
            if (less(first + step, text)) {
                first += step + 1;
                count -= step + 1;
            } else {
                count = step;
            }
        }
        lo = first;
        count = hi - lo;
        while (count > 0) { // lower bound of what follows every word it begins
            const quint32 step = count / 2;
            if (less(first + step, beyond)) {
                first += step + 1;
                count -= step + 1;
            } else {
                count = step;
            }
        }
        hi = first;
        if (lo == hi)
            return result;
        ranges.push_back({lo, hi, view(word(lo)) == text ? lo : idMask});
    }

    std::vector<Scored> matches;
    for (quint32 e = 0; e < m_entries.size(); ++e) {
        const Entry& entry = m_entries[e];
        const quint32* words = m_words.data() + entry.firstWord;
        int score = 0;
        bool all = true;
        bool phrase = ranges.size() == entry.nameWords;
        bool allExact = true;
        for (size_t q = 0; q < ranges.size() && all; ++q) {
            const Range& r = ranges[q];
            int best = 0;
            for (quint32 k = 0; k < entry.wordCount; ++k) {
                const quint32 id = words[k] & idMask;
                if (id < r.begin || id >= r.end)
                    continue;
                int s = id == r.exact ? wholeWord : wordPrefix;
                if (k < entry.nameWords)
                    s += inSpokenName;
                if (id == r.exact && (words[k] & keywordFlag))
                    s += wholeKeyword;
                best = std::max(best, s);
            }
            all = best > 0;
            score += best;
            phrase = phrase && (words[q] & idMask) == r.exact;
            allExact = allExact && std::any_of(words, words + entry.wordCount,
                                               [&r](quint32 w) { return (w & idMask) == r.exact; });
        }
        if (!all)
            continue;
        for (quint32 k = 0; k < entry.nameWords; ++k) {
            const quint32 id = words[k] & idMask;
            if (std::none_of(ranges.begin(), ranges.end(),
                             [id](const Range& r) { return id >= r.begin && id < r.end; }))
                score += unmatchedNameWord;
        }
        if (phrase)
            score = wholeName;
        else if (allExact && entry.record != noRecord && isKeyword(entry, queryWords))
            score = wholeKeywordPhrase;
        matches.push_back({score + SymbolFamiliarity::bonus(entry.codePoint), e});
    }

    const bool preferUpper = query.toString() != query.toString().toLower();
    const auto before = [&](const Scored& a, const Scored& b) { return ranksBefore(a, b, preferUpper); };
    // A symbol has at most a few names (Unicode, English, Russian), so the best few times the
    // limit hold the answer; a short query matches tens of thousands, which are left unsorted.
    const size_t enough = std::min(matches.size(), size_t(limit) * 4);
    std::partial_sort(matches.begin(), matches.begin() + qsizetype(enough), matches.end(), before);
    QSet<QString> seen;
    for (size_t i = 0; i < matches.size() && result.size() < limit; ++i) {
        if (i == enough) // more names of the same symbols than expected: the rest in order too
            std::sort(matches.begin() + qsizetype(enough), matches.end(), before);
        const Entry& entry = m_entries[matches[i].entry];
        const QString symbol = symbolOf(entry);
        if (seen.contains(withoutPresentationSelector(symbol)))
            continue;
        seen.insert(withoutPresentationSelector(symbol));
        result.append({symbol, spokenNameOf(entry),
                       entry.language == Russian ? QStringLiteral("ru") : QStringLiteral("en")});
    }
    return result;
}

bool NameIndex::isKeyword(const Entry& entry, const QList<QByteArray>& queryWords) const {
    const QByteArrayView record = recordAt(entry.record);
    const QString keywords = QString::fromUtf8(record.sliced(record.lastIndexOf('\t') + 1));
    for (const QString& keyword : keywords.split(u'|', Qt::SkipEmptyParts)) {
        if (NameFolding::words(keyword) == queryWords)
            return true;
    }
    return false;
}

QString NameIndex::nameOf(const QString& symbol, const QString& language) const {
    const QString plain = withoutPresentationSelector(symbol);
    const QHash<QString, quint32>& cldr = language == QLatin1String("ru") ? m_russian : m_english;
    if (const auto it = cldr.constFind(plain); it != cldr.constEnd())
        return spokenNameOf(Entry{0, it.value(), 0, 0, 0, English});
    if (const char32_t code = singleCodePoint(plain))
        return spokenNameOf(Entry{code, noRecord, 0, 0, 0, Unicode});
    return {};
}

QString NameIndex::codePoints(const QString& symbol) {
    QStringList parts;
    for (const uint code : symbol.toUcs4())
        parts.append(QStringLiteral("U+%1").arg(code, 4, 16, QLatin1Char('0')).toUpper());
    return parts.join(u' ');
}

qsizetype NameIndex::memoryUse() const {
    const auto hashBytes = [](const QHash<QString, quint32>& hash) {
        return hash.size() * qsizetype(sizeof(QString) + sizeof(quint32) + 16 + 2 * 8);
    };
    return qsizetype(m_entries.capacity() * sizeof(Entry) + m_words.capacity() * sizeof(quint32) +
                     m_vocabulary.capacity() * sizeof(quint32)) +
           m_pool.capacity() + hashBytes(m_english) + hashBytes(m_russian);
}
