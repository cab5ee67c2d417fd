#pragma once

#include <QString>

// Pieces for writing JSON by hand where the member order of the text is part
// of the format (QJsonObject always sorts its members).
namespace JsonText {

// A JSON string literal: quotes, backslashes and control characters escaped
// (control characters as \u00xx, and so are surrogates without their pair),
// everything else written as it is.
QString quoted(const QString& text);

inline QString boolean(bool value) {
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace JsonText
