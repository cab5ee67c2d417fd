#pragma once

#include <QList>

class KeyboardPanel;
class TextField;

// The panel's keyboard focus, lent to the keyboard's own text fields: the panel
// may take the focus exactly while one of them is open, and when the last one
// closes it hands the focus back to the program that had it. Without a panel
// (painted offscreen) the switches are left undone and the fields work all the same.
class FocusLender {
public:
    explicit FocusLender(KeyboardPanel* window)
        : m_window(window) {}

    // A field opened: the panel may take the focus, and takes it.
    void lend(TextField& borrower);
    // A field closed: the focus goes back, or to the field still open.
    void giveBack(TextField& borrower);

private:
    void allow(bool allow);

    KeyboardPanel* m_window;
    QList<TextField*> m_borrowers;
};
