#include "app/Wording.h"

#include "localization/LocalizationManager.h"
#include "platform/SystemLocale.h"
#include "storage/SettingsStore.h"

QString wordedForThisUser(const UserText& text) {
    SettingsStore store(SettingsStore::defaultFilePath());
    return LocalizationManager(store, SystemLocale::languageCode()).text(text);
}
