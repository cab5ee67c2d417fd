#include "KeyboardPresentation.h"

#include <QSet>

void KeyboardPresentation::setFrame(State& s, const QRectF& frame,
                                    const std::optional<ViewAnimation>& animation, qint64 now) {
    s.x.set(frame.x(), animation, now);
    s.y.set(frame.y(), animation, now);
    s.width.set(frame.width(), animation, now);
    s.height.set(frame.height(), animation, now);
}

void KeyboardPresentation::apply(const QList<Target>& targets, const std::optional<ViewAnimation>& animation,
                                 qint64 now, qint64 pulseEpoch) {
    QHash<QString, qsizetype> existing;
    for (qsizetype i = 0; i < m_states.size(); ++i)
        if (!m_states[i].leaving)
            existing.insert(m_states[i].id, i);

    QList<State> next;
    next.reserve(targets.size() + m_states.size());
    QSet<QString> kept;
    for (const Target& t : targets) {
        State s;
        const auto found = existing.constFind(t.id);
        if (found != existing.constEnd()) {
            s = m_states[*found];
            kept.insert(t.id);
            setFrame(s, t.element.frame, animation, now);
        } else {
            s.id = t.id;
            setFrame(s, t.element.frame, std::nullopt, now);
            if (animation) {
                // Coming in: from nothing to the target under the same animation.
                s.opacity.jump(0);
                if (t.transition == Transition::ScaleFade)
                    s.scale.jump(0);
                if (t.transition == Transition::SlideFade)
                    s.offsetX.jump(t.element.frame.width());
            }
        }
        s.element = t.element;
        s.transition = t.transition;
        s.leaving = false;
        s.opacity.set(t.opacity, animation, now);
        s.offsetX.set(0, animation, now);
        if (t.pulse)
            s.scale.pulse(t.scale, pulseEpoch);
        else
            s.scale.set(t.scale, animation ? animation : std::optional<ViewAnimation>(), now);
        next.append(s);
    }

    // Elements that left the layout go by their transition, or at once.
    for (State& s : m_states) {
        if (!animation || kept.contains(s.id))
            continue;
        if (!s.leaving) {
            s.leaving = true;
            s.opacity.set(0, animation, now);
            if (s.transition != Transition::Fade)
                s.scale.set(0, animation, now);
        }
        next.append(s);
    }
    m_states = std::move(next);
}

QList<KeyboardPresentation::Presented> KeyboardPresentation::at(qint64 now) const {
    QList<Presented> out;
    out.reserve(m_states.size());
    for (const State& s : m_states) {
        Presented p{s.id,     s.element, s.opacity.value(now), s.scale.value(now), s.offsetX.value(now),
                    s.leaving};
        p.element.frame = QRectF(s.x.value(now), s.y.value(now), s.width.value(now), s.height.value(now));
        out.append(p);
    }
    return out;
}

bool KeyboardPresentation::isMoving(qint64 now) const {
    for (const State& s : m_states)
        if (s.x.isMoving(now) || s.y.isMoving(now) || s.width.isMoving(now) || s.height.isMoving(now) ||
            s.opacity.isMoving(now) || s.scale.isMoving(now) || s.offsetX.isMoving(now))
            return true;
    return false;
}

void KeyboardPresentation::dropDeparted(qint64 now) {
    m_states.removeIf([now](const State& s) { return s.leaving && !s.opacity.isMoving(now); });
}
