#pragma once

#include "updates/FeedReader.h"

#include <QLibrary>
#include <QObject>

#include <chrono>
#include <memory>

// Reads the feed document over the network, within a time limit and a size
// limit, and says what came back or why nothing did. The reading itself is
// done by the network module, loaded at the first fetch.
class FeedFetcher : public QObject {
    Q_OBJECT

public:
    using Outcome = FeedReader::Outcome;
    static constexpr qint64 maximumSize = FeedReader::maximumSize;

    explicit FeedFetcher(QObject* parent = nullptr);
    ~FeedFetcher() override;

    // Where the network module is looked for, in this order: beside the
    // program (a build folder), then in the library folder of its installation.
    static QStringList modulePlaces();

    // 20 seconds unless changed.
    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }
    bool isFetching() const { return m_fetching; }

    // Starts reading url unless a fetch is running. finished() follows once,
    // always from the event loop, never from within this call.
    void fetch(const QUrl& url, const QString& userAgent);

Q_SIGNALS:
    void finished(const FeedFetcher::Outcome& outcome);

private:
    bool loadReader(QString* problem);
    void complete(Outcome outcome);

    QLibrary m_module; // stays loaded: the reader's code lives there
    std::unique_ptr<FeedReader> m_reader;
    QUrl m_url;
    std::chrono::milliseconds m_timeout{20000};
    bool m_fetching = false;
};
