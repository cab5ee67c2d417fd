#include "SystemLocale.h"

#include <QRegularExpression>

namespace SystemLocale {

QString languageCodeOf(const QString& localeName) {
    static const QRegularExpression separators(QStringLiteral("[_.@]"));
    const QString code = localeName.section(separators, 0, 0).trimmed().toLower();
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
