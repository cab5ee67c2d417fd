#pragma once

#include <QString>
#include <QStringView>

// Version texts as a feed names them and as a build calls itself.
namespace VersionNumber {

// Longer texts are no version, whatever they hold.
inline constexpr qsizetype maximumLength = 64;

// True for dotted numbers with at most one suffix of letters and digits,
// which may follow one of "-+~_" ("1.10", "2.0b3", "1.2.0-beta", "31"): the
// only feed values that reach the user.
bool isValid(QStringView text);

// Compares dotted version texts by their numeric parts ("1.10" > "1.9",
// "1.2" == "1.2.0"); a leading "v" and a part's trailing non-digits are
// ignored. Negative, zero or positive, as a is older, equal or newer.
int compare(const QString& a, const QString& b);

} // namespace VersionNumber
