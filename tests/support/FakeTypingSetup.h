#pragma once

#include "platform/TypingSetup.h"

// A part of the desktop that tests set to any state; turning it on moves it
// to `afterTurnOn`, or fails with `failure` when that is set.
class FakeTypingSetup : public TypingSetup {
    Q_OBJECT
public:
    QString part() const override { return QStringLiteral("gnome_extension"); }
    State state() const override { return current; }
    QString detail() const override {
        return current == State::Failed ? QStringLiteral("SyntaxError") : QString();
    }
    bool turnOn(QString* why) override {
        ++turnOns;
        if (!failure.isEmpty()) {
            *why = failure;
            return false;
        }
        set(afterTurnOn);
        return true;
    }
    void refresh() override { ++refreshes; }

    void set(State state) {
        current = state;
        Q_EMIT stateChanged();
    }

    State current = State::Off;
    State afterTurnOn = State::RestartNeeded;
    QString failure;
    int turnOns = 0;
    int refreshes = 0;
};
