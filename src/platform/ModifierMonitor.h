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

Q_SIGNALS:
    // Emitted from the main event loop on every change, and once after start()
    // with the state at that moment.
    void shiftChanged(bool pressed);
};
