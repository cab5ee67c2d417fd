#include "RecordingTypingBackend.h"

bool RecordingTypingBackend::type(const QString& text) {
    if (off)
        return false;
    QString delivered;
    for (const char32_t scalar : text.toUcs4()) {
        const QString symbol = QString::fromUcs4(&scalar, 1);
        if (undeliverable.contains(symbol))
            Q_EMIT deliveryFailed(symbol, QStringLiteral("refused in this test"));
        else
            delivered += symbol;
    }
    texts.append(delivered);
    Q_EMIT idle();
    return true;
}
