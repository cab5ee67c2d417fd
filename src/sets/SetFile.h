#pragma once

#include "sets/SymbolSet.h"

#include <QByteArray>
#include <QString>

#include <optional>

// A set as a UTF-8 text file, to share it or keep it elsewhere:
//
//     Runeboard set
//     Name: Phonetics
//     Base keys:
//     ə
//     Added keys:
//     ŋ
//
// one symbol a line. Any other UTF-8 text reads as a list of base keys, one per
// grapheme cluster with blanks and line breaks left out, named after the file.
class SetFile {
public:
    enum class Problem { None, CannotOpen, NotText, Empty, TooLarge, CannotWrite };
    static constexpr int maximumSymbols = 10000;
    // Far more than 10,000 symbols of seven characters each take; checked before reading.
    static constexpr qint64 maximumBytes = 4 * 1024 * 1024;

    struct Result {
        std::optional<SymbolSet> set; // a new set (fresh identifier, neither main nor additional)
        Problem problem = Problem::None;
        QString detail; // what the system said, for CannotOpen and CannotWrite
    };

    static QByteArray encode(const QString& name, const SymbolSet& set);
    // `fallbackName` names a set whose text names none.
    static Result decode(const QByteArray& bytes, const QString& fallbackName);

    static Result read(const QString& path);
    // Writes the whole file or, failing, leaves what was there.
    static Problem write(const QString& path, const QString& name, const SymbolSet& set, QString* detail);
};
