#include "updates/network/NetworkFeedReader.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace {
// What the reply may hold before it is read; reading stops there until the
// body is taken, so a server cannot push more than this past the size limit.
constexpr qint64 readBufferSize = 64 * 1024;

FeedReader::Outcome failed(UpdateCheckResult::Failure failure, int httpStatus = 0,
                           const QString& detail = {}) {
    FeedReader::Outcome outcome;
    outcome.failure = failure;
    outcome.httpStatus = httpStatus;
    outcome.detail = detail;
    return outcome;
}
} // namespace

extern "C" Q_DECL_EXPORT FeedReader* runeboardNewFeedReader() {
    return new NetworkFeedReader;
}

NetworkFeedReader::NetworkFeedReader()
    : m_deadline(new QTimer(this)) {
    m_deadline->setSingleShot(true);
    connect(m_deadline, &QTimer::timeout, this, [this] {
        if (!m_reply)
            return;
        m_timedOut = true;
        m_reply->abort();
    });
}

NetworkFeedReader::~NetworkFeedReader() {
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

void NetworkFeedReader::read(const QUrl& url, const QString& userAgent, std::chrono::milliseconds timeout,
                             Done done) {
    m_done = std::move(done);
    m_body.clear();
    m_timedOut = false;
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    // The read buffer holds back HTTP/1.1 only; an HTTP/2 stream may push megabytes before it is read.
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    m_reply = m_network->get(request);
    m_reply->setReadBufferSize(readBufferSize);
    connect(m_reply, &QNetworkReply::readyRead, this, &NetworkFeedReader::readAvailable);
    connect(m_reply, &QNetworkReply::finished, this, &NetworkFeedReader::onReplyFinished);
    m_deadline->start(timeout);
}

void NetworkFeedReader::readAvailable() {
    if (!m_reply)
        return;
    m_body += m_reply->readAll();
    // Aborting finishes the reply at once; it must not be touched after that.
    if (m_body.size() > maximumSize)
        m_reply->abort();
}

void NetworkFeedReader::onReplyFinished() {
    QNetworkReply* reply = m_reply;
    if (!reply)
        return;
    m_deadline->stop();
    reply->deleteLater();
    m_reply = nullptr;
    const Done done = std::exchange(m_done, nullptr);
    const QByteArray body = std::exchange(m_body, QByteArray());

    using Failure = UpdateCheckResult::Failure;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (m_timedOut)
        return done(failed(Failure::TimedOut));
    if (status >= 400)
        return done(failed(Failure::HttpError, status));
    if (reply->error() == QNetworkReply::NoError) {
        Outcome outcome;
        outcome.httpStatus = status;
        outcome.body = body + reply->readAll();
        if (outcome.body.size() > maximumSize)
            return done(failed(Failure::UnreadableFeed));
        return done(outcome);
    }
    switch (reply->error()) {
    case QNetworkReply::OperationCanceledError: // only the size limit cancels without a time-out
    case QNetworkReply::TooManyRedirectsError:
        return done(failed(Failure::UnreadableFeed));
    case QNetworkReply::SslHandshakeFailedError:
    case QNetworkReply::InsecureRedirectError:
        return done(failed(Failure::SecureConnection, 0, reply->errorString()));
    case QNetworkReply::ProtocolUnknownError:
        return done(failed(Failure::BadAddress));
    default:
        return done(failed(Failure::NoConnection, 0, reply->errorString()));
    }
}
