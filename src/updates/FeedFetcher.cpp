#include "updates/FeedFetcher.h"

#include "platform/Log.h"
#include "updates/WebAddress.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

namespace {
const QString moduleName = QStringLiteral("runeboard-network.so");

FeedFetcher::Outcome failed(UpdateCheckResult::Failure failure) {
    FeedFetcher::Outcome outcome;
    outcome.failure = failure;
    return outcome;
}
} // namespace

FeedFetcher::FeedFetcher(QObject* parent)
    : QObject(parent) {}

FeedFetcher::~FeedFetcher() = default;

QStringList FeedFetcher::modulePlaces() {
    const QString programFolder = QCoreApplication::applicationDirPath();
    return {programFolder + u'/' + moduleName,
            QDir::cleanPath(programFolder + QStringLiteral("/" RUNEBOARD_MODULE_FOLDER_FROM_PROGRAM "/") +
                            moduleName)};
}

bool FeedFetcher::loadReader(QString* problem) {
    if (m_reader)
        return true;
    if (!m_module.isLoaded()) {
        const QStringList places = modulePlaces();
        QString place = places.last();
        for (const QString& candidate : places) {
            if (QFileInfo::exists(candidate)) {
                place = candidate;
                break;
            }
        }
        m_module.setFileName(place);
        if (!m_module.load()) {
            *problem = m_module.errorString();
            return false;
        }
    }
    const auto make = reinterpret_cast<NewFeedReader>(m_module.resolve(FeedReader::entryPoint));
    if (!make) {
        *problem = m_module.errorString();
        return false;
    }
    m_reader.reset(make());
    return true;
}

void FeedFetcher::fetch(const QUrl& url, const QString& userAgent) {
    if (m_fetching)
        return;
    m_fetching = true;
    m_url = url;
    if (!WebAddress::isWebAddress(url)) {
        QTimer::singleShot(0, this, [this] { complete(failed(UpdateCheckResult::Failure::BadAddress)); });
        return;
    }
    if (QString problem; !loadReader(&problem)) {
        // An installation without the module cannot reach the network at all.
        Log::line(QStringLiteral("[UpdateManager] Cannot load the network module: %1").arg(problem));
        QTimer::singleShot(0, this, [this] { complete(failed(UpdateCheckResult::Failure::NoConnection)); });
        return;
    }
    m_reader->read(url, userAgent, m_timeout, [this](const Outcome& outcome) { complete(outcome); });
}

void FeedFetcher::complete(Outcome outcome) {
    m_fetching = false;
    if (outcome.failure == UpdateCheckResult::Failure::NoConnection && !outcome.detail.isEmpty()) {
        // The network's words go to the log; the dialog says that there is no connection.
        Log::line(QStringLiteral("[UpdateManager] %1: %2").arg(m_url.toString(), outcome.detail));
        outcome.detail.clear();
    }
    Q_EMIT finished(outcome);
}
