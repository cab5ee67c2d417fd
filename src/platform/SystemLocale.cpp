#include "SystemLocale.h"

namespace SystemLocale {

QString languageCodeOf(const QString& localeName) {
    qsizetype end = 0;
    while (end < localeName.size() && localeName.at(end) != u'_' && localeName.at(end) != u'.' &&
           localeName.at(end) != u'@')
        ++end;
    const QString code = localeName.left(end).trimmed().toLower();
    if (code.isEmpty() || code == QLatin1String("c") || code == QLatin1String("posix"))
        return QStringLiteral("en");
    return code;
}

QString languageCode() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString value = qEnvironmentVariable(variable);
        if (!value.isEmpty())
            return languageCodeOf(value);
    }
    return QStringLiteral("en");
}

} // namespace SystemLocale
