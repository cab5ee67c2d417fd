#pragma once

#include "platform/WindowSystem.h"

// Where there is no window manager to talk to (offscreen, tests): windows keep
// what Qt gives them and are drawn opaque.
class NullWindowSystem : public WindowSystem {
    Q_OBJECT
public:
    using WindowSystem::WindowSystem;

    void setIdentity(QWindow&, const QByteArray&) override {}
    void prepareFloatingShow(QWindow&) override {}
    void setAcceptsFocus(QWindow&, bool) override {}
    bool isCompositing() const override { return false; }
    WindowId activeWindow() const override { return 0; }
    void activateWindow(WindowId) override {}
};
