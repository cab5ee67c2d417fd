#pragma once

#include <QString>

class TypingBackend;

// Types a piece of text into the program that has the keyboard focus: one key
// press and release per Unicode scalar, in order, through the platform backend.
class InputInjector {
public:
    explicit InputInjector(TypingBackend& backend)
        : m_backend(backend) {}

    // Returns how many failure lines it wrote (0 when everything was handed to the backend).
    int typeText(const QString& text);

    TypingBackend& backend() const { return m_backend; }

private:
    TypingBackend& m_backend;
};
