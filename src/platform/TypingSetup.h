#pragma once

#include "platform/UserText.h"

#include <QObject>
#include <QString>

// A part of the desktop that Runeboard needs before it can type into every
// program there (on GNOME, its GNOME Shell extension), and how far it is set up.
// The settings show the state in plain words and offer turnOn().
class TypingSetup : public QObject {
    Q_OBJECT
public:
    enum class State {
        Works,         // typing reaches every program
        Missing,       // not installed
        Off,           // installed, turned off
        RestartNeeded, // turned on; the desktop loads it at the next login
        Failed,        // the desktop could not start it; detail() says why
    };

    using QObject::QObject;
    ~TypingSetup() override = default;

    // Names the part for the interface texts ("gnome_extension").
    virtual QString part() const = 0;
    virtual State state() const = 0;
    // The desktop's own words for a failure; empty otherwise.
    virtual QString detail() const { return {}; }
    // Turns the part on, keeping everything else as the user has it. False,
    // with why, when it could not; state() tells what the user must do next.
    virtual bool turnOn(QString* why) = 0;
    // A choice the desktop offers beside it, in plain words for the settings and the launch
    // check; empty where there is none.
    virtual UserText note() const { return {}; }
    // Looks again (the user may have changed it elsewhere); stateChanged() when it differs.
    virtual void refresh() = 0;

Q_SIGNALS:
    void stateChanged();
};
