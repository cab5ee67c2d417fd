#pragma once

#include "updates/UpdateCheckResult.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>

// What reads the feed document over the network. It lives in a module of its
// own (runeboard-network.so), loaded at the first update check, so that Qt's
// network library is not loaded into every start of a program that mostly
// never checks. Only this header is shared between the two.
class FeedReader {
public:
    struct Outcome {
        UpdateCheckResult::Failure failure = UpdateCheckResult::Failure::None;
        int httpStatus = 0;
        QString detail;  // the network's own words, for the dialog's details (and the log)
        QByteArray body; // when failure is None
    };
    using Done = std::function<void(const Outcome&)>;

    // The name under which the module exports its NewFeedReader.
    static constexpr const char* entryPoint = "runeboardNewFeedReader";
    // A feed is a few kilobytes; anything far larger is not a feed and is not kept in memory.
    static constexpr qint64 maximumSize = 2 * 1024 * 1024;

    virtual ~FeedReader() = default;
    // Reads one web address (already checked to be one); done follows once,
    // from the event loop, unless the reader is deleted first.
    virtual void read(const QUrl& url, const QString& userAgent, std::chrono::milliseconds timeout,
                      Done done) = 0;
};

// The module's one entry point: a new reader, owned by the caller.
using NewFeedReader = FeedReader* (*)();
