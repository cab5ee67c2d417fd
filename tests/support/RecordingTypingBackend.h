#pragma once

#include "platform/TypingBackend.h"

#include <QList>
#include <QSet>

// Keeps every event it is given, for tests; can be told to fail.
class RecordingTypingBackend : public TypingBackend {
    Q_OBJECT
public:
    struct Event {
        bool down;
        char32_t scalar;
        bool operator==(const Event&) const = default;
    };

    using TypingBackend::TypingBackend;

    bool open() override;
    bool keyDown(char32_t scalar) override;
    bool keyUp(char32_t scalar) override;
    void close() override;
    QString unavailableReason() const override {
        return failOpen ? QStringLiteral("Typing is switched off in this test.") : QString();
    }
    bool isIdle() const override { return true; }

    // The scalars whose key was pressed, in order, as text.
    QString typedText() const;

    QList<Event> events;
    int closeCount = 0;
    bool failOpen = false;
    QSet<char32_t> failKeyDown;
    QSet<char32_t> failKeyUp;
};
