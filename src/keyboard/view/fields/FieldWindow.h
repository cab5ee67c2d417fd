#pragma once

#include "keyboard/view/painting/KeyboardMetrics.h"

#include <QPointer>
#include <QWidget>

class QLineEdit;

// A small ordinary window holding one text field of the keyboard, for desktops
// where the panel is an unmanaged window and can never take the keyboard focus
// (under a Wayland compositor): the window manager focuses it as any new
// window and gives the focus back to the program that had it when it goes.
// It looks like the field on the panel: the field's face on a dark ground.
class FieldWindow : public QWidget {
    Q_OBJECT
public:
    // A top-level window that goes with `owner` (the keyboard view).
    FieldWindow(QWidget& owner, const QString& title);

    // Lays the window out around the field's line edit at the keyboard's size; again whenever the
    // size changes.
    void hold(QLineEdit& field, const KeyboardMetrics& metrics);
    // Shows the window next to `anchor` (screen coordinates, the panel): under it, or
    // above it where the screen ends. The window manager may place it elsewhere.
    void showBeside(const QRect& anchor);

Q_SIGNALS:
    // The window was asked to close (by the window manager, say); it stays until the field closes.
    void closeRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QPointer<QLineEdit> m_field;
    KeyboardMetrics m_metrics = KeyboardMetrics::forSize(KeyboardSize::Compact);
};
