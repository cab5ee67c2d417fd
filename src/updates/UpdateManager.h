#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>
#include <optional>

class LocalizationManager;
class QNetworkAccessManager;
class QNetworkReply;
class QTimer;
class SettingsStore;

// What a user-started check found, already worded for the user.
struct UpdateCheckResult {
    enum class Outcome { UpToDate, UpdateAvailable, Failed };
    enum class Failure {
        None,
        NoConnection,
        HttpError,
        UnreadableFeed,
        TimedOut,
        SecureConnection,
        BadAddress
    };

    Outcome outcome = Outcome::Failed;
    Failure failure = Failure::None;
    int httpStatus = 0;     // for HttpError
    QString latestVersion;  // for UpToDate and UpdateAvailable
    QUrl downloadPage;      // for UpdateAvailable; empty when the feed names no usable web page
    QString title;          // the dialog's bold first line
    QString message;        // the sentence below it
    QString openButtonText; // for UpdateAvailable with a download page
    QString closeButtonText;
    QString detail; // for Failed: the technical reason, when there is one
};

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
    static inline const QString feedURLKey = QStringLiteral("updateFeedURL");
    using Presenter = std::function<void(const UpdateCheckResult&)>;

    UpdateManager(SettingsStore& store, LocalizationManager& localization, QObject* parent = nullptr);
    ~UpdateManager() override;

    bool canCheckForUpdates() const { return m_canCheckForUpdates; }

    QUrl feedURL() const;
    // The version this build calls itself (the project's version); Help & About shows it too.
    QString currentVersion() const { return m_currentVersion; }
    void setCurrentVersion(const QString& version) { m_currentVersion = version; }

    // How long a check may take before it is given up. 20 seconds unless changed.
    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }

    // Replaces the dialog, for tests and for embedding; the default shows a
    // non-modal message box with a button that opens the download page.
    void setPresenter(Presenter presenter) { m_presenter = std::move(presenter); }

    // Compares dotted version texts by their numeric parts ("1.10" > "1.9",
    // "1.2" == "1.2.0"); a part's trailing non-digits are ignored.
    static int compareVersions(const QString& a, const QString& b);

    // The newest entry of an appcast document, or nothing when it holds none
    // that names a version.
    struct FeedEntry {
        QString version;
        QUrl link;
    };
    static std::optional<FeedEntry> newestEntry(const QByteArray& feed, const QUrl& feedURL);

public Q_SLOTS:
    // Starts a check when one may start; otherwise does nothing.
    void checkForUpdates();

Q_SIGNALS:
    void canCheckForUpdatesChanged(bool canCheck);
    // Emitted once per check, just before the result is presented.
    void checkFinished(const UpdateCheckResult& result);

private:
    void setCanCheckForUpdates(bool canCheck);
    void onReplyFinished();
    void finish(UpdateCheckResult result);
    UpdateCheckResult failure(UpdateCheckResult::Failure kind, int httpStatus = 0,
                              const QString& detail = {}) const;
    QString text(const char* key) const;
    static void showDialog(const UpdateCheckResult& result);

    SettingsStore& m_store;
    LocalizationManager& m_localization;
    QNetworkAccessManager* m_network = nullptr;
    QPointer<QNetworkReply> m_reply;
    QTimer* m_deadline = nullptr;
    QUrl m_checkedURL;
    QString m_currentVersion;
    std::chrono::milliseconds m_timeout{20000};
    Presenter m_presenter;
    bool m_canCheckForUpdates = false;
    bool m_timedOut = false;
};
