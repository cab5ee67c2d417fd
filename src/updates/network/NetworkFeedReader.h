#pragma once

#include "updates/FeedReader.h"

#include <QObject>
#include <QPointer>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

// The feed read with Qt's network access manager, within a time limit and a
// size limit; says what came back or why nothing did.
class NetworkFeedReader : public QObject, public FeedReader {
    Q_OBJECT

public:
    NetworkFeedReader();
    ~NetworkFeedReader() override;

    void read(const QUrl& url, const QString& userAgent, std::chrono::milliseconds timeout,
              Done done) override;

private:
    void readAvailable();
    void onReplyFinished();

    QNetworkAccessManager* m_network = nullptr;
    QTimer* m_deadline = nullptr;
    QPointer<QNetworkReply> m_reply;
    QByteArray m_body;
    Done m_done;
    bool m_timedOut = false;
};
