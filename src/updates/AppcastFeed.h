#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

// Reading an appcast: an RSS document whose items name their versions in the
// sparkle namespace, as elements or as attributes of the enclosure.
namespace AppcastFeed {

struct Entry {
    QString version; // a valid VersionNumber
    QUrl link;       // an http or https address, or empty when the feed names none
};

// The newest item of the feed, links resolved against feedURL. Nothing when
// the document is not well-formed XML, names no version, or names a version
// that is not a valid VersionNumber: such a feed is not read at all.
std::optional<Entry> newestEntry(const QByteArray& feed, const QUrl& feedURL);

} // namespace AppcastFeed
