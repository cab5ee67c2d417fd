#include "updates/UpdateManager.h"

#include "BuildInfo.h"

#include "localization/LocalizationManager.h"
#include "platform/Log.h"
#include "storage/SettingsStore.h"
#include "updates/AppcastFeed.h"
#include "updates/UpdateDialog.h"
#include "updates/VersionNumber.h"
#include "updates/WebAddress.h"

#include <QTimer>

UpdateManager::UpdateManager(SettingsStore& store, LocalizationManager& localization, QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_localization(localization)
    , m_fetcher(new FeedFetcher(this))
    , m_currentVersion(QString::fromUtf8(BuildInfo::version)) {
    connect(m_fetcher, &FeedFetcher::finished, this, &UpdateManager::onFetched);
    // Like an updater that has to start before it accepts a check, the button
    // becomes usable on the first turn of the event loop.
    QTimer::singleShot(0, this, [this] { setCanCheckForUpdates(!m_fetcher->isFetching()); });
}

QUrl UpdateManager::feedURL() const {
    if (const QString configured = m_store.text(SettingKey::UpdateFeedURL).trimmed(); !configured.isEmpty())
        return QUrl(configured);
    return QUrl(QString::fromUtf8(BuildInfo::updateFeedUrl));
}

void UpdateManager::setCanCheckForUpdates(bool canCheck) {
    if (m_canCheckForUpdates == canCheck)
        return;
    m_canCheckForUpdates = canCheck;
    Q_EMIT canCheckForUpdatesChanged(canCheck);
}

void UpdateManager::checkForUpdates() {
    if (!m_canCheckForUpdates || m_fetcher->isFetching())
        return;
    setCanCheckForUpdates(false);
    m_checkedURL = feedURL();
    m_fetcher->fetch(m_checkedURL,
                     QStringLiteral("Runeboard/%1")
                         .arg(m_currentVersion.isEmpty() ? QStringLiteral("0") : m_currentVersion));
}

void UpdateManager::onFetched(const FeedFetcher::Outcome& fetched) {
    if (fetched.failure != UpdateCheckResult::Failure::None)
        return finish(failure(fetched.failure, fetched.httpStatus, fetched.detail));
    const auto entry = AppcastFeed::newestEntry(fetched.body, m_checkedURL);
    if (!entry)
        return finish(failure(UpdateCheckResult::Failure::UnreadableFeed));

    UpdateCheckResult result;
    result.latestVersion = entry->version;
    result.closeButtonText = text("update_close");
    if (VersionNumber::compare(entry->version, m_currentVersion) > 0) {
        result.outcome = UpdateCheckResult::Outcome::UpdateAvailable;
        result.title = text("update_available_title");
        result.message = text("update_available_message").arg(entry->version, m_currentVersion);
        const QUrl site(QString::fromUtf8(BuildInfo::websiteUrl));
        result.downloadPage = !entry->link.isEmpty()           ? entry->link
                              : WebAddress::isWebAddress(site) ? site
                                                               : QUrl();
        if (!result.downloadPage.isEmpty())
            result.openButtonText = text("update_open_download_page");
    } else {
        result.outcome = UpdateCheckResult::Outcome::UpToDate;
        result.title = text("update_up_to_date_title");
        result.message = text("update_up_to_date_message").arg(m_currentVersion);
    }
    finish(result);
}

UpdateCheckResult UpdateManager::failure(UpdateCheckResult::Failure kind, int httpStatus,
                                         const QString& detail) const {
    using Failure = UpdateCheckResult::Failure;
    UpdateCheckResult result;
    result.outcome = UpdateCheckResult::Outcome::Failed;
    result.failure = kind;
    result.httpStatus = httpStatus;
    result.detail = detail;
    result.title = text("update_failed_title");
    result.closeButtonText = text("update_close");
    switch (kind) {
    case Failure::None:
    case Failure::NoConnection:
        result.message = text("update_no_connection");
        break;
    case Failure::HttpError:
        result.message = text("update_http_error").arg(httpStatus);
        break;
    case Failure::UnreadableFeed:
        result.message = text("update_unreadable_feed");
        break;
    case Failure::TimedOut:
        result.message = text("update_timed_out");
        break;
    case Failure::SecureConnection:
        result.message = text("update_secure_connection");
        break;
    case Failure::BadAddress:
        result.message = text("update_bad_address");
        break;
    }
    return result;
}

void UpdateManager::finish(const UpdateCheckResult& result) {
    if (result.outcome == UpdateCheckResult::Outcome::Failed)
        Log::line(QStringLiteral("[UpdateManager] Update check of '%1' failed: %2")
                      .arg(m_checkedURL.toString(), result.message));
    setCanCheckForUpdates(true);
    Q_EMIT checkFinished(result);
    if (m_presenter)
        m_presenter(result);
    else
        UpdateDialog::show(result);
}

QString UpdateManager::text(const char* key) const {
    return m_localization.localized(QString::fromLatin1(key));
}
