#pragma once

#include "platform/ModifierMonitor.h"

// A Shift key that tests press and release.
class FakeModifierMonitor : public ModifierMonitor {
    Q_OBJECT
public:
    using ModifierMonitor::ModifierMonitor;

    bool start() override {
        started = true;
        return available;
    }
    bool followsEveryWindow() const override { return everyWindow; }
    bool clicksCarryShift() const override { return inClicks; }
    void setShift(bool pressed) { Q_EMIT shiftChanged(pressed); }

    bool available = true;
    bool started = false;
    bool everyWindow = true;
    bool inClicks = false;
};
