#pragma once

#include "platform/PlatformServices.h"

// Stand-ins for a session that offers nothing Runeboard can use (no display,
// or Qt on a platform without a backend here): nothing is typed or grabbed,
// Shift reads as released, windows keep what Qt gives them.
namespace NullPlatform {

// `reason` says why typing cannot work.
PlatformServices create(const UserText& reason);

} // namespace NullPlatform
