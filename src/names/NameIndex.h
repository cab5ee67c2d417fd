#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <vector>

// Every symbol that has a name, found by words of its name: the Unicode
// names (through ICU) and the CLDR short names and keywords in English and
// Russian. A query matches a name when each of its words begins a word of the
// name, in any order, with case and accents ignored ("lat sm eng" finds ŋ).
// Building the index reads every name once and takes a noticeable moment, so
// it is made where it is first needed; searching it fits in a frame.
class NameIndex {
public:
    struct Match {
        QString symbol;
        QString name;     // the name the query matched, as it is spoken
        QString language; // "en" or "ru"; Unicode names are English
    };

    NameIndex();

    // The best matches first, at most `limit`, each symbol once. A query
    // "U+14B" names a code point directly.
    QList<Match> find(QStringView query, int limit) const;
    // The name of a symbol in a language ("en", "ru") where the CLDR gives one,
    // else its Unicode name in lower case; empty for a symbol without either.
    QString nameOf(const QString& symbol, const QString& language) const;
    // "U+014B", or the code points of a sequence separated by spaces.
    static QString codePoints(const QString& symbol);

    qsizetype nameCount() const { return qsizetype(m_entries.size()); }
    // What the index itself holds, in bytes (the CLDR table is compiled in).
    qsizetype memoryUse() const;

private:
    struct Entry {
        char32_t codePoint; // the symbol, when it is one code point; else 0
        quint32 record;     // where its CLDR record begins; noRecord for a Unicode name
        quint32 firstWord;  // into m_words
        quint16 wordCount;
        quint8 nameWords; // the first words are those of the spoken name, in order
        quint8 language;
    };
    struct Scored {
        int score;
        quint32 entry;
    };
    static constexpr quint32 noRecord = 0xFFFFFFFF;
    static constexpr quint32 keywordFlag = 0x80000000; // the word is a whole keyword by itself
    static constexpr quint32 idMask = 0x7FFFFFFF;

    struct Interner;
    void addUnicodeNames(Interner& words);
    void addCldrNames(Interner& words);
    void addEntry(Interner& words, Entry entry, const QList<QByteArray>& nameWords,
                  const QList<QList<QByteArray>>& keywords);
    QString symbolOf(const Entry& entry) const;
    QString spokenNameOf(const Entry& entry) const;
    QByteArrayView word(quint32 id) const;
    bool isKeyword(const Entry& entry, const QList<QByteArray>& queryWords) const;
    bool ranksBefore(const Scored& a, const Scored& b, bool preferUpper) const;

    std::vector<Entry> m_entries;
    std::vector<quint32> m_words;                 // word ids (in alphabetical order of the words), flagged
    std::vector<quint32> m_vocabulary;            // id → offset of the word in m_pool
    QByteArray m_pool;                            // the words, each followed by a NUL
    QHash<QString, quint32> m_english, m_russian; // symbol → its CLDR record
};
