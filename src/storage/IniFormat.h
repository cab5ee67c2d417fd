#pragma once

#include "storage/IniValue.h"

#include <QHash>
#include <QList>
#include <QSet>

#include <optional>

// One "key=value" line of the configuration file.
struct IniEntry {
    QString name;       // "key" in [General], "section/key" elsewhere
    QString section;    // empty for [General]
    QByteArray header;  // the section's header line as written
    QByteArray key;     // the key as written
    QByteArray spelled; // the value part as it is (or will be) written
    IniValue value;
};

// The configuration file as the lines Runeboard can keep, and the numbers of
// the lines it cannot. Looking a name up costs the same however long the
// file is, so that reading and merging stay in proportion to its size.
class IniDocument {
public:
    // A key given on more than one line; the last of them is what is read.
    struct Repeat {
        QString name;
        QList<int> lines;
    };

    QList<int> rejectedLines; // 1-based
    QList<Repeat> repeats;

    const QList<IniEntry>& entries() const { return m_entries; }
    const IniEntry* entry(const QString& name) const;
    std::optional<IniValue> value(const QString& name) const;
    // Replaces the value of name (its key spelled as before), or adds it to its section.
    void set(const QString& name, const IniValue& value);
    // Replaces or adds the entry, spelled as it is; where it now is.
    qsizetype put(IniEntry entry, bool* replaced = nullptr);
    void reserve(qsizetype entries);
    void remove(const QString& name);
    void remove(const QSet<QString>& names);

private:
    void reindexFrom(qsizetype first);

    // Where a name's entry is; -1 for one just being added.
    struct Place {
        qsizetype at = -1;
    };

    QList<IniEntry> m_entries;
    QHash<QString, Place> m_index;
};

// The INI form QSettings reads and writes, so that files stay readable both
// ways. Reading is stricter than QSettings': a line whose meaning QSettings
// would guess at or drop (a comment, unbalanced quotes, an unknown escape, a
// raw NUL, text after a section header) is rejected instead, so that it can be
// kept in a copy before the file is rewritten.
class IniFormat {
public:
    static IniDocument parse(const QByteArray& bytes);
    static QByteArray serialize(const IniDocument& document);
    static QByteArray escapedKey(const QString& key);
};
