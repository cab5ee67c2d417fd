#pragma once

#include "platform/ModifierMonitor.h"

// A Shift key whose state tests set on the keyboard state; clicks carry it when told.
class FakeModifierMonitor : public ModifierMonitor {
    Q_OBJECT
public:
    using ModifierMonitor::ModifierMonitor;

    bool start() override { return true; }
    bool followsEveryWindow() const override { return true; }
    bool clicksCarryShift() const override { return inClicks; }

    bool inClicks = false;
};
