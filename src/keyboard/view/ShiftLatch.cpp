#include "ShiftLatch.h"

void ShiftLatch::click(qint64 now) {
    switch (m_state) {
    case Off:
        m_state = Latched;
        m_latchedAt = now;
        break;
    case Latched:
        m_state = now - m_latchedAt <= m_doubleClickMs ? Locked : Off;
        break;
    case Locked:
        m_state = Off;
        break;
    }
}

void ShiftLatch::typed() {
    if (m_state == Latched)
        m_state = Off;
}
