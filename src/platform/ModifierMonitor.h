#pragma once

#include <QObject>

// Follows the physical Shift key whatever window has the focus.
class ModifierMonitor : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~ModifierMonitor() override = default;

    // Starts following; false when the system offers no way to (nothing is reported then).
    virtual bool start() = 0;
    // Whether start() follows Shift in every window, or only while one of
    // Runeboard's own windows has the focus. Where it cannot see the key the
    // user holds for another program, the keyboard offers a Shift key of its own.
    virtual bool followsEveryWindow() const { return true; }
    // Whether the pointer events of Runeboard's own windows carry Shift as it was when each
    // was made. A click then takes Shift from its own events: what the monitor reports may
    // already be the Shift the user pressed after the click, when the click is handled late.
    virtual bool clicksCarryShift() const { return false; }

Q_SIGNALS:
    // Emitted from the main event loop on every change, and once after start()
    // with the state at that moment.
    void shiftChanged(bool pressed);
};
