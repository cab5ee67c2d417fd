#include "NameFolding.h"

#include <QString>

QList<QByteArray> NameFolding::words(QStringView text) {
    const QString decomposed = text.toString().normalized(QString::NormalizationForm_KD).toCaseFolded();
    QList<QByteArray> result;
    QString word;
    const auto flush = [&] {
        if (!word.isEmpty())
            result.append(word.toUtf8());
        word.clear();
    };
    for (qsizetype i = 0; i < decomposed.size(); ++i) {
        const char32_t c = decomposed.at(i).isHighSurrogate() && i + 1 < decomposed.size()
                               ? QChar::surrogateToUcs4(decomposed.at(i), decomposed.at(i + 1))
                               : decomposed.at(i).unicode();
        const int units = c > 0xFFFF ? 2 : 1;
        const QChar::Category category = QChar::category(c);
        if (category == QChar::Mark_NonSpacing || category == QChar::Mark_Enclosing ||
            category == QChar::Mark_SpacingCombining) {
            i += units - 1;
            continue; // an accent: "é" is found as "e"
        }
        if (QChar::isLetterOrNumber(c))
            word.append(QStringView(decomposed).mid(i, units));
        else
            flush();
        i += units - 1;
    }
    flush();
    return result;
}

QList<QByteArray> NameFolding::asciiWords(const char* name, int length) {
    QList<QByteArray> result;
    int start = 0;
    for (int i = 0; i <= length; ++i) {
        const char c = i < length ? name[i] : ' ';
        const bool letterOrDigit = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (letterOrDigit)
            continue;
        if (i > start) {
            QByteArray word(name + start, i - start);
            result.append(word.toLower());
        }
        start = i + 1;
    }
    return result;
}
