#pragma once

#include "updates/FeedFetcher.h"
#include "updates/UpdateCheckResult.h"

#include <QObject>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>

class LocalizationManager;
class SettingsStore;

// Checks the appcast feed for a newer version when the user asks, and tells
// the result in a dialog. Nothing is checked in the background: a desktop
// utility should not phone home on its own.
//
// The feed address is the build's feed address (CMake option RUNEBOARD_UPDATE_FEED_URL) unless the
// configuration holds a string under "updateFeedURL" (read at every check).
// canCheckForUpdates is false while the manager starts up (it turns true on
// the first turn of the event loop) and for the whole of a check; the Help &
// About window's button follows it.
class UpdateManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)

public:
    using Presenter = std::function<void(const UpdateCheckResult&)>;

    UpdateManager(SettingsStore& store, LocalizationManager& localization, QObject* parent = nullptr);

    bool canCheckForUpdates() const { return m_canCheckForUpdates; }

    QUrl feedURL() const;
    // The version this build calls itself (the project's version); Help & About shows it too.
    QString currentVersion() const { return m_currentVersion; }
    void setCurrentVersion(const QString& version) { m_currentVersion = version; }

    // How long a check may take before it is given up. 20 seconds unless changed.
    void setTimeout(std::chrono::milliseconds timeout) { m_fetcher->setTimeout(timeout); }

    // Replaces the dialog, for tests and for embedding; the default shows a
    // non-modal message box with a button that opens the download page.
    void setPresenter(Presenter presenter) { m_presenter = std::move(presenter); }

public Q_SLOTS:
    // Starts a check when one may start; otherwise does nothing.
    void checkForUpdates();

Q_SIGNALS:
    void canCheckForUpdatesChanged(bool canCheck);
    // Emitted once per check, just before the result is presented.
    void checkFinished(const UpdateCheckResult& result);

private:
    void setCanCheckForUpdates(bool canCheck);
    void onFetched(const FeedFetcher::Outcome& fetched);
    UpdateCheckResult failure(UpdateCheckResult::Failure kind, int httpStatus = 0,
                              const QString& detail = {}) const;
    void finish(const UpdateCheckResult& result);
    QString text(const char* key) const;

    SettingsStore& m_store;
    LocalizationManager& m_localization;
    FeedFetcher* m_fetcher = nullptr;
    QUrl m_checkedURL;
    QString m_currentVersion;
    Presenter m_presenter;
    bool m_canCheckForUpdates = false;
};
