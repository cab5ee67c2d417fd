#include "keyboard/InputInjector.h"

#include "platform/Log.h"
#include "platform/TypingBackend.h"

int InputInjector::typeText(const QString& text) {
    // The facility is obtained before the text is looked at, so even empty text can report its absence.
    if (!m_backend.open()) {
        Log::line(QStringLiteral(
            "[InputInjector] Failed to create CGEventSource — check Accessibility permissions"));
        return 1;
    }
    int failures = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t scalar = text.at(i).unicode();
        if (QChar::isHighSurrogate(scalar) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            scalar = QChar::surrogateToUcs4(char16_t(scalar), text.at(++i).unicode());
        else if (QChar::isSurrogate(scalar))
            scalar = QChar::ReplacementCharacter; // a lone half is no symbol
        if (!m_backend.keyDown(scalar)) {
            Log::line(QStringLiteral("[InputInjector] Failed to create keyDown event"));
            ++failures;
            continue;
        }
        if (!m_backend.keyUp(scalar)) {
            Log::line(QStringLiteral("[InputInjector] Failed to create keyUp event"));
            ++failures;
        }
    }
    m_backend.close();
    return failures;
}
