#pragma once

#include <QPainterPath>
#include <QPoint>

// What FloatingPanel asks of the widget it hosts (KeyboardView implements it
// next to QWidget). A content widget that does not implement it still works:
// then no press moves the panel and the window keeps its rectangle.
//
// Moving: the panel watches the content's mouse presses before the content
// sees them. A left press where isBackgroundAt() answers true, while the panel
// is movable (KeyboardPanel::setMovableByBackground), starts a move: that
// press, the following moves and the release go to the panel only. Every
// other press reaches the content as usual. Answer false wherever the press
// has a meaning of its own (keys, buttons, dots, fields, a reorder in
// progress) and true on the card and on the margin around it.
//
// Size: the panel takes the content's sizeHint() and follows it whenever the
// content calls updateGeometry().
class PanelContent {
public:
    virtual ~PanelContent() = default;

    // Whether a press at this point (content coordinates) lands on the background.
    virtual bool isBackgroundAt(const QPoint& position) const = 0;

    // The outline of what is drawn (the rounded card), in content coordinates.
    // Without a compositor the window is clipped to it, so corners stay round.
    virtual QPainterPath outline() const = 0;

    // Told by the panel before the first paint and whenever it changes: false
    // when no compositor runs, so nothing drawn can be see-through and the
    // content paints its opaque fallback.
    virtual void setTranslucent(bool translucent) = 0;
};
