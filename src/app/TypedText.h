#pragma once

#include <QString>
#include <QStringList>

// What `runeboard --type` and the instance's type request accept: Unicode
// text whose only control characters are tab and newline (typed as the Tab
// and Return keys). Anything else is refused whole, before a key is pressed:
// a lone UTF-16 surrogate is no character at all, and a control character
// would act as a key (Escape, Delete, …) in the receiving program.
namespace TypedText {

// Why `text` cannot be typed, in one plain sentence naming the first
// offending character and its position (counted in characters from 1);
// empty when it can.
QString problem(const QString& text);

// "U+0105", or "U+0061 U+0062 …" for longer text (at most a few), for messages.
QString codePoints(const QString& text);

} // namespace TypedText
