#pragma once

#include <QIcon>
#include <QString>

// The bundled logo (resources/logo.svg), which is also the application icon.
// Safe to call before any window exists: the resource is registered on first use.
namespace AppLogo {

// ":/runeboard/logo.svg"
QString resourcePath();

// The logo rendered at the usual icon sizes, so no image plug-in is needed.
QIcon icon();

} // namespace AppLogo
