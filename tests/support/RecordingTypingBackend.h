#pragma once

#include "platform/TypingBackend.h"

#include <QSet>
#include <QStringList>

// Keeps every text it is given, for tests; can be told to refuse typing, or
// to fail to deliver some symbols.
class RecordingTypingBackend : public TypingBackend {
    Q_OBJECT
public:
    using TypingBackend::TypingBackend;

    bool type(const QString& text) override;
    UserText unavailableReason() const override {
        return off ? UserText{QStringLiteral("typing_stopped")} : UserText();
    }
    bool isIdle() const override { return true; }

    // Everything typed, in order.
    QString typedText() const { return texts.join(QString()); }

    QStringList texts;
    bool off = false;
    // Symbols reported as undeliverable (and left out of texts).
    QSet<QString> undeliverable;
};
