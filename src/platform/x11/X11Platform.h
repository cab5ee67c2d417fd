#pragma once

#include "platform/PlatformServices.h"

// Chooses the platform services on Linux.
//
//   int main(int argc, char** argv) {
//       X11Platform::preferXcb();               // before the QApplication exists
//       QApplication app(argc, argv);
//       PlatformServices services = X11Platform::create();
//       services.writeLaunchCheck();            // once, at launch
//       ...
//       // before quitting: services.typing->restoreSystem(), quit on restored()
//   }
namespace X11Platform {

// Asks Qt for its xcb platform unless QT_QPA_PLATFORM is already set. Without
// an X display at all Qt is asked for a platform that starts anyway, so the
// program can run and say what is missing instead of aborting.
void preferXcb();

// The X11 services when Qt runs on xcb (typing also needs XTEST and XKB);
// otherwise the stand-ins of NullPlatform, with the reason in typingProblem.
// Call after the QApplication exists.
PlatformServices create();

// Why typing cannot work in this process (empty when it can), judged from the
// environment and Qt's platform alone; create() adds what the server lacks.
QString sessionProblem(const QString& qtPlatform, const QByteArray& display, const QByteArray& waylandDisplay,
                       const QByteArray& sessionType);

} // namespace X11Platform
