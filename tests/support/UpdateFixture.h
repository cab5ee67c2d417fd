#pragma once

#include "FeedServer.h"
#include "localization/LocalizationManager.h"
#include "storage/SettingsStore.h"
#include "updates/UpdateManager.h"

#include <QTemporaryDir>

// An update manager of version 0.1.0 that asks a local feed server, gives up after 0.4 s, and
// writes down what it would show.
struct UpdateFixture {
    QTemporaryDir dir;
    SettingsStore store{dir.filePath(QStringLiteral("runeboard.conf"))};
    LocalizationManager localization{store, QStringLiteral("en")};
    FeedServer server;
    UpdateManager manager{store, localization};
    QList<UpdateCheckResult> presented;

    UpdateFixture() {
        store.setValue(SettingKey::UpdateFeedURL, server.url());
        manager.setCurrentVersion(QStringLiteral("0.1.0"));
        manager.setTimeout(std::chrono::milliseconds(400));
        manager.setPresenter([this](const UpdateCheckResult& result) { presented.append(result); });
    }
};
