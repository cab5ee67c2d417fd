#pragma once

#include "storage/IniValue.h"

#include <QList>

#include <optional>

// One "key=value" line of the configuration file.
struct IniEntry {
    QString name;       // "key" in [General], "section/key" elsewhere
    QString section;    // empty for [General]
    QByteArray header;  // the section's header line as written
    QByteArray spelled; // the whole line as it is (or will be) written
    IniValue value;
};

// The configuration file as the lines Runeboard can keep, and the numbers of
// the lines it cannot.
struct IniDocument {
    QList<IniEntry> entries;
    QList<int> rejectedLines; // 1-based

    std::optional<IniValue> value(const QString& name) const;
    // Replaces the value of name, or adds it to its section.
    void set(const QString& name, const IniValue& value);
    void remove(const QString& name);
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
