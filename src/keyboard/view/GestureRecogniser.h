#pragma once

#include "keyboard/view/layout/KeyboardLayout.h"

#include <QPoint>
#include <QPointF>
#include <QString>

#include <functional>
#include <optional>

class ViewClock;

// What a pointer landed on, by identity: indices change while keys move, texts do not.
struct GestureTarget {
    KeyboardHit::Kind kind = KeyboardHit::Nothing;
    KeyboardElementKind element = KeyboardElementKind::Key;
    QString text;
    bool isCustom = false;
    int dot = -1;

    bool isKey() const { return kind == KeyboardHit::Element && element == KeyboardElementKind::Key; }
    bool operator==(const GestureTarget&) const = default;
};

// What the user means by a gesture; the view decides what it does in its current mode.
struct GestureIntent {
    enum Kind {
        Type,        // a click on a key
        Reorder,     // a long press on a key
        DragChanged, // a key dragged on to `location`
        DragEnded,   // the key let go
        Delete,      // the context menu of a key, at `screenPosition`
        Open,        // the add key or the save button: open `field`
        Confirm,     // the confirm button of `field`
        Cancel,      // the cancel button of `field`
        Close,       // the close button
        Dot,         // a set dot
        Background,  // the card where nothing else is
        Shift,       // the keyboard's own Shift key
    };
    Kind kind = Type;
    GestureTarget target;
    KeyboardElementKind field = KeyboardElementKind::AddField; // AddField or NameField
    QPointF location;                                          // "keyboardGrid" space
    QPoint screenPosition;
};

// Turns presses, moves and releases of the left button (view coordinates) into
// intents. A click counts when it ends on what it started on, as with any
// button. A press on a key held 500 ms without wandering more than 10 points
// is a long press; a key pressed and moved more than 10 points is dragged, and
// stays dragged until the release. Long press, drag and click are recognised
// together: a long press that ends on its key is a click as well.
class GestureRecogniser {
public:
    using HitTest = std::function<GestureTarget(const QPointF& viewPoint)>;
    using ToGrid = std::function<QPointF(const QPointF& viewPoint)>;

    static constexpr int longPressMs = 500;
    static constexpr qreal slop = 10; // points a long press may wander, and a drag must go first

    GestureRecogniser(ViewClock& clock, HitTest hitTest, ToGrid toGrid);
    ~GestureRecogniser();
    GestureRecogniser(const GestureRecogniser&) = delete;
    GestureRecogniser& operator=(const GestureRecogniser&) = delete;

    // The target under a point of a laid-out keyboard.
    static GestureTarget targetAt(const KeyboardLayout& layout, const QPointF& viewPoint,
                                  bool closeButtonShown);

    std::function<void(const GestureIntent&)> onIntent;

    void press(const QPointF& position);
    void move(const QPointF& position);
    // False when no press is under way.
    bool release(const QPointF& position);
    // False when the point is not on a key.
    bool contextMenu(const QPointF& position, const QPoint& screenPosition);

private:
    struct Press {
        GestureTarget target;
        QPointF origin;
        int longPressTask = -1;
        bool moved = false;    // beyond the long press's slop
        bool dragging = false; // beyond the drag's slop
    };

    void send(GestureIntent::Kind kind, const GestureTarget& target, const QPointF& location = {});
    void click(const GestureTarget& target);
    void cancelLongPress();

    ViewClock& m_clock;
    HitTest m_hitTest;
    ToGrid m_toGrid;
    std::optional<Press> m_press;
};
