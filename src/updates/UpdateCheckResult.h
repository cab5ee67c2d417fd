#pragma once

#include <QString>
#include <QUrl>

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
