#pragma once

#include "platform/PlatformServices.h"

#include <QByteArray>

#include <optional>

// The platform services on KDE Plasma on Wayland, where KWin offers ordinary
// programs no virtual keyboard and lends fake input only to a program that an
// installed desktop file names (Exec= its absolute path,
// X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input). Symbols reach native
// Wayland programs by pasting (the clipboard put back afterwards) and X11
// programs through the X11 engine; Runeboard's windows stay on xcb through
// Xwayland, the panel unmanaged so that clicking it leaves the focus where it is.
//
//   std::optional<PlatformServices> kde = KdePlatform::create(); // after the QApplication
namespace KdePlatform {

// A Plasma session on Wayland, judged from the environment alone.
bool isKdeWayland(const QByteArray& currentDesktop, const QByteArray& sessionType,
                  const QByteArray& waylandDisplay);

// Nothing outside a Plasma session on Wayland.
std::optional<PlatformServices> create();

// `runeboard --input-method`, which KWin starts when the user chooses Runeboard as Plasma's
// virtual keyboard: commits what Runeboard types until KWin ends it. Needs a QCoreApplication.
int runInputMethod();

} // namespace KdePlatform
