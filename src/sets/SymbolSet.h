#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <optional>

// One symbol set. Base characters hold one symbol per grapheme cluster;
// custom characters hold symbols separated by U+001F (or one per cluster when
// the text holds no separator, the older plain form).
struct SymbolSet {
    QUuid id;
    QString name; // a translation key for presets, the user's text otherwise
    QString baseCharacters;
    QString customCharacters;
    bool isMain = false;
    bool isAdditional = false;
    bool isSystem = false;

    bool operator==(const SymbolSet&) const = default;

    QStringList baseSymbols() const;
    QStringList customSymbols() const;

    // The canonical text of the identifier: upper-case, without braces.
    QString idText() const { return idText(id); }
    static QString idText(const QUuid& id);
    // Only the 8-4-4-4-12 hexadecimal form (any case) is an identifier.
    static std::optional<QUuid> parseId(const QString& text);

    // The custom-characters text after appending one symbol to the list held in `existing`.
    static QString appendingCustomSymbol(const QString& existing, const QString& symbol);
    // The custom-characters text of a list of symbols. A lone symbol of several
    // characters gets a trailing separator, since without any separator the
    // text would read back as one symbol per character.
    static QString joinedCustomSymbols(const QStringList& symbols);
    // The symbols of a custom-characters text.
    static QStringList customSymbolsOf(const QString& customCharacters);
    // The grapheme clusters of a text.
    static QStringList graphemes(const QString& text);

    // The JSON document of a list of sets, members in their fixed order, compact, UTF-8.
    static QByteArray encodeList(const QList<SymbolSet>& sets);
    // Strict reading: every member present with its type, well-formed identifiers.
    // On failure, returns nothing and puts a description into *error.
    static std::optional<QList<SymbolSet>> decodeList(const QByteArray& json, QString* error);
};

inline constexpr QChar customSymbolSeparator{0x1F};

size_t qHash(const SymbolSet& set, size_t seed = 0) noexcept;
