#include "RecordingTypingBackend.h"

bool RecordingTypingBackend::open() {
    return !failOpen;
}

bool RecordingTypingBackend::keyDown(char32_t scalar) {
    if (failKeyDown.contains(scalar))
        return false;
    events.append({true, scalar});
    return true;
}

bool RecordingTypingBackend::keyUp(char32_t scalar) {
    if (failKeyUp.contains(scalar))
        return false;
    events.append({false, scalar});
    return true;
}

void RecordingTypingBackend::close() {
    ++closeCount;
    Q_EMIT idle();
}

QString RecordingTypingBackend::typedText() const {
    QString text;
    for (const Event& event : events) {
        if (event.down)
            text += QString::fromUcs4(&event.scalar, 1);
    }
    return text;
}
