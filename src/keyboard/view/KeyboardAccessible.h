#pragma once

#include "keyboard/view/GestureRecogniser.h"

#include <QAccessibleWidget>
#include <QList>
#include <QRectF>

class KeyboardView;

// The keyboard view as assistive technology reads it: the painted card becomes
// a group of buttons, one for each key (named by its symbol and the symbol's
// name in the interface language), for the add key, the save button, the set
// dots and the close button. Pressing one through its action does what a click
// does, and typing never takes the focus. The buttons are made anew whenever
// the view lays itself out again (a set switched, a key added).
class KeyboardAccessible : public QAccessibleWidget {
public:
    struct Item {
        QString name;
        QRectF rect; // view coordinates
        GestureIntent press;
    };

    explicit KeyboardAccessible(KeyboardView* view);
    ~KeyboardAccessible() override;

    // Makes these interfaces for keyboard views; installed once, before any is asked for.
    static void installFactory();
    // What the view shows now, as named buttons in reading order.
    static QList<Item> items(KeyboardView& view);

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;

private:
    void refresh() const;

    mutable int m_generation = -1;
    mutable QList<QAccessible::Id> m_children;
};
