#include "updates/VersionNumber.h"

#include <QList>
#include <QRegularExpression>

namespace VersionNumber {

bool isValid(QStringView text) {
    // The length is checked first: a feed may hand over megabytes here.
    if (text.isEmpty() || text.size() > maximumLength)
        return false;
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QStringLiteral("[0-9]+(?:\\.[0-9]+)*(?:[-+~_]?[A-Za-z0-9]+)?")));
    return pattern.match(text).hasMatch();
}

namespace {

QList<quint64> numericParts(QString text) {
    text = text.trimmed();
    if (text.startsWith(QLatin1Char('v'), Qt::CaseInsensitive))
        text.remove(0, 1);
    QList<quint64> numbers;
    for (const QString& part : text.split(QLatin1Char('.'))) {
        qsizetype digits = 0;
        while (digits < part.size() && part.at(digits).isDigit() && part.at(digits).unicode() < 128)
            ++digits;
        // Eighteen digits always fit; a longer part is a huge number either way.
        numbers.append(part.left(qMin<qsizetype>(digits, 18)).toULongLong());
    }
    return numbers;
}

} // namespace

int compare(const QString& a, const QString& b) {
    const QList<quint64> left = numericParts(a);
    const QList<quint64> right = numericParts(b);
    for (qsizetype i = 0; i < qMax(left.size(), right.size()); ++i) {
        const quint64 l = i < left.size() ? left.at(i) : 0;
        const quint64 r = i < right.size() ? right.at(i) : 0;
        if (l != r)
            return l < r ? -1 : 1;
    }
    return 0;
}

} // namespace VersionNumber
