#pragma once

#include "platform/TypingBackend.h"

// Stands in where no way of typing exists; says why and types nothing.
class UnavailableTypingBackend : public TypingBackend {
    Q_OBJECT
public:
    explicit UnavailableTypingBackend(QString reason, QObject* parent = nullptr)
        : TypingBackend(parent)
        , m_reason(std::move(reason)) {}

    bool open() override { return false; }
    bool keyDown(char32_t) override { return false; }
    bool keyUp(char32_t) override { return false; }
    void close() override {}
    QString unavailableReason() const override { return m_reason; }
    bool isIdle() const override { return true; }

private:
    QString m_reason;
};
