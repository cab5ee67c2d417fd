#include "updates/FeedFetcher.h"

#include "platform/Log.h"
#include "updates/WebAddress.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace {
// What the reply may hold before it is read; reading stops there until the
// body is taken, so a server cannot push more than this past the size limit.
constexpr qint64 readBufferSize = 64 * 1024;

FeedFetcher::Outcome failed(UpdateCheckResult::Failure failure, int httpStatus = 0,
                            const QString& detail = {}) {
    FeedFetcher::Outcome outcome;
    outcome.failure = failure;
    outcome.httpStatus = httpStatus;
    outcome.detail = detail;
    return outcome;
}
} // namespace

FeedFetcher::FeedFetcher(QObject* parent)
    : QObject(parent)
    , m_deadline(new QTimer(this)) {
    m_deadline->setSingleShot(true);
    connect(m_deadline, &QTimer::timeout, this, [this] {
        if (!m_reply)
            return;
        m_timedOut = true;
        m_reply->abort();
    });
}

FeedFetcher::~FeedFetcher() {
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

void FeedFetcher::fetch(const QUrl& url, const QString& userAgent) {
    if (m_fetching)
        return;
    m_fetching = true;
    m_url = url;
    m_body.clear();
    m_timedOut = false;
    if (!WebAddress::isWebAddress(url)) {
        QTimer::singleShot(0, this, [this] { complete(failed(UpdateCheckResult::Failure::BadAddress)); });
        return;
    }

    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    // The read buffer holds back HTTP/1.1 only; an HTTP/2 stream may push megabytes before it is read.
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    // Made at the first check, not at start: most runs never check.
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    m_reply = m_network->get(request);
    m_reply->setReadBufferSize(readBufferSize);
    connect(m_reply, &QNetworkReply::readyRead, this, &FeedFetcher::readAvailable);
    connect(m_reply, &QNetworkReply::finished, this, &FeedFetcher::onReplyFinished);
    m_deadline->start(m_timeout);
}

void FeedFetcher::readAvailable() {
    if (!m_reply)
        return;
    m_body += m_reply->readAll();
    // Aborting finishes the reply at once; it must not be touched after that.
    if (m_body.size() > maximumSize)
        m_reply->abort();
}

void FeedFetcher::onReplyFinished() {
    QNetworkReply* reply = m_reply;
    if (!reply)
        return;
    m_deadline->stop();
    reply->deleteLater();
    m_reply = nullptr;

    using Failure = UpdateCheckResult::Failure;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (m_timedOut)
        return complete(failed(Failure::TimedOut));
    if (status >= 400)
        return complete(failed(Failure::HttpError, status));
    if (reply->error() == QNetworkReply::NoError) {
        m_body += reply->readAll();
        if (m_body.size() > maximumSize)
            return complete(failed(Failure::UnreadableFeed));
        Outcome outcome;
        outcome.httpStatus = status;
        outcome.body = m_body;
        return complete(outcome);
    }
    switch (reply->error()) {
    case QNetworkReply::OperationCanceledError: // only the size limit cancels without a time-out
    case QNetworkReply::TooManyRedirectsError:
        return complete(failed(Failure::UnreadableFeed));
    case QNetworkReply::SslHandshakeFailedError:
    case QNetworkReply::InsecureRedirectError:
        return complete(failed(Failure::SecureConnection, 0, reply->errorString()));
    case QNetworkReply::ProtocolUnknownError:
        return complete(failed(Failure::BadAddress));
    default:
        Log::line(QStringLiteral("[UpdateManager] %1: %2").arg(m_url.toString(), reply->errorString()));
        return complete(failed(Failure::NoConnection));
    }
}

void FeedFetcher::complete(Outcome outcome) {
    m_fetching = false;
    m_body.clear();
    Q_EMIT finished(outcome);
}
