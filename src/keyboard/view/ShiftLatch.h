#pragma once

#include <QtGlobal>

// The keyboard's own Shift key, for desktops where the physical one cannot be
// seen while another program has the focus. A click latches upper case for
// the next symbol typed; a second click within the double-click interval locks
// it until the key is clicked again; a later second click lets go of the latch.
class ShiftLatch {
public:
    enum State { Off, Latched, Locked };

    explicit ShiftLatch(int doubleClickMs)
        : m_doubleClickMs(doubleClickMs) {}

    State state() const { return m_state; }
    bool isOn() const { return m_state != Off; }

    void click(qint64 now);
    // A symbol was typed: a latch is used up, a lock stays.
    void typed();

private:
    int m_doubleClickMs;
    State m_state = Off;
    qint64 m_latchedAt = 0;
};
