#pragma once

#include "platform/UserText.h"

#include <QString>

// A sentence in the interface language the user chose, for the moments
// before (or without) the running application and its localization manager.
// Reads the settings file each time: meant for a line or two, not for views.
QString wordedForThisUser(const UserText& text);
