#pragma once

#include <QtGlobal>

#include <optional>

// How a change of the keyboard view moves to its new value.
struct ViewAnimation {
    enum class Kind { Spring, EaseInOut, Pulse };

    Kind kind = Kind::EaseInOut;
    double response = 0;        // springs: seconds per (undamped) oscillation
    double dampingFraction = 1; // springs: 1 settles without overshoot, less overshoots
    double duration = 0.35;     // curves: seconds; the pulse: seconds per half cycle

    // Opening and closing the text fields.
    static ViewAnimation panelSpring() { return {Kind::Spring, 0.5, 1.0, 0}; }
    // Keys making room during a drag.
    static ViewAnimation moveSpring() { return {Kind::Spring, 0.3, 0.8, 0}; }
    // The dragged key gliding onto its new place.
    static ViewAnimation settleSpring() { return {Kind::Spring, 0.3, 0.75, 0}; }
    // Everything else that animates (reorder mode on and off, deleting).
    static ViewAnimation standard() { return {Kind::EaseInOut, 0, 1, 0.35}; }
    // The breathing of the keys in reorder mode: there and back, forever.
    static ViewAnimation pulse() { return {Kind::Pulse, 0, 1, 0.3}; }
};

// One number of the presentation moving towards its target. Springs keep
// their velocity when retargeted mid-flight; a settled value is exactly its target.
class AnimatedValue {
public:
    // `tolerance` is how close counts as arrived, in the value's own unit.
    explicit AnimatedValue(double value = 0, double tolerance = 0.01);

    double value(qint64 nowMs) const;
    double target() const { return m_to; }
    // Moves to the target under the animation, or at once without one.
    void set(double target, const std::optional<ViewAnimation>& animation, qint64 nowMs);
    void jump(double value);
    // Swings between the current target and `other` for as long as it is not set otherwise;
    // values pulsing from the same epoch move in step.
    void pulse(double other, qint64 epochMs);
    bool isPulsing() const { return m_animating && m_animation.kind == ViewAnimation::Kind::Pulse; }
    bool isMoving(qint64 nowMs) const;

private:
    // Displacement from the target and velocity (per second) of a spring, t seconds in.
    void springState(double t, double* x, double* v) const;
    double velocity(qint64 nowMs) const;

    ViewAnimation m_animation;
    double m_from;
    double m_to;
    double m_velocity = 0;
    qint64 m_start = 0;
    double m_tolerance;
    bool m_animating = false;
};
