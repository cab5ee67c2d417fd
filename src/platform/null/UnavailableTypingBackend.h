#pragma once

#include "platform/TypingBackend.h"

// Stands in where no way of typing exists; says why and types nothing.
class UnavailableTypingBackend : public TypingBackend {
    Q_OBJECT
public:
    explicit UnavailableTypingBackend(UserText reason, QObject* parent = nullptr)
        : TypingBackend(parent)
        , m_reason(std::move(reason)) {}

    bool type(const QString&) override { return false; }
    UserText unavailableReason() const override { return m_reason; }
    bool isIdle() const override { return true; }

private:
    UserText m_reason;
};
