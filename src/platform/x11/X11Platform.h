#pragma once

#include "platform/PlatformServices.h"
#include "platform/x11/X11Connection.h"

#include <optional>

// The platform services of an X11 session, or of Xwayland where nothing
// better is offered. src/app's PlatformChooser decides which backend to use.
namespace X11Platform {

// Asks Qt for its xcb platform unless QT_QPA_PLATFORM is already set. Without
// an X display at all Qt is asked for a platform that starts anyway, so the
// program can run and say what is missing instead of aborting.
void preferXcb();

// The X11 services when Qt runs on xcb (typing also needs XTEST and XKB, and
// says in typingProblem when they are missing); nothing otherwise, with the
// reason in *whyNot. Call after the QApplication exists.
std::optional<PlatformServices> create(UserText* whyNot);

// Why typing cannot work in this process, or reaches only some programs
// (empty when it works), judged from the environment and Qt's platform alone;
// create() adds what the server lacks.
UserText sessionProblem(const QString& qtPlatform, const QByteArray& display,
                        const QByteArray& waylandDisplay, const QByteArray& sessionType);

// What the X11 backend lends a Wayland desktop for its Xwayland windows. With
// Qt on xcb: windows that float unmanaged, the X11 typing engine (where the
// server has XTEST and XKB), X11 hotkeys and a Shift monitor that follows only
// Runeboard's own windows. Without: no window system of use, typing that says
// why it cannot, and no hotkeys or Shift monitor (nullptr).
struct XwaylandServices {
    std::optional<X11Connection> connection;
    std::unique_ptr<WindowSystem> windowSystem;
    std::unique_ptr<TypingBackend> typing;
    std::unique_ptr<HotkeyService> hotkeys;
    std::unique_ptr<ModifierMonitor> shiftMonitor;
};
XwaylandServices forXwayland();

} // namespace X11Platform
