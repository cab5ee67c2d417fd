#pragma once

#include "updates/UpdateCheckResult.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <chrono>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

// Reads the feed document over the network, within a time limit and a size
// limit, and says what came back or why nothing did.
class FeedFetcher : public QObject {
    Q_OBJECT

public:
    // A feed is a few kilobytes; anything far larger is not a feed and is not kept in memory.
    static constexpr qint64 maximumSize = 2 * 1024 * 1024;

    struct Outcome {
        UpdateCheckResult::Failure failure = UpdateCheckResult::Failure::None;
        int httpStatus = 0;
        QString detail;  // the network's own words, for the dialog's details
        QByteArray body; // when failure is None
    };

    explicit FeedFetcher(QObject* parent = nullptr);
    ~FeedFetcher() override;

    // 20 seconds unless changed.
    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }
    bool isFetching() const { return m_fetching; }

    // Starts reading url unless a fetch is running. finished() follows once,
    // always from the event loop, never from within this call.
    void fetch(const QUrl& url, const QString& userAgent);

Q_SIGNALS:
    void finished(const FeedFetcher::Outcome& outcome);

private:
    void readAvailable();
    void onReplyFinished();
    void complete(Outcome outcome);

    QNetworkAccessManager* m_network = nullptr;
    QTimer* m_deadline = nullptr;
    QPointer<QNetworkReply> m_reply;
    QUrl m_url;
    QByteArray m_body;
    std::chrono::milliseconds m_timeout{20000};
    bool m_fetching = false;
    bool m_timedOut = false;
};
