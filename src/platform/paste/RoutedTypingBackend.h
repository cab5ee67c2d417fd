#pragma once

#include "platform/TypingBackend.h"

#include <memory>

class PasteQueue;

// Typing on a desktop where each piece of text goes one of several ways, chosen
// when its turn comes: the desktop's own way, a paste, or the X11 typing engine
// for an X11 program (Xwayland). One piece is on its way at a time, in the order
// queued; what is queued meanwhile leaves together, so fast clicks cost one
// trip, not many. A desktop says how a piece is sent (send()); the way it takes
// calls settle() once the piece is delivered or said to be lost.
class RoutedTypingBackend : public TypingBackend {
    Q_OBJECT

public:
    ~RoutedTypingBackend() override;

    bool type(const QString& text) override;
    UserText unavailableReason() const override;
    bool isIdle() const override { return !m_busy && m_waiting.isEmpty(); }
    void restoreSystem() override;

protected:
    // `name` prefixes the lines that say what was lost.
    RoutedTypingBackend(std::unique_ptr<TypingBackend> x11, QString name, QObject* parent);

    // Why the desktop's ways cannot type now; empty when they can.
    virtual UserText waysUnavailable() const = 0;
    virtual void send(const QString& text) = 0;

    // A paste queue of the desktop's: its losses are said, its idle ends the turn.
    void follow(PasteQueue& paste);
    void typeOnX11(const QString& text);
    void report(const QString& text, const QString& why);
    void settle();
    bool isClosed() const { return m_closed; }
    const TypingBackend& x11() const { return *m_x11; }

private:
    void sendNext();

    std::unique_ptr<TypingBackend> m_x11;
    QString m_name;
    PasteQueue* m_paste = nullptr;
    QString m_waiting;
    bool m_busy = false;
    bool m_onX11 = false;
    bool m_closed = false;
};
