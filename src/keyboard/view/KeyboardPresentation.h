#pragma once

#include "keyboard/view/layout/KeyboardLayout.h"
#include "keyboard/view/timing/ViewAnimation.h"

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

// Where every element of the keyboard is drawn at a moment, as opposed to
// where the layout puts it: elements glide to new frames, fade and scale in
// and out, and keep breathing in reorder mode. Nothing here runs by itself;
// the view asks for the values at the time it paints.
class KeyboardPresentation {
public:
    enum class Transition {
        Fade,      // keys
        ScaleFade, // the add key and the save button
        SlideFade, // text fields and their buttons: in from the trailing edge, out by scaling
    };

    // What one element should look like once everything has settled.
    struct Target {
        QString id;
        KeyboardElement element;
        qreal opacity = 1;
        qreal scale = 1;
        bool pulse = false; // breathe between full size and `scale`
        Transition transition = Transition::Fade;
    };

    // One element as drawn now.
    struct Presented {
        QString id;
        KeyboardElement element; // frame: the drawn frame, "keyboardGrid" space
        qreal opacity;
        qreal scale;
        qreal offsetX;
        bool leaving; // removed from the layout, fading out
    };

    // Brings the elements to their new targets: under the animation when there
    // is one (new elements come in by their transition, removed ones leave by
    // it), at once otherwise. Pulsing elements breathe in step from `pulseEpoch`.
    void apply(const QList<Target>& targets, const std::optional<ViewAnimation>& animation, qint64 now,
               qint64 pulseEpoch);
    QList<Presented> at(qint64 now) const;
    // True while anything still moves (a pulse always does).
    bool isMoving(qint64 now) const;
    // Forgets elements that have finished leaving.
    void dropDeparted(qint64 now);

private:
    struct State {
        QString id;
        KeyboardElement element;
        Transition transition = Transition::Fade;
        AnimatedValue x{0, 0.05}, y{0, 0.05}, width{0, 0.05}, height{0, 0.05};
        AnimatedValue opacity{1, 0.002}, scale{1, 0.002}, offsetX{0, 0.05};
        bool leaving = false;
    };
    void setFrame(State& s, const QRectF& frame, const std::optional<ViewAnimation>& animation, qint64 now);

    QList<State> m_states; // in drawing order
};
