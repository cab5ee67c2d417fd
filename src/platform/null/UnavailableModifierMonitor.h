#pragma once

#include "platform/ModifierMonitor.h"

// Stands in where the Shift key cannot be followed; Shift then reads as released.
class UnavailableModifierMonitor : public ModifierMonitor {
    Q_OBJECT
public:
    using ModifierMonitor::ModifierMonitor;

    bool start() override { return false; }
    bool followsEveryWindow() const override { return false; }
};
