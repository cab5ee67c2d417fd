#pragma once

#include <QString>

// The language of the user's session, from the locale environment.
namespace SystemLocale {

// LC_ALL, then LC_MESSAGES, then LANG (the first that is set and not empty);
// the part before '_', '.' or '@', lower-cased. Unset, "C" and "POSIX" give "en".
QString languageCode();

// The same rule applied to one locale name such as "ru_RU.UTF-8".
QString languageCodeOf(const QString& localeName);

} // namespace SystemLocale
