#include "ViewAnimation.h"

#include <QEasingCurve>
#include <QPointF>

#include <cmath>
#include <numbers>

namespace {

const QEasingCurve& easeInOut() {
    // The common ease-in-out timing: cubic Bézier (0.42, 0) (0.58, 1).
    static const QEasingCurve curve = [] {
        QEasingCurve c(QEasingCurve::BezierSpline);
        c.addCubicBezierSegment(QPointF(0.42, 0), QPointF(0.58, 1), QPointF(1, 1));
        return c;
    }();
    return curve;
}

} // namespace

AnimatedValue::AnimatedValue(double value, double tolerance)
    : m_from(value)
    , m_to(value)
    , m_tolerance(tolerance) {}

void AnimatedValue::springState(double t, double* x, double* v) const {
    const double omega = 2 * std::numbers::pi / std::max(1e-3, m_animation.response);
    const double zeta = m_animation.dampingFraction;
    const double x0 = m_from - m_to, v0 = m_velocity;
    if (zeta >= 1) {
        const double b = v0 + omega * x0;
        const double e = std::exp(-omega * t);
        *x = (x0 + b * t) * e;
        *v = (v0 - omega * b * t) * e;
        return;
    }
    const double wd = omega * std::sqrt(1 - zeta * zeta);
    const double a = x0, b = (v0 + zeta * omega * x0) / wd;
    const double e = std::exp(-zeta * omega * t);
    const double c = std::cos(wd * t), s = std::sin(wd * t);
    *x = e * (a * c + b * s);
    *v = e * ((b * wd - zeta * omega * a) * c - (a * wd + zeta * omega * b) * s);
}

double AnimatedValue::value(qint64 nowMs) const {
    if (!m_animating)
        return m_to;
    const double t = std::max<double>(0, double(nowMs - m_start) / 1000.0);
    switch (m_animation.kind) {
    case ViewAnimation::Kind::Spring: {
        double x, v;
        springState(t, &x, &v);
        if (std::abs(x) < m_tolerance && std::abs(v) * 0.016 < m_tolerance)
            return m_to;
        return m_to + x;
    }
    case ViewAnimation::Kind::EaseInOut: {
        const double p = m_animation.duration > 0 ? t / m_animation.duration : 1;
        return p >= 1 ? m_to : m_from + (m_to - m_from) * easeInOut().valueForProgress(p);
    }
    case ViewAnimation::Kind::Pulse: {
        // A triangle wave eased on each leg: m_from → m_to → m_from → …
        const double phase = std::fmod(t / m_animation.duration, 2.0);
        const double leg = phase <= 1 ? phase : 2 - phase;
        return m_from + (m_to - m_from) * easeInOut().valueForProgress(leg);
    }
    }
    return m_to;
}

double AnimatedValue::velocity(qint64 nowMs) const {
    if (!m_animating)
        return 0;
    if (m_animation.kind == ViewAnimation::Kind::Spring) {
        double x, v;
        springState(std::max<double>(0, double(nowMs - m_start) / 1000.0), &x, &v);
        return v;
    }
    // Curves are retargeted from where they are, at rest.
    return 0;
}

bool AnimatedValue::isMoving(qint64 nowMs) const {
    if (!m_animating)
        return false;
    if (m_animation.kind == ViewAnimation::Kind::Pulse)
        return true;
    if (m_animation.kind == ViewAnimation::Kind::EaseInOut)
        return double(nowMs - m_start) / 1000.0 < m_animation.duration;
    double x, v;
    springState(std::max<double>(0, double(nowMs - m_start) / 1000.0), &x, &v);
    return std::abs(x) >= m_tolerance || std::abs(v) * 0.016 >= m_tolerance;
}

void AnimatedValue::set(double target, const std::optional<ViewAnimation>& animation, qint64 nowMs) {
    if (!animation) {
        jump(target);
        return;
    }
    const bool same = target == m_to && !isPulsing();
    if (same)
        return;
    const double current = value(nowMs);
    const double v = velocity(nowMs);
    m_animation = *animation;
    m_from = current;
    m_to = target;
    m_velocity = v;
    m_start = nowMs;
    m_animating = current != target || v != 0;
}

void AnimatedValue::jump(double value) {
    m_from = m_to = value;
    m_velocity = 0;
    m_animating = false;
}

void AnimatedValue::pulse(double other, qint64 epochMs) {
    if (isPulsing())
        return;
    m_animation = ViewAnimation::pulse();
    m_from = m_to;
    m_to = other;
    m_velocity = 0;
    m_start = epochMs;
    m_animating = true;
}
