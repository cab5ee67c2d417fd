#pragma once

#include <QByteArray>
#include <QList>
#include <QStringView>

// How names and queries are compared: case folded, accents and other marks
// dropped ("É" and "ё" fold to "e" and "е"), split into words at anything
// that is neither a letter nor a digit. Words are UTF-8.
class NameFolding {
public:
    static QList<QByteArray> words(QStringView text);
    // The same for the upper-case ASCII names of Unicode, without the general machinery.
    static QList<QByteArray> asciiWords(const char* name, int length);
};
